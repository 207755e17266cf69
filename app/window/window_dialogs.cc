#include "app/window/window_dialogs.h"

#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>

#include "app/window/extras_dialog.h"
#include "app/window/summary_dialog.h"

namespace tervo {

namespace {

QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The run's final message separates its lines with "\n\r"; a label would show the
// carriage return as a stray glyph.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.remove(QLatin1Char('\r'));
    return shown;
}

std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, QString::fromStdString(request.title));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!request.filters.empty()) {
        dialog.setNameFilters(
            QString::fromStdString(QtNameFilters(request.filters)).split(QStringLiteral(";;")));
    }
    if (!request.directory.empty()) {
        dialog.setDirectory(FromPath(request.directory));
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(FromPath(request.fileName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return ToPath(dialog.selectedFiles().constFirst());
}

}  // namespace

std::string QtNameFilters(const std::vector<FileFilter>& filters) {
    std::string result;
    for (const FileFilter& filter : filters) {
        std::string pattern = filter.pattern == "*.*" ? "*" : filter.pattern;
        std::string name = filter.name;
        while (!name.empty() && name.back() == ' ') {
            name.pop_back();
        }
        if (!result.empty()) {
            result += ";;";
        }
        // A name that already shows its pattern in brackets is not given it twice.
        const std::string bracketed = "(" + filter.pattern + ")";
        if (name.size() >= bracketed.size() &&
            name.compare(name.size() - bracketed.size(), bracketed.size(), bracketed) == 0) {
            result += name;
        } else {
            result += name + " (" + pattern + ")";
        }
    }
    return result;
}

std::optional<std::string> QtWindowDialogs::GetOpenFileName(QWidget* parent,
                                                            const FileDialogRequest& request) {
    return RunFileDialog(parent, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtWindowDialogs::GetSaveFileName(QWidget* parent,
                                                            const FileDialogRequest& request) {
    return RunFileDialog(parent, request, QFileDialog::AcceptSave);
}

std::optional<int32_t> QtWindowDialogs::GetColor(QWidget* parent, int32_t initial) {
    const QColor preset(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(preset, parent);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return chosen.red() + 256 * chosen.green() + 65536 * chosen.blue();
}

void QtWindowDialogs::ShowMessage(QWidget* parent, MessageIcon icon, const std::string& caption,
                                  const std::string& text) {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    if (icon == MessageIcon::Warning) {
        boxIcon = QMessageBox::Warning;
    } else if (icon == MessageIcon::Error) {
        boxIcon = QMessageBox::Critical;
    }
    QMessageBox box(boxIcon, QString::fromStdString(caption), DisplayText(text), QMessageBox::Ok, parent);
    box.exec();
}

bool QtWindowDialogs::AskYesNo(QWidget* parent, const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(caption), DisplayText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

std::optional<Extras> QtWindowDialogs::EditExtras(QWidget* parent, const Extras& current) {
    ExtrasDialog dialog(current, parent, [this](QWidget* over) {
        return GetOpenFileName(over,
                               {"Reference log", {{"NMEA logs", "*.nmea"}, {"All files", "*.*"}}, "", ""});
    });
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Values();
}

void QtWindowDialogs::ShowSummary(QWidget* parent, const std::string& table,
                                  const std::vector<NamedPlot>& plots) {
    SummaryDialog dialog(table, plots, parent);
    dialog.exec();
}

}  // namespace tervo
