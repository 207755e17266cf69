// The KMZ container: a ZIP file of the KML document and its icons.
#pragma once

#include <string>

#include "core/platform.h"

namespace tervo {

// Writes the container with the four files as deflated entries, in this order
// (a name already in the container replaces that entry in its place). The new
// container is written beside the old one and moved into place only when it is
// complete. Throws CreateFileError with the container's path when it cannot be
// written; an existing container is then left as it was.
void PackKmz(const std::string& containerPath, const std::string& kmlPath, const std::string& validIconPath,
             const std::string& invalidIconPath, const std::string& dtrackIconPath, Platform& platform);

// Deletes the four files in this order; failures are ignored.
void RemoveIntermediateFiles(const std::string& kmlPath, const std::string& validIconPath,
                             const std::string& invalidIconPath, const std::string& dtrackIconPath);

}  // namespace tervo
