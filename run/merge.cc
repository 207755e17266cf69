#include "run/merge.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "core/errors.h"
#include "core/paths.h"
#include "kml/document.h"
#include "kml/icon.h"
#include "kmz/kmz.h"
#include "run/private_directory.h"
#include "run/run_plan.h"

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

// Every log's further entries as files of `work`, added to `sources` under
// their (prefixed) names.
void WriteMergedEntries(const PrivateDirectory& work, std::span<const MergedLog> logs,
                        std::vector<KmzSource>& sources, const std::string& containerPath) {
    for (const MergedLog& log : logs) {
        for (const MemoryFiles::Entry& entry : log.Entries) {
            const std::string path = work.path() + "entry-" + std::to_string(sources.size());
            FileSink file(path);
            if (!file.is_open() ||
                !file.Write(reinterpret_cast<const char*>(entry.bytes.data()), entry.bytes.size()) ||
                !file.Close()) {
                throw CreateFileError(containerPath, file.error());
            }
            sources.push_back({entry.name, path});
        }
    }
}

}  // namespace

std::span<const int32_t> MergePalette() { return kOkabeIto; }

ConversionSettings SettingsForMergedLog(ConversionSettings settings, size_t index) {
    const int32_t colour = kOkabeIto[index % kOkabeIto.size()];
    settings.ShapeStyleTrack = colour;
    settings.ShapeRightPoint = colour;
    return settings;
}

MergedLog ConvertForMerge(const ConversionSettings& settings, size_t index, ConversionView& view,
                          SentenceAssembler& assembler, Platform& platform, AllocationGate* gate) {
    const ConversionSettings coloured = SettingsForMergedLog(settings, index);
    MemoryFiles files = MemoryFiles::OfFile(coloured.InputPath);
    const std::string number = std::to_string(index + 1);
    files.SetPlace({.PartOnly = true, .StyleIdPrefix = number + "-", .EntryPrefix = number + "/"});
    MergedLog log;
    log.Name = FileNamePart(coloured.InputPath);
    log.Result = RunConversion(coloured, view, assembler, platform, files, gate, &log.Report);
    log.Part = files.TakeKml();
    log.IconColours = files.iconColours();
    log.Entries = std::move(files.entries());
    log.DeclaresGx = PlanRun(coloured, files.Place(), true, false).DeclaresGx;
    return log;
}

std::string MergedAccuracyTable(std::span<const MergedLog> logs, bool html) {
    std::vector<NamedAccuracy> receivers;
    std::string reference;
    for (const MergedLog& log : logs) {
        if (log.Report.Accuracy) {
            receivers.push_back({log.Name, &log.Report.Accuracy->Result});
            reference = log.Report.Accuracy->Reference;
        }
    }
    if (receivers.empty()) {
        return {};
    }
    return html ? AccuracyComparisonHtmlTable(receivers, reference)
                : AccuracyComparisonTable(receivers, reference);
}

void WriteMergedDocument(KmlStream& kml, std::span<const MergedLog> logs) {
    BeginKmlDocument(
        kml, std::any_of(logs.begin(), logs.end(), [](const MergedLog& log) { return log.DeclaresGx; }));
    const std::string accuracy = MergedAccuracyTable(logs, true);
    if (!accuracy.empty()) {
        kml.Text("<description><![CDATA[\n"_kml).Text(accuracy).Text("]]></description>\n"_kml);
    }
    for (const MergedLog& log : logs) {
        kml.Text("<Folder>\n<name>"_kml).Value(log.Name).Text("</name>\n"_kml);
        kml.Written(log.Part);
        kml.Text("</Folder>\n"_kml);
    }
    EndKmlDocument(kml);
}

void PackMergedKmz(const std::string& containerPath, std::span<const MergedLog> logs, Platform& platform) {
    PrivateDirectory work;
    if (!work.MakeIn(DirectoryPart(containerPath))) {
        throw CreateFileError(containerPath, errno);
    }
    const std::string kmlName = FileNamePart(ChangeFileExtension(containerPath, ".kml"));
    const std::string kmlPath = work.path() + "doc.kml";
    {
        FileSink file(kmlPath);
        KmlStream kml(file);
        WriteMergedDocument(kml, logs);
        if (!file.is_open() || !kml.Close()) {
            throw CreateFileError(containerPath, file.error());
        }
    }
    std::vector<KmzSource> sources{{kmlName, kmlPath}};
    std::vector<uint32_t> drawn;
    for (const MergedLog& log : logs) {
        for (const int32_t colour : log.IconColours) {
            const uint32_t rgb = static_cast<uint32_t>(colour) & 0xFFFFFFu;
            if (std::find(drawn.begin(), drawn.end(), rgb) != drawn.end()) {
                continue;
            }
            drawn.push_back(rgb);
            const std::string name = MakeWaypointIcon(colour, WithoutFinalSeparator(work.path()));
            sources.push_back({name, work.path() + name});
        }
    }
    WriteMergedEntries(work, logs, sources, containerPath);
    PackKmz(containerPath, sources, platform);
}

}  // namespace tervo
