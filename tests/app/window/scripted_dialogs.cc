#include "scripted_dialogs.h"

namespace tervo::testing {

namespace {

template <typename Answer>
Answer Next(std::deque<Answer>& answers, int& unexpected, Answer cancel) {
    if (answers.empty()) {
        ++unexpected;
        return cancel;
    }
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace

std::optional<std::string> ScriptedDialogs::GetOpenFileName(QWidget*, const FileDialogRequest& request) {
    openRequests.push_back(request);
    return Next(openAnswers, unexpected, std::optional<std::string>());
}

std::optional<std::string> ScriptedDialogs::GetSaveFileName(QWidget*, const FileDialogRequest& request) {
    saveRequests.push_back(request);
    return Next(saveAnswers, unexpected, std::optional<std::string>());
}

std::optional<int32_t> ScriptedDialogs::GetColor(QWidget*, int32_t initial) {
    colorRequests.push_back(initial);
    return Next(colorAnswers, unexpected, std::optional<int32_t>());
}

void ScriptedDialogs::ShowMessage(QWidget*, MessageIcon icon, const std::string& caption,
                                  const std::string& text) {
    messages.push_back({icon, caption, text});
    if (onMessage) {
        onMessage(messages.back());
    }
}

bool ScriptedDialogs::AskYesNo(QWidget*, const std::string& caption, const std::string& text) {
    questions.push_back(caption + "|" + text);
    return Next(yesNoAnswers, unexpected, false);
}

std::optional<Extras> ScriptedDialogs::EditExtras(QWidget*, const Extras& current) {
    extrasRequests.push_back(current);
    return Next(extrasAnswers, unexpected, std::optional<Extras>());
}

void ScriptedDialogs::ShowSummary(QWidget*, const std::string& table, const std::vector<NamedPlot>& plots) {
    ShownSummary shown{table, {}};
    for (const NamedPlot& plot : plots) {
        shown.plotEntries.push_back(plot.Entry);
    }
    summaries.push_back(shown);
}

WindowUnderTest::WindowUnderTest(const std::string& defaultSettings,
                                 const std::function<void(TestPlatform&)>& setUpPlatform)
    : platform_(programDir_.path()) {
    if (setUpPlatform) {
        setUpPlatform(platform_);
    }
    if (!defaultSettings.empty()) {
        WriteFile(programDir_.File(std::string(kExecutableName) + ".ini"), defaultSettings);
    }
    window_ = std::make_unique<TForm1>(platform_, assembler_, dialogs_, kExecutableName);
}

}  // namespace tervo::testing
