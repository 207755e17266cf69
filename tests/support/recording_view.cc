#include "support/recording_view.h"

namespace tervo::testing {

void RecordingView::StepProgress() {
    ++steps;
    if (recordTicks) {
        calls.push_back("StepProgress");
    }
}

void RecordingView::ProcessPendingEvents() {
    ++events;
    if (recordTicks) {
        calls.push_back("ProcessPendingEvents");
    }
}

std::vector<std::string> RecordingView::Folded() const {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < calls.size()) {
        size_t j = i;
        while (j < calls.size() && calls[j] == calls[i]) {
            ++j;
        }
        size_t n = j - i;
        if (n > 1 && (calls[i] == "StepProgress" || calls[i] == "ProcessPendingEvents")) {
            out.push_back(calls[i] + " x" + std::to_string(n));
        } else {
            for (size_t k = i; k < j; ++k) {
                out.push_back(calls[k]);
            }
        }
        i = j;
    }
    return out;
}

}  // namespace tervo::testing
