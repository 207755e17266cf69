// The program: a batch command line converts on the console, anything else opens
// the window; a lone argument naming a file opens it there as the input.
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

#include "app/console_front_end.h"
#include "app/window/main_window.h"
#include "app/window/window_dialogs.h"
#include "core/platform.h"
#include "nmea/sentence.h"

namespace {

bool HasEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Without a display Qt would abort with a message about platform plugins that
// does not tell the user what to do instead.
bool CanOpenWindow() {
    return HasEnvironment("DISPLAY") || HasEnvironment("WAYLAND_DISPLAY") ||
           HasEnvironment("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    tervo::SystemPlatform platform;
    // The one assembler of the program: every run, console or window, gets it.
    tervo::SentenceAssembler assembler;
    if (tervo::IsConsoleCommandLine(argc, argv)) {
        return tervo::RunConsoleFrontEnd(argc, argv, platform, assembler, stderr);
    }
    if (!CanOpenWindow()) {
        std::fprintf(stderr,
                     "tervoconverter: no display to open the window on; for a batch conversion run: "
                     "tervoconverter INPUT OUTPUT [SETTINGS]\n");
        return tervo::kExitBadCommandLine;
    }

    // Read before Qt takes its own options out of argv.
    const std::optional<std::string> startFile = tervo::FileToOpenAtStart(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tervo::kApplicationTitle));
    tervo::UseWindowStyle();
    tervo::QtWindowDialogs dialogs;
    try {
        const std::string executableName =
            QFileInfo(QApplication::applicationFilePath()).fileName().toStdString();
        tervo::TForm1 Form1(platform, assembler, dialogs, executableName);
        if (startFile) {
            Form1.OpenInputFile(*startFile);
        }
        Form1.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        dialogs.ShowMessage(nullptr, tervo::MessageIcon::Error, tervo::kApplicationTitle,
                            tervo::WithFullStop(error.what()));
        return 0;
    }
}
