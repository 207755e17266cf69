// The plots. Legend of the cases:
// - EveryPlotOfASimulatedLog: size, a drawn picture and the colours each plot
//   must show (a series left out, a colour mixed up, a blank PNG);
// - AnEmptyList: every plot still comes out whole (a crash or a division by
//   zero on a log without epochs);
// - TheSize: the size asked for (a fixed size);
// - LegendCard: sized to its entries, their colours, a see-through ground;
// - ADayOfEpochs: a day of 1 Hz epochs plots in well under a second each in
//   an optimised build (a plot that draws every epoch).
#include "report/plots.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "report/plot_drawing.h"
#include "report_logs.h"

// Fontconfig, which Cairo asks for DejaVu Sans, keeps its configuration for the
// life of the process; LeakSanitizer (sanitizer builds) would report it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace tervo {
namespace {

// A decoded PNG: its size and pixels (ARGB32, premultiplied).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }

    // Pixels within `tolerance` on each channel of an opaque `colour`.
    int Count(Rgb colour, int tolerance = 12) const {
        int count = 0;
        for (uint32_t p : pixels) {
            const int a = static_cast<int>(p >> 24), r = static_cast<int>(p >> 16 & 0xFF),
                      g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
            count += a == 255 && std::abs(r - colour.R) <= tolerance && std::abs(g - colour.G) <= tolerance &&
                             std::abs(b - colour.B) <= tolerance
                         ? 1
                         : 0;
        }
        return count;
    }

    // Pixels that are not the white ground.
    int Drawn() const {
        int count = 0;
        for (uint32_t p : pixels) {
            count += (p & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
        }
        return count;
    }
};

Picture Decode(const std::vector<uint8_t>& png) {
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
    Picture picture;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_t* argb = surface;
        picture.width = cairo_image_surface_get_width(surface);
        picture.height = cairo_image_surface_get_height(surface);
        if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
            argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height);
            cairo_t* cr = cairo_create(argb);
            cairo_set_source_surface(cr, surface, 0, 0);
            cairo_paint(cr);
            cairo_destroy(cr);
        }
        cairo_surface_flush(argb);
        const int stride = cairo_image_surface_get_stride(argb);
        const unsigned char* data = cairo_image_surface_get_data(argb);
        for (int y = 0; y < picture.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
            picture.pixels.insert(picture.pixels.end(), row, row + picture.width);
        }
        if (argb != surface) {
            cairo_surface_destroy(argb);
        }
    }
    cairo_surface_destroy(surface);
    return picture;
}

struct Plot {
    const char* name;
    std::function<std::vector<uint8_t>(const list*, PlotSize)> draw;
};

const std::vector<Plot>& Plots() {
    static const std::vector<Plot> plots = {
        {"sky", [](const list* s, PlotSize size) { return SkyPlotPng(s, LogFormat::Nmea, size); }},
        {"snr", [](const list* s, PlotSize size) { return SnrPlotPng(s, LogFormat::Nmea, size); }},
        {"speed and altitude",
         [](const list* s, PlotSize size) { return SpeedAltitudePlotPng(s, LogFormat::Nmea, size); }},
        {"fix quality",
         [](const list* s, PlotSize size) { return FixQualityPlotPng(s, LogFormat::Nmea, size); }},
    };
    return plots;
}

TEST(Plots, EveryPlotOfASimulatedLog) {
    testing::TempDir dir;
    PointList points;
    testing::ReadNmeaBytes(testing::SimulatedNmea("--hours 0.5 --satellites 16 --seed 4 --rtk", dir), points);
    ASSERT_EQ(points.size(), 1800u);

    const Picture sky = Decode(SkyPlotPng(points.Head, LogFormat::Nmea));
    const Picture snr = Decode(SnrPlotPng(points.Head, LogFormat::Nmea));
    const Picture motion = Decode(SpeedAltitudePlotPng(points.Head, LogFormat::Nmea));
    const Picture quality = Decode(FixQualityPlotPng(points.Head, LogFormat::Nmea));
    for (const Picture* picture : {&sky, &snr, &motion, &quality}) {
        EXPECT_EQ(picture->width, 640);
        EXPECT_EQ(picture->height, 480);
        EXPECT_GT(picture->Drawn(), 640 * 480 / 50) << "hardly anything drawn";
    }
    // Sky: the colour bar's ends, and paths of a middling SNR (the simulator's
    // signals lie between 25 and 45 dB-Hz).
    EXPECT_GT(sky.Count(SnrColour(10), 8), 30);
    EXPECT_GT(sky.Count(SnrColour(50), 8), 30);
    int pathPixels = 0;
    for (int snr = 25; snr <= 45; ++snr) {
        pathPixels += sky.Count(SnrColour(snr), 4);
    }
    EXPECT_GT(pathPixels, 3000);
    // SNR: a line for each of the three systems.
    for (char system : {'G', 'S', 'R'}) {
        EXPECT_GT(snr.Count(SystemColour(system), 8), 200) << system;
    }
    // Speed and altitude: both lines.
    EXPECT_GT(motion.Count({31, 119, 180}, 8), 500);
    EXPECT_GT(motion.Count({44, 160, 44}, 8), 500);
    // Fix quality: the four classes of an RTK log, and no other.
    for (FixClass present : {FixClass::NoFix, FixClass::Single, FixClass::RtkFloat, FixClass::RtkFixed}) {
        EXPECT_GT(quality.Count(InfoOf(present).Colour, 2), 200) << InfoOf(present).Name;
    }
    for (FixClass absent : {FixClass::Differential, FixClass::DeadReckoning, FixClass::Unrated}) {
        EXPECT_EQ(quality.Count(InfoOf(absent).Colour, 2), 0) << InfoOf(absent).Name;
    }
}

TEST(Plots, AnEmptyList) {
    for (const Plot& plot : Plots()) {
        const Picture picture = Decode(plot.draw(nullptr, {}));
        EXPECT_EQ(picture.width, 640) << plot.name;
        EXPECT_GT(picture.Drawn(), 1000) << plot.name << ": at least the title and the axes";
    }
}

TEST(Plots, TheSize) {
    PointList points;
    testing::AppendFix(points, {"10:00:00", "2024-05-17", 1, 'A', 48, 11, 500, 10, 1, 8});
    testing::AppendFix(points, {"10:00:01", "2024-05-17", 1, 'A', 48.0001, 11, 501, 12, 1, 8});
    for (const Plot& plot : Plots()) {
        const Picture picture = Decode(plot.draw(points.Head, {800, 600}));
        EXPECT_EQ(picture.width, 800) << plot.name;
        EXPECT_EQ(picture.height, 600) << plot.name;
    }
}

TEST(Plots, LegendCard) {
    const std::vector<LegendEntry> entries = {
        {"0\u201310 km/h", Viridis(0)}, {"10\u201320 km/h", Viridis(0.5)}, {"\u2265 20 km/h", Viridis(1)}};
    const Picture card = Decode(LegendPng("Track by speed", entries));
    EXPECT_EQ(card.height, 38 + 20 * 3);
    EXPECT_GT(card.width, 100);
    EXPECT_LT(card.width, 300);
    for (const LegendEntry& entry : entries) {
        EXPECT_GT(card.Count(entry.Colour, 1), 200) << entry.Label;
    }
    // Inside the border the ground is white at 90 % opacity (premultiplied).
    EXPECT_EQ(card.At(card.width - 4, card.height - 4) >> 24, 230u);
}

TEST(Plots, ADayOfEpochs) {
    // A day of 1 Hz epochs with twenty satellites each, made directly.
    PointList points;
    for (int second = 0; second < 86400; ++second) {
        waypoints& p = points.AppendPoint()->Point;
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
        p.Time = time;
        p.TimeMs = second * 1000;
        p.Date = "2024-05-17";
        p.HasGga = 1;
        p.HasRmc = 1;
        p.FixQuality = second % 3000 < 100 ? 5 : 4;
        p.Status = 'A';
        p.Latitude = 55.75 + second * 1e-6;
        p.Longitude = 37.61;
        p.Altitude = 150 + std::sin(second / 600.0) * 20;
        p.Speed = 40 + 10 * std::sin(second / 60.0);
        for (int id = 1; id <= 20; ++id) {
            SatelliteInfo& row = p.Satellites[static_cast<size_t>(id + (id > 12 ? 52 : 0))];
            row.System = id > 12 ? 'R' : 'G';
            row.Number = static_cast<uint8_t>(id);
            row.Elevation = static_cast<uint8_t>(5 + (second / 400 + id * 7) % 85);
            row.Azimuth = static_cast<uint16_t>((second / 100 + id * 29) % 360);
            row.Snr = static_cast<uint8_t>(25 + (second + id) % 20);
            row.InView = 1;
        }
        p.HasSatellites = 1;
    }
    // How long they take is for bench/plots_bench.cc to say, not for a test.
    for (const Plot& plot : Plots()) {
        const Picture picture = Decode(plot.draw(points.Head, {}));
        EXPECT_EQ(picture.width, 640) << plot.name;
    }
}

}  // namespace
}  // namespace tervo

namespace tervo {
namespace {

// The scales of the plots' value axes, worked out by hand; the last rows are
// what hostile logs gave the plots (a range no double spans, no number, one
// huge value), which must still give a few finite ticks.
TEST(NiceTicks, WholeStepsAndSaneScalesForAnyRange) {
    struct Case {
        double low, high;
        int count;
        Ticks expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0, 10, 5, {0, 10, 2, 0}},
        {0, 1, 4, {0, 1, 0.25, 2}},
        {5, 5, 4, {4, 6, 0.5, 1}},                // one value: widened by 1 each way
        {10, 0, 5, {0, 10, 2, 0}},                // given the wrong way round
        {-1.7e308, 1.7e308, 4, {0, 1, 0.25, 2}},  // a span beyond a double
        {NAN, 3, 4, {0, 1, 0.25, 2}},
        {-inf, 0, 4, {0, 1, 0.25, 2}},
        {0, 10, 0, {0, 10, 10, 0}},  // no count: one step
    };
    for (const Case& c : cases) {
        const Ticks t = NiceTicks(c.low, c.high, c.count);
        EXPECT_DOUBLE_EQ(t.low, c.expected.low) << c.low << " " << c.high;
        EXPECT_DOUBLE_EQ(t.high, c.expected.high) << c.low << " " << c.high;
        EXPECT_DOUBLE_EQ(t.step, c.expected.step) << c.low << " " << c.high;
        EXPECT_EQ(t.decimals, c.expected.decimals) << c.low << " " << c.high;
    }
    // A single huge value: widened by a millionth of itself, so the scale has
    // a span and a handful of steps.
    const Ticks huge = NiceTicks(1e300, 1e300, 4);
    EXPECT_GT(huge.step, 0);
    EXPECT_LE(huge.low, 1e300);
    EXPECT_GE(huge.high, 1e300);
    EXPECT_LE((huge.high - huge.low) / huge.step, 6);
    EXPECT_EQ(huge.decimals, 0);
}

TEST(Label, FixedDecimalsOrTheShortestFormWhenTooLong) {
    EXPECT_EQ(Label(2.5, 2), "2.50");
    EXPECT_EQ(Label(-0.0, 0), "0");
    EXPECT_EQ(Label(1e300, 0), "1e+300");
}

}  // namespace
}  // namespace tervo
