// The track line strings: one placemark with a LineString per track.
#pragma once

#include <optional>
#include <string_view>

#include "core/point_list.h"
#include "kml/kml_stream.h"

namespace tervo {

// True when a viewer can place the point: a receiver can send NaN or infinity,
// and one such coordinate would make a viewer reject the placemark or the whole
// line, so such points are left out of every folder and line.
bool IsPlottable(double longitude, double latitude, double altitude);

// One line of a LineString's coordinates: "lon,lat,alt" with six decimals and
// CR LF, behind a tab when `tab`; nothing for a point that is not plottable.
void WriteCoordinateLine(KmlStream& stream, const waypoints& point, bool tab);

// With `tolerance` (metres), each line leaves out points without a position and
// keeps only the fixes it needs to pass every fix within the tolerance. The
// line's style is `styleIdPrefix` followed by its name (a merged document
// prefixes every style id of a log).
void WriteNmeaTrack(KmlStream& stream, const list* start, std::string_view name,
                    std::optional<double> tolerance = std::nullopt, std::string_view styleIdPrefix = {});
void WriteBinrTrack(KmlStream& stream, const list* start, std::string_view name,
                    std::optional<double> tolerance = std::nullopt, std::string_view styleIdPrefix = {});
void WriteAllPointsTrack(KmlStream& stream, const list* start, std::string_view name,
                         std::optional<double> tolerance = std::nullopt, std::string_view styleIdPrefix = {});
void WriteDTrackLine(KmlStream& stream, const list* start, std::string_view name,
                     std::optional<double> tolerance = std::nullopt, std::string_view styleIdPrefix = {});

}  // namespace tervo
