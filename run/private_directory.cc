#include "run/private_directory.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>

namespace tervo {

bool PrivateDirectory::MakeIn(const std::string& directory) {
    // A short name, and short names inside it: a container path near the
    // system's limit still leaves room for them.
    std::string pattern = directory + ".tvc-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return false;
    }
    path_ = pattern + "/";
    return true;
}

PrivateDirectory::~PrivateDirectory() {
    if (path_.empty()) {
        return;
    }
    // It holds files of ours only, never directories.
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

}  // namespace tervo
