#include "kml/coloured_track.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "kml/document.h"
#include "kml/screen_overlay.h"
#include "kml/track_writer.h"

namespace tervo {

namespace {

std::vector<const waypoints*> Plottable(std::span<const waypoints* const> points) {
    std::vector<const waypoints*> kept;
    kept.reserve(points.size());
    for (const waypoints* point : points) {
        if (IsPlottable(point->Longitude, point->Latitude, point->Altitude)) {
            kept.push_back(point);
        }
    }
    return kept;
}

// The folder of one coloured track: a placemark per run, named and styled by its class.
template <typename NameOf, typename StyleOf>
void WriteRunsFolder(KmlStream& stream, std::string_view folderName,
                     const std::vector<const waypoints*>& points, const std::vector<int>& classes,
                     NameOf nameOf, StyleOf styleOf, std::string_view legendHref,
                     std::string_view styleIdPrefix) {
    stream.Text("<Folder>\n"_kml);
    stream.Text("<name>"_kml).Value(folderName).Text("</name>\n"_kml);
    for (const TrackRun& run : TrackRuns(classes)) {
        stream.Text("<Placemark>\n"_kml);
        stream.Text("<name>"_kml).Value(nameOf(run.Class)).Text("</name>\n"_kml);
        stream.Text("<styleUrl>#"_kml)
            .Value(styleIdPrefix)
            .Value(styleOf(run.Class))
            .Text("</styleUrl>\n"_kml);
        stream.Text("<LineString>\n"_kml);
        stream.Text("<tessellate>1</tessellate>\n"_kml);
        stream.Text("<coordinates>\n"_kml);
        for (size_t i = run.First; i <= run.Last; ++i) {
            WriteCoordinateLine(stream, *points[i], true);
        }
        stream.Text("</coordinates>\n"_kml);
        stream.Text("</LineString>\n"_kml);
        stream.Text("</Placemark>\n"_kml);
    }
    if (!legendHref.empty()) {
        WriteScreenOverlay(stream, "Legend", legendHref, {ScreenCorner::BottomLeft, 0, true});
    }
    stream.Text("</Folder>\n"_kml);
}

// A speed bound as the labels show it: "10", "2.5".
std::string BoundText(double kmh) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, kmh, std::chars_format::fixed, 1);
    std::string out(text, result.ptr);
    if (out.size() > 2 && out.compare(out.size() - 2, 2, ".0") == 0) {
        out.resize(out.size() - 2);
    }
    return out;
}

}  // namespace

std::vector<TrackRun> TrackRuns(std::span<const int> classes) {
    std::vector<TrackRun> runs;
    size_t begin = 0;
    while (begin < classes.size()) {
        size_t end = begin + 1;
        while (end < classes.size() && classes[end] == classes[begin]) {
            ++end;
        }
        // The run reaches back to the last point of the run before it.
        const size_t first = begin == 0 ? 0 : begin - 1;
        if (end - 1 > first) {
            runs.push_back({first, end - 1, classes[begin]});
        }
        begin = end;
    }
    return runs;
}

std::string QualityStyleId(FixClass fixClass) { return "quality-" + std::string(InfoOf(fixClass).Key); }

void WriteQualityStyles(KmlStream& stream, std::string_view widthText, std::string_view styleIdPrefix) {
    for (int c = 0; c < kFixClassCount; ++c) {
        const auto fixClass = static_cast<FixClass>(c);
        WriteLineStyle(stream, widthText, KmlColor(BgrOf(InfoOf(fixClass).Colour)),
                       std::string(styleIdPrefix) + QualityStyleId(fixClass));
    }
}

std::vector<LegendEntry> QualityLegend(std::span<const waypoints* const> points, LogFormat format) {
    bool present[kFixClassCount] = {};
    for (const waypoints* point : Plottable(points)) {
        present[static_cast<size_t>(FixClassOf(*point, format))] = true;
    }
    std::vector<LegendEntry> legend;
    for (int c = 0; c < kFixClassCount; ++c) {
        if (present[c]) {
            const FixClassInfo& info = InfoOf(static_cast<FixClass>(c));
            legend.push_back({std::string(info.Name), info.Colour});
        }
    }
    return legend;
}

void WriteTrackByQuality(KmlStream& stream, std::span<const waypoints* const> points, LogFormat format,
                         std::string_view legendHref, std::string_view styleIdPrefix) {
    const std::vector<const waypoints*> kept = Plottable(points);
    std::vector<int> classes;
    classes.reserve(kept.size());
    for (const waypoints* point : kept) {
        classes.push_back(static_cast<int>(FixClassOf(*point, format)));
    }
    WriteRunsFolder(
        stream, "Track by fix quality", kept, classes,
        [](int c) { return std::string(InfoOf(static_cast<FixClass>(c)).Name); },
        [](int c) { return QualityStyleId(static_cast<FixClass>(c)); }, legendHref, styleIdPrefix);
}

SpeedClasses MakeSpeedClasses(double topSpeedKmh) {
    SpeedClasses classes;
    classes.StepKmh = 1;
    if (!(topSpeedKmh > SpeedClasses::kCount) || !std::isfinite(topSpeedKmh)) {
        return classes;
    }
    const double raw = topSpeedKmh / SpeedClasses::kCount;
    const double magnitude = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (m * magnitude * SpeedClasses::kCount >= topSpeedKmh) {
            classes.StepKmh = m * magnitude;
            break;
        }
    }
    return classes;
}

SpeedClasses MakeSpeedClasses(std::span<const waypoints* const> points) {
    double top = 0;
    for (const waypoints* point : points) {
        if (std::isfinite(point->Speed)) {
            top = std::max(top, point->Speed);
        }
    }
    return MakeSpeedClasses(top);
}

int SpeedClassOf(const SpeedClasses& classes, double speedKmh) {
    if (!(speedKmh > 0)) {
        return 0;
    }
    const double index = std::floor(speedKmh / classes.StepKmh);
    return index >= SpeedClasses::kCount - 1 ? SpeedClasses::kCount - 1 : static_cast<int>(index);
}

std::string SpeedClassLabel(const SpeedClasses& classes, int index) {
    if (index >= SpeedClasses::kCount - 1) {
        return "\u2265 " + BoundText(classes.StepKmh * (SpeedClasses::kCount - 1)) + " km/h";
    }
    return BoundText(classes.StepKmh * index) + "\u2013" + BoundText(classes.StepKmh * (index + 1)) + " km/h";
}

std::string SpeedStyleId(int index) { return "speed-" + std::to_string(index); }

Rgb SpeedClassColour(int index) { return Viridis(static_cast<double>(index) / (SpeedClasses::kCount - 1)); }

void WriteSpeedStyles(KmlStream& stream, std::string_view widthText, std::string_view styleIdPrefix) {
    for (int i = 0; i < SpeedClasses::kCount; ++i) {
        WriteLineStyle(stream, widthText, KmlColor(BgrOf(SpeedClassColour(i))),
                       std::string(styleIdPrefix) + SpeedStyleId(i));
    }
}

std::vector<LegendEntry> SpeedLegend(const SpeedClasses& classes) {
    std::vector<LegendEntry> legend;
    for (int i = 0; i < SpeedClasses::kCount; ++i) {
        legend.push_back({SpeedClassLabel(classes, i), SpeedClassColour(i)});
    }
    return legend;
}

void WriteTrackBySpeed(KmlStream& stream, std::span<const waypoints* const> points,
                       const SpeedClasses& classes, std::string_view legendHref,
                       std::string_view styleIdPrefix) {
    const std::vector<const waypoints*> kept = Plottable(points);
    std::vector<int> indices;
    indices.reserve(kept.size());
    for (const waypoints* point : kept) {
        indices.push_back(SpeedClassOf(classes, point->Speed));
    }
    WriteRunsFolder(
        stream, "Track by speed", kept, indices, [&](int c) { return SpeedClassLabel(classes, c); },
        [](int c) { return SpeedStyleId(c); }, legendHref, styleIdPrefix);
}

void WriteClassStyles(KmlStream& stream, std::string_view widthText, std::span<const TrackClass> classes,
                      std::string_view styleIdPrefix) {
    for (const TrackClass& trackClass : classes) {
        WriteLineStyle(stream, widthText, KmlColor(BgrOf(trackClass.Colour)),
                       std::string(styleIdPrefix) + trackClass.StyleId);
    }
}

void WriteTrackByClass(KmlStream& stream, std::string_view folderName,
                       std::span<const waypoints* const> points, std::span<const int> classOf,
                       std::span<const TrackClass> classes, std::string_view legendHref,
                       std::string_view styleIdPrefix) {
    std::vector<const waypoints*> kept;
    std::vector<int> keptClasses;
    for (size_t i = 0; i < points.size() && i < classOf.size(); ++i) {
        const waypoints& point = *points[i];
        if (IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            kept.push_back(&point);
            keptClasses.push_back(classOf[i]);
        }
    }
    WriteRunsFolder(
        stream, folderName, kept, keptClasses, [&](int c) { return classes[static_cast<size_t>(c)].Name; },
        [&](int c) { return classes[static_cast<size_t>(c)].StyleId; }, legendHref, styleIdPrefix);
}

}  // namespace tervo
