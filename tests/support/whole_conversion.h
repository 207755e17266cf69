// What the whole-conversion tests share: the display settings their checked
// KML files were made with, and the compare-or-rebuild step against those files.
#pragma once

#include <cstdint>
#include <string>

#include "run/conversion.h"
#include "support/test_files.h"

namespace tervo::testing {

// A run of `input` into the container "t.kmz" in `dir`, with the colours, widths
// and scale of the checked files (green/red/blue icons, track width "4", D-Track
// "2", scale "0.7", fallback date 2000-01-01); the check boxes keep their defaults.
ConversionSettings CheckedFileSettings(const std::string& input, const std::string& inputName,
                                       const TempDir& dir, LogFormat format);

// Compares `document` with the file at `expectedPath`, or rewrites that file
// when TERVO_REBUILD_EXPECTED=1 (a changed expected file is explained in its
// commit). Returns false when it rewrote the file.
bool MatchesCheckedFile(const std::string& document, const std::string& expectedPath);

}  // namespace tervo::testing
