// What a conversion run needs from the window. The window implements it on its
// controls, the console front end on the terminal, tests by recording every call.
#pragma once

#include <stdexcept>
#include <string>

namespace tervo {

class ConversionView {
public:
    virtual ~ConversionView() = default;
    // The left status pane.
    virtual void ShowStatus(const std::string& text) = 0;
    // The right status pane.
    virtual void ShowCount(const std::string& text) = 0;
    // The gauge to 0.
    virtual void ResetProgress() = 0;
    // The gauge one step on; it stays within 0 to 100.
    virtual void StepProgress() = 0;
    // The full path the output field keeps.
    virtual void SetOutputPath(const std::string& path) = 0;
    // The Run button alone, before the document head is written.
    virtual void DisableRun() = 0;
    virtual void LockControls() = 0;
    virtual void UnlockControls() = 0;
    // Lets the window handle waiting events. Called once per input byte by the
    // binary read loop, so it must cost next to nothing when nothing waits.
    virtual void ProcessPendingEvents() = 0;
    // A modal information box with the button OK.
    virtual void ShowInformation(const std::string& text) = 0;
};

// How a read loop ended.
enum class ReadOutcome {
    Finished,        // the input was read to its end (or to a read error)
    ListNotCreated,  // a node could not be allocated: the run stops
};

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
