#include "fuzz/in_memory_run.h"

#include <cstdio>
#include <cstdlib>

#include "fuzz/kml_checks.h"

namespace tervo::fuzzing {

namespace {

// Keeps the right pane's text; everything else a run shows is dropped.
class CountView : public SilentView {
public:
    void ShowCount(const std::string& text) override { countText = text; }
    std::string countText = " ";
};

}  // namespace

InMemoryRun ConvertInMemory(std::string_view log, const ConversionSettings& settings, AllocationGate* gate,
                            bool folderWhileReading) {
    FixedPlatform platform({2024, 5, 17}, {2024, 5, 17, 10, 20, 30}, "/nonexistent/");
    SentenceAssembler assembler;
    CountView view;
    MemoryFiles files = MemoryFiles::OfText(log);
    files.SetFolderWhileReading(folderWhileReading);
    InMemoryRun run;
    run.result = RunConversion(settings, view, assembler, platform, files, gate, &run.report);
    run.kml = files.TakeKml();
    run.entries = std::move(files.entries());
    run.besides = std::move(files.besides());
    run.countText = view.countText;
    return run;
}

ConversionSettings SettingsFromFirstByte(std::string_view log, int32_t format) {
    const auto flags = log.empty() ? 0u : static_cast<unsigned char>(log.front());
    ConversionSettings settings;
    settings.Format = LogFormatOfIndex(format);
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
