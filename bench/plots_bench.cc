// Plot benchmark: draws each plot of a day of 1 Hz epochs with twenty
// satellites in view (a list made directly, no log read) and prints the median
// time of each over several runs.
//
//   tervo_plots_bench [--runs N]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/point_list.h"
#include "report/plots.h"

namespace {

void FillDay(tervo::PointList& points) {
    for (int second = 0; second < 86400; ++second) {
        tervo::waypoints& p = points.AppendPoint()->Point;
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
            tervo::SatelliteInfo& row = p.Satellites[static_cast<size_t>(id + (id > 12 ? 52 : 0))];
            row.System = id > 12 ? 'R' : 'G';
            row.Number = static_cast<uint8_t>(id);
            row.Elevation = static_cast<uint8_t>(5 + (second / 400 + id * 7) % 85);
            row.Azimuth = static_cast<uint16_t>((second / 100 + id * 29) % 360);
            row.Snr = static_cast<uint8_t>(25 + (second + id) % 20);
            row.InView = 1;
        }
        p.HasSatellites = 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
    }
    tervo::PointList points;
    FillDay(points);
    struct Plot {
        const char* name;
        std::vector<uint8_t> (*draw)(const tervo::list*, tervo::LogFormat, tervo::PlotSize);
    };
    // The day's satellites are the record's table alone: no observations beside it.
    const Plot plots[] = {
        {"sky", [](const tervo::list* start, tervo::LogFormat format,
                   tervo::PlotSize size) { return tervo::SkyPlotPng(start, format, size); }},
        {"snr", [](const tervo::list* start, tervo::LogFormat format,
                   tervo::PlotSize size) { return tervo::SnrPlotPng(start, format, size); }},
        {"speed_altitude", tervo::SpeedAltitudePlotPng},
        {"fix_quality", tervo::FixQualityPlotPng}};
    std::printf("%-16s %10s\n", "plot (86400 epochs)", "median ms");
    for (const Plot& plot : plots) {
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<uint8_t> png = plot.draw(points.Head, tervo::LogFormat::Nmea, {});
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (png.empty()) {
                std::fprintf(stderr, "%s drew nothing\n", plot.name);
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-16s %10.1f\n", plot.name, ms[ms.size() / 2]);
    }
    points.FreePointList(points.Head);
    return 0;
}
