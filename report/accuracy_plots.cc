#include "report/accuracy_plots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

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
        if (std::isnan(error.Seconds)) {
            continue;
        }
        first = std::min(first, error.Seconds);
        last = std::max(last, error.Seconds);
        errors.push_back(error.Horizontal);
        ++counts[static_cast<size_t>(error.Class)];
    }
    if (errors.empty()) {
        return data;
    }
    data.FirstS = first;
    data.LastS = std::max(last, first + 1);
    const double largest = *std::max_element(errors.begin(), errors.end());
    if (data.Cep95M && largest > 3 * *data.Cep95M) {
        data.Logarithmic = true;
        data.BottomM = StepAtOrBelow(std::max(Percentile(std::move(errors), 0.01), 0.001));
        data.TopM = StepAtOrAbove(largest);
    } else {
        data.TopM = largest > 0 ? largest : 0.01;
    }
    for (int c = 0; c < kFixClassCount; ++c) {
        if (counts[static_cast<size_t>(c)] > 0) {
            data.Classes.push_back(static_cast<FixClass>(c));
        }
    }
    std::stable_sort(data.Classes.begin(), data.Classes.end(), [&](FixClass a, FixClass b) {
        return counts[static_cast<size_t>(a)] > counts[static_cast<size_t>(b)];
    });
    // Per class and column, the least and greatest error.
    std::array<int, kFixClassCount> rank{};
    for (size_t i = 0; i < data.Classes.size(); ++i) {
        rank[static_cast<size_t>(data.Classes[i])] = static_cast<int>(i);
    }
    std::map<std::pair<int, int>, ErrorTimeBar> bars;
    const int lastColumn = std::max(columns, 1) - 1;
    for (const EpochError& error : accuracy.Errors) {
        if (std::isnan(error.Seconds)) {
            continue;
        }
        const double share = (error.Seconds - data.FirstS) / (data.LastS - data.FirstS);
        const int column = std::clamp(static_cast<int>(std::floor(share * (lastColumn + 1))), 0, lastColumn);
        const auto key = std::make_pair(rank[static_cast<size_t>(error.Class)], column);
        const auto found = bars.find(key);
        if (found == bars.end()) {
            bars.emplace(key, ErrorTimeBar{column, error.Class, error.Horizontal, error.Horizontal});
        } else {
            found->second.LowM = std::min(found->second.LowM, error.Horizontal);
            found->second.HighM = std::max(found->second.HighM, error.Horizontal);
        }
    }
    for (const auto& [key, bar] : bars) {
        data.Bars.push_back(bar);
    }
    return data;
}

std::vector<uint8_t> DrawErrorOverTime(const ErrorOverTime& data, PlotSize size) {
    Canvas canvas(size.Width, size.Height);
    cairo_t* cr = canvas.cr();
    Text(cr, size.Width / 2.0, 24, "Horizontal error over time", kTitleSize, Align::Centre, Anchor::Baseline,
         true);
    const Frame frame{70, 40, static_cast<double>(size.Width) - 24, static_cast<double>(size.Height) - 90};
    if (data.Classes.empty()) {
        FrameBorder(cr, frame);
        NoData(cr, frame, "No matched fix with a time");
        return canvas.Png();
    }
    // The error axis: linear from 0 in whole steps, or logarithmic over whole 1-2-5 steps.
    struct Tick {
        double metres;
        bool labelled;
    };
    std::vector<Tick> ticks;
    double bottom = 0;
    double top = data.TopM;
    int decimals = 0;
    if (data.Logarithmic) {
        bottom = data.BottomM;
        for (int k = OneTwoFiveIndex(data.BottomM); OneTwoFiveStep(k) <= data.TopM * (1 + 1e-9); ++k) {
            ticks.push_back({OneTwoFiveStep(k),
                             k % 3 == 0 || OneTwoFiveIndex(data.TopM) - OneTwoFiveIndex(data.BottomM) <= 6});
        }
        decimals = std::max(0, -static_cast<int>(std::floor(std::log10(data.BottomM) + 1e-9)));
    } else {
        const double step = StepAtOrAbove(data.TopM / 5);
        top = std::ceil(data.TopM / step - 1e-9) * step;
        for (double v = 0; v <= top + step * 1e-6; v += step) {
            ticks.push_back({v, true});
        }
        decimals = DecimalsOf(step);
    }
    auto y = [&](double metres) {
        if (data.Logarithmic) {
            const double clamped = std::max(metres, bottom);
            return frame.bottom - std::log(clamped / bottom) / std::log(top / bottom) * frame.Height();
        }
        return frame.bottom - metres / top * frame.Height();
    };
    cairo_set_line_width(cr, 1);
    for (const Tick& tick : ticks) {
        const double py = std::round(y(tick.metres)) + 0.5;
        Colour(cr, kGrid);
        cairo_move_to(cr, frame.left, py);
        cairo_line_to(cr, frame.right, py);
        cairo_stroke(cr);
        if (tick.labelled) {
            Text(cr, frame.left - 6, py, NumberText(tick.metres, decimals), kTickSize, Align::Right,
                 Anchor::Middle);
        }
    }
    Text(cr, frame.left - 52, (frame.top + frame.bottom) / 2,
         data.Logarithmic ? "Horizontal error (m, logarithmic)" : "Horizontal error (m)", kLabelSize,
         Align::Centre, Anchor::Middle, false, kInk, -M_PI / 2);
    DrawTimeAxis(cr, frame, {data.FirstS, data.LastS, data.StartTimeOfDayMs, data.StartUnixMs});

    // A bar per column and class: a dot where it holds one value.
    cairo_save(cr);
    cairo_rectangle(cr, frame.left, frame.top, frame.Width(), frame.Height());
    cairo_clip(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2);
    for (const ErrorTimeBar& bar : data.Bars) {
        const double px = frame.left + bar.Column + 0.5;
        Colour(cr, InfoOf(bar.Class).Colour);
        cairo_move_to(cr, px, y(bar.LowM));
        cairo_line_to(cr, px, y(bar.HighM));
        cairo_stroke(cr);
    }
    // The levels.
    const std::pair<std::optional<double>, DashPattern> levels[] = {{data.Cep50M, kCep50Dashes},
                                                                    {data.Cep95M, kCep95Dashes}};
    for (const auto& [level, dashes] : levels) {
        if (level) {
            Colour(cr, kInk);
            cairo_set_line_width(cr, 1.5);
            Dashes(cr, dashes);
            cairo_move_to(cr, frame.left, y(*level));
            cairo_line_to(cr, frame.right, y(*level));
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
    FrameBorder(cr, frame);

    // The legend: the classes, then the levels, in a row (two when it is too wide).
    struct Entry {
        std::string label;
        std::optional<Rgb> dot;
        DashPattern dashes;
    };
    std::vector<Entry> entries;
    for (FixClass fixClass : data.Classes) {
        entries.push_back({std::string(InfoOf(fixClass).Name), InfoOf(fixClass).Colour, {}});
    }
    if (data.Cep50M) {
        entries.push_back({"CEP50 " + Metres(*data.Cep50M), std::nullopt, kCep50Dashes});
    }
    if (data.Cep95M) {
        entries.push_back({"CEP95 " + Metres(*data.Cep95M), std::nullopt, kCep95Dashes});
    }
    std::vector<std::vector<const Entry*>> rows(1);
    double rowWidth = 0;
    for (const Entry& entry : entries) {
        const double width = 30 + TextWidth(cr, entry.label, kTickSize) + 18;
        if (rowWidth + width > frame.Width() && !rows.back().empty()) {
            rows.emplace_back();
            rowWidth = 0;
        }
        rows.back().push_back(&entry);
        rowWidth += width;
    }
    double rowY = frame.bottom + 52;
    for (const std::vector<const Entry*>& row : rows) {
        double total = -18;
        for (const Entry* entry : row) {
            total += 30 + TextWidth(cr, entry->label, kTickSize) + 18;
        }
        double x = (frame.left + frame.right - total) / 2;
        for (const Entry* entry : row) {
            x += LegendLine(cr, x, rowY, entry->label, [&](double sx, double sy) {
                if (entry->dot) {
                    DotSwatch(cr, sx, sy, *entry->dot);
                } else {
                    LevelSwatch(cr, sx, sy, entry->dashes);
                }
            });
        }
        rowY += 18;
    }
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
    if (accuracy.Errors.empty()) {
        return data;
    }
    std::array<int64_t, kFixClassCount> counts{};
    for (const EpochError& error : accuracy.Errors) {
        ++counts[static_cast<size_t>(error.Class)];
    }
    const double reach = 2 * data.Cep95M.value_or(0);
    data.HalfRangeM = reach > 0 ? StepAtOrAbove(reach) : 0.01;
    for (int c = 0; c < kFixClassCount; ++c) {
        if (counts[static_cast<size_t>(c)] > 0) {
            data.Classes.emplace_back(static_cast<FixClass>(c), counts[static_cast<size_t>(c)]);
        }
    }
    std::stable_sort(data.Classes.begin(), data.Classes.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::array<int, kFixClassCount> rank{};
    for (size_t i = 0; i < data.Classes.size(); ++i) {
        rank[static_cast<size_t>(data.Classes[i].first)] = static_cast<int>(i);
    }
    // One dot per cell and class.
    const int side = std::max(cells, 1);
    std::vector<std::vector<bool>> taken(data.Classes.size(),
                                         std::vector<bool>(static_cast<size_t>(side) * side));
    std::vector<std::vector<ScatterDot>> byRank(data.Classes.size());
    for (const EpochError& error : accuracy.Errors) {
        if (std::fabs(error.East) > data.HalfRangeM || std::fabs(error.North) > data.HalfRangeM) {
            ++data.Outside;
            continue;
        }
        auto cell = [&](double metres) {
            return std::clamp(static_cast<int>(std::floor((metres / data.HalfRangeM + 1) / 2 * side)), 0,
                              side - 1);
        };
        const auto r = static_cast<size_t>(rank[static_cast<size_t>(error.Class)]);
        const size_t at = static_cast<size_t>(cell(error.North)) * static_cast<size_t>(side) +
                          static_cast<size_t>(cell(error.East));
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
    Text(cr, size.Width / 2.0, 24, "Horizontal error around the reference", kTitleSize, Align::Centre,
         Anchor::Baseline, true);
    const Frame frame = ScatterFrame(size);
    const double range = data.HalfRangeM;
    const double cx = (frame.left + frame.right) / 2;
    const double cy = (frame.top + frame.bottom) / 2;
    const double scale = frame.Width() / (2 * range);  // pixels per metre, both axes
    auto px = [&](double east) { return cx + east * scale; };
    auto py = [&](double north) { return cy - north * scale; };

    // Grid and ticks at halves of the range on both axes.
    const double step = range / 2;
    const int decimals = DecimalsOf(step);
    cairo_set_line_width(cr, 1);
    for (int i = -2; i <= 2; ++i) {
        const double v = i * step;
        const double gx = std::round(px(v)) + 0.5;
        const double gy = std::round(py(v)) + 0.5;
        Colour(cr, i == 0 ? Rgb{190, 190, 190} : kGrid);
        cairo_move_to(cr, gx, frame.top);
        cairo_line_to(cr, gx, frame.bottom);
        cairo_move_to(cr, frame.left, gy);
        cairo_line_to(cr, frame.right, gy);
        cairo_stroke(cr);
        Text(cr, gx, frame.bottom + 6, NumberText(v, decimals), kTickSize, Align::Centre, Anchor::Top);
        Text(cr, frame.left - 6, gy, NumberText(v, decimals), kTickSize, Align::Right, Anchor::Middle);
    }
    Text(cr, cx, frame.bottom + 24, "East (m)", kLabelSize, Align::Centre, Anchor::Top);
    Text(cr, frame.left - 56, cy, "North (m)", kLabelSize, Align::Centre, Anchor::Middle, false, kInk,
         -M_PI / 2);

    cairo_save(cr);
    cairo_rectangle(cr, frame.left, frame.top, frame.Width(), frame.Height());
    cairo_clip(cr);
    for (const ScatterDot& dot : data.Dots) {
        Colour(cr, InfoOf(dot.Class).Colour, 0.7);
        cairo_arc(cr, px(dot.EastM), py(dot.NorthM), 2, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    const std::pair<std::optional<double>, DashPattern> circles[] = {
        {data.Cep50M, kCep50Dashes}, {data.Cep95M, kCep95Dashes}, {data.TwiceDrmsM, kDrmsDashes}};
    for (const auto& [radius, dashes] : circles) {
        if (radius) {
            Colour(cr, kInk);
            cairo_set_line_width(cr, 1.5);
            Dashes(cr, dashes);
            cairo_new_sub_path(cr);
            cairo_arc(cr, cx, cy, *radius * scale, 0, 2 * M_PI);
            cairo_stroke(cr);
        }
    }
    Dashes(cr, kCep50Dashes);
    if (data.MeanEastM && data.MeanNorthM) {
        // The mean: a cross.
        const double mx = px(*data.MeanEastM);
        const double my = py(*data.MeanNorthM);
        Colour(cr, kInk);
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, mx - 5, my - 5);
        cairo_line_to(cr, mx + 5, my + 5);
        cairo_move_to(cr, mx - 5, my + 5);
        cairo_line_to(cr, mx + 5, my - 5);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    FrameBorder(cr, frame);
    if (data.Fixes == 0) {
        NoData(cr, frame, "No matched fix");
    }

    // The legend beside the frame.
    const double lx = frame.right + 20;
    double ly = frame.top + 8;
    Text(cr, lx, ly, std::to_string(data.Fixes) + " fixes", kTickSize, Align::Left, Anchor::Middle, true);
    ly += 20;
    for (const auto& [fixClass, count] : data.Classes) {
        LegendLine(cr, lx, ly, std::string(InfoOf(fixClass).Name) + " (" + std::to_string(count) + ")",
                   [&](double sx, double sy) { DotSwatch(cr, sx, sy, InfoOf(fixClass).Colour); });
        ly += 18;
    }
    ly += 8;
    const std::tuple<const char*, std::optional<double>, DashPattern> levels[] = {
        {"CEP50 ", data.Cep50M, kCep50Dashes},
        {"CEP95 ", data.Cep95M, kCep95Dashes},
        {"2DRMS ", data.TwiceDrmsM, kDrmsDashes}};
    for (const auto& [name, value, dashes] : levels) {
        if (value) {
            LegendLine(cr, lx, ly, name + Metres(*value),
                       [&](double sx, double sy) { LevelSwatch(cr, sx, sy, dashes); });
            ly += 18;
        }
    }
    if (data.MeanEastM && data.MeanNorthM) {
        LegendLine(cr, lx, ly,
                   "mean " + NumberText(*data.MeanEastM, 3) + " E, " + NumberText(*data.MeanNorthM, 3) + " N",
                   [&](double sx, double sy) {
                       Colour(cr, kInk);
                       cairo_set_line_width(cr, 2);
                       cairo_move_to(cr, sx + 7, sy - 5);
                       cairo_line_to(cr, sx + 17, sy + 5);
                       cairo_move_to(cr, sx + 7, sy + 5);
                       cairo_line_to(cr, sx + 17, sy - 5);
                       cairo_stroke(cr);
                   });
        ly += 18;
    }
    if (data.Outside > 0) {
        ly += 8;
        Text(cr, lx, ly, std::to_string(data.Outside) + " beyond the frame", kTickSize, Align::Left,
             Anchor::Middle, false, kNote);
    }
    return canvas.Png();
}

std::vector<uint8_t> ErrorScatterPlotPng(const Accuracy& accuracy, PlotSize size) {
    return DrawErrorScatter(CollectErrorScatter(accuracy, ErrorScatterCells(size)), size);
}

}  // namespace tervo
