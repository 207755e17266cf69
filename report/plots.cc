#include "report/plots.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "core/calendar.h"
#include "report/timeline.h"

namespace tervo {

namespace {

constexpr const char* kFont = "DejaVu Sans";
constexpr double kTitleSize = 15;
constexpr double kLabelSize = 11;
constexpr double kTickSize = 10;
constexpr Rgb kInk{40, 40, 40};
constexpr Rgb kGrid{225, 225, 225};
constexpr Rgb kFrameLine{120, 120, 120};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A gap: a step longer than this many typical steps.
constexpr double kGapFactor = 3;

// --- The drawing surface and its text.

class Canvas {
public:
    Canvas(int width, int height, double groundAlpha = 1)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 1), std::max(height, 1))),
          cr_(cairo_create(surface_)) {
        cairo_set_source_rgba(cr_, 1, 1, 1, groundAlpha);
        cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
        cairo_select_font_face(cr_, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    }
    ~Canvas() {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }

    std::vector<uint8_t> Png() const {
        cairo_surface_flush(surface_);
        std::vector<uint8_t> bytes;
        cairo_surface_write_to_png_stream(
            surface_,
            [](void* closure, const unsigned char* data, unsigned int length) {
                auto* out = static_cast<std::vector<uint8_t>*>(closure);
                out->insert(out->end(), data, data + length);
                return CAIRO_STATUS_SUCCESS;
            },
            &bytes);
        return bytes;
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

void Colour(cairo_t* cr, Rgb colour, double alpha = 1) {
    cairo_set_source_rgba(cr, colour.R / 255.0, colour.G / 255.0, colour.B / 255.0, alpha);
}

enum class Align { Left, Centre, Right };
enum class Anchor { Baseline, Middle, Top };

double TextWidth(cairo_t* cr, std::string_view text, double size, bool bold = false) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    const std::string owned(text);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, owned.c_str(), &extents);
    return extents.x_advance;
}

// Writes `text` at (x, y); `angle` in radians turns it about that point.
void Text(cairo_t* cr, double x, double y, std::string_view text, double size, Align align = Align::Left,
          Anchor anchor = Anchor::Baseline, bool bold = false, Rgb colour = kInk, double angle = 0) {
    const double width = TextWidth(cr, text, size, bold);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    double dx = align == Align::Left ? 0 : align == Align::Centre ? -width / 2 : -width;
    double dy = anchor == Anchor::Baseline ? 0
                : anchor == Anchor::Middle ? (font.ascent - font.descent) / 2
                                           : font.ascent;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, dx, dy);
    Colour(cr, colour);
    const std::string owned(text);
    cairo_show_text(cr, owned.c_str());
    cairo_restore(cr);
}

void Title(cairo_t* cr, int width, std::string_view title) {
    Text(cr, width / 2.0, 24, title, kTitleSize, Align::Centre, Anchor::Baseline, true);
}

// A number with `decimals` decimals and a "." whatever the locale.
std::string Label(double value, int decimals) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string out(text, result.ptr);
    return out == "-0" ? "0" : out;
}

// --- Scales and ticks.

// The part of the canvas a plot's data fill.
struct Frame {
    double left, top, right, bottom;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
};

struct Ticks {
    double low, high, step;
    int decimals;
};

// A range from `low` to `high` widened to whole steps of 1, 2, 2.5 or 5 times a
// power of ten, with at most about `count` steps.
Ticks NiceTicks(double low, double high, int count) {
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    const double raw = (high - low) / count;
    const double magnitude = std::pow(10, std::floor(std::log10(raw)));
    double step = magnitude * 10;
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if ((high - low) / (m * magnitude) <= count) {
            step = m * magnitude;
            break;
        }
    }
    Ticks ticks;
    ticks.step = step;
    ticks.low = std::floor(low / step + 1e-9) * step;
    ticks.high = std::ceil(high / step - 1e-9) * step;
    const double exponent = -std::floor(std::log10(step) + 1e-9);
    ticks.decimals =
        std::max(0, static_cast<int>(exponent) + (std::fmod(step / magnitude, 1.0) > 0.01 ? 1 : 0));
    return ticks;
}

// A value axis at the left of `frame`: grid lines, tick labels, the title turned upright.
void ValueAxis(cairo_t* cr, const Frame& frame, const Ticks& ticks, std::string_view title) {
    cairo_set_line_width(cr, 1);
    for (double v = ticks.low; v <= ticks.high + ticks.step * 1e-6; v += ticks.step) {
        const double y =
            std::round(frame.bottom - (v - ticks.low) / (ticks.high - ticks.low) * frame.Height()) + 0.5;
        Colour(cr, kGrid);
        cairo_move_to(cr, frame.left, y);
        cairo_line_to(cr, frame.right, y);
        cairo_stroke(cr);
        Text(cr, frame.left - 6, y, Label(v, ticks.decimals), kTickSize, Align::Right, Anchor::Middle);
    }
    Text(cr, frame.left - 46, (frame.top + frame.bottom) / 2, title, kLabelSize, Align::Centre,
         Anchor::Middle, false, kInk, -M_PI / 2);
}

void FrameBorder(cairo_t* cr, const Frame& frame) {
    Colour(cr, kFrameLine);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, std::round(frame.left) + 0.5, std::round(frame.top) + 0.5,
                    std::round(frame.Width()) - 1, std::round(frame.Height()) - 1);
    cairo_stroke(cr);
}

// The time axis of a log: seconds on the epoch scale to pixels, labels in UTC.
struct TimeAxis {
    double first = 0;  // seconds on the scale
    double last = 1;
    int32_t startTimeOfDayMs = 0;
    std::optional<int64_t> startUnixMs;

    double X(const Frame& frame, double seconds) const {
        return frame.left + (seconds - first) / (last - first) * frame.Width();
    }
};

TimeAxis TimeAxisOf(const EpochTimeline& timeline) {
    TimeAxis axis;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (double s : timeline.Seconds) {
        if (!std::isnan(s)) {
            low = std::min(low, s);
            high = std::max(high, s);
        }
    }
    if (low > high) {
        low = 0;
        high = 1;
    }
    if (high - low < 1) {
        high = low + 1;
    }
    axis.first = low;
    axis.last = high;
    axis.startTimeOfDayMs = timeline.StartTimeOfDayMs.value_or(0);
    axis.startUnixMs = timeline.StartUnixMs;
    return axis;
}

// Ticks at whole multiples of a step of the clock, labelled "hh:mm" (or
// "hh:mm:ss" below a minute), under `frame`, with the axis title below them.
void DrawTimeAxis(cairo_t* cr, const Frame& frame, const TimeAxis& axis, bool labels = true) {
    static constexpr double kSteps[] = {1,   2,    5,    10,   15,    30,    60,    120,   300,   600,
                                        900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800};
    const double span = axis.last - axis.first;
    double step = kSteps[std::size(kSteps) - 1];
    for (double s : kSteps) {
        if (span / s <= 6) {
            step = s;
            break;
        }
    }
    const double startClock = axis.startTimeOfDayMs / 1000.0;
    const double firstTick = std::ceil((startClock + axis.first) / step - 1e-9) * step - startClock;
    cairo_set_line_width(cr, 1);
    for (double t = firstTick; t <= axis.last + 1e-6; t += step) {
        const double x = std::round(axis.X(frame, t)) + 0.5;
        Colour(cr, kGrid);
        cairo_move_to(cr, x, frame.top);
        cairo_line_to(cr, x, frame.bottom);
        cairo_stroke(cr);
        if (labels) {
            std::string text = TimeOfDayText(std::llround((startClock + t) * 1000));
            text = text.substr(0, step < 60 ? 8 : 5);
            // A label at the frame's right end stays on the canvas.
            const double half = TextWidth(cr, text, kTickSize) / 2;
            Text(cr, std::min(x, frame.right + 16 - half), frame.bottom + 6, text, kTickSize, Align::Centre,
                 Anchor::Top);
        }
    }
    if (!labels) {
        return;
    }
    std::string title = "Time (UTC)";
    if (axis.startUnixMs) {
        const int64_t firstDay =
            static_cast<int64_t>(std::floor((*axis.startUnixMs + axis.first * 1000) / 86'400'000.0));
        const int64_t lastDay =
            static_cast<int64_t>(std::floor((*axis.startUnixMs + axis.last * 1000) / 86'400'000.0));
        title += ", " + DateTextOfDays(firstDay);
        if (lastDay != firstDay) {
            title += " to " + DateTextOfDays(lastDay);
        }
    }
    Text(cr, (frame.left + frame.right) / 2, frame.bottom + 24, title, kLabelSize, Align::Centre,
         Anchor::Top);
}

void NoData(cairo_t* cr, const Frame& frame, std::string_view text) {
    Text(cr, (frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2, text, kLabelSize, Align::Centre,
         Anchor::Middle, false, {150, 150, 150});
}

// --- Lines over time, sampled to pixel columns.

struct Sample {
    double seconds;
    double value;  // NaN: the line breaks here
};

// How DrawSeries shows the samples of a pixel column.
enum class SeriesStyle {
    Envelope,  // one line through the first, least, greatest and last value
    MeanBand,  // a line through the mean over a pale band from least to greatest
};

// Draws `samples` (in time order) in `frame`, sampled to its pixel columns; the
// line breaks at a NaN value and at a step longer than kGapFactor typical steps
// of the series.
void DrawSeries(cairo_t* cr, const std::vector<Sample>& samples, const Frame& frame, const TimeAxis& axis,
                const Ticks& ticks, Rgb colour, double width, SeriesStyle style) {
    std::vector<double> steps;
    for (size_t i = 1; i < samples.size(); ++i) {
        const double step = samples[i].seconds - samples[i - 1].seconds;
        if (step > 0 && !std::isnan(samples[i].value) && !std::isnan(samples[i - 1].value)) {
            steps.push_back(step);
        }
    }
    const double gap = steps.empty() ? std::numeric_limits<double>::infinity() : MedianOf(steps) * kGapFactor;
    auto y = [&](double v) {
        return frame.bottom - (v - ticks.low) / (ticks.high - ticks.low) * frame.Height();
    };

    struct Column {
        long index = -1;
        double first = 0, low = 0, high = 0, last = 0, sum = 0;
        int count = 0;
        bool breakBefore = true;
        double X(const Frame& f) const { return f.left + static_cast<double>(index) + 0.5; }
    };
    std::vector<Column> columns;
    bool broken = true;
    double previousSeconds = kNaN;
    const long lastIndex = std::max(0L, std::lround(frame.Width()) - 1);
    for (const Sample& sample : samples) {
        if (std::isnan(sample.value)) {
            broken = true;
            continue;
        }
        if (!std::isnan(previousSeconds) && sample.seconds - previousSeconds > gap) {
            broken = true;
        }
        previousSeconds = sample.seconds;
        const long index =
            std::clamp(std::lround(std::floor(axis.X(frame, sample.seconds) - frame.left)), 0L, lastIndex);
        if (columns.empty() || index != columns.back().index) {
            columns.push_back(
                {index, sample.value, sample.value, sample.value, sample.value, sample.value, 1, broken});
        } else {
            Column& column = columns.back();
            column.low = std::min(column.low, sample.value);
            column.high = std::max(column.high, sample.value);
            column.last = sample.value;
            column.sum += sample.value;
            ++column.count;
        }
        broken = false;
    }

    cairo_save(cr);
    cairo_rectangle(cr, frame.left, frame.top, frame.Width(), frame.Height());
    cairo_clip(cr);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    if (style == SeriesStyle::MeanBand) {
        // The band of each unbroken run: along the greatest values, back along the least.
        for (size_t begin = 0; begin < columns.size();) {
            size_t end = begin + 1;
            while (end < columns.size() && !columns[end].breakBefore) {
                ++end;
            }
            cairo_move_to(cr, columns[begin].X(frame), y(columns[begin].high));
            for (size_t i = begin + 1; i < end; ++i) {
                cairo_line_to(cr, columns[i].X(frame), y(columns[i].high));
            }
            for (size_t i = end; i-- > begin;) {
                cairo_line_to(cr, columns[i].X(frame), y(columns[i].low));
            }
            cairo_close_path(cr);
            begin = end;
        }
        Colour(cr, colour, 0.18);
        cairo_fill(cr);
    }
    cairo_new_path(cr);
    for (const Column& column : columns) {
        const double x = column.X(frame);
        const double start = style == SeriesStyle::MeanBand ? column.sum / column.count : column.first;
        if (column.breakBefore) {
            cairo_move_to(cr, x, y(start));
        } else {
            cairo_line_to(cr, x, y(start));
        }
        if (style == SeriesStyle::Envelope) {
            cairo_line_to(cr, x, y(column.low));
            cairo_line_to(cr, x, y(column.high));
            cairo_line_to(cr, x, y(column.last));
        }
    }
    Colour(cr, colour);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// A legend in one row centred at height `y`: a short line in each colour and its name.
void RowLegend(cairo_t* cr, double centre, double y, const std::vector<LegendEntry>& entries) {
    double total = 0;
    for (const LegendEntry& entry : entries) {
        total += 30 + TextWidth(cr, entry.Label, kTickSize) + 20;
    }
    double x = centre - (total - 20) / 2;
    for (const LegendEntry& entry : entries) {
        Colour(cr, entry.Colour);
        cairo_set_line_width(cr, 3);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + 24, y);
        cairo_stroke(cr);
        Text(cr, x + 30, y, entry.Label, kTickSize, Align::Left, Anchor::Middle);
        x += 30 + TextWidth(cr, entry.Label, kTickSize) + 20;
    }
}

// --- The sky plot's pieces.

enum class Shape { Circle, Square, Triangle };

Shape ShapeOf(char system) {
    return system == 'R' ? Shape::Square : system == 'S' ? Shape::Triangle : Shape::Circle;
}

void MarkerPath(cairo_t* cr, Shape shape, double x, double y, double r) {
    switch (shape) {
        case Shape::Circle:
            cairo_new_sub_path(cr);
            cairo_arc(cr, x, y, r, 0, 2 * M_PI);
            break;
        case Shape::Square:
            cairo_rectangle(cr, x - r * 0.9, y - r * 0.9, r * 1.8, r * 1.8);
            break;
        case Shape::Triangle:
            cairo_move_to(cr, x, y - r * 1.2);
            cairo_line_to(cr, x + r * 1.1, y + r * 0.8);
            cairo_line_to(cr, x - r * 1.1, y + r * 0.8);
            cairo_close_path(cr);
            break;
    }
}

void Marker(cairo_t* cr, Shape shape, double x, double y, double r, Rgb fill) {
    MarkerPath(cr, shape, x, y, r);
    Colour(cr, fill);
    cairo_fill_preserve(cr);
    Colour(cr, kInk);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

constexpr double kSnrLow = 10;
constexpr double kSnrHigh = 50;
constexpr int kSnrLevels = 32;

struct SystemStyle {
    char system;
    std::string_view name;
    Rgb colour;
};
constexpr std::array<SystemStyle, 3> kSystemStyles = {{
    {'G', "GPS", {31, 119, 180}},
    {'S', "SBAS", {148, 103, 189}},
    {'R', "GLONASS", {214, 39, 40}},
}};

}  // namespace

Rgb SystemColour(char system) {
    for (const SystemStyle& style : kSystemStyles) {
        if (style.system == system) {
            return style.colour;
        }
    }
    return kInk;
}

Rgb SnrColour(double snrDbHz) { return Viridis((snrDbHz - kSnrLow) / (kSnrHigh - kSnrLow)); }

std::vector<uint8_t> SkyPlotPng(const list* start, LogFormat, PlotSize size) {
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Sky plot: satellite paths by SNR");
    Text(cr, size.Width / 2.0, 42,
         "azimuth (\u00b0) clockwise from north, elevation (\u00b0) 90 at the centre", kTickSize,
         Align::Centre, Anchor::Baseline, false, {100, 100, 100});

    const double sideWidth = 170;
    const double radius = std::max(20.0, std::min(size.Height - 110.0, size.Width - sideWidth - 80.0) / 2);
    const double cx = 40 + radius;
    const double cy = 64 + radius;
    auto place = [&](double elevation, double azimuth, double& x, double& y) {
        const double r = radius * (90 - elevation) / 90;
        x = cx + r * std::sin(azimuth * M_PI / 180);
        y = cy - r * std::cos(azimuth * M_PI / 180);
    };

    // The grid: rings at 0, 30 and 60 degrees, spokes every 30 degrees.
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
        place(0, azimuth, x, y);
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
    for (int azimuth = 0; azimuth < 360; azimuth += 30) {
        double x, y;
        place(-9, azimuth, x, y);
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

    // The paths: positions of every stride-th epoch with satellite rows.
    size_t satelliteEpochs = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        satelliteEpochs += node->Point.HasSatellites == 1 ? 1 : 0;
    }
    constexpr size_t kMostSamples = 1200;
    const size_t stride = std::max<size_t>(1, (satelliteEpochs + kMostSamples - 1) / kMostSamples);
    struct Track {
        long sample = -2;  // the sample it was last seen in
        double x = 0, y = 0;
        int snr = 0;
        char system = 0;
        int number = 0;
    };
    struct PassEnd {
        double x, y;
        int snr;
        char system;
        int number;
    };
    std::array<Track, kSatelliteRows> tracks{};
    std::vector<PassEnd> ends;
    std::array<std::vector<std::array<double, 4>>, kSnrLevels> segments;
    auto levelOf = [](int snr) {
        const double t = (snr - kSnrLow) / (kSnrHigh - kSnrLow);
        return std::clamp(static_cast<int>(t * kSnrLevels), 0, kSnrLevels - 1);
    };
    const double longestStep = radius * 0.3;
    long sample = -1;
    size_t seen = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (point.HasSatellites != 1 || seen++ % stride != 0) {
            continue;
        }
        ++sample;
        for (const SatelliteRow& row : point.Satellites) {
            if (row.InView != 1 || (row.Elevation == 0 && row.Azimuth == 0) || row.Elevation > 90 ||
                (row.System != 'G' && row.System != 'S' && row.System != 'R')) {
                continue;
            }
            double x, y;
            place(row.Elevation, row.Azimuth, x, y);
            Track& track = tracks[row.Id];
            const bool continues =
                track.sample == sample - 1 && std::hypot(x - track.x, y - track.y) <= longestStep;
            if (continues) {
                segments[static_cast<size_t>(levelOf(row.Snr))].push_back({track.x, track.y, x, y});
            } else if (track.sample >= 0) {
                ends.push_back({track.x, track.y, track.snr, track.system, track.number});
            }
            track = {sample, x, y, row.Snr, row.System, row.Number};
        }
    }
    // The passes still going at the end of the log end there: the satellites'
    // last positions, after the ends of the passes that stopped before.
    for (const Track& track : tracks) {
        if (track.sample >= 0 && track.sample < sample) {
            ends.push_back({track.x, track.y, track.snr, track.system, track.number});
        }
    }
    const size_t earlierEnds = ends.size();
    for (const Track& track : tracks) {
        if (track.sample >= 0 && track.sample == sample) {
            ends.push_back({track.x, track.y, track.snr, track.system, track.number});
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
    // Passes that ended before the log did get a small mark; the satellites'
    // last positions a named one.
    for (size_t i = 0; i < ends.size(); ++i) {
        const PassEnd& end = ends[i];
        const bool last = i >= earlierEnds;
        Marker(cr, ShapeOf(end.system), end.x, end.y, last ? 5 : 3, SnrColour(end.snr));
        if (last) {
            Text(cr, end.x + 7, end.y - 6, std::string(1, end.system) + std::to_string(end.number),
                 kTickSize - 1);
        }
    }
    if (ends.empty()) {
        NoData(cr, {cx - radius, cy - radius, cx + radius, cy + radius}, "No satellite positions in the log");
    }

    // The colour bar.
    const double barLeft = size.Width - sideWidth + 30;
    const double barTop = 82;
    const double barHeight = std::max(40.0, size.Height - 250.0);
    Text(cr, barLeft - 6, barTop - 14, "SNR (dB-Hz)", kLabelSize);
    for (int i = 0; i < static_cast<int>(barHeight); ++i) {
        const double snr = kSnrHigh - (kSnrHigh - kSnrLow) * (i + 0.5) / barHeight;
        Colour(cr, SnrColour(snr));
        cairo_rectangle(cr, barLeft, barTop + i, 18, 1);
        cairo_fill(cr);
    }
    Colour(cr, kFrameLine);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, barLeft + 0.5, barTop + 0.5, 17, std::round(barHeight) - 1);
    cairo_stroke(cr);
    for (double snr = kSnrLow; snr <= kSnrHigh; snr += 10) {
        const double y = barTop + (kSnrHigh - snr) / (kSnrHigh - kSnrLow) * barHeight;
        std::string text = Label(snr, 0);
        if (snr == kSnrLow) {
            text = "\u2264 " + text;
        } else if (snr == kSnrHigh) {
            text = "\u2265 " + text;
        }
        Text(cr, barLeft + 24, y, text, kTickSize, Align::Left, Anchor::Middle);
    }

    // The legend of the marker shapes.
    const double legendTop = barTop + barHeight + 26;
    const double legendLeft = barLeft - 10;
    Colour(cr, kFrameLine);
    cairo_rectangle(cr, legendLeft + 0.5, legendTop + 0.5, sideWidth - 40, 48 + 18 * 3.0);
    cairo_stroke(cr);
    Text(cr, legendLeft + 8, legendTop + 16, "Last position", kTickSize, Align::Left, Anchor::Baseline, true);
    Text(cr, legendLeft + 8, legendTop + 30, "small: end of a pass", kTickSize - 1, Align::Left,
         Anchor::Baseline, false, {100, 100, 100});
    for (size_t i = 0; i < kSystemStyles.size(); ++i) {
        const double row = legendTop + 50 + 18 * static_cast<double>(i);
        Marker(cr, ShapeOf(kSystemStyles[i].system), legendLeft + 16, row, 5, {200, 200, 200});
        Text(cr, legendLeft + 28, row,
             std::string(kSystemStyles[i].name) + " (" + kSystemStyles[i].system + ")", kTickSize,
             Align::Left, Anchor::Middle);
    }
    return canvas.Png();
}

std::vector<uint8_t> SnrPlotPng(const list* start, LogFormat format, PlotSize size) {
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Signal strength by satellite system");
    Text(cr, size.Width / 2.0, 42,
         "line: mean SNR of the system's satellites in view; band: its range within a pixel", kTickSize,
         Align::Centre, Anchor::Baseline, false, {100, 100, 100});
    const Frame frame{70, 52, size.Width - 20.0, size.Height - 80.0};
    const EpochTimeline timeline = TimeEpochs(start, format);
    const TimeAxis axis = TimeAxisOf(timeline);

    std::array<std::vector<Sample>, kSystemStyles.size()> series;
    double highest = 0;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const waypoints& point = node->Point;
        const double seconds = timeline.Seconds[index];
        if (point.HasSatellites != 1 || std::isnan(seconds)) {
            continue;
        }
        std::array<double, kSystemStyles.size()> sum{};
        std::array<int, kSystemStyles.size()> count{};
        for (const SatelliteRow& row : point.Satellites) {
            for (size_t s = 0; s < kSystemStyles.size(); ++s) {
                if (row.InView == 1 && row.Snr > 0 && row.System == kSystemStyles[s].system) {
                    sum[s] += row.Snr;
                    ++count[s];
                }
            }
        }
        for (size_t s = 0; s < kSystemStyles.size(); ++s) {
            const double mean = count[s] > 0 ? sum[s] / count[s] : kNaN;
            series[s].push_back({seconds, mean});
            if (count[s] > 0) {
                highest = std::max(highest, mean);
            }
        }
    }
    const Ticks ticks = NiceTicks(0, std::max(highest, 50.0), 6);
    ValueAxis(cr, frame, ticks, "Mean SNR (dB-Hz)");
    DrawTimeAxis(cr, frame, axis);
    std::vector<LegendEntry> legend;
    for (size_t s = 0; s < kSystemStyles.size(); ++s) {
        const bool any = std::any_of(series[s].begin(), series[s].end(),
                                     [](const Sample& sample) { return !std::isnan(sample.value); });
        if (any) {
            DrawSeries(cr, series[s], frame, axis, ticks, kSystemStyles[s].colour, 1.5,
                       SeriesStyle::MeanBand);
            legend.push_back({std::string(kSystemStyles[s].name), kSystemStyles[s].colour});
        }
    }
    if (legend.empty()) {
        NoData(cr, frame, "No satellite signals in the log");
    }
    FrameBorder(cr, frame);
    RowLegend(cr, size.Width / 2.0, size.Height - 14.0, legend);
    return canvas.Png();
}

std::vector<uint8_t> SpeedAltitudePlotPng(const list* start, LogFormat format, PlotSize size) {
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Speed and altitude of the valid fixes");
    const double middle = std::round((40 + size.Height - 80.0) / 2);
    const Frame speedFrame{70, 40, size.Width - 20.0, middle - 8};
    const Frame altitudeFrame{70, middle + 8, size.Width - 20.0, size.Height - 80.0};
    const EpochTimeline timeline = TimeEpochs(start, format);
    const TimeAxis axis = TimeAxisOf(timeline);

    std::vector<Sample> speeds;
    std::vector<Sample> altitudes;
    double speedHigh = 0;
    double altitudeLow = std::numeric_limits<double>::infinity();
    double altitudeHigh = -altitudeLow;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const waypoints& point = node->Point;
        const double seconds = timeline.Seconds[index];
        if (std::isnan(seconds)) {
            continue;
        }
        if (!HasValidFix(point, format)) {
            speeds.push_back({seconds, kNaN});
            altitudes.push_back({seconds, kNaN});
            continue;
        }
        const bool hasSpeed = format == LogFormat::Binr || point.HasRmc == 1;
        const bool hasAltitude = format == LogFormat::Binr || point.HasGga == 1;
        if (hasSpeed && std::isfinite(point.Speed)) {
            speeds.push_back({seconds, point.Speed});
            speedHigh = std::max(speedHigh, point.Speed);
        }
        if (hasAltitude && std::isfinite(point.Altitude)) {
            altitudes.push_back({seconds, point.Altitude});
            altitudeLow = std::min(altitudeLow, point.Altitude);
            altitudeHigh = std::max(altitudeHigh, point.Altitude);
        }
    }
    const Rgb speedColour{31, 119, 180};
    const Rgb altitudeColour{44, 160, 44};
    const Ticks speedTicks = NiceTicks(0, std::max(speedHigh, 1.0), 4);
    ValueAxis(cr, speedFrame, speedTicks, "Speed (km/h)");
    DrawTimeAxis(cr, speedFrame, axis, false);
    const Ticks altitudeTicks =
        altitudeLow <= altitudeHigh ? NiceTicks(altitudeLow, altitudeHigh, 4) : NiceTicks(0, 100, 4);
    ValueAxis(cr, altitudeFrame, altitudeTicks, "Altitude (m)");
    DrawTimeAxis(cr, altitudeFrame, axis);
    if (!speeds.empty()) {
        DrawSeries(cr, speeds, speedFrame, axis, speedTicks, speedColour, 1.5, SeriesStyle::Envelope);
    }
    if (!altitudes.empty()) {
        DrawSeries(cr, altitudes, altitudeFrame, axis, altitudeTicks, altitudeColour, 1.5,
                   SeriesStyle::Envelope);
    }
    const bool anySpeed = speedHigh > 0 || std::any_of(speeds.begin(), speeds.end(),
                                                       [](const Sample& s) { return !std::isnan(s.value); });
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
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Fix quality over time");
    const EpochTimeline timeline = TimeEpochs(start, format);
    const TimeAxis axis = TimeAxisOf(timeline);
    const std::optional<double> typical = TypicalStepS(timeline.StepMs);

    // The epochs of each class, and the time each covers.
    std::array<int64_t, kFixClassCount> counts{};
    int64_t epochs = 0;
    struct Span {
        double from, to;
        FixClass fixClass;
    };
    std::vector<Span> spans;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const FixClass fixClass = FixClassOf(node->Point, format);
        ++counts[static_cast<size_t>(fixClass)];
        ++epochs;
        if (!std::isnan(timeline.Seconds[index])) {
            spans.push_back({timeline.Seconds[index], kNaN, fixClass});
        }
    }
    const double own = typical.value_or(1);
    for (size_t i = 0; i < spans.size(); ++i) {
        const double next = i + 1 < spans.size() ? spans[i + 1].from : kNaN;
        const double step = next - spans[i].from;
        spans[i].to = step > 0 && step <= own * kGapFactor ? next : spans[i].from + own;
    }

    std::vector<FixClass> present;
    for (int c = 0; c < kFixClassCount; ++c) {
        if (counts[static_cast<size_t>(c)] > 0) {
            present.push_back(static_cast<FixClass>(c));
        }
    }
    // The legend's rows under the time axis, three entries a row.
    const int legendRows = std::max(1, static_cast<int>((present.size() + 2) / 3));
    const double legendTop = size.Height - 14.0 - 18.0 * legendRows;
    double labelWidth = 60;
    for (FixClass fixClass : present) {
        labelWidth = std::max(labelWidth, TextWidth(cr, InfoOf(fixClass).Name, kTickSize));
    }
    const Frame frame{std::min(labelWidth + 20, size.Width / 3.0), 44, size.Width - 20.0, legendTop - 48};
    const double legendY = frame.bottom + 48;
    // The band of each class: the columns any of its epochs covers.
    const auto columns = static_cast<size_t>(std::max(1L, std::lround(frame.Width())));
    std::array<std::vector<bool>, kFixClassCount> covered;
    for (FixClass fixClass : present) {
        covered[static_cast<size_t>(fixClass)].assign(columns, false);
    }
    for (const Span& span : spans) {
        const double x0 = axis.X(frame, span.from) - frame.left;
        const double x1 = axis.X(frame, std::min(span.to, axis.last)) - frame.left;
        const auto first = static_cast<size_t>(std::clamp(std::floor(x0), 0.0, columns - 1.0));
        const auto last =
            static_cast<size_t>(std::clamp(std::ceil(x1) - 1, static_cast<double>(first), columns - 1.0));
        std::vector<bool>& band = covered[static_cast<size_t>(span.fixClass)];
        for (size_t c = first; c <= last; ++c) {
            band[c] = true;
        }
    }
    DrawTimeAxis(cr, frame, axis);
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
        for (size_t c = 0; c < columns;) {
            if (!band[c]) {
                ++c;
                continue;
            }
            size_t end = c;
            while (end < columns && band[end]) {
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
    if (present.empty()) {
        NoData(cr, frame, "No epochs in the log");
    }
    FrameBorder(cr, frame);
    Text(cr, 14, (frame.top + frame.bottom) / 2, "Fix quality", kLabelSize, Align::Centre, Anchor::Top, false,
         kInk, -M_PI / 2);

    // The legend: each class with its share of the epochs.
    const double entryWidth = (size.Width - 40.0) / 3;
    for (size_t i = 0; i < present.size(); ++i) {
        const FixClassInfo& info = InfoOf(present[i]);
        const double x = 20 + entryWidth * static_cast<double>(i % 3);
        const double y = legendY + 9 + 18 * static_cast<double>(i / 3);
        Colour(cr, info.Colour);
        cairo_rectangle(cr, x, y - 6, 22, 12);
        cairo_fill(cr);
        const double share = 100.0 * static_cast<double>(counts[static_cast<size_t>(present[i])]) /
                             static_cast<double>(epochs);
        Text(cr, x + 28, y, std::string(info.Name) + "  " + Label(share, 1) + " %", kTickSize, Align::Left,
             Anchor::Middle);
    }
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
