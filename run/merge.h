// Receivers side by side: several logs in one KMZ container, one top-level
// Folder per log. Each folder holds what that log's own run writes between
// <Document> and </Document>, its style ids prefixed with the log's number so
// that they cannot collide, its track line and valid-point icon in a colour of
// its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "run/conversion.h"

namespace tervo {

// The colours the logs take in turn, as 0xBBGGRR: the Okabe-Ito palette, which
// stays distinct for the common colour-vision deficiencies, without its black.
// The eighth log takes the first colour again.
std::span<const int32_t> MergePalette();

// `settings` with the track line and the valid-point icon in the palette's
// colour for the log at `index` (counted from 0).
ConversionSettings SettingsForMergedLog(ConversionSettings settings, size_t index);

// A run of the log at settings.InputPath into memory: the document as text and
// the colours of the icons it refers to, in the order the run drew them.
struct MemoryConversion {
    ConversionResult result = ConversionResult::Completed;
    RunReport report;
    std::string kml;
    std::vector<int32_t> iconColours;
    FileFailure failure;  // why the log could not be opened or read
};

// Converts as RunConversion does, with nothing written to the disk. May throw
// whatever RunConversion throws but CreateFileError.
MemoryConversion ConvertIntoMemory(const ConversionSettings& settings, ConversionView& view,
                                   SentenceAssembler& assembler, Platform& platform,
                                   AllocationGate* gate = nullptr);

// `body` (a part of a document) with every style id X, in <Style id="X"> and in
// <styleUrl>#X</styleUrl>, made "<prefix>X". Nothing else changes.
std::string PrefixStyleIds(std::string_view body, std::string_view prefix);

// What a single run's document holds between its "<Document>" line and
// "</Document>"; empty when `kml` is no such document.
std::string_view DocumentBody(std::string_view kml);

// One log of a merged document: its folder's name (the log's file name) and
// the whole document of its own run.
struct MergedLog {
    std::string name;
    std::string kml;
};

// The merged document: one Folder per log, in order, named by the log and
// holding its document's body with the style ids prefixed "<n>-" (n from 1).
std::string ComposeMergedDocument(std::span<const MergedLog> logs);

// Writes `kml` and one icon per distinct colour of `iconColours` into the KMZ
// container `containerPath`; the icons are drawn in a private directory made
// beside the container, which goes again with everything in it. Throws
// CreateFileError as PackKmz does, and for the directory or an icon.
void PackMergedKmz(const std::string& containerPath, const std::string& kml,
                   std::span<const int32_t> iconColours, Platform& platform);

}  // namespace tervo
