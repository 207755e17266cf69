// The error colour classes and the accuracy plots. Legend of the cases:
// - ErrorClasses: the bounds chosen for a 95th percentile (a step off by one,
//   the 1 cm floor ignored, a percentile on a bound put a class too high), a
//   fix's class at and around the bounds, the labels;
// - CollectErrorOverTime: pixel columns, the least and greatest error per
//   column and class, the rare classes drawn last, a logarithmic axis beyond
//   three CEP95 and its ends;
// - CollectErrorScatter: the range from the data (a 2 cm and a 30 m cloud
//   alike), one dot per cell and class, fixes beyond the frame, the rare
//   classes drawn last;
// - Drawn: both plots come out at their size with the class colours of their
//   fixes, and whole without any fix.
#include "report/accuracy_plots.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "report/error_classes.h"

namespace tervo {
namespace {

TEST(ErrorClasses, BoundsFromThe95thPercentile) {
    struct Row {
        double top;
        std::vector<double> bounds;
    };
    const Row rows[] = {
        {0.03, {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1}},  // RTK: the 1 cm floor
        {0, {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1}},
        {NAN, {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1}},
        {1, {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1}},
        {1.01, {0.02, 0.05, 0.1, 0.2, 0.5, 1, 2}},
        {15, {0.2, 0.5, 1, 2, 5, 10, 20}},
        {20, {0.2, 0.5, 1, 2, 5, 10, 20}},  // on a step: that step
        {20.5, {0.5, 1, 2, 5, 10, 20, 50}},
        {3000, {50, 100, 200, 500, 1000, 2000, 5000}},
    };
    for (const Row& row : rows) {
        const ErrorClasses classes = ErrorClassesFrom(row.top);
        for (size_t i = 0; i < row.bounds.size(); ++i) {
            EXPECT_DOUBLE_EQ(classes.BoundsM[i], row.bounds[i]) << row.top << " bound " << i;
        }
    }
    // 1 to 20 m: the 95th percentile is 19.05 m (h = 18.05), so the last class starts at 20.
    std::vector<double> errors;
    for (int m = 20; m >= 1; --m) {
        errors.push_back(m);
    }
    errors.push_back(NAN);  // an unmatched fix does not count
    EXPECT_DOUBLE_EQ(MakeErrorClasses(errors).BoundsM.back(), 20);
}

TEST(ErrorClasses, ClassesAndLabels) {
    const ErrorClasses classes = ErrorClassesFrom(15);  // 0.2 0.5 1 2 5 10 20
    struct Row {
        double metres;
        int expected;
    };
    const Row rows[] = {{0, 0},    {0.19, 0}, {0.2, 1},
                        {0.49, 1}, {1, 3},    {19.9, 6},
                        {20, 7},   {5000, 7}, {NAN, kUnmatchedErrorClass}};
    for (const Row& row : rows) {
        EXPECT_EQ(ErrorClassOf(classes, row.metres), row.expected) << row.metres;
    }
    EXPECT_EQ(ErrorClassLabel(classes, 0), "0\u20130.2 m");
    EXPECT_EQ(ErrorClassLabel(classes, 3), "1\u20132 m");
    EXPECT_EQ(ErrorClassLabel(classes, 7), "\u2265 20 m");
    EXPECT_EQ(ErrorClassLabel(ErrorClassesFrom(0), 1), "0.01\u20130.02 m");
    EXPECT_EQ(ErrorStyleId(7), "error-7");
    EXPECT_EQ(ErrorStyleId(kUnmatchedErrorClass), "error-none");
    const std::vector<LegendEntry> legend = ErrorLegend(classes, true);
    ASSERT_EQ(legend.size(), 9u);
    EXPECT_EQ(legend[8].Label, "no reference");
    EXPECT_EQ(legend[0].Colour, Viridis(0));
    EXPECT_EQ(legend[7].Colour, Viridis(1));
    EXPECT_EQ(ErrorLegend(classes, false).size(), 8u);
}

EpochError ErrorAt(double seconds, double east, double north, FixClass fixClass = FixClass::Single) {
    EpochError e;
    e.Seconds = seconds;
    e.East = east;
    e.North = north;
    e.Horizontal = std::hypot(east, north);
    e.ThreeD = e.Horizontal;
    e.Class = fixClass;
    return e;
}

Accuracy ResultOf(std::vector<EpochError> errors) {
    Accuracy a;
    a.Errors = std::move(errors);
    a.All = FiguresOf(a.Errors, 0);
    a.StartTimeOfDayMs = 36'000'000;
    return a;
}

TEST(CollectErrorOverTime, ColumnsClassesAndTheAxis) {
    // Twenty single fixes of 1 m over 0 to 19 s, an RTK fixed one of 0.5 m at
    // 2 s and an outlier of 100 m at 20 s: CEP95 is 1 m, the largest error
    // beyond three of it, so the axis is logarithmic from the step below the
    // 1st percentile (0.605 m) to 100 m.
    std::vector<EpochError> errors;
    for (int s = 0; s < 20; ++s) {
        errors.push_back(ErrorAt(s, 1, 0));
    }
    errors.push_back(ErrorAt(2, 0, 0.5, FixClass::RtkFixed));
    errors.push_back(ErrorAt(20, 0, 100));
    errors.push_back(ErrorAt(NAN, 0, 1));  // no time: left out
    const ErrorOverTime data = CollectErrorOverTime(ResultOf(errors), 10);
    EXPECT_EQ(data.FirstS, 0);
    EXPECT_EQ(data.LastS, 20);
    EXPECT_EQ(data.StartTimeOfDayMs, 36'000'000);
    EXPECT_TRUE(data.Logarithmic);
    EXPECT_DOUBLE_EQ(data.BottomM, 0.5);
    EXPECT_DOUBLE_EQ(data.TopM, 100);
    EXPECT_DOUBLE_EQ(*data.Cep95M, 1);
    EXPECT_EQ(data.Classes, (std::vector<FixClass>{FixClass::Single, FixClass::RtkFixed}));
    // Two seconds a column, the last one holding 18, 19 and 20 s; the single
    // fixes' bars first, then the rarer RTK fixed one.
    ASSERT_EQ(data.Bars.size(), 11u);
    EXPECT_EQ(data.Bars[1].Column, 1);
    EXPECT_EQ(data.Bars[1].Class, FixClass::Single);
    const ErrorTimeBar& last = data.Bars[9];
    EXPECT_EQ(last.Column, 9);
    EXPECT_DOUBLE_EQ(last.LowM, 1);
    EXPECT_DOUBLE_EQ(last.HighM, 100);
    EXPECT_EQ(data.Bars[10].Class, FixClass::RtkFixed);
    EXPECT_EQ(data.Bars[10].Column, 1);
    EXPECT_DOUBLE_EQ(data.Bars[10].LowM, 0.5);

    // Without the outlier the axis is linear up to the largest error.
    errors.pop_back();
    errors.pop_back();
    errors.push_back(ErrorAt(20, 0, 2.5));
    const ErrorOverTime linear = CollectErrorOverTime(ResultOf(errors), 10);
    EXPECT_FALSE(linear.Logarithmic);
    EXPECT_DOUBLE_EQ(linear.TopM, 2.5);

    // The logarithmic axis never starts below 1 mm.
    std::vector<EpochError> fine(5, ErrorAt(0, 0.0001, 0));
    fine.insert(fine.end(), 95, ErrorAt(1, 0.01, 0));
    fine.push_back(ErrorAt(2, 0.7, 0));
    const ErrorOverTime floor = CollectErrorOverTime(ResultOf(fine), 10);
    EXPECT_DOUBLE_EQ(floor.BottomM, 0.001);
    EXPECT_DOUBLE_EQ(floor.TopM, 1);
    EXPECT_TRUE(CollectErrorOverTime(ResultOf({}), 10).Classes.empty());
}

TEST(CollectErrorScatter, RangeDotsAndOutsiders) {
    struct Row {
        double metres;  // every fix this far east
        double halfRange;
    };
    // CEP95 is the error: twice it, rounded up to a 1, 2 or 5 step.
    const Row rows[] = {{0.02, 0.05}, {1, 2}, {30, 100}, {0.4, 1}, {2.5, 5}};
    for (const Row& row : rows) {
        const std::vector<EpochError> errors(50, ErrorAt(0, row.metres, 0));
        EXPECT_DOUBLE_EQ(CollectErrorScatter(ResultOf(errors), 100).HalfRangeM, row.halfRange) << row.metres;
    }

    // A hundred single fixes 1 m east (one cell), two RTK float fixes in that
    // cell and one in another, and a single fix 10 m north, beyond the frame:
    // CEP95 = 1 m gives a range of 2 m.
    std::vector<EpochError> errors(100, ErrorAt(0, 1, 0));
    errors.push_back(ErrorAt(0, 1.001, 0, FixClass::RtkFloat));
    errors.push_back(ErrorAt(0, 1.002, 0, FixClass::RtkFloat));
    errors.push_back(ErrorAt(0, -1, 0, FixClass::RtkFloat));
    errors.push_back(ErrorAt(0, 0, 10));
    const ErrorScatter data = CollectErrorScatter(ResultOf(errors), 100);
    EXPECT_DOUBLE_EQ(data.HalfRangeM, 2);
    EXPECT_EQ(data.Fixes, 104);
    EXPECT_EQ(data.Outside, 1);
    ASSERT_EQ(data.Classes.size(), 2u);
    EXPECT_EQ(data.Classes[0], std::make_pair(FixClass::Single, int64_t{101}));
    EXPECT_EQ(data.Classes[1], std::make_pair(FixClass::RtkFloat, int64_t{3}));
    ASSERT_EQ(data.Dots.size(), 3u);
    EXPECT_EQ(data.Dots[0].Class, FixClass::Single);
    EXPECT_EQ(data.Dots[1].EastM, 1.001);
    EXPECT_EQ(data.Dots[2].EastM, -1);
    EXPECT_DOUBLE_EQ(*data.TwiceDrmsM, 2 * std::sqrt((100 + 1.001 * 1.001 + 1.002 * 1.002 + 1 + 100) / 104));
}

// The pixels of a PNG that are `colour`, opaque.
int PixelsOf(const std::vector<uint8_t>& png, Rgb colour, int* width, int* height) {
    struct Reader {
        const std::vector<uint8_t>* bytes;
        size_t at = 0;
    } reader{&png};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->at + length > r->bytes->size()) {
                return CAIRO_STATUS_READ_ERROR;
            }
            std::memcpy(data, r->bytes->data() + r->at, length);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    int count = 0;
    *width = cairo_image_surface_get_width(surface);
    *height = cairo_image_surface_get_height(surface);
    // An opaque PNG reads as RGB24, whose top byte means nothing.
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    const uint32_t mask = format == CAIRO_FORMAT_RGB24 ? 0xFFFFFFu : 0xFFFFFFFFu;
    const uint32_t wanted = (0xFF000000u | static_cast<uint32_t>(colour.R) << 16 |
                             static_cast<uint32_t>(colour.G) << 8 | colour.B) &
                            mask;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
        (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24)) {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        for (int y = 0; y < *height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                data + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(surface));
            for (int x = 0; x < *width; ++x) {
                count += (row[x] & mask) == wanted ? 1 : 0;
            }
        }
    }
    cairo_surface_destroy(surface);
    return count;
}

TEST(AccuracyPlots, Drawn) {
    std::vector<EpochError> errors;
    for (int s = 0; s < 600; ++s) {
        const double angle = s * 0.7;
        errors.push_back(ErrorAt(s, 1.5 * std::cos(angle), 1.5 * std::sin(angle),
                                 s < 300 ? FixClass::Single : FixClass::RtkFloat));
    }
    const Accuracy accuracy = ResultOf(errors);
    const Rgb single = InfoOf(FixClass::Single).Colour;
    const Rgb rtkFloat = InfoOf(FixClass::RtkFloat).Colour;
    const Rgb rtkFixed = InfoOf(FixClass::RtkFixed).Colour;
    for (const auto& png :
         {ErrorOverTimePlotPng(accuracy, {800, 500}), ErrorScatterPlotPng(accuracy, {800, 500})}) {
        int width = 0;
        int height = 0;
        EXPECT_GT(PixelsOf(png, single, &width, &height), 20);
        EXPECT_EQ(width, 800);
        EXPECT_EQ(height, 500);
        EXPECT_GT(PixelsOf(png, rtkFloat, &width, &height), 20);
        EXPECT_EQ(PixelsOf(png, rtkFixed, &width, &height), 0);
    }
    for (const auto& png : {ErrorOverTimePlotPng(ResultOf({})), ErrorScatterPlotPng(ResultOf({}))}) {
        int width = 0;
        int height = 0;
        PixelsOf(png, single, &width, &height);
        EXPECT_EQ(width, 640);
        EXPECT_EQ(height, 480);
    }
}

}  // namespace
}  // namespace tervo
