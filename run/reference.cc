#include "run/reference.h"

#include <cerrno>
#include <limits>

#include "binr/binr_reader.h"
#include "core/paths.h"
#include "nmea/nmea_reader.h"
#include "report/report_text.h"
#include "run/format_look.h"

namespace tervo {

namespace {

// The window's event turns while the reference is read, the gauge left where
// the log's read put it.
class EventsOnly : public ReadProgress {
public:
    explicit EventsOnly(ReadProgress& events) : events_(events) {}
    void StepProgress() override {}
    void ProcessPendingEvents() override { events_.ProcessPendingEvents(); }

private:
    ReadProgress& events_;
};

}  // namespace

std::string ReferenceName(const Extras& extras) {
    if (extras.ReferenceLog) {
        return "the reference log " + FileNamePart(*extras.ReferenceLog);
    }
    const PointReferenceParse point = ParsePointReference(extras.ReferencePoint.value_or(""));
    if (!point.Value) {
        return "no reference";
    }
    if (point.Value->Mean) {
        return "the mean of the fixes";
    }
    const GeoPosition& p = point.Value->Position;
    return "the point " + NumberText(p.Latitude, 9) + ", " + NumberText(p.Longitude, 9) + ", " +
           NumberText(p.Height, 4) + " m";
}

ReferenceLogRead ReadReferenceLog(RunFiles& files, const std::string& path, Platform& platform,
                                  ReadProgress& events, LogFormat logFormat) {
    ReferenceLogRead read;
    int64_t size = 0;
    InputFile input = files.OpenReference(path, &size, &read.Failure);
    if (!input) {
        read.Trouble = ReferenceTrouble::NotOpened;
        return read;
    }
    const FormatFinds finds = LookAtFormat(input.get());
    const LogFormat format = finds.nmea ? LogFormat::Nmea : finds.binr ? LogFormat::Binr : logFormat;
    PointList points;
    EventsOnly quiet(events);
    constexpr int32_t kNoGauge = std::numeric_limits<int32_t>::max();
    if (format == LogFormat::Nmea) {
        SentenceAssembler assembler;  // the reference's own: it keeps the sentence being read
        NmeaLogDate logDate;
        ReadNmeaLog(input.get(), quiet, kNoGauge, false, assembler, platform, points, logDate);
    } else {
        ReadBinrLog(input.get(), quiet, kNoGauge, false, points);
    }
    if (std::ferror(input.get())) {
        read.Trouble = ReferenceTrouble::NotRead;
        read.Failure = {path, errno};
        return read;
    }
    read.Failure = {};
    read.Track = ReferenceTrackOf(points.Head, format);
    return read;
}

AccuracyOutcome MeasureAccuracy(const Extras& extras, const PointList& points, LogFormat format,
                                const ReferenceTrack& track) {
    AccuracyOutcome outcome;
    outcome.Reference = ReferenceName(extras);
    if (extras.ReferenceLog) {
        outcome.Result = AccuracyAgainstTrack(points.Head, format, track);
    } else if (const std::optional<PointReference> point =
                   ParsePointReference(extras.ReferencePoint.value_or("")).Value) {
        outcome.Result = AccuracyAgainstPoint(points.Head, format, *point);
    } else {
        // A point the extras' check let through is always read; nothing else is measured.
        outcome.Result = AccuracyAgainstTrack(points.Head, format, ReferenceTrack{});
    }
    return outcome;
}

}  // namespace tervo
