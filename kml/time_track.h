// The track in time: the valid fixes of a log as a gx:Track, which a viewer's
// time slider plays, in a folder "Track in time"; a gx:MultiTrack of one
// gx:Track per segment where the log has a gap, so that the slider does not
// draw the receiver across it.
//
// Each track holds every <when> before its <gx:coord>s (one viewer reads only
// that order), the course as <gx:angles>, and per point the fix quality, HDOP,
// satellites used and speed (km/h) as gx:SimpleArrayData of a Schema that the
// document's head holds. A value the log does not give is an empty <gx:value>.
// The gx prefix is declared on the folder and on the Schema themselves, so each
// reads alone; a document that holds them declares it on <kml> as well
// (BeginKmlDocument), for a viewer that keeps only a document's first
// declaration of a prefix.
//
// A point is in the track when it has a valid fix (HasValidFix), is plottable
// (IsPlottable) and has a time (UnixMsOfDateTime of its Date and Time).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/fix_quality.h"
#include "core/record.h"
#include "kml/kml_stream.h"

namespace tervo {

struct TimeTrackOptions {
    // Put before the ids of the style and the Schema: empty in a log's own
    // document, the receiver's prefix in a merged one.
    std::string IdPrefix;
    std::string ColourText;  // a KmlColor text for the line
    std::string WidthText;   // the line width setting's text
    // The longest step within a segment (the gap rule; see PlaceInTime).
    std::optional<int64_t> GapAboveMs;
};

// IdPrefix + "time-track" and IdPrefix + "track-point".
std::string TimeTrackStyleId(std::string_view idPrefix);
std::string TrackPointSchemaId(std::string_view idPrefix);

// The track's Style, for the head beside the other styles: its line. The
// moving point takes the viewer's own icon, which stands out from the arrows.
void WriteTimeTrackStyle(KmlStream& stream, const TimeTrackOptions& options);
// The Schema of the per-point data; in the document after its styles and before
// its first folder.
void WriteTrackPointSchema(KmlStream& stream, std::string_view idPrefix);

// <Folder><name>Track in time</name>, a placemark "Valid track" holding the
// track, </Folder>; no placemark when no point is in the track.
void WriteTimeTrackFolder(KmlStream& stream, std::span<const waypoints* const> points, LogFormat format,
                          const TimeTrackOptions& options);

}  // namespace tervo
