#include "fuzz/in_memory_run.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "binr/binr_reader.h"
#include "core/nmea_reader.h"
#include "fuzz/kml_checks.h"
#include "kml/document.h"
#include "kml/kml_stream.h"
#include "kml/track_writer.h"
#include "kml/waypoint_writer.h"

namespace tervo::fuzzing {

namespace {

// Keeps the right pane's text; everything else a run shows is dropped.
class CountView : public ConversionView {
  public:
    void ShowStatus(const std::string&) override {}
    void ShowCount(const std::string& text) override { countText = text; }
    void ResetProgress() override {}
    void StepProgress() override {}
    void SetOutputPath(const std::string&) override {}
    void DisableRun() override {}
    void LockControls() override {}
    void UnlockControls() override {}
    void ProcessPendingEvents() override {}
    void ShowInformation(const std::string&) override {}
    std::string countText = " ";
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string IconName(int32_t colour) { return std::to_string(colour & 0xFFFFFF) + ".png"; }

}  // namespace

InMemoryRun ConvertInMemory(std::string_view log, const ConversionSettings& settings) {
    // fmemopen refuses an empty buffer; an empty log reads like /dev/null.
    std::unique_ptr<std::FILE, FileCloser> input(
        log.empty() ? std::fopen("/dev/null", "rb")
                    : fmemopen(const_cast<char*>(log.data()), log.size(), "rb"));
    if (!input) {
        std::abort();
    }
    FixedPlatform platform({2024, 5, 17}, {2024, 5, 17, 10, 20, 30}, "/nonexistent/");
    SentenceAssembler assembler;
    CountView view;
    PointList points;
    NmeaLogDate logDate;
    StringSink sink;
    InMemoryRun run;
    {
        KmlStream kml(sink);
        WaypointOptions options;
        options.Scale = settings.Edit4;
        options.Extrude = settings.CheckBox3;
        options.UseFallbackDate = settings.CheckBox1;
        options.FallbackDate = settings.MaskEdit1;
        options.ValidIconName = IconName(settings.ShapeRightPoint);
        options.InvalidIconName = IconName(settings.ShapeIncorPoint);
        options.DTrackIconName = IconName(settings.ShapeDTrack);

        BeginKmlDocument(kml);
        WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeStyleTrack), "NormalTrack");
        WriteLineStyle(kml, settings.Edit7, KmlColor(settings.ShapeDTrack), "D-Track");
        const auto progressStep = static_cast<int32_t>(log.size() / 100);
        if (settings.Format == 0) {
            if (ReadNmeaLog(input.get(), view, progressStep, settings.CheckBox4, assembler, platform, points,
                            logDate) == ReadOutcome::ListNotCreated ||
                WriteNmeaWaypoints(kml, points.Start, options, logDate, view) ==
                    WaypointsOutcome::DateNotFound) {
                run.result = ConversionResult::Stopped;
                return run;
            }
            WriteDTrackWaypoints(kml, points.Start, options);
            WriteNmeaTrack(kml, points.Start, "NormalTrack");
            WriteDTrackLine(kml, points.Start, "D-Track");
        } else if (settings.Format == 1) {
            if (ReadBinrLog(input.get(), view, progressStep, settings.CheckBox4, points) ==
                ReadOutcome::ListNotCreated) {
                run.result = ConversionResult::Stopped;
                return run;
            }
            WriteBinrWaypoints(kml, points.Start, options, view);
            WriteBinrTrack(kml, points.Start, "NormalTrack");
        }
        if (settings.CheckBox2) {
            WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeFullTrack), "IncorrectTrack");
            WriteAllPointsTrack(kml, points.Start, "IncorrectTrack");
        }
        EndKmlDocument(kml);
        if (!kml.Close()) {
            run.result = ConversionResult::WriteFailed;
        }
    }
    run.kml = std::move(sink.text);
    run.countText = view.countText;
    return run;
}

ConversionSettings SettingsFromFirstByte(std::string_view log, int32_t format) {
    const auto flags = log.empty() ? 0u : static_cast<unsigned char>(log.front());
    ConversionSettings settings;
    settings.Format = format;
    settings.CheckBox1 = (flags & 1u) == 0;
    settings.CheckBox2 = (flags & 2u) != 0;
    settings.CheckBox3 = (flags & 4u) != 0;
    settings.CheckBox4 = (flags & 8u) != 0;
    return settings;
}

void AbortUnlessSound(const InMemoryRun& run, size_t inputSize) {
    if (run.result != ConversionResult::Completed) {
        return;
    }
    const std::string error = KmlDocumentError(run.kml, run.countText);
    if (!error.empty()) {
        std::fprintf(stderr, "KML of a %zu-byte input: %s\n", inputSize, error.c_str());
        std::abort();
    }
}

}  // namespace tervo::fuzzing
