#include "report/plot_drawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/calendar.h"

namespace tervo {

namespace {

constexpr const char* kFont = "DejaVu Sans";

}  // namespace

// --- The drawing surface and its text.

Canvas::Canvas(int width, int height, double groundAlpha)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 1), std::max(height, 1))),
      cr_(cairo_create(surface_)) {
    cairo_set_source_rgba(cr_, 1, 1, 1, groundAlpha);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    cairo_select_font_face(cr_, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

std::vector<uint8_t> Canvas::Png() const {
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

void Colour(cairo_t* cr, Rgb colour, double alpha) {
    cairo_set_source_rgba(cr, colour.R / 255.0, colour.G / 255.0, colour.B / 255.0, alpha);
}

double TextWidth(cairo_t* cr, std::string_view text, double size, bool bold) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    const std::string owned(text);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, owned.c_str(), &extents);
    return extents.x_advance;
}

void Text(cairo_t* cr, double x, double y, std::string_view text, double size, Align align, Anchor anchor,
          bool bold, Rgb colour, double angle) {
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

void Title(cairo_t* cr, int width, std::string_view title, std::string_view note) {
    Text(cr, width / 2.0, 24, title, kTitleSize, Align::Centre, Anchor::Baseline, true);
    if (!note.empty()) {
        Text(cr, width / 2.0, 42, note, kTickSize, Align::Centre, Anchor::Baseline, false, kNote);
    }
}

std::string Label(double value, int decimals) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        // Too long as a fixed number (1e300): the shortest form always fits.
        result = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
    }
    std::string out(text, result.ptr);
    return out == "-0" ? "0" : out;
}

// --- Scales and ticks.

Ticks NiceTicks(double low, double high, int count) {
    count = std::max(count, 1);
    if (low > high) {
        std::swap(low, high);
    }
    if (!(high > low)) {
        const double widen = std::max(1.0, std::abs(low) * 1e-6);
        low -= widen;
        high += widen;
    }
    // A scale needs a finite span: values no axis can span (a hostile log's
    // altitude of 1e308 beside one of -1e308, or no number) get 0 to 1.
    if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(high - low) || !(high > low)) {
        low = 0;
        high = 1;
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
    // More decimals than a double holds tell nothing (a span of 1e-300).
    ticks.decimals = std::clamp(
        static_cast<int>(std::min(exponent, 17.0)) + (std::fmod(step / magnitude, 1.0) > 0.01 ? 1 : 0), 0,
        17);
    return ticks;
}

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

void NoData(cairo_t* cr, const Frame& frame, std::string_view text) {
    Text(cr, (frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2, text, kLabelSize, Align::Centre,
         Anchor::Middle, false, {150, 150, 150});
}

// --- The time axis.

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

namespace {

// "Time (UTC), 2024-05-17" (or "... to 2024-05-18" over midnight) when a date places the axis.
std::string TimeAxisTitle(const TimeAxis& axis) {
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
    return title;
}

}  // namespace

void DrawTimeAxis(cairo_t* cr, const Frame& frame, const TimeAxis& axis, bool labels) {
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
    if (labels) {
        Text(cr, (frame.left + frame.right) / 2, frame.bottom + 24, TimeAxisTitle(axis), kLabelSize,
             Align::Centre, Anchor::Top);
    }
}

// --- Lines over time, sampled to pixel columns.

namespace {

// The samples that land in one pixel column.
struct Column {
    long index = -1;
    double first = 0, low = 0, high = 0, last = 0, sum = 0;
    int count = 0;
    bool breakBefore = true;
    double X(const Frame& f) const { return f.left + static_cast<double>(index) + 0.5; }
};

// The gaps of a series: by the typical step between two of its values.
GapRule SeriesGaps(const std::vector<Sample>& samples) {
    std::vector<double> steps;
    for (size_t i = 1; i < samples.size(); ++i) {
        const double step = samples[i].Seconds - samples[i - 1].Seconds;
        if (step > 0 && !std::isnan(samples[i].Value) && !std::isnan(samples[i - 1].Value)) {
            steps.push_back(step);
        }
    }
    return GapRuleOf(steps.empty() ? std::nullopt : std::optional<double>(MedianOf(steps)));
}

std::vector<Column> ColumnsOf(const std::vector<Sample>& samples, const Frame& frame, const TimeAxis& axis) {
    const GapRule gaps = SeriesGaps(samples);
    std::vector<Column> columns;
    bool broken = true;
    double previousSeconds = std::numeric_limits<double>::quiet_NaN();
    const long lastIndex = std::max(0L, std::lround(frame.Width()) - 1);
    for (const Sample& sample : samples) {
        if (std::isnan(sample.Value)) {
            broken = true;
            continue;
        }
        if (!std::isnan(previousSeconds) && gaps.IsGap(sample.Seconds - previousSeconds)) {
            broken = true;
        }
        previousSeconds = sample.Seconds;
        const long index =
            std::clamp(std::lround(std::floor(axis.X(frame, sample.Seconds) - frame.left)), 0L, lastIndex);
        const double v = sample.Value;
        if (columns.empty() || index != columns.back().index) {
            columns.push_back({index, v, v, v, v, v, 1, broken});
        } else {
            Column& column = columns.back();
            column.low = std::min(column.low, v);
            column.high = std::max(column.high, v);
            column.last = v;
            column.sum += v;
            ++column.count;
        }
        broken = false;
    }
    return columns;
}

// The pale band of each unbroken run: along the greatest values, back along the least.
void BandPath(cairo_t* cr, const std::vector<Column>& columns, const Frame& frame, auto y) {
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
}

void LinePath(cairo_t* cr, const std::vector<Column>& columns, const Frame& frame, SeriesStyle style,
              auto y) {
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
}

}  // namespace

void DrawSeries(cairo_t* cr, const std::vector<Sample>& samples, const Frame& frame, const TimeAxis& axis,
                const Ticks& ticks, const SeriesPen& pen) {
    const std::vector<Column> columns = ColumnsOf(samples, frame, axis);
    auto y = [&](double v) {
        return frame.bottom - (v - ticks.low) / (ticks.high - ticks.low) * frame.Height();
    };
    cairo_save(cr);
    cairo_rectangle(cr, frame.left, frame.top, frame.Width(), frame.Height());
    cairo_clip(cr);
    cairo_set_line_width(cr, pen.width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    if (pen.style == SeriesStyle::MeanBand) {
        BandPath(cr, columns, frame, y);
        Colour(cr, pen.colour, 0.18);
        cairo_fill(cr);
    }
    cairo_new_path(cr);
    LinePath(cr, columns, frame, pen.style, y);
    Colour(cr, pen.colour);
    cairo_stroke(cr);
    cairo_restore(cr);
}

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

// --- Markers.

namespace {

// A regular polygon of `corners` corners around (x, y), the first one straight up.
void PolygonPath(cairo_t* cr, int corners, double x, double y, double r) {
    for (int i = 0; i < corners; ++i) {
        const double angle = 2 * M_PI * i / corners;
        const double px = x + r * std::sin(angle);
        const double py = y - r * std::cos(angle);
        if (i == 0) {
            cairo_move_to(cr, px, py);
        } else {
            cairo_line_to(cr, px, py);
        }
    }
    cairo_close_path(cr);
}

void MarkerPath(cairo_t* cr, MarkerShape shape, double x, double y, double r) {
    switch (shape) {
        case MarkerShape::Circle:
            cairo_new_sub_path(cr);
            cairo_arc(cr, x, y, r, 0, 2 * M_PI);
            break;
        case MarkerShape::Square:
            cairo_rectangle(cr, x - r * 0.9, y - r * 0.9, r * 1.8, r * 1.8);
            break;
        case MarkerShape::Triangle:
            cairo_move_to(cr, x, y - r * 1.2);
            cairo_line_to(cr, x + r * 1.1, y + r * 0.8);
            cairo_line_to(cr, x - r * 1.1, y + r * 0.8);
            cairo_close_path(cr);
            break;
        case MarkerShape::Diamond:
            PolygonPath(cr, 4, x, y, r * 1.25);
            break;
        case MarkerShape::InvertedTriangle:
            cairo_move_to(cr, x, y + r * 1.2);
            cairo_line_to(cr, x + r * 1.1, y - r * 0.8);
            cairo_line_to(cr, x - r * 1.1, y - r * 0.8);
            cairo_close_path(cr);
            break;
        case MarkerShape::Pentagon:
            PolygonPath(cr, 5, x, y, r * 1.1);
            break;
        case MarkerShape::Hexagon:
            PolygonPath(cr, 6, x, y, r * 1.05);
            break;
    }
}

}  // namespace

void Marker(cairo_t* cr, MarkerShape shape, double x, double y, double r, Rgb fill) {
    MarkerPath(cr, shape, x, y, r);
    Colour(cr, fill);
    cairo_fill_preserve(cr);
    Colour(cr, kInk);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

}  // namespace tervo
