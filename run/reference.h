// The reference of the accuracy extras: a point, the mean of the fixes or the
// log of a better receiver, read and measured against.
#pragma once

#include <string>

#include "core/log_format.h"
#include "core/platform.h"
#include "core/point_list.h"
#include "core/read_progress.h"
#include "report/accuracy.h"
#include "run/extras.h"
#include "run/run_files.h"
#include "run/run_report.h"

namespace tervo {

// How the tables name the reference the extras ask for: "the reference log
// truth.nmea" (its file name), "the mean of the fixes", "the point 48.1,
// 11.5, 540.2 m".
std::string ReferenceName(const Extras& extras);

struct ReferenceLogRead {
    ReferenceTrouble Trouble = ReferenceTrouble::None;  // None, NotOpened or NotRead
    FileFailure Failure;                                // when it could not be opened or read
    ReferenceTrack Track;
};

// Reads the reference log at `path` (RunFiles::OpenReference) whole. Its format
// is the one whose own sentences or messages its start holds (NMEA first), as
// the run's format check finds them, or the log's when neither is found.
// `events` has its window turns taken while it is read; its gauge is left alone.
ReferenceLogRead ReadReferenceLog(RunFiles& files, const std::string& path, Platform& platform,
                                  ReadProgress& events, LogFormat logFormat);

// The accuracy of the list as read against the reference of `extras`: the
// track read from its log (the log is taken when both are named), or its point.
AccuracyOutcome MeasureAccuracy(const Extras& extras, const PointList& points, LogFormat format,
                                const ReferenceTrack& track);

}  // namespace tervo
