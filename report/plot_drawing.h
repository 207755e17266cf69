// The drawing helpers of the plots, on Cairo: a canvas and its text, value and
// time axes, lines over time sampled to pixel columns, legends and markers.
// Each takes what it draws as plain data (see collectors.h); none looks at the
// point list.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/colour_scale.h"
#include "core/satellite_systems.h"
#include "report/collectors.h"
#include "report/timeline.h"

namespace tervo {

inline constexpr double kTitleSize = 15;
inline constexpr double kLabelSize = 11;
inline constexpr double kTickSize = 10;
inline constexpr Rgb kInk{40, 40, 40};
inline constexpr Rgb kGrid{225, 225, 225};
inline constexpr Rgb kFrameLine{120, 120, 120};
inline constexpr Rgb kNote{100, 100, 100};

// An ARGB image surface on a white ground of opacity `groundAlpha`, in DejaVu Sans.
class Canvas {
public:
    Canvas(int width, int height, double groundAlpha = 1);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    // The bytes of a PNG file of the surface.
    std::vector<uint8_t> Png() const;

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

void Colour(cairo_t* cr, Rgb colour, double alpha = 1);

enum class Align { Left, Centre, Right };
enum class Anchor { Baseline, Middle, Top };

double TextWidth(cairo_t* cr, std::string_view text, double size, bool bold = false);

// Writes `text` at (x, y); `angle` in radians turns it about that point.
void Text(cairo_t* cr, double x, double y, std::string_view text, double size, Align align = Align::Left,
          Anchor anchor = Anchor::Baseline, bool bold = false, Rgb colour = kInk, double angle = 0);

// The plot's title, centred at the top; `note`, when not empty, in small grey under it.
void Title(cairo_t* cr, int width, std::string_view title, std::string_view note = {});

// A number with `decimals` decimals and a "." whatever the locale.
std::string Label(double value, int decimals);

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
Ticks NiceTicks(double low, double high, int count);

// A value axis at the left of `frame`: grid lines, tick labels, the title turned upright.
void ValueAxis(cairo_t* cr, const Frame& frame, const Ticks& ticks, std::string_view title);

void FrameBorder(cairo_t* cr, const Frame& frame);

// `text` in grey in the middle of `frame`.
void NoData(cairo_t* cr, const Frame& frame, std::string_view text);

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

// Over the timed epochs, at least a second long.
TimeAxis TimeAxisOf(const EpochTimeline& timeline);

// Ticks at whole multiples of a step of the clock, labelled "hh:mm" (or
// "hh:mm:ss" below a minute), under `frame`, with the axis title below them.
void DrawTimeAxis(cairo_t* cr, const Frame& frame, const TimeAxis& axis, bool labels = true);

// How DrawSeries shows the samples of a pixel column.
enum class SeriesStyle {
    Envelope,  // one line through the first, least, greatest and last value
    MeanBand,  // a line through the mean over a pale band from least to greatest
};

struct SeriesPen {
    Rgb colour;
    double width = 1.5;
    SeriesStyle style = SeriesStyle::Envelope;
};

// Draws `samples` (in time order) in `frame`, sampled to its pixel columns; the
// line breaks at a NaN value and at a gap of the series (GapRuleOf its typical
// step between two values).
void DrawSeries(cairo_t* cr, const std::vector<Sample>& samples, const Frame& frame, const TimeAxis& axis,
                const Ticks& ticks, const SeriesPen& pen);

// A legend in one row centred at height `y`: a short line in each colour and its name.
void RowLegend(cairo_t* cr, double centre, double y, const std::vector<LegendEntry>& entries);

// A marker of `shape` of about radius `r`, filled with `fill`, outlined in ink.
void Marker(cairo_t* cr, MarkerShape shape, double x, double y, double r, Rgb fill);

}  // namespace tervo
