// Every dialog and message box of the main window goes through WindowDialogs, so
// that tests can answer them from a script. QtWindowDialogs is the real thing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/conversion.h"
#include "run/extras.h"

class QWidget;

namespace tervo {

// One entry of a file dialog's filter list: the name the user sees and the
// pattern in the notation of the settings files' home platform ("*.*" = all).
struct FileFilter {
    std::string name;
    std::string pattern;
};

struct FileDialogRequest {
    std::string title;
    std::vector<FileFilter> filters;  // empty: every file is shown
    std::string directory;            // initial directory; empty leaves it to the dialog
    std::string fileName;             // preset file name or full path; may be empty
};

enum class MessageIcon { Information, Warning, Error };

class WindowDialogs {
public:
    virtual ~WindowDialogs() = default;
    // The chosen path (the file need not exist), or nothing when cancelled.
    virtual std::optional<std::string> GetOpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Never asks before overwriting and adds no extension.
    virtual std::optional<std::string> GetSaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Colours are red + 256 * green + 65536 * blue; nothing when cancelled.
    virtual std::optional<int32_t> GetColor(QWidget* parent, int32_t initial) = 0;
    // A modal box with the single button OK.
    virtual void ShowMessage(QWidget* parent, MessageIcon icon, const std::string& caption,
                             const std::string& text) = 0;
    // A modal box with the information icon and the buttons Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) = 0;
    // The Extras dialog opened on `current`: the extras after OK, nothing after Cancel.
    virtual std::optional<Extras> EditExtras(QWidget* parent, const Extras& current) = 0;
    // A modal, scrollable page of a run's summary table (SummaryTable) and its plots.
    virtual void ShowSummary(QWidget* parent, const std::string& table,
                             const std::vector<NamedPlot>& plots) = 0;
};

class QtWindowDialogs : public WindowDialogs {
public:
    std::optional<std::string> GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<std::string> GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<int32_t> GetColor(QWidget* parent, int32_t initial) override;
    void ShowMessage(QWidget* parent, MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) override;
    std::optional<Extras> EditExtras(QWidget* parent, const Extras& current) override;
    void ShowSummary(QWidget* parent, const std::string& table, const std::vector<NamedPlot>& plots) override;
};

// A Qt name filter list ("Name (pattern);;...") for `filters`. "*.*" becomes "*":
// here a file name need not contain a full stop to count as a file.
std::string QtNameFilters(const std::vector<FileFilter>& filters);

}  // namespace tervo
