// The conversion view of the console front end: status texts on stderr, a
// progress bar on stderr when it is a terminal, nothing on stdout.
#pragma once

#include <cstdio>
#include <string>

#include "run/conversion_view.h"

namespace tervo {

class ConsoleView : public ConversionView {
public:
    // `err` is where everything goes; the bar is drawn only when `showBar`.
    ConsoleView(std::FILE* err, bool showBar) : err_(err), showBar_(showBar) {}
    void ShowStatus(const std::string& text) override;
    void ShowCount(const std::string& text) override;
    void ResetProgress() override;
    void StepProgress() override;
    void SetOutputPath(const std::string& path) override { outputPath_ = path; }
    void DisableRun() override {}
    void LockControls() override {}
    void UnlockControls() override {}
    void ProcessPendingEvents() override {}
    void ShowInformation(const std::string& text) override;

    const std::string& outputPath() const { return outputPath_; }
    // Ends a progress bar line that is still open.
    void FinishBar();

private:
    void DrawBar();

    std::FILE* err_;
    bool showBar_;
    bool barOpen_ = false;
    int progress_ = 0;
    std::string outputPath_;
};

}  // namespace tervo
