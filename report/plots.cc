#include "report/plots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "report/collectors.h"
#include "report/plot_drawing.h"
#include "report/timeline.h"

namespace tervo {

namespace {

constexpr double kSnrLow = 10;
constexpr double kSnrHigh = 50;
constexpr int kSnrLevels = 32;

// --- The sky plot's pieces.

// The sky plot's disc: elevation 90 at the centre, 0 at the rim; north up.
struct SkyDisc {
    double cx, cy, radius;

    void Place(double elevation, double azimuth, double& x, double& y) const {
        const double r = radius * (90 - elevation) / 90;
        x = cx + r * std::sin(azimuth * M_PI / 180);
        y = cy - r * std::cos(azimuth * M_PI / 180);
    }
};

// Rings at 0, 30 and 60 degrees, spokes every 30 degrees, and their labels.
void DrawSkyGrid(cairo_t* cr, const SkyDisc& disc) {
    const double cx = disc.cx, cy = disc.cy, radius = disc.radius;
    cairo_set_line_width(cr, 1);
    Colour(cr, {250, 250, 250});
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_fill(cr);
    Colour(cr, {200, 200, 200});
    for (int elevation : {0, 30, 60}) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, cx, cy, radius * (90 - elevation) / 90, 0, 2 * M_PI);
    }
    for (int azimuth = 0; azimuth < 360; azimuth += 30) {
        double x, y;
        disc.Place(0, azimuth, x, y);
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
    for (int azimuth = 0; azimuth < 360; azimuth += 30) {
        double x, y;
        disc.Place(-9, azimuth, x, y);
        std::string text = std::to_string(azimuth) + "\u00b0";
        static constexpr std::string_view kPoints[] = {"N", "E", "S", "W"};
        if (azimuth % 90 == 0) {
            text = std::string(kPoints[azimuth / 90]);
        }
        Text(cr, x, y, text, azimuth % 90 == 0 ? kLabelSize : kTickSize - 1, Align::Centre, Anchor::Middle,
             azimuth % 90 == 0);
    }
    for (int elevation : {0, 30, 60, 90}) {
        Text(cr, cx + 3, cy - radius * (90 - elevation) / 90 + (elevation == 90 ? 3 : -3),
             std::to_string(elevation) + "\u00b0", kTickSize - 1, Align::Left,
             elevation == 90 ? Anchor::Top : Anchor::Baseline, false, {110, 110, 110});
    }
}

// The passes' paths, each step in the SNR colour of the position it reaches,
// one stroke per colour level.
void DrawSkyPaths(cairo_t* cr, const SkyDisc& disc, const std::vector<SkyPass>& passes) {
    auto levelOf = [](int snr) {
        const double t = (snr - kSnrLow) / (kSnrHigh - kSnrLow);
        return std::clamp(static_cast<int>(t * kSnrLevels), 0, kSnrLevels - 1);
    };
    std::array<std::vector<std::array<double, 4>>, kSnrLevels> segments;
    for (const SkyPass& pass : passes) {
        for (size_t i = 1; i < pass.Points.size(); ++i) {
            double x0, y0, x1, y1;
            disc.Place(pass.Points[i - 1].Elevation, pass.Points[i - 1].Azimuth, x0, y0);
            disc.Place(pass.Points[i].Elevation, pass.Points[i].Azimuth, x1, y1);
            segments[static_cast<size_t>(levelOf(pass.Points[i].Snr))].push_back({x0, y0, x1, y1});
        }
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 3);
    for (int level = 0; level < kSnrLevels; ++level) {
        const auto& batch = segments[static_cast<size_t>(level)];
        if (batch.empty()) {
            continue;
        }
        for (const auto& s : batch) {
            cairo_move_to(cr, s[0], s[1]);
            cairo_line_to(cr, s[2], s[3]);
        }
        Colour(cr, SnrColour(kSnrLow + (level + 0.5) * (kSnrHigh - kSnrLow) / kSnrLevels));
        cairo_stroke(cr);
    }
}

// A small mark where a pass ended before the log did; the satellites' last
// positions a named one, drawn over them.
void DrawPassEnds(cairo_t* cr, const SkyDisc& disc, const std::vector<SkyPass>& passes) {
    for (const bool toTheEnd : {false, true}) {
        for (const SkyPass& pass : passes) {
            if (pass.ToTheEnd != toTheEnd) {
                continue;
            }
            const SkyPoint& end = pass.Points.back();
            const SatelliteSystemInfo& info = InfoOf(pass.System);
            double x, y;
            disc.Place(end.Elevation, end.Azimuth, x, y);
            Marker(cr, info.Marker, x, y, toTheEnd ? 5 : 3, SnrColour(end.Snr));
            if (toTheEnd) {
                Text(cr, x + 7, y - 6, std::string(1, info.Letter) + std::to_string(pass.Number),
                     kTickSize - 1);
            }
        }
    }
}

// The SNR colour bar, from kSnrHigh at the top to kSnrLow.
void DrawSnrBar(cairo_t* cr, double left, double top, double height) {
    Text(cr, left - 6, top - 14, "SNR (dB-Hz)", kLabelSize);
    for (int i = 0; i < static_cast<int>(height); ++i) {
        const double snr = kSnrHigh - (kSnrHigh - kSnrLow) * (i + 0.5) / height;
        Colour(cr, SnrColour(snr));
        cairo_rectangle(cr, left, top + i, 18, 1);
        cairo_fill(cr);
    }
    Colour(cr, kFrameLine);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, left + 0.5, top + 0.5, 17, std::round(height) - 1);
    cairo_stroke(cr);
    for (double snr = kSnrLow; snr <= kSnrHigh; snr += 10) {
        const double y = top + (kSnrHigh - snr) / (kSnrHigh - kSnrLow) * height;
        std::string text = Label(snr, 0);
        if (snr == kSnrLow) {
            text = "\u2264 " + text;
        } else if (snr == kSnrHigh) {
            text = "\u2265 " + text;
        }
        Text(cr, left + 24, y, text, kTickSize, Align::Left, Anchor::Middle);
    }
}

// The legend of the marker shapes of `systems`, in a box `width` wide.
void DrawMarkerLegend(cairo_t* cr, double left, double top, double width,
                      const std::vector<SatelliteSystem>& systems) {
    Colour(cr, kFrameLine);
    cairo_rectangle(cr, left + 0.5, top + 0.5, width, 48 + 18 * static_cast<double>(systems.size()));
    cairo_stroke(cr);
    Text(cr, left + 8, top + 16, "Last position", kTickSize, Align::Left, Anchor::Baseline, true);
    Text(cr, left + 8, top + 30, "small: end of a pass", kTickSize - 1, Align::Left, Anchor::Baseline, false,
         kNote);
    for (size_t i = 0; i < systems.size(); ++i) {
        const SatelliteSystemInfo& info = InfoOf(systems[i]);
        const double row = top + 50 + 18 * static_cast<double>(i);
        Marker(cr, info.Marker, left + 16, row, 5, {200, 200, 200});
        Text(cr, left + 28, row, std::string(info.Label) + " (" + info.Letter + ")", kTickSize, Align::Left,
             Anchor::Middle);
    }
}

// GPS, SBAS and GLONASS, then the other systems that have a pass, in table order.
std::vector<SatelliteSystem> LegendSystems(const std::vector<SkyPass>& passes) {
    std::vector<SatelliteSystem> systems;
    for (const SatelliteSystemInfo& info : SatelliteSystems()) {
        const bool shown = std::any_of(passes.begin(), passes.end(),
                                       [&](const SkyPass& pass) { return pass.System == info.System; });
        if (IndexOf(info.System) <= IndexOf(SatelliteSystem::Glonass) || shown) {
            systems.push_back(info.System);
        }
    }
    return systems;
}

// --- The SNR plot's pieces.

// Panel `index` of `count` stacked in `frame`, 14 pixels apart.
Frame PanelOf(const Frame& frame, size_t index, size_t count) {
    constexpr double kApart = 14;
    const double height =
        (frame.Height() - kApart * static_cast<double>(count - 1)) / static_cast<double>(count);
    const double top = frame.top + (height + kApart) * static_cast<double>(index);
    return {frame.left, top, frame.right, top + height};
}

// The value axis's title of a panel: with several bands, the band's name first.
std::string SnrAxisTitle(const Frame& panel, const BandSeries* band, bool named) {
    std::string title = panel.Height() >= 120 ? "SNR (dB-Hz)" : "dB-Hz";
    if (!named || band == nullptr) {
        return panel.Height() >= 120 ? "Mean " + title : title;
    }
    const std::string_view name = BandName(band->Band);
    return (name.empty() ? std::string("other") : std::string(name)) + " " + title;
}

// One band's panel: its value axis (titled with the band's name when the plot
// has several), the time axis (labelled under the last panel), a line per system.
void DrawSnrPanel(cairo_t* cr, const Frame& panel, const TimeAxis& axis, double highest,
                  const BandSeries* band, bool named, bool last) {
    const int tickCount = named ? std::max(2, static_cast<int>(panel.Height() / 45)) : 6;
    const Ticks ticks = NiceTicks(0, std::max(highest, 50.0), tickCount);
    ValueAxis(cr, panel, ticks, SnrAxisTitle(panel, band, named));
    DrawTimeAxis(cr, panel, axis, last);
    if (band != nullptr) {
        for (const SystemSeries& one : band->Systems) {
            DrawSeries(cr, one.Samples, panel, axis, ticks,
                       {InfoOf(one.System).Colour, 1.5, SeriesStyle::MeanBand});
        }
    }
    FrameBorder(cr, panel);
}

// --- The fix-quality plot's pieces.

// The classes that occur, in class order.
std::vector<FixClass> PresentClasses(const QualityTimeline& quality) {
    std::vector<FixClass> present;
    for (int c = 0; c < kFixClassCount; ++c) {
        if (quality.Epochs[static_cast<size_t>(c)] > 0) {
            present.push_back(static_cast<FixClass>(c));
        }
    }
    return present;
}

// Per class, the pixel columns of `frame` its epochs cover.
std::array<std::vector<bool>, kFixClassCount> CoveredColumns(const QualityTimeline& quality,
                                                             const std::vector<FixClass>& present,
                                                             const Frame& frame, const TimeAxis& axis) {
    const auto columns = static_cast<size_t>(std::max(1L, std::lround(frame.Width())));
    std::array<std::vector<bool>, kFixClassCount> covered;
    for (FixClass fixClass : present) {
        covered[static_cast<size_t>(fixClass)].assign(columns, false);
    }
    for (const QualitySpan& span : quality.Spans) {
        const double x0 = axis.X(frame, span.From) - frame.left;
        const double x1 = axis.X(frame, std::min(span.To, axis.last)) - frame.left;
        const auto first = static_cast<size_t>(std::clamp(std::floor(x0), 0.0, columns - 1.0));
        const auto last =
            static_cast<size_t>(std::clamp(std::ceil(x1) - 1, static_cast<double>(first), columns - 1.0));
        std::vector<bool>& band = covered[static_cast<size_t>(span.Class)];
        for (size_t c = first; c <= last; ++c) {
            band[c] = true;
        }
    }
    return covered;
}

// One band per class that occurs, each in a row of its own with its name at the left.
void DrawQualityBands(cairo_t* cr, const Frame& frame, const std::vector<FixClass>& present,
                      const std::array<std::vector<bool>, kFixClassCount>& covered) {
    const double rowHeight =
        present.empty() ? frame.Height() : frame.Height() / static_cast<double>(present.size());
    for (size_t row = 0; row < present.size(); ++row) {
        const FixClassInfo& info = InfoOf(present[row]);
        const double top = frame.top + rowHeight * static_cast<double>(row);
        // Bands at most kThickest thick, in the middle of their rows.
        constexpr double kThickest = 44;
        const double bandHeight = std::min(kThickest, rowHeight * 0.7);
        const double bandTop = top + (rowHeight - bandHeight) / 2;
        const std::vector<bool>& band = covered[static_cast<size_t>(present[row])];
        Colour(cr, info.Colour);
        for (size_t c = 0; c < band.size();) {
            if (!band[c]) {
                ++c;
                continue;
            }
            size_t end = c;
            while (end < band.size() && band[end]) {
                ++end;
            }
            cairo_rectangle(cr, frame.left + static_cast<double>(c), bandTop, static_cast<double>(end - c),
                            bandHeight);
            c = end;
        }
        cairo_fill(cr);
        Text(cr, frame.left - 8, top + rowHeight / 2, info.Name, kTickSize, Align::Right, Anchor::Middle);
        if (row > 0) {
            Colour(cr, kGrid);
            cairo_set_line_width(cr, 1);
            cairo_move_to(cr, frame.left, std::round(top) + 0.5);
            cairo_line_to(cr, frame.right, std::round(top) + 0.5);
            cairo_stroke(cr);
        }
    }
}

// Each class with its share of the epochs, three entries a row from `top`.
void DrawQualityLegend(cairo_t* cr, int width, double top, const QualityTimeline& quality,
                       const std::vector<FixClass>& present) {
    const double entryWidth = (width - 40.0) / 3;
    for (size_t i = 0; i < present.size(); ++i) {
        const FixClassInfo& info = InfoOf(present[i]);
        const double x = 20 + entryWidth * static_cast<double>(i % 3);
        const double y = top + 9 + 18 * static_cast<double>(i / 3);
        Colour(cr, info.Colour);
        cairo_rectangle(cr, x, y - 6, 22, 12);
        cairo_fill(cr);
        const double share = 100.0 * static_cast<double>(quality.Epochs[static_cast<size_t>(present[i])]) /
                             static_cast<double>(quality.Total);
        Text(cr, x + 28, y, std::string(info.Name) + "  " + Label(share, 1) + " %", kTickSize, Align::Left,
             Anchor::Middle);
    }
}

}  // namespace

Rgb SystemColour(char system) {
    const std::optional<SatelliteSystem> known = SystemOfLetter(system);
    return known ? InfoOf(*known).Colour : kInk;
}

Rgb SnrColour(double snrDbHz) { return Viridis((snrDbHz - kSnrLow) / (kSnrHigh - kSnrLow)); }

std::vector<uint8_t> SkyPlotPng(const list* start, LogFormat, PlotSize size,
                                const SatelliteObservations* observations) {
    const std::vector<SkyPass> passes = CollectSkyPasses(start, observations);
    const std::vector<SatelliteSystem> legend = LegendSystems(passes);

    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Sky plot: satellite paths by SNR",
          "azimuth (\u00b0) clockwise from north, elevation (\u00b0) 90 at the centre");
    const double sideWidth = 170;
    const double radius = std::max(20.0, std::min(size.Height - 110.0, size.Width - sideWidth - 80.0) / 2);
    const SkyDisc disc{40 + radius, 64 + radius, radius};
    DrawSkyGrid(cr, disc);
    DrawSkyPaths(cr, disc, passes);
    DrawPassEnds(cr, disc, passes);
    if (passes.empty()) {
        NoData(cr, {disc.cx - radius, disc.cy - radius, disc.cx + radius, disc.cy + radius},
               "No satellite positions in the log");
    }
    // The colour bar gives way to the legend's rows: 250 pixels of the height
    // go to the title, the gaps and a legend of three systems.
    const double barLeft = size.Width - sideWidth + 30;
    const double barTop = 82;
    const double barHeight = std::max(40.0, size.Height - 196.0 - 18.0 * static_cast<double>(legend.size()));
    DrawSnrBar(cr, barLeft, barTop, barHeight);
    DrawMarkerLegend(cr, barLeft - 10, barTop + barHeight + 26, sideWidth - 40, legend);
    return canvas.Png();
}

std::vector<uint8_t> SnrPlotPng(const list* start, LogFormat format, PlotSize size,
                                const SatelliteObservations* observations) {
    const EpochTimeline timeline = TimeEpochs(start, format);
    const std::vector<BandSeries> bands = CollectSnrSeries(start, timeline, observations);
    double highest = 0;
    std::vector<LegendEntry> legend;
    for (const SatelliteSystemInfo& info : SatelliteSystems()) {
        bool drawn = false;
        for (const BandSeries& band : bands) {
            for (const SystemSeries& one : band.Systems) {
                drawn = drawn || one.System == info.System;
                for (const Sample& sample : one.Samples) {
                    highest = std::isnan(sample.Value) ? highest : std::max(highest, sample.Value);
                }
            }
        }
        if (drawn) {
            legend.push_back({std::string(info.Label), info.Colour});
        }
    }

    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Signal strength by satellite system",
          "line: mean SNR of the system's satellites in view; band: its range within a pixel");
    const Frame frame{70, 52, size.Width - 20.0, size.Height - 80.0};
    const TimeAxis axis = TimeAxisOf(timeline);
    const size_t panels = std::max<size_t>(1, bands.size());
    for (size_t i = 0; i < panels; ++i) {
        const Frame panel = PanelOf(frame, i, panels);
        const BandSeries* band = i < bands.size() ? &bands[i] : nullptr;
        DrawSnrPanel(cr, panel, axis, highest, band, panels > 1, i + 1 == panels);
    }
    if (legend.empty()) {
        NoData(cr, frame, "No satellite signals in the log");
    }
    RowLegend(cr, size.Width / 2.0, size.Height - 14.0, legend);
    return canvas.Png();
}

std::vector<uint8_t> SpeedAltitudePlotPng(const list* start, LogFormat format, PlotSize size) {
    const EpochTimeline timeline = TimeEpochs(start, format);
    const MotionSeries motion = CollectMotion(start, format, timeline);
    double speedHigh = 0;
    double altitudeLow = std::numeric_limits<double>::infinity();
    double altitudeHigh = -altitudeLow;
    for (const Sample& s : motion.Speed) {
        speedHigh = std::isnan(s.Value) ? speedHigh : std::max(speedHigh, s.Value);
    }
    for (const Sample& s : motion.Altitude) {
        altitudeLow = std::isnan(s.Value) ? altitudeLow : std::min(altitudeLow, s.Value);
        altitudeHigh = std::isnan(s.Value) ? altitudeHigh : std::max(altitudeHigh, s.Value);
    }

    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Speed and altitude of the valid fixes");
    const double middle = std::round((40 + size.Height - 80.0) / 2);
    const Frame speedFrame{70, 40, size.Width - 20.0, middle - 8};
    const Frame altitudeFrame{70, middle + 8, size.Width - 20.0, size.Height - 80.0};
    const TimeAxis axis = TimeAxisOf(timeline);
    const Rgb speedColour{31, 119, 180};
    const Rgb altitudeColour{44, 160, 44};
    const Ticks speedTicks = NiceTicks(0, std::max(speedHigh, 1.0), 4);
    ValueAxis(cr, speedFrame, speedTicks, "Speed (km/h)");
    DrawTimeAxis(cr, speedFrame, axis, false);
    const Ticks altitudeTicks =
        altitudeLow <= altitudeHigh ? NiceTicks(altitudeLow, altitudeHigh, 4) : NiceTicks(0, 100, 4);
    ValueAxis(cr, altitudeFrame, altitudeTicks, "Altitude (m)");
    DrawTimeAxis(cr, altitudeFrame, axis);
    DrawSeries(cr, motion.Speed, speedFrame, axis, speedTicks, {speedColour});
    DrawSeries(cr, motion.Altitude, altitudeFrame, axis, altitudeTicks, {altitudeColour});
    const bool anySpeed = std::any_of(motion.Speed.begin(), motion.Speed.end(),
                                      [](const Sample& s) { return !std::isnan(s.Value); });
    if (!anySpeed) {
        NoData(cr, speedFrame, "No speed in the log");
    }
    if (!(altitudeLow <= altitudeHigh)) {
        NoData(cr, altitudeFrame, "No altitude in the log");
    }
    FrameBorder(cr, speedFrame);
    FrameBorder(cr, altitudeFrame);
    RowLegend(cr, size.Width / 2.0, size.Height - 14.0,
              {{"Speed (km/h)", speedColour}, {"Altitude (m)", altitudeColour}});
    return canvas.Png();
}

std::vector<uint8_t> FixQualityPlotPng(const list* start, LogFormat format, PlotSize size) {
    const EpochTimeline timeline = TimeEpochs(start, format);
    const QualityTimeline quality = CollectQualityTimeline(start, format, timeline);
    const std::vector<FixClass> present = PresentClasses(quality);

    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Fix quality over time");
    // The legend's rows under the time axis, three entries a row.
    const int legendRows = std::max(1, static_cast<int>((present.size() + 2) / 3));
    const double legendTop = size.Height - 14.0 - 18.0 * legendRows;
    double labelWidth = 60;
    for (FixClass fixClass : present) {
        labelWidth = std::max(labelWidth, TextWidth(cr, InfoOf(fixClass).Name, kTickSize));
    }
    const Frame frame{std::min(labelWidth + 20, size.Width / 3.0), 44, size.Width - 20.0, legendTop - 48};
    const TimeAxis axis = TimeAxisOf(timeline);
    const auto covered = CoveredColumns(quality, present, frame, axis);
    DrawTimeAxis(cr, frame, axis);
    DrawQualityBands(cr, frame, present, covered);
    if (present.empty()) {
        NoData(cr, frame, "No epochs in the log");
    }
    FrameBorder(cr, frame);
    Text(cr, 14, (frame.top + frame.bottom) / 2, "Fix quality", kLabelSize, Align::Centre, Anchor::Top, false,
         kInk, -M_PI / 2);
    DrawQualityLegend(cr, size.Width, frame.bottom + 48, quality, present);
    return canvas.Png();
}

std::vector<uint8_t> LegendPng(std::string_view title, std::span<const LegendEntry> entries) {
    double width;
    {
        // Measured on a scratch surface: the card is sized to its text.
        Canvas scratch(1, 1);
        width = TextWidth(scratch.cr(), title, kLabelSize, true) + 24;
        for (const LegendEntry& entry : entries) {
            width = std::max(width, TextWidth(scratch.cr(), entry.Label, kLabelSize) + 58);
        }
    }
    const int cardWidth = static_cast<int>(std::ceil(width));
    const int cardHeight = 38 + 20 * static_cast<int>(entries.size());
    Canvas canvas(cardWidth, cardHeight, 0);
    cairo_t* cr = canvas.cr();
    cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
    cairo_rectangle(cr, 0.5, 0.5, cardWidth - 1, cardHeight - 1);
    cairo_fill_preserve(cr);
    Colour(cr, kFrameLine);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    Text(cr, 12, 20, title, kLabelSize, Align::Left, Anchor::Baseline, true);
    for (size_t i = 0; i < entries.size(); ++i) {
        const double y = 36 + 20 * static_cast<double>(i);
        Colour(cr, entries[i].Colour);
        cairo_rectangle(cr, 12, y - 6, 30, 12);
        cairo_fill(cr);
        Text(cr, 48, y, entries[i].Label, kLabelSize, Align::Left, Anchor::Middle);
    }
    return canvas.Png();
}

}  // namespace tervo
