// Draws the window as a user sees it after a conversion and saves it as a PNG:
//   window_screenshot OUTPUT.png
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

#include "scripted_dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_screenshot OUTPUT.png\n");
        return 2;
    }
    tervo::UseWindowStyle();
    tervo::testing::WindowUnderTest t;
    tervo::TForm1& window = t.window();
    t.dialogs().openAnswers = {"/home/user/logs/drive.nmea"};
    window.SpeedButtonOpenClick();
    window.ShowStatus("The progress finished");
    window.ShowCount("Waypoints 120");
    for (int i = 0; i < 99; ++i) {
        window.StepProgress();
    }
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "window_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
