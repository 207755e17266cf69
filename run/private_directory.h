// A directory of the run's own beside the container it makes, on the same file
// system, so that what is written in it can be moved or packed without a copy,
// and no file of the user's is ever opened for writing. It goes, with every
// file in it, when the object goes.
#pragma once

#include <string>

namespace tervo {

class PrivateDirectory {
public:
    PrivateDirectory() = default;
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

    // Makes ".tvc-XXXXXX" in `directory` (given with its final separator);
    // false, with errno set, when it cannot be made.
    bool MakeIn(const std::string& directory);
    bool made() const { return !path_.empty(); }
    // The directory with its final separator; empty until made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tervo
