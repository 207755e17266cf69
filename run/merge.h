// Receivers side by side: several logs in one KMZ container, one top-level
// Folder per log. Each folder holds what that log's own run writes between
// <Document> and </Document>, written with its style ids and entry names
// prefixed by the log's number so that they cannot collide, its track line and
// valid-point icon in a colour of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "kml/kml_stream.h"
#include "run/conversion.h"
#include "run/memory_files.h"

namespace tervo {

// The colours the logs take in turn, as 0xBBGGRR: the Okabe-Ito palette, which
// stays distinct for the common colour-vision deficiencies, without its black.
// The eighth log takes the first colour again.
std::span<const int32_t> MergePalette();

// `settings` with the track line and the valid-point icon in the palette's
// colour for the log at `index` (counted from 0).
ConversionSettings SettingsForMergedLog(ConversionSettings settings, size_t index);

// One log's part of a merged document: what its run wrote inside <Document>
// (no frame), with its style ids and entry names prefixed by its number, the
// colours of the icons it refers to, and its further entries (plots, legends).
struct MergedLog {
    std::string Name;  // the folder's name: the log's file name
    ConversionResult Result = ConversionResult::Completed;
    RunReport Report;
    std::string Part;
    std::vector<int32_t> IconColours;
    std::vector<MemoryFiles::Entry> Entries;
    // Its part uses the gx prefix, which the merged document's frame declares.
    bool DeclaresGx = false;
};

// Runs the log at settings.InputPath as the log at `index` (from 0) of a
// merge, in the palette's colour for it, with nothing written to the disk. May
// throw whatever RunConversion throws but CreateFileError.
MergedLog ConvertForMerge(const ConversionSettings& settings, size_t index, ConversionView& view,
                          SentenceAssembler& assembler, Platform& platform, AllocationGate* gate = nullptr);

// The receivers' accuracy side by side (AccuracyComparisonTable), a column per
// log that has one, in the logs' order; as HTML for a description with `html`.
// Empty when no log has an accuracy.
std::string MergedAccuracyTable(std::span<const MergedLog> logs, bool html);

// The merged document: the receivers' accuracy side by side as its
// description when the logs have one, then a folder per log, in order, named
// by the log and holding its part.
void WriteMergedDocument(KmlStream& kml, std::span<const MergedLog> logs);

// Writes the merged document, one icon per distinct colour and every log's
// further entries into the KMZ container `containerPath`; the files are made
// in a private directory beside the container, which goes again with
// everything in it. Throws CreateFileError as PackKmz does, and for the
// directory, the document or an icon.
void PackMergedKmz(const std::string& containerPath, std::span<const MergedLog> logs, Platform& platform);

}  // namespace tervo
