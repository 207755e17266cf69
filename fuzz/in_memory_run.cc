#include "fuzz/in_memory_run.h"

#include <cstdio>
#include <cstdlib>

#include "fuzz/kml_checks.h"
#include "kml/icon.h"

namespace tervo::fuzzing {

namespace {

// Keeps the right pane's text; everything else a run shows is dropped.
class CountView : public SilentView {
public:
    void ShowCount(const std::string& text) override { countText = text; }
    std::string countText = " ";
};

// The log from memory, the document into a string, icons named but not drawn,
// nothing packed.
class MemoryFiles : public RunFiles {
public:
    MemoryFiles(std::string_view log, bool folderWhileReading)
        : log_(log), folderWhileReading_(folderWhileReading) {}
    InputFile OpenLog(int64_t* size) override {
        *size = static_cast<int64_t>(log_.size());
        // fmemopen refuses an empty buffer; an empty log reads like /dev/null.
        return InputFile(log_.empty() ? std::fopen("/dev/null", "rb")
                                      : fmemopen(const_cast<char*>(log_.data()), log_.size(), "rb"));
    }
    ByteSink* CreateDocument() override { return &sink; }
    std::string ContainerPath() const override { return "memory.kmz"; }
    std::string MakeIcon(int32_t colour) override { return WaypointIconName(colour); }
    void Pack(const std::string&, const std::string&, const std::string&) override {}
    void AddEntry(const std::string& name, const std::vector<uint8_t>& bytes) override {
        entries.push_back({name, bytes});
    }
    bool FolderWhileReading() const override { return folderWhileReading_; }
    StringSink sink;
    std::vector<InMemoryEntry> entries;

private:
    std::string_view log_;
    bool folderWhileReading_;
};

}  // namespace

InMemoryRun ConvertInMemory(std::string_view log, const ConversionSettings& settings, AllocationGate* gate,
                            bool folderWhileReading) {
    FixedPlatform platform({2024, 5, 17}, {2024, 5, 17, 10, 20, 30}, "/nonexistent/");
    SentenceAssembler assembler;
    CountView view;
    MemoryFiles files(log, folderWhileReading);
    InMemoryRun run;
    run.result = RunConversion(settings, view, assembler, platform, files, gate, &run.report);
    run.kml = std::move(files.sink.text);
    run.entries = std::move(files.entries);
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
