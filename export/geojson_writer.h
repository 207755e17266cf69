// The GeoJSON export (RFC 7946): one FeatureCollection holding the valid track
// as a LineString feature (its "name" property "Valid track"; left out with
// fewer than two points) and then every epoch given, in order, as a Point
// feature with the EpochFields but the position as its properties (null where
// the log does not give a value). A position is [longitude, latitude] with the
// altitude as a third number where the log gives it. An epoch whose position is
// not finite is left out, and out of the track; the track holds the epochs with
// a valid fix (HasValidFix). Lines end in LF, a feature per line.
#pragma once

#include <span>
#include <string>

#include "core/byte_sink.h"
#include "core/fix_quality.h"
#include "core/record.h"

namespace tervo {

// `name` becomes the collection's "name" member (GDAL's layer name); none when
// empty. Writes the whole file onto `sink` and closes it; false when a byte was
// lost.
bool WriteGeoJson(ByteSink& sink, std::span<const waypoints* const> points, LogFormat format,
                  const std::string& name);

}  // namespace tervo
