// The two accuracy plots, each collected from an Accuracy into plain data
// first and then drawn with Cairo as the bytes of a PNG file, in the look of
// the other plots (report/plots.h): the horizontal error over time, and the
// east/north scatter of the errors around the reference.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/fix_quality.h"
#include "report/accuracy.h"
#include "report/plots.h"

namespace tervo {

// --- Horizontal error over time, coloured by fix quality, with the CEP50 and
// CEP95 levels.

// The errors of one fix class within one pixel column of the time axis.
struct ErrorTimeBar {
    int Column = 0;
    FixClass Class = FixClass::Single;
    double LowM = 0;  // least and greatest error there, at most TopM
    double HighM = 0;
};

struct ErrorOverTime {
    // The time axis: seconds on the log's scale (see EpochTimeline) of the
    // first and last timed fix (at least a second apart), placed by the log's
    // first timed epoch.
    double FirstS = 0;
    double LastS = 1;
    std::optional<int64_t> StartUnixMs;
    int32_t StartTimeOfDayMs = 0;
    // The error axis. Linear from 0 to TopM (the largest error) while the
    // largest error is at most three CEP95. Beyond that a few outliers, or
    // fix classes of different orders (RTK fixed centimetres beside single
    // metres), would squash the rest on a linear axis, so the axis is
    // logarithmic from BottomM, the 1-2-5 step at or below the 1st percentile
    // (and at least 1 mm), to TopM, the step at or above the largest error;
    // smaller errors are drawn at the bottom.
    bool Logarithmic = false;
    double BottomM = 0;
    double TopM = 1;
    std::optional<double> Cep50M;
    std::optional<double> Cep95M;
    // Grouped by class, the class with most timed fixes first (drawn in this
    // order, the rare classes stay on top), then in column order.
    std::vector<ErrorTimeBar> Bars;
    // The classes among the timed fixes, the commonest first.
    std::vector<FixClass> Classes;
};

// The matched fixes with a time, over `columns` pixel columns.
ErrorOverTime CollectErrorOverTime(const Accuracy& accuracy, int columns);
// Draws what CollectErrorOverTime gave for the plot's frame width (see
// ErrorTimeColumns).
std::vector<uint8_t> DrawErrorOverTime(const ErrorOverTime& data, PlotSize size = {});
// The pixel columns of the time axis of a plot of `size`.
int ErrorTimeColumns(PlotSize size);
// Collected and drawn.
std::vector<uint8_t> ErrorOverTimePlotPng(const Accuracy& accuracy, PlotSize size = {});

// --- East and north around the reference, with equal axes in metres and the
// CEP50, CEP95 and 2DRMS circles.

// Fixes that fall into one cell of the plot's grid, one dot per class.
struct ScatterDot {
    double EastM = 0;
    double NorthM = 0;
    FixClass Class = FixClass::Single;
};

struct ErrorScatter {
    // Both axes run from -HalfRangeM to HalfRangeM: the smallest 1-2-5 step
    // at or above twice CEP95, so a 2 cm cloud and a 30 m cloud fill the
    // frame alike, the CEP95 circle reaches at least a quarter of its width,
    // and the outliers of a few fixes (or of a rarer, worse fix class) do not
    // shrink the bulk; they are counted in Outside. (A circular normal cloud
    // fits whole, its 2DRMS circle too.)
    double HalfRangeM = 1;
    int64_t Fixes = 0;
    int64_t Outside = 0;  // fixes beyond the frame, left out
    std::optional<double> Cep50M;
    std::optional<double> Cep95M;
    std::optional<double> TwiceDrmsM;
    std::optional<double> MeanEastM;
    std::optional<double> MeanNorthM;
    // At most one dot per class in each of cells x cells squares of the frame
    // (the first fix there), the classes with most fixes first: drawn in this
    // order, the rare classes stay on top.
    std::vector<ScatterDot> Dots;
    // Each class that occurs with its fixes, the commonest first.
    std::vector<std::pair<FixClass, int64_t>> Classes;
};

ErrorScatter CollectErrorScatter(const Accuracy& accuracy, int cells);
std::vector<uint8_t> DrawErrorScatter(const ErrorScatter& data, PlotSize size = {});
// The grid cells across the frame of a plot of `size`: one per pixel.
int ErrorScatterCells(PlotSize size);
std::vector<uint8_t> ErrorScatterPlotPng(const Accuracy& accuracy, PlotSize size = {});

}  // namespace tervo
