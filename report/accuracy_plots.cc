#include "report/accuracy_plots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "report/error_classes.h"
#include "report/plot_drawing.h"
#include "report/report_text.h"
#include "report/timeline.h"

namespace tervo {

namespace {

// The 1-2-5 steps at or below and at or above `value` (> 0).
double StepAtOrBelow(double value) { return OneTwoFiveStep(OneTwoFiveIndex(value)); }

double StepAtOrAbove(double value) {
    const int k = OneTwoFiveIndex(value);
    return OneTwoFiveStep(k) >= value * (1 - 1e-12) ? OneTwoFiveStep(k) : OneTwoFiveStep(k + 1);
}

// The decimals a tick step of `step` needs ("0.25" two, "5" none).
int DecimalsOf(double step) {
    int decimals = 0;
    while (decimals < 9 &&
           std::fabs(step * std::pow(10, decimals) - std::round(step * std::pow(10, decimals))) >
               1e-6 * step * std::pow(10, decimals)) {
        ++decimals;
    }
    return decimals;
}

std::string Metres(double value) { return NumberText(value, value < 0.1 ? 4 : value < 10 ? 3 : 1) + " m"; }

// The line styles of the levels and circles: CEP50 solid, CEP95 dashed, 2DRMS dotted.
using DashPattern = std::span<const double>;
constexpr double kCep95Pattern[] = {6, 4};
constexpr double kDrmsPattern[] = {1.5, 3};
constexpr DashPattern kCep50Dashes{};
constexpr DashPattern kCep95Dashes{kCep95Pattern};
constexpr DashPattern kDrmsDashes{kDrmsPattern};

void Dashes(cairo_t* cr, DashPattern pattern) {
    cairo_set_dash(cr, pattern.data(), static_cast<int>(pattern.size()), 0);
}

// One legend line: a swatch drawn by `swatch` in a 24-pixel box at (x, y), then the label.
template <typename Swatch>
double LegendLine(cairo_t* cr, double x, double y, const std::string& label, Swatch swatch) {
    cairo_save(cr);
    swatch(x, y);
    cairo_restore(cr);
    Text(cr, x + 30, y, label, kTickSize, Align::Left, Anchor::Middle);
    return 30 + TextWidth(cr, label, kTickSize) + 18;
}

void LevelSwatch(cairo_t* cr, double x, double y, DashPattern dashes) {
    Colour(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    Dashes(cr, dashes);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 24, y);
    cairo_stroke(cr);
}

void DotSwatch(cairo_t* cr, double x, double y, Rgb colour) {
    Colour(cr, colour);
    cairo_arc(cr, x + 12, y, 4, 0, 2 * M_PI);
    cairo_fill(cr);
}

// Each class that occurs among `counts`, the commonest first (in class order
// among equals).
std::vector<FixClass> ClassesByCount(const std::array<int64_t, kFixClassCount>& counts) {
    std::vector<FixClass> classes;
    for (int c = 0; c < kFixClassCount; ++c) {
        if (counts[static_cast<size_t>(c)] > 0) {
            classes.push_back(static_cast<FixClass>(c));
        }
    }
    std::stable_sort(classes.begin(), classes.end(), [&](FixClass a, FixClass b) {
        return counts[static_cast<size_t>(a)] > counts[static_cast<size_t>(b)];
    });
    return classes;
}

// Each class's place in `classes`.
std::array<size_t, kFixClassCount> RankOf(const std::vector<FixClass>& classes) {
    std::array<size_t, kFixClassCount> rank{};
    for (size_t i = 0; i < classes.size(); ++i) {
        rank[static_cast<size_t>(classes[i])] = i;
    }
    return rank;
}

// The CEP levels and circles: their values and line styles.
struct Level {
    const char* name;
    std::optional<double> metres;
    DashPattern dashes;
};

// The error axis as it is drawn: its ends, its ticks and how a value maps to a height.
struct ErrorAxis {
    bool logarithmic = false;
    double bottom = 0;
    double top = 1;
    std::vector<std::pair<double, bool>> ticks;  // metres, labelled
    int decimals = 0;

    double Y(const Frame& frame, double metres) const {
        if (logarithmic) {
            return frame.bottom -
                   std::log(std::max(metres, bottom) / bottom) / std::log(top / bottom) * frame.Height();
        }
        return frame.bottom - metres / top * frame.Height();
    }
};

// Linear from 0 in whole steps, or logarithmic over whole 1-2-5 steps, decades labelled.
ErrorAxis ErrorAxisOf(const ErrorOverTime& data) {
    ErrorAxis axis;
    axis.logarithmic = data.Logarithmic;
    if (data.Logarithmic) {
        axis.bottom = data.BottomM;
        axis.top = data.TopM;
        const int first = OneTwoFiveIndex(data.BottomM);
        const bool few = OneTwoFiveIndex(data.TopM) - first <= 6;
        for (int k = first; OneTwoFiveStep(k) <= data.TopM * (1 + 1e-9); ++k) {
            axis.ticks.emplace_back(OneTwoFiveStep(k), few || k % 3 == 0);
        }
        axis.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(data.BottomM) + 1e-9)));
        return axis;
    }
    const double step = StepAtOrAbove(data.TopM / 5);
    axis.top = std::ceil(data.TopM / step - 1e-9) * step;
    for (double v = 0; v <= axis.top + step * 1e-6; v += step) {
        axis.ticks.emplace_back(v, true);
    }
    axis.decimals = DecimalsOf(step);
    return axis;
}

void DrawErrorAxis(cairo_t* cr, const Frame& frame, const ErrorAxis& axis) {
    cairo_set_line_width(cr, 1);
    for (const auto& [metres, labelled] : axis.ticks) {
        const double y = std::round(axis.Y(frame, metres)) + 0.5;
        Colour(cr, kGrid);
        cairo_move_to(cr, frame.left, y);
        cairo_line_to(cr, frame.right, y);
        cairo_stroke(cr);
        if (labelled) {
            Text(cr, frame.left - 6, y, NumberText(metres, axis.decimals), kTickSize, Align::Right,
                 Anchor::Middle);
        }
    }
    Text(cr, frame.left - 52, (frame.top + frame.bottom) / 2,
         axis.logarithmic ? "Horizontal error (m, logarithmic)" : "Horizontal error (m)", kLabelSize,
         Align::Centre, Anchor::Middle, false, kInk, -M_PI / 2);
}

// A bar per column and class (a dot where it holds one value), then the levels across.
void DrawErrorBars(cairo_t* cr, const Frame& frame, const ErrorAxis& axis, const ErrorOverTime& data,
                   std::span<const Level> levels) {
    cairo_save(cr);
    cairo_rectangle(cr, frame.left, frame.top, frame.Width(), frame.Height());
    cairo_clip(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2);
    for (const ErrorTimeBar& bar : data.Bars) {
        const double x = frame.left + bar.Column + 0.5;
        Colour(cr, InfoOf(bar.Class).Colour);
        cairo_move_to(cr, x, axis.Y(frame, bar.LowM));
        cairo_line_to(cr, x, axis.Y(frame, bar.HighM));
        cairo_stroke(cr);
    }
    for (const Level& level : levels) {
        if (level.metres) {
            Colour(cr, kInk);
            cairo_set_line_width(cr, 1.5);
            Dashes(cr, level.dashes);
            cairo_move_to(cr, frame.left, axis.Y(frame, *level.metres));
            cairo_line_to(cr, frame.right, axis.Y(frame, *level.metres));
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

// One entry of a legend: a class's dot or a level's line, and its label.
struct LegendItem {
    std::string label;
    std::optional<Rgb> dot;
    DashPattern dashes;
};

double ItemWidth(cairo_t* cr, const LegendItem& item) {
    return 30 + TextWidth(cr, item.label, kTickSize) + 18;
}

void DrawItem(cairo_t* cr, double x, double y, const LegendItem& item) {
    LegendLine(cr, x, y, item.label, [&](double sx, double sy) {
        if (item.dot) {
            DotSwatch(cr, sx, sy, *item.dot);
        } else {
            LevelSwatch(cr, sx, sy, item.dashes);
        }
    });
}

// The items in centred rows under the frame, as many to a row as fit its width.
void DrawLegendRows(cairo_t* cr, const Frame& frame, double y, const std::vector<LegendItem>& items) {
    std::vector<std::vector<const LegendItem*>> rows(1);
    double rowWidth = 0;
    for (const LegendItem& item : items) {
        if (rowWidth + ItemWidth(cr, item) > frame.Width() && !rows.back().empty()) {
            rows.emplace_back();
            rowWidth = 0;
        }
        rows.back().push_back(&item);
        rowWidth += ItemWidth(cr, item);
    }
    for (const std::vector<const LegendItem*>& row : rows) {
        double total = -18;
        for (const LegendItem* item : row) {
            total += ItemWidth(cr, *item);
        }
        double x = (frame.left + frame.right - total) / 2;
        for (const LegendItem* item : row) {
            DrawItem(cr, x, y, *item);
            x += ItemWidth(cr, *item);
        }
        y += 18;
    }
}

std::vector<LegendItem> LegendItems(std::span<const FixClass> classes, std::span<const Level> levels) {
    std::vector<LegendItem> items;
    for (FixClass fixClass : classes) {
        items.push_back({std::string(InfoOf(fixClass).Name), InfoOf(fixClass).Colour, {}});
    }
    for (const Level& level : levels) {
        if (level.metres) {
            items.push_back(
                {std::string(level.name) + " " + Metres(*level.metres), std::nullopt, level.dashes});
        }
    }
    return items;
}

// The axis from the timed errors: linear to the largest unless it lies beyond three CEP95.
void ChooseErrorAxis(ErrorOverTime& data, std::vector<double> errors) {
    const double largest = *std::max_element(errors.begin(), errors.end());
    if (data.Cep95M && largest > 3 * *data.Cep95M) {
        data.Logarithmic = true;
        data.BottomM = StepAtOrBelow(std::max(Percentile(std::move(errors), 0.01), 0.001));
        data.TopM = StepAtOrAbove(largest);
    } else {
        data.TopM = largest > 0 ? largest : 0.01;
    }
}

// Per class (in the order of data.Classes) and column, the least and greatest error.
std::vector<ErrorTimeBar> BarsOf(const Accuracy& accuracy, const ErrorOverTime& data, int columns) {
    const std::array<size_t, kFixClassCount> rank = RankOf(data.Classes);
    std::map<std::pair<size_t, int>, ErrorTimeBar> bars;
    const int lastColumn = std::max(columns, 1) - 1;
    for (const EpochError& error : accuracy.Errors) {
        if (std::isnan(error.Seconds)) {
            continue;
        }
        const double share = (error.Seconds - data.FirstS) / (data.LastS - data.FirstS);
        const int column = std::clamp(static_cast<int>(std::floor(share * (lastColumn + 1))), 0, lastColumn);
        const auto [place, fresh] =
            bars.try_emplace({rank[static_cast<size_t>(error.Class)], column},
                             ErrorTimeBar{column, error.Class, error.Horizontal, error.Horizontal});
        place->second.LowM = std::min(place->second.LowM, error.Horizontal);
        place->second.HighM = std::max(place->second.HighM, error.Horizontal);
    }
    std::vector<ErrorTimeBar> ordered;
    for (const auto& [key, bar] : bars) {
        ordered.push_back(bar);
    }
    return ordered;
}

}  // namespace

// --- Horizontal error over time.

int ErrorTimeColumns(PlotSize size) { return std::max(1, size.Width - 70 - 24); }

ErrorOverTime CollectErrorOverTime(const Accuracy& accuracy, int columns) {
    ErrorOverTime data;
    data.StartUnixMs = accuracy.StartUnixMs;
    data.StartTimeOfDayMs = accuracy.StartTimeOfDayMs.value_or(0);
    data.Cep50M = accuracy.All.Cep50M;
    data.Cep95M = accuracy.All.Cep95M;
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    std::vector<double> errors;
    std::array<int64_t, kFixClassCount> counts{};
    for (const EpochError& error : accuracy.Errors) {
        if (!std::isnan(error.Seconds)) {
            first = std::min(first, error.Seconds);
            last = std::max(last, error.Seconds);
            errors.push_back(error.Horizontal);
            ++counts[static_cast<size_t>(error.Class)];
        }
    }
    if (errors.empty()) {
        return data;
    }
    data.FirstS = first;
    data.LastS = std::max(last, first + 1);
    ChooseErrorAxis(data, std::move(errors));
    data.Classes = ClassesByCount(counts);
    data.Bars = BarsOf(accuracy, data, columns);
    return data;
}

std::vector<uint8_t> DrawErrorOverTime(const ErrorOverTime& data, PlotSize size) {
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Horizontal error over time");
    const Frame frame{70, 40, static_cast<double>(size.Width) - 24, static_cast<double>(size.Height) - 90};
    if (data.Classes.empty()) {
        FrameBorder(cr, frame);
        NoData(cr, frame, "No matched fix with a time");
        return canvas.Png();
    }
    const ErrorAxis axis = ErrorAxisOf(data);
    DrawErrorAxis(cr, frame, axis);
    DrawTimeAxis(cr, frame, {data.FirstS, data.LastS, data.StartTimeOfDayMs, data.StartUnixMs});
    const Level levels[] = {{"CEP50", data.Cep50M, kCep50Dashes}, {"CEP95", data.Cep95M, kCep95Dashes}};
    DrawErrorBars(cr, frame, axis, data, levels);
    FrameBorder(cr, frame);
    DrawLegendRows(cr, frame, frame.bottom + 52, LegendItems(data.Classes, levels));
    return canvas.Png();
}

std::vector<uint8_t> ErrorOverTimePlotPng(const Accuracy& accuracy, PlotSize size) {
    return DrawErrorOverTime(CollectErrorOverTime(accuracy, ErrorTimeColumns(size)), size);
}

// --- East and north.

namespace {

// The square frame of the scatter: as high as the plot allows, at the left,
// the legend to its right.
Frame ScatterFrame(PlotSize size) {
    const double side = std::max(40.0, std::min(size.Height - 40.0 - 56.0, size.Width - 76.0 - 200.0));
    return {76, 40, 76 + side, 40 + side};
}

// Metres east and north to pixels, both axes at one scale, the reference in the middle.
struct ScatterScale {
    double cx, cy, perMetre;
    double X(double east) const { return cx + east * perMetre; }
    double Y(double north) const { return cy - north * perMetre; }
};

// Grid lines and ticks at halves of the range on both axes.
void DrawScatterAxes(cairo_t* cr, const Frame& frame, const ScatterScale& scale, double range) {
    const double step = range / 2;
    const int decimals = DecimalsOf(step);
    cairo_set_line_width(cr, 1);
    for (int i = -2; i <= 2; ++i) {
        const double v = i * step;
        const double x = std::round(scale.X(v)) + 0.5;
        const double y = std::round(scale.Y(v)) + 0.5;
        Colour(cr, i == 0 ? Rgb{190, 190, 190} : kGrid);
        cairo_move_to(cr, x, frame.top);
        cairo_line_to(cr, x, frame.bottom);
        cairo_move_to(cr, frame.left, y);
        cairo_line_to(cr, frame.right, y);
        cairo_stroke(cr);
        Text(cr, x, frame.bottom + 6, NumberText(v, decimals), kTickSize, Align::Centre, Anchor::Top);
        Text(cr, frame.left - 6, y, NumberText(v, decimals), kTickSize, Align::Right, Anchor::Middle);
    }
    Text(cr, scale.cx, frame.bottom + 24, "East (m)", kLabelSize, Align::Centre, Anchor::Top);
    Text(cr, frame.left - 56, scale.cy, "North (m)", kLabelSize, Align::Centre, Anchor::Middle, false, kInk,
         -M_PI / 2);
}

void Cross(cairo_t* cr, double x, double y) {
    Colour(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x - 5, y - 5);
    cairo_line_to(cr, x + 5, y + 5);
    cairo_move_to(cr, x - 5, y + 5);
    cairo_line_to(cr, x + 5, y - 5);
    cairo_stroke(cr);
}

// The dots, the circles around the reference and the mean's cross, within the frame.
void DrawScatterData(cairo_t* cr, const Frame& frame, const ScatterScale& scale, const ErrorScatter& data,
                     std::span<const Level> circles) {
    cairo_save(cr);
    cairo_rectangle(cr, frame.left, frame.top, frame.Width(), frame.Height());
    cairo_clip(cr);
    for (const ScatterDot& dot : data.Dots) {
        Colour(cr, InfoOf(dot.Class).Colour, 0.7);
        cairo_arc(cr, scale.X(dot.EastM), scale.Y(dot.NorthM), 2, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    for (const Level& circle : circles) {
        if (circle.metres) {
            Colour(cr, kInk);
            cairo_set_line_width(cr, 1.5);
            Dashes(cr, circle.dashes);
            cairo_new_sub_path(cr);
            cairo_arc(cr, scale.cx, scale.cy, *circle.metres * scale.perMetre, 0, 2 * M_PI);
            cairo_stroke(cr);
        }
    }
    Dashes(cr, kCep50Dashes);
    if (data.MeanEastM && data.MeanNorthM) {
        Cross(cr, scale.X(*data.MeanEastM), scale.Y(*data.MeanNorthM));
    }
    cairo_restore(cr);
}

// The legend beside the frame: the fixes, each class, the circles, the mean, and what lies beyond.
void DrawScatterLegend(cairo_t* cr, const Frame& frame, const ErrorScatter& data,
                       std::span<const Level> circles) {
    const double x = frame.right + 20;
    double y = frame.top + 8;
    Text(cr, x, y, std::to_string(data.Fixes) + " fixes", kTickSize, Align::Left, Anchor::Middle, true);
    y += 20;
    for (const auto& [fixClass, count] : data.Classes) {
        DrawItem(cr, x, y,
                 {std::string(InfoOf(fixClass).Name) + " (" + std::to_string(count) + ")",
                  InfoOf(fixClass).Colour,
                  {}});
        y += 18;
    }
    y += 8;
    for (const LegendItem& item : LegendItems({}, circles)) {
        DrawItem(cr, x, y, item);
        y += 18;
    }
    if (data.MeanEastM && data.MeanNorthM) {
        LegendLine(cr, x, y,
                   "mean " + NumberText(*data.MeanEastM, 3) + " E, " + NumberText(*data.MeanNorthM, 3) + " N",
                   [&](double sx, double sy) { Cross(cr, sx + 12, sy); });
        y += 18;
    }
    if (data.Outside > 0) {
        Text(cr, x, y + 8, std::to_string(data.Outside) + " beyond the frame", kTickSize, Align::Left,
             Anchor::Middle, false, kNote);
    }
}

}  // namespace

int ErrorScatterCells(PlotSize size) { return std::max(1, static_cast<int>(ScatterFrame(size).Width())); }

ErrorScatter CollectErrorScatter(const Accuracy& accuracy, int cells) {
    ErrorScatter data;
    data.Fixes = static_cast<int64_t>(accuracy.Errors.size());
    data.Cep50M = accuracy.All.Cep50M;
    data.Cep95M = accuracy.All.Cep95M;
    data.TwiceDrmsM = accuracy.All.TwiceDrmsM;
    data.MeanEastM = accuracy.All.MeanEastM;
    data.MeanNorthM = accuracy.All.MeanNorthM;
    const double reach = 2 * data.Cep95M.value_or(0);
    data.HalfRangeM = reach > 0 ? StepAtOrAbove(reach) : 0.01;
    std::array<int64_t, kFixClassCount> counts{};
    for (const EpochError& error : accuracy.Errors) {
        ++counts[static_cast<size_t>(error.Class)];
    }
    const std::vector<FixClass> classes = ClassesByCount(counts);
    for (FixClass fixClass : classes) {
        data.Classes.emplace_back(fixClass, counts[static_cast<size_t>(fixClass)]);
    }
    // One dot per cell and class, the commonest class first.
    const std::array<size_t, kFixClassCount> rank = RankOf(classes);
    const auto side = static_cast<size_t>(std::max(cells, 1));
    auto cell = [&](double metres) {
        return std::min(side - 1,
                        static_cast<size_t>(std::max(0.0, (metres / data.HalfRangeM + 1) / 2 * side)));
    };
    std::vector<std::vector<bool>> taken(classes.size(), std::vector<bool>(side * side));
    std::vector<std::vector<ScatterDot>> byRank(classes.size());
    for (const EpochError& error : accuracy.Errors) {
        if (std::fabs(error.East) > data.HalfRangeM || std::fabs(error.North) > data.HalfRangeM) {
            ++data.Outside;
            continue;
        }
        const size_t r = rank[static_cast<size_t>(error.Class)];
        const size_t at = cell(error.North) * side + cell(error.East);
        if (!taken[r][at]) {
            taken[r][at] = true;
            byRank[r].push_back({error.East, error.North, error.Class});
        }
    }
    for (const std::vector<ScatterDot>& dots : byRank) {
        data.Dots.insert(data.Dots.end(), dots.begin(), dots.end());
    }
    return data;
}

std::vector<uint8_t> DrawErrorScatter(const ErrorScatter& data, PlotSize size) {
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Title(cr, size.Width, "Horizontal error around the reference");
    const Frame frame = ScatterFrame(size);
    const ScatterScale scale{(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2,
                             frame.Width() / (2 * data.HalfRangeM)};
    DrawScatterAxes(cr, frame, scale, data.HalfRangeM);
    const Level circles[] = {{"CEP50", data.Cep50M, kCep50Dashes},
                             {"CEP95", data.Cep95M, kCep95Dashes},
                             {"2DRMS", data.TwiceDrmsM, kDrmsDashes}};
    DrawScatterData(cr, frame, scale, data, circles);
    FrameBorder(cr, frame);
    if (data.Fixes == 0) {
        NoData(cr, frame, "No matched fix");
    }
    DrawScatterLegend(cr, frame, data, circles);
    return canvas.Png();
}

std::vector<uint8_t> ErrorScatterPlotPng(const Accuracy& accuracy, PlotSize size) {
    return DrawErrorScatter(CollectErrorScatter(accuracy, ErrorScatterCells(size)), size);
}

}  // namespace tervo
