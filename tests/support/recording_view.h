// A ConversionView that records every call, so tests can assert the status
// texts, gauge steps and lock calls of a run in order.
#pragma once

#include <string>
#include <vector>

#include "run/conversion_view.h"

namespace tervo::testing {

class RecordingView : public ConversionView {
public:
    void ShowStatus(const std::string& text) override { calls.push_back("ShowStatus(" + text + ")"); }
    void ShowCount(const std::string& text) override { calls.push_back("ShowCount(" + text + ")"); }
    void ResetProgress() override { calls.push_back("ResetProgress"); }
    void StepProgress() override;
    void SetOutputPath(const std::string& path) override { calls.push_back("SetOutputPath(" + path + ")"); }
    void DisableRun() override { calls.push_back("DisableRun"); }
    void LockControls() override { calls.push_back("LockControls"); }
    void UnlockControls() override { calls.push_back("UnlockControls"); }
    void ProcessPendingEvents() override;
    void ShowInformation(const std::string& text) override {
        calls.push_back("ShowInformation(" + text + ")");
    }

    // The calls with runs of StepProgress and ProcessPendingEvents folded into
    // one entry each ("StepProgress x12"), which keeps expected transcripts short.
    std::vector<std::string> Folded() const;

    std::vector<std::string> calls;
    int steps = 0;
    int events = 0;
    // When false, StepProgress and ProcessPendingEvents are only counted.
    bool recordTicks = true;
};

}  // namespace tervo::testing
