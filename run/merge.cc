#include "run/merge.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

#include "core/errors.h"
#include "core/paths.h"
#include "kml/document.h"
#include "kml/icon.h"
#include "kmz/kmz.h"

namespace tervo {

namespace {

// Okabe-Ito as 0xBBGGRR: orange, sky blue, bluish green, vermilion, blue,
// reddish purple, yellow. Black is left out: a black track is lost on a night
// globe and on dark imagery.
constexpr std::array<int32_t, 7> kOkabeIto = {
    0x009FE6,  // #E69F00
    0xE9B456,  // #56B4E9
    0x739E00,  // #009E73
    0x005ED5,  // #D55E00
    0xB27200,  // #0072B2
    0xA779CC,  // #CC79A7
    0x42E4F0,  // #F0E442
};

// The run's log from the disk (as a run on the disk opens it), the document
// into a string, the icons only named: they are drawn once for all logs.
class MemoryFiles : public RunFiles {
public:
    MemoryFiles(const ConversionSettings& settings, Platform& platform) : disk_(settings, platform) {}
    InputFile OpenLog(int64_t* size) override { return disk_.OpenLog(size); }
    ByteSink* CreateDocument() override { return &sink; }
    std::string ContainerPath() const override { return disk_.ContainerPath(); }
    std::string MakeIcon(int32_t colour) override {
        colours.push_back(colour);
        return WaypointIconName(colour);
    }
    void Pack(const std::string&, const std::string&, const std::string&) override {}
    // The merged container holds the documents and their icons; a log's own
    // extra entries (its plots) are not merged.
    void AddEntry(const std::string&, const std::vector<uint8_t>&) override {}
    void NoteReadError(int error) override { disk_.NoteReadError(error); }
    FileFailure LastFailure() const override { return disk_.LastFailure(); }

    StringSink sink;
    std::vector<int32_t> colours;

private:
    // Only opens the log: it makes no directory and writes nothing unless asked.
    DiskFiles disk_;
};

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kDocumentStart = "<kml>\r\n<Document>\r\n";
constexpr std::string_view kDocumentEnd = "</Document>\r\n</kml>";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// A directory of our own beside a container, removed with what is in it.
class WorkDirectory {
public:
    explicit WorkDirectory(const std::string& containerPath) {
        std::string pattern = DirectoryPart(containerPath) + ".tvc-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw CreateFileError(containerPath, errno);
        }
        path_ = pattern + "/";
    }
    ~WorkDirectory() {
        if (DIR* dir = ::opendir(path_.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    ::unlink((path_ + name).c_str());
                }
            }
            ::closedir(dir);
        }
        ::rmdir(path_.c_str());
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;  // with its final separator
};

}  // namespace

std::span<const int32_t> MergePalette() { return kOkabeIto; }

ConversionSettings SettingsForMergedLog(ConversionSettings settings, size_t index) {
    const int32_t colour = kOkabeIto[index % kOkabeIto.size()];
    settings.ShapeStyleTrack = colour;
    settings.ShapeRightPoint = colour;
    return settings;
}

MemoryConversion ConvertIntoMemory(const ConversionSettings& settings, ConversionView& view,
                                   SentenceAssembler& assembler, Platform& platform, AllocationGate* gate) {
    MemoryFiles files(settings, platform);
    MemoryConversion run;
    run.result = RunConversion(settings, view, assembler, platform, files, gate, &run.report);
    run.kml = std::move(files.sink.text);
    run.iconColours = std::move(files.colours);
    run.failure = files.LastFailure();
    return run;
}

std::string PrefixStyleIds(std::string_view body, std::string_view prefix) {
    std::string text(body);
    // The ids are written by the run itself and never hold a quote or "<"; the
    // log's own values are escaped, so these tags cannot come from a log.
    ReplaceAll(text, "<Style id=\"", "<Style id=\"" + std::string(prefix));
    ReplaceAll(text, "<styleUrl>#", "<styleUrl>#" + std::string(prefix));
    return text;
}

std::string_view DocumentBody(std::string_view kml) {
    if (!kml.starts_with(kDocumentStart) || !kml.ends_with(kDocumentEnd)) {
        return {};
    }
    return kml.substr(kDocumentStart.size(), kml.size() - kDocumentStart.size() - kDocumentEnd.size());
}

std::string ComposeMergedDocument(std::span<const MergedLog> logs) {
    std::string text(kDocumentStart);
    for (size_t i = 0; i < logs.size(); ++i) {
        text += "<Folder>";
        text += kLineEnd;
        text += "<name>" + EscapeValue(logs[i].name) + "</name>";
        text += kLineEnd;
        text += PrefixStyleIds(DocumentBody(logs[i].kml), std::to_string(i + 1) + "-");
        text += "</Folder>";
        text += kLineEnd;
    }
    text += kDocumentEnd;
    return text;
}

void PackMergedKmz(const std::string& containerPath, const std::string& kml,
                   std::span<const int32_t> iconColours, Platform& platform) {
    WorkDirectory work(containerPath);
    const std::string kmlName = FileNamePart(ChangeFileExtension(containerPath, ".kml"));
    const std::string kmlPath = work.path() + "doc.kml";
    {
        FileSink file(kmlPath);
        if (!file.is_open() || !file.Write(kml.data(), kml.size()) || !file.Close()) {
            throw CreateFileError(containerPath, file.error());
        }
    }
    std::vector<KmzSource> sources{{kmlName, kmlPath}};
    std::vector<uint32_t> drawn;
    for (const int32_t colour : iconColours) {
        const uint32_t rgb = static_cast<uint32_t>(colour) & 0xFFFFFFu;
        if (std::find(drawn.begin(), drawn.end(), rgb) != drawn.end()) {
            continue;
        }
        drawn.push_back(rgb);
        const std::string name = MakeWaypointIcon(colour, WithoutFinalSeparator(work.path()));
        sources.push_back({name, work.path() + name});
    }
    PackKmz(containerPath, sources, platform);
}

}  // namespace tervo
