// The one error that leaves a conversion run as an exception.
#pragma once

#include <stdexcept>
#include <string>

namespace tervo {

// An icon file or the container could not be created: "Cannot create file <path>".
// It leaves the run and is shown by the window's error box or ends batch mode.
class CreateFileError : public std::runtime_error {
public:
    // `error` is the system's errno for the failure, 0 when none is known.
    explicit CreateFileError(const std::string& path, int error = 0)
        : std::runtime_error("Cannot create file " + path), path_(path), error_(error) {}
    const std::string& path() const { return path_; }
    int error() const { return error_; }

private:
    std::string path_;
    int error_;
};

// The system's text for `error` ("No space left on device"); empty for 0.
std::string SystemReason(int error);

}  // namespace tervo
