// What a conversion run needs from the window. The window implements it on its
// controls, the console front end on the terminal, tests by recording every call.
#pragma once

#include <string>

#include "core/read_progress.h"

namespace tervo {

class ConversionView : public ReadProgress {
public:
    // The left status pane.
    virtual void ShowStatus(const std::string& text) = 0;
    // The right status pane.
    virtual void ShowCount(const std::string& text) = 0;
    // The gauge to 0.
    virtual void ResetProgress() = 0;
    // The full path the output field keeps.
    virtual void SetOutputPath(const std::string& path) = 0;
    // The Run button alone, before the document head is written.
    virtual void DisableRun() = 0;
    virtual void LockControls() = 0;
    virtual void UnlockControls() = 0;
    // A modal information box with the button OK.
    virtual void ShowInformation(const std::string& text) = 0;
};

// A view that shows nothing: the base of the views that keep only a part of
// what a run shows.
class SilentView : public ConversionView {
public:
    void ShowStatus(const std::string&) override {}
    void ShowCount(const std::string&) override {}
    void ResetProgress() override {}
    void StepProgress() override {}
    void SetOutputPath(const std::string&) override {}
    void DisableRun() override {}
    void LockControls() override {}
    void UnlockControls() override {}
    void ProcessPendingEvents() override {}
    void ShowInformation(const std::string&) override {}
};

}  // namespace tervo
