// The one error that leaves a conversion run as an exception.
#pragma once

#include <stdexcept>
#include <string>

namespace tervo {

// An icon file or the container could not be created: "Cannot create file <path>".
// It leaves the run and is shown by the window's error box or ends batch mode.
class CreateFileError : public std::runtime_error {
public:
    explicit CreateFileError(const std::string& path)
        : std::runtime_error("Cannot create file " + path), path_(path) {}
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tervo
