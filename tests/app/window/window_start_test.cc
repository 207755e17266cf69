// How the program starts: batch command lines never need a display, and an
// interactive start without one says what to do instead of crashing in Qt.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <cstdlib>

class WindowStartTest : public QObject {
    Q_OBJECT

private slots:
    void WithoutADisplayTheWindowExplainsItself();
    void ABatchCommandLineNeedsNoDisplay();

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

QTEST_GUILESS_MAIN(WindowStartTest)
#include "window_start_test.moc"
