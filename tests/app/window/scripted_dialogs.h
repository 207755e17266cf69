// The window's dialogs answered from a script, with every request recorded.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "app/window/window_dialogs.h"
#include "nmea/sentence.h"
#include "support/test_files.h"

namespace tervo::testing {

struct ShownMessage {
    MessageIcon icon;
    std::string caption;
    std::string text;
};

class ScriptedDialogs : public WindowDialogs {
public:
    // Answers, used up front to back. A dialog without an answer left counts as
    // unexpected and is cancelled (No for a question).
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<int32_t>> colorAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<Extras>> extrasAnswers;

    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<int32_t> colorRequests;
    std::vector<ShownMessage> messages;
    std::vector<std::string> questions;
    std::vector<Extras> extrasRequests;  // the extras each Extras dialog opened on
    struct ShownSummary {
        std::string table;
        std::vector<std::string> plotEntries;
    };
    std::vector<ShownSummary> summaries;
    int unexpected = 0;
    // Runs inside ShowMessage, while the caller waits for the box to close.
    std::function<void(const ShownMessage&)> onMessage;

    std::optional<std::string> GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<std::string> GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<int32_t> GetColor(QWidget* parent, int32_t initial) override;
    void ShowMessage(QWidget* parent, MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) override;
    std::optional<Extras> EditExtras(QWidget* parent, const Extras& current) override;
    void ShowSummary(QWidget* parent, const std::string& table, const std::vector<NamedPlot>& plots) override;
};

// A window on a program directory of its own (a fresh temporary directory, where
// the default settings file would lie), with scripted dialogs.
class WindowUnderTest {
public:
    // `defaultSettings`, when given, is written as the default settings file first;
    // `setUpPlatform` sees the platform before the window is built.
    explicit WindowUnderTest(const std::string& defaultSettings = "",
                             const std::function<void(TestPlatform&)>& setUpPlatform = {});
    TForm1& window() { return *window_; }
    const TForm1Controls& ui() { return window_->controls(); }
    ScriptedDialogs& dialogs() { return dialogs_; }
    const std::string& programDirectory() const { return programDir_.path(); }
    TempDir& files() { return files_; }

private:
    TempDir programDir_;
    TempDir files_;
    TestPlatform platform_;
    SentenceAssembler assembler_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<TForm1> window_;
};

inline constexpr const char* kExecutableName = "tervoconverter";

}  // namespace tervo::testing
