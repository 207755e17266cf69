#include "app/console_view.h"

namespace tervo {

void ConsoleView::FinishBar() {
    if (barOpen_) {
        std::fputc('\n', err_);
        barOpen_ = false;
    }
}

void ConsoleView::ShowStatus(const std::string& text) {
    // The run clears a pane before it writes it; blank texts say nothing here.
    if (text.find_first_not_of(' ') == std::string::npos) {
        return;
    }
    FinishBar();
    std::fprintf(err_, "%s\n", text.c_str());
}

void ConsoleView::ShowCount(const std::string& text) {
    if (text.find_first_not_of(' ') == std::string::npos) {
        return;
    }
    FinishBar();
    std::fprintf(err_, "%s\n", text.c_str());
}

void ConsoleView::ResetProgress() {
    progress_ = 0;
    if (showBar_) {
        DrawBar();
    }
}

void ConsoleView::StepProgress() {
    if (progress_ >= 100) {
        return;
    }
    ++progress_;
    if (showBar_) {
        DrawBar();
    }
}

void ConsoleView::DrawBar() {
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    int filled = progress_ * kWidth / 100;
    for (int i = 0; i < kWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kWidth] = 0;
    std::fprintf(err_, "\r[%s] %3d%%", bar, progress_);
    std::fflush(err_);
    barOpen_ = true;
}

void ConsoleView::ShowInformation(const std::string& text) {
    FinishBar();
    std::fprintf(err_, "%s\n", text.c_str());
}

}  // namespace tervo
