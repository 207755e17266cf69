#include "export/geojson_writer.h"

#include <cmath>
#include <vector>

#include "core/fix_filter.h"
#include "core/text_format.h"
#include "export/epoch_fields.h"
#include "export/export_stream.h"

namespace tervo {

namespace {

constexpr int kDegreeDecimals = 7;

bool HasPosition(const waypoints& point) {
    return std::isfinite(point.Longitude) && std::isfinite(point.Latitude) && std::isfinite(point.Altitude);
}

void WritePosition(ExportStream& out, const waypoints& point, LogFormat format) {
    out.Text("[").Fixed(point.Longitude, kDegreeDecimals).Text(",").Fixed(point.Latitude, kDegreeDecimals);
    if (GivesAltitude(point, format)) {
        out.Text(",").Fixed(point.Altitude, 3);
    }
    out.Text("]");
}

void WriteProperties(ExportStream& out, const waypoints& point, LogFormat format) {
    using Kind = FieldValue::Kind;
    out.Text("{");
    bool first = true;
    for (const EpochField& field : EpochFields()) {
        if (field.InGeometry) {
            continue;
        }
        out.Text(first ? "\"" : ",\"").Text(field.Name).Text("\":");
        first = false;
        const FieldValue value = field.ValueOf(point, format);
        switch (value.kind) {
            case Kind::None:
                out.Text("null");
                break;
            case Kind::Number:
                out.Fixed(value.number, value.decimals);
                break;
            case Kind::Integer:
                out.Int(value.integer);
                break;
            case Kind::Text:
                out.Text(JsonString(value.text));
                break;
            case Kind::Boolean:
                out.Text(value.boolean ? "true" : "false");
                break;
            case Kind::DateTime:
                out.Text("\"").Text(value.text).Text("T").Text(value.time).Text("Z\"");
                break;
        }
    }
    out.Text("}");
}

}  // namespace

bool WriteGeoJson(ByteSink& sink, std::span<const waypoints* const> points, LogFormat format,
                  const std::string& name) {
    std::vector<const waypoints*> track;
    for (const waypoints* point : points) {
        if (HasValidFix(*point, format) && HasPosition(*point)) {
            track.push_back(point);
        }
    }
    ExportStream out(sink);
    out.Text("{\"type\":\"FeatureCollection\",");
    if (!name.empty()) {
        out.Text("\"name\":").Text(JsonString(name)).Text(",");
    }
    out.Text("\"features\":[\n");
    bool first = true;
    if (track.size() >= 2) {
        out.Text("{\"type\":\"Feature\",\"properties\":{\"name\":\"Valid track\"},");
        out.Text("\"geometry\":{\"type\":\"LineString\",\"coordinates\":[");
        for (size_t i = 0; i < track.size(); ++i) {
            out.Text(i == 0 ? "" : ",");
            WritePosition(out, *track[i], format);
        }
        out.Text("]}}");
        first = false;
    }
    for (const waypoints* point : points) {
        if (!HasPosition(*point)) {
            continue;
        }
        out.Text(first ? "" : ",\n");
        first = false;
        out.Text("{\"type\":\"Feature\",\"properties\":");
        WriteProperties(out, *point, format);
        out.Text(",\"geometry\":{\"type\":\"Point\",\"coordinates\":");
        WritePosition(out, *point, format);
        out.Text("}}");
    }
    out.Text(first ? "]}\n" : "\n]}\n");
    return out.Close();
}

}  // namespace tervo
