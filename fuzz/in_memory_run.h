// A conversion run without files: RunConversion with the log taken from memory
// and the KML text kept there, so a fuzz target can afford one per input. No
// icon is drawn and nothing is packed; further entries are kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run/conversion.h"
#include "run/memory_files.h"

namespace tervo::fuzzing {

// A further entry of the container (RunFiles::AddEntry).
using InMemoryEntry = MemoryFiles::Entry;

struct InMemoryRun {
    ConversionResult result = ConversionResult::Completed;
    std::string kml;
    // The last text the run showed in the right pane ("Waypoints N").
    std::string countText;
    RunReport report;
    std::vector<InMemoryEntry> entries;  // in the order they were added
    // The files beside the container (RunFiles::WriteBeside), named by extension.
    std::vector<InMemoryEntry> besides;
};

// Converts `log` with `settings` (Format and the display values are used; the
// paths are not). Icon names are those MakeWaypointIcon would give.
// `gate` decides each node allocation; without `folderWhileReading` the
// "WayPoints" folder is written after the log is read.
InMemoryRun ConvertInMemory(std::string_view log, const ConversionSettings& settings,
                            AllocationGate* gate = nullptr, bool folderWhileReading = true);

// The four options a fuzz input controls through its first byte, chosen so
// that a log starting with "$" or DLE gets the usual ones: bit 0 clear uses the
// fallback date, bit 1 writes the all-points line, bit 2 extrudes, bit 3 starts
// at the first fix.
ConversionSettings SettingsFromFirstByte(std::string_view log, int32_t format);

// Prints what is wrong with a completed run's document, with the input's size,
// and aborts; does nothing for a sound one or a run that stopped.
void AbortUnlessSound(const InMemoryRun& run, size_t inputSize);

}  // namespace tervo::fuzzing
