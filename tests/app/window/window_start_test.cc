// How the program starts: batch command lines never need a display, an
// interactive start without one says what to do instead of crashing in Qt, and
// a lone file argument ("Open with") opens the window on that file.
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "scripted_dialogs.h"

using tervo::testing::TempDir;
using tervo::testing::WriteFile;

class WindowStartTest : public QObject {
    Q_OBJECT

private slots:
    void WithoutADisplayTheWindowExplainsItself();
    void ABatchCommandLineNeedsNoDisplay();
    void OnlyALoneExistingFileIsOpenedAtStart();
    void AFileOpenedAtStartIsTheInputAsIfChosen();

private:
    // Runs the program with no display at all; returns its exit status.
    int RunWithoutDisplay(const QStringList& arguments, QByteArray* err);
};

int WindowStartTest::RunWithoutDisplay(const QStringList& arguments, QByteArray* err) {
    const char* appDir = std::getenv("TERVO_APP_DIR");
    if (appDir == nullptr) {
        return -1;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(appDir) + QStringLiteral("/tervoconverter"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    *err = process.readAllStandardError();
    return process.exitCode();
}

void WindowStartTest::WithoutADisplayTheWindowExplainsItself() {
    for (const QStringList& arguments : {QStringList{}, QStringList{QStringLiteral("one.nmea")}}) {
        QByteArray err;
        const int status = RunWithoutDisplay(arguments, &err);
        QVERIFY2(status > 0, err.constData());
        QVERIFY2(err.contains("no display to open the window on"), err.constData());
        QVERIFY(err.contains("tervoconverter INPUT OUTPUT"));
    }
}

void WindowStartTest::ABatchCommandLineNeedsNoDisplay() {
    QByteArray err;
    const int status =
        RunWithoutDisplay({QStringLiteral("/nonexistent/in.nmea"), QStringLiteral("out.kmz")}, &err);
    // The console front end's own ending for a missing input, not the window's complaint.
    QCOMPARE(status, 3);
    QVERIFY2(err.contains("Can't open the input file"), err.constData());
    QVERIFY(!err.contains("no display"));
}

void WindowStartTest::OnlyALoneExistingFileIsOpenedAtStart() {
    TempDir dir;
    WriteFile(dir.File("drive.nmea"), "$GPGGA\r\n");
    const QString startDirectory = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(startDirectory); });
    QVERIFY(QDir::setCurrent(QString::fromStdString(dir.path())));
    struct Row {
        const char* legend;
        std::vector<std::string> arguments;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"no argument opened something", {}, std::nullopt},
        {"an absolute file not taken", {dir.File("drive.nmea")}, dir.File("drive.nmea")},
        {"a relative file not made absolute", {"drive.nmea"}, dir.File("drive.nmea")},
        {"a dotted path not cleaned", {"./drive.nmea"}, dir.File("drive.nmea")},
        {"a missing file opened", {"missing.nmea"}, std::nullopt},
        {"a directory opened", {dir.path()}, std::nullopt},
        {"a device opened", {"/dev/null"}, std::nullopt},
        {"an empty argument opened", {""}, std::nullopt},
        {"a file among two opened", {"drive.nmea", "drive.nmea"}, std::nullopt},
    };
    for (const Row& row : rows) {
        std::vector<std::string> arguments = row.arguments;
        arguments.insert(arguments.begin(), "tervoconverter");
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const std::optional<std::string> file =
            tervo::FileToOpenAtStart(static_cast<int>(arguments.size()), argv.data());
        QVERIFY2(file == row.expected, row.legend);
    }
}

void WindowStartTest::AFileOpenedAtStartIsTheInputAsIfChosen() {
    tervo::testing::WindowUnderTest t;
    const auto& ui = t.ui();
    t.window().OpenInputFile("/data/logs/drive.nmea");
    QCOMPARE(ui.Edit1->text(), QStringLiteral("drive.nmea"));
    QCOMPARE(t.window().Edit1FullPath(), std::string("/data/logs/drive.nmea"));
    QCOMPARE(ui.Edit6->text(), QStringLiteral("drive.nmea.kmz"));
    QCOMPARE(t.window().Edit6FullPath(), std::string("/data/logs/drive.nmea.kmz"));
    QVERIFY(ui.SpeedButton3->isEnabled());
    QCOMPARE(t.dialogs().unexpected, 0);
}

QTEST_MAIN(WindowStartTest)
#include "window_start_test.moc"
