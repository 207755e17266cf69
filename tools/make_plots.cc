// Draws the report plots of one log and prints its summary: the tool behind the
// pictures in docs/, and a quick look at any log.
//
//   make_plots [--binr] [--json] [--reference-point P | --reference-log FILE] LOG OUTDIR
//
// Writes OUTDIR/sky_plot.png, snr_plot.png, speed_altitude_plot.png and
// fix_quality_plot.png, prints the summary table (or its JSON with --json) on
// standard output and the time each plot took on standard error. With a
// reference (a point "LAT,LON,HEIGHT" or "mean", or a log of the same format)
// it prints the accuracy too and writes error_time_plot.png and
// error_scatter_plot.png.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "binr/binr_reader.h"
#include "nmea/nmea_reader.h"
#include "report/accuracy.h"
#include "report/accuracy_plots.h"
#include "report/plots.h"
#include "report/summary.h"

namespace {

class NoProgress : public tervo::ReadProgress {
public:
    void StepProgress() override {}
    void ProcessPendingEvents() override {}
};

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

// Reads a log into `points`, keeping the satellite observations of an NMEA log
// in `observations` when given; false, said on standard error, when it cannot.
bool ReadLog(const std::string& path, bool binr, tervo::PointList& points,
             tervo::SatelliteObservations* observations = nullptr) {
    std::FILE* input = std::fopen(path.c_str(), "rb");
    if (input == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    NoProgress progress;
    tervo::SystemPlatform platform;
    tervo::ReadOutcome outcome;
    if (binr) {
        outcome = tervo::ReadBinrLog(input, progress, 1 << 30, false, points);
    } else {
        tervo::SentenceAssembler assembler;
        tervo::NmeaLogDate logDate;
        outcome = tervo::ReadNmeaLog(input, progress, 1 << 30, false, assembler, platform, points, logDate,
                                     {}, {.Observations = observations});
    }
    std::fclose(input);
    if (outcome != tervo::ReadOutcome::Finished) {
        std::fprintf(stderr, "%s: the point list could not be made\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool binr = false;
    bool json = false;
    std::string referencePoint;
    std::string referenceLog;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--binr") == 0) {
            binr = true;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--reference-point") == 0 && i + 1 < argc) {
            referencePoint = argv[++i];
        } else if (std::strcmp(argv[i], "--reference-log") == 0 && i + 1 < argc) {
            referenceLog = argv[++i];
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.size() != 2) {
        std::fprintf(stderr,
                     "usage: make_plots [--binr] [--json] [--reference-point P | --reference-log FILE] LOG "
                     "OUTDIR\n");
        return 2;
    }
    tervo::PointList points;
    tervo::SatelliteObservations observations;  // NMEA: what the record's satellite table cannot hold
    const auto readStart = std::chrono::steady_clock::now();
    if (!ReadLog(paths[0], binr, points, &observations)) {
        return 1;
    }
    auto since = [](std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    std::fprintf(stderr, "read %zu epochs in %.0f ms\n", points.size(), since(readStart));

    const tervo::LogFormat format = binr ? tervo::LogFormat::Binr : tervo::LogFormat::Nmea;
    const auto summaryStart = std::chrono::steady_clock::now();
    const tervo::Summary summary = tervo::ComputeSummary(points, format, {}, &observations);
    std::fprintf(stderr, "summary: %.0f ms\n", since(summaryStart));
    std::fputs((json ? tervo::SummaryJson(summary) : tervo::SummaryTable(summary)).c_str(), stdout);

    struct Plot {
        const char* file;
        std::function<std::vector<uint8_t>()> draw;
    };
    const Plot plots[] = {
        {"sky_plot.png", [&] { return tervo::SkyPlotPng(points.Head, format, {}, &observations); }},
        {"snr_plot.png", [&] { return tervo::SnrPlotPng(points.Head, format, {}, &observations); }},
        {"speed_altitude_plot.png", [&] { return tervo::SpeedAltitudePlotPng(points.Head, format); }},
        {"fix_quality_plot.png", [&] { return tervo::FixQualityPlotPng(points.Head, format); }},
    };
    std::vector<Plot> accuracyPlots;
    std::optional<tervo::Accuracy> accuracy;
    if (!referencePoint.empty()) {
        const tervo::PointReferenceParse parse = tervo::ParsePointReference(referencePoint);
        if (!parse.Value) {
            std::fprintf(stderr, "--reference-point: %s\n", parse.Error.c_str());
            return 2;
        }
        accuracy = tervo::AccuracyAgainstPoint(points.Head, format, *parse.Value);
        std::fputs(tervo::AccuracyTable(*accuracy, parse.Value->Mean ? "the mean of the fixes" : "the point")
                       .c_str(),
                   stdout);
    } else if (!referenceLog.empty()) {
        tervo::PointList reference;
        if (!ReadLog(referenceLog, binr, reference)) {
            return 1;
        }
        accuracy =
            tervo::AccuracyAgainstTrack(points.Head, format, tervo::ReferenceTrackOf(reference.Head, format));
        std::fputs(tervo::AccuracyTable(*accuracy, "the reference log " + referenceLog).c_str(), stdout);
    }
    if (accuracy) {
        accuracyPlots = {{"error_time_plot.png", [&] { return tervo::ErrorOverTimePlotPng(*accuracy); }},
                         {"error_scatter_plot.png", [&] { return tervo::ErrorScatterPlotPng(*accuracy); }}};
    }
    for (const std::span<const Plot> group :
         {std::span<const Plot>(plots), std::span<const Plot>(accuracyPlots)}) {
        for (const Plot& plot : group) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<uint8_t> png = plot.draw();
            std::fprintf(stderr, "%s: %.0f ms, %zu bytes\n", plot.file, since(start), png.size());
            if (!WriteBytes(paths[1] + "/" + plot.file, png)) {
                return 1;
            }
        }
    }
    return 0;
}
