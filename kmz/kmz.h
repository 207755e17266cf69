// The KMZ container: a ZIP file of the KML document and its icons.
#pragma once

#include <string>

#include "core/platform.h"

namespace tervo {

// Writes the container with the four files as deflated entries named by their
// bare names, in this order (a name already in the container replaces that entry
// in its place). The new container is written beside the old one and moved into
// place only when it is complete and on the disk. Throws CreateFileError with
// the container's path when it cannot be written, when a source cannot be read
// whole, or when the container path is one of the sources; an existing container
// is then left as it was and no temporary file remains.
void PackKmz(const std::string& containerPath, const std::string& kmlPath, const std::string& validIconPath,
             const std::string& invalidIconPath, const std::string& dtrackIconPath, Platform& platform);

// Deletes the four files in this order; failures are ignored.
void RemoveIntermediateFiles(const std::string& kmlPath, const std::string& validIconPath,
                             const std::string& invalidIconPath, const std::string& dtrackIconPath);

}  // namespace tervo
