// PLACEHOLDER: replaced by the ZIP writer.
#include "kmz/kmz.h"

namespace tervo {
void PackKmz(const std::string&, const std::string&, const std::string&, const std::string&, const std::string&,
             Platform&) {}
void RemoveIntermediateFiles(const std::string&, const std::string&, const std::string&, const std::string&) {}
}  // namespace tervo
