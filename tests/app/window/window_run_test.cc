// Runs from the window: the lock, the status panes, the gauge, error boxes, and
// files dropped on the window, also while a run is in progress.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QRadioButton>
#include <QScrollArea>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/window/summary_dialog.h"
#include "report/plots.h"
#include "scripted_dialogs.h"
#include "support/zip_reader.h"

using tervo::Extras;
using tervo::LogFormat;
using tervo::MessageIcon;
using tervo::SkyPlotPng;
using tervo::SummaryDialog;
using tervo::testing::FileExists;
using tervo::testing::WindowUnderTest;

namespace {

// Makes a 20-epoch NMEA log with our simulator.
bool SimulateLog(const std::string& path) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    if (tools == nullptr) {
        return false;
    }
    const int status =
        QProcess::execute(QString::fromUtf8(tools) + QStringLiteral("/simulate_log"),
                          {QStringLiteral("--epochs"), QStringLiteral("20"), QStringLiteral("--seed"),
                           QStringLiteral("3"), QStringLiteral("--out"), QString::fromStdString(path)});
    return status == 0 && FileExists(path);
}

// Makes a BINR log of `epochs` epochs with our simulator.
bool SimulateBinr(const std::string& path, int epochs) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    if (tools == nullptr) {
        return false;
    }
    const int status = QProcess::execute(QString::fromUtf8(tools) + QStringLiteral("/simulate_binr"),
                                         {QStringLiteral("--epochs"), QString::number(epochs),
                                          QStringLiteral("--out"), QString::fromStdString(path)});
    return status == 0 && FileExists(path);
}

// Drags `paths` over the window and drops them; returns whether the drag was welcome.
bool DropFiles(QWidget& window, const std::vector<std::string>& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return enter.isAccepted();
}

struct LockSnapshot {
    bool taken = false;
    bool runEnabled = true;
    bool settingsEnabled = true;
    bool inputEnabled = true;
    bool outputEnabled = true;
    bool configurationEnabled = true;
    bool edit1Enabled = true;
    bool checkBox1Enabled = true;
    bool extrasEnabled = true;
    QColor settingsCaption;
    QColor styleCaption;
    QColor inputCaption;
};

LockSnapshot TakeSnapshot(const tervo::TForm1Controls& ui) {
    LockSnapshot s;
    s.taken = true;
    s.runEnabled = ui.SpeedButton3->isEnabled();
    s.settingsEnabled = ui.GroupBox3->isEnabled();
    s.inputEnabled = ui.GroupBox1->isEnabled();
    s.outputEnabled = ui.GroupBox10->isEnabled();
    s.configurationEnabled = ui.GroupBox2->isEnabled();
    s.edit1Enabled = ui.Edit1->isEnabled();
    s.checkBox1Enabled = ui.CheckBox1->isEnabled();
    s.extrasEnabled = ui.ActionExtras->isEnabled();
    s.settingsCaption = ui.GroupBox3->captionColor();
    s.styleCaption = ui.GroupBox5->captionColor();
    s.inputCaption = ui.GroupBox1->captionColor();
    return s;
}

}  // namespace

class WindowRunTest : public QObject {
    Q_OBJECT

private slots:
    void ADroppedFileBecomesTheInput();
    void SeveralDroppedFilesOnlyWarn();
    void RunConvertsALogBehindTheLock();
    void DropsAndCloseWaitForTheRunningConversion();
    void AContainerThatCannotBeCreatedShowsAnErrorBox();
    void AnErrorLeavingTheRunUnlocksTheWindow();
    void ALogOfTheOtherFormatOffersToSwitch();
    void AnAbsoluteOutputPathIsWrittenAsItStands();
    void AnIncompleteDateStopsRunBeforeTheRun();
    void TheGaugeStaysWithinItsRange();
    void PendingEventsAreHandledAtMostEveryFewMilliseconds();
    void ABinaryRunKeepsHandingEventsToTheWindow();
    void TheSummaryIsShownAfterARunWhenAskedFor();
    void TheSummaryDialogShowsTheTableAndEachPlot();
    void ALiveSourceRunsUntilRunIsPressedAgain();
};

void WindowRunTest::ADroppedFileBecomesTheInput() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    ui.RadioGroup1Items->button(1)->click();
    const std::string log = t.files().File("trip.bin");

    QVERIFY(DropFiles(t.window(), {log}));
    QCOMPARE(ui.Edit1->text(), QStringLiteral("trip.bin"));
    QCOMPARE(t.window().Edit1FullPath(), log);
    QCOMPARE(ui.Edit6->text(), QStringLiteral("trip.bin.kmz"));
    QCOMPARE(t.window().Edit6FullPath(), log + ".kmz");
    QCOMPARE(ui.Edit6->toolTip(), QString::fromStdString(log + ".kmz"));
    QVERIFY(ui.SpeedButton3->isEnabled());
    QCOMPARE(ui.RadioGroup1Items->checkedId(), 1);
    QVERIFY(t.dialogs().messages.empty());
}

void WindowRunTest::SeveralDroppedFilesOnlyWarn() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    DropFiles(t.window(), {t.files().File("a.nmea"), t.files().File("b.nmea")});
    QCOMPARE(t.dialogs().messages.size(), size_t(1));
    const tervo::testing::ShownMessage& warning = t.dialogs().messages[0];
    QCOMPARE(warning.icon, MessageIcon::Warning);
    QCOMPARE(warning.caption, std::string("Warning"));
    QCOMPARE(warning.text, std::string("Работа с несколькими файлами не поддерживается!"));
    QVERIFY(ui.Edit1->text().isEmpty() && ui.Edit6->text().isEmpty());
    QVERIFY(t.window().Edit1FullPath().empty());
    QVERIFY(!ui.SpeedButton3->isEnabled());
}

void WindowRunTest::RunConvertsALogBehindTheLock() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("log.nmea");
    QVERIFY2(SimulateLog(log), "simulate_log did not run; is TERVO_TOOLS_DIR set?");
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);

    // The final box comes while the run still holds the lock; the extras cannot
    // be changed then, not even by a shortcut pressed before the lock.
    LockSnapshot during;
    dialogs.onMessage = [&](const tervo::testing::ShownMessage&) {
        during = TakeSnapshot(ui);
        t.window().ActionExtrasExecute();
    };
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);

    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Information);
    QCOMPARE(dialogs.messages[0].text,
             std::string("The progress finished!\n\rInput file log.nmea\n\rWaypoints 20"));
    QCOMPARE(ui.Panel2->text(), QStringLiteral("The progress finished"));
    QCOMPARE(ui.Panel3->text(), QStringLiteral("Waypoints 20"));
    QVERIFY(ui.CGauge1->value() > 90 && ui.CGauge1->value() <= 100);

    QVERIFY(during.taken);
    QVERIFY(!during.runEnabled);
    QVERIFY(!during.settingsEnabled && !during.inputEnabled && !during.outputEnabled);
    QVERIFY(!during.configurationEnabled && !during.edit1Enabled && !during.checkBox1Enabled);
    QVERIFY(!during.extrasEnabled);
    QVERIFY(dialogs.extrasRequests.empty());
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
    QCOMPARE(during.settingsCaption, grey);
    QCOMPARE(during.styleCaption, grey);
    QCOMPARE(during.inputCaption, grey);

    const LockSnapshot after = TakeSnapshot(ui);
    QVERIFY(after.runEnabled && after.settingsEnabled && after.inputEnabled && after.outputEnabled);
    QVERIFY(after.configurationEnabled && after.edit1Enabled && after.checkBox1Enabled &&
            after.extrasEnabled);
    QCOMPARE(after.settingsCaption, QColor(Qt::black));
    QCOMPARE(after.styleCaption, QColor(Qt::black));
    QCOMPARE(after.inputCaption, QColor(Qt::black));
    // Label3 ends enabled even though "Use all the waypoints" is off; its swatch does not.
    QVERIFY(ui.Label3->isEnabled());
    QVERIFY(!ui.ShapeFullTrack->isEnabled());

    // Only the container is left beside the log.
    const std::string container = t.files().File("log.nmea.kmz");
    QCOMPARE(t.window().Edit6FullPath(), container);
    QVERIFY(tervo::testing::ZipEntryData(container, "log.nmea.kml").find("<Placemark>") != std::string::npos);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(t.files().path())) {
        ++entries;
    }
    QCOMPARE(entries, 2);
}

void WindowRunTest::DropsAndCloseWaitForTheRunningConversion() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    t.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window()));

    bool dragWelcome = true;
    bool closed = true;
    bool runEnabledAfterDrop = true;
    dialogs.onMessage = [&](const tervo::testing::ShownMessage& message) {
        if (message.icon != MessageIcon::Information) {
            return;
        }
        dragWelcome = DropFiles(t.window(), {t.files().File("other.nmea")});
        runEnabledAfterDrop = ui.SpeedButton3->isEnabled();
        closed = t.window().close();
    };
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);

    QVERIFY(!dragWelcome);
    QVERIFY(!runEnabledAfterDrop);
    QVERIFY(!closed);
    QCOMPARE(ui.Edit1->text(), QStringLiteral("log.nmea"));
    QCOMPARE(t.window().Edit1FullPath(), log);
    QVERIFY(FileExists(t.files().File("log.nmea.kmz")));
    // The close asked for during the run happens once the run is over.
    QTRY_VERIFY(!t.window().isVisible());
    QVERIFY(dialogs.questions.empty());
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowRunTest::AContainerThatCannotBeCreatedShowsAnErrorBox() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    // A directory stands where the container should go.
    std::filesystem::create_directory(t.files().File("log.nmea.kmz"));
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);

    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
    QCOMPARE(dialogs.messages[0].caption, std::string("TervoConverter"));
    QCOMPARE(dialogs.messages[0].text,
             "Cannot create file " + t.files().File("log.nmea.kmz") + ".\nIs a directory.");
    QVERIFY(ui.GroupBox3->isEnabled() && ui.GroupBox1->isEnabled() && ui.Edit1->isEnabled());
    QVERIFY(ui.SpeedButton3->isEnabled());
    QVERIFY(!t.window().Running());
}

// Memory exhausted in the middle of the read loop: the window must not stay locked.
void WindowRunTest::AnErrorLeavingTheRunUnlocksTheWindow() {
    class ThrowingGate : public tervo::AllocationGate {
    public:
        bool AllowNode() override {
            if (++nodes_ > 3) {
                throw std::bad_alloc();
            }
            return true;
        }

    private:
        int nodes_ = 0;
    } gate;
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    t.window().SetAllocationGate(&gate);
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);

    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
    QCOMPARE(dialogs.messages[0].text, std::string("std::bad_alloc."));
    QCOMPARE(ui.Panel2->text(), QStringLiteral("std::bad_alloc"));
    QVERIFY(ui.GroupBox3->isEnabled() && ui.GroupBox1->isEnabled() && ui.Edit1->isEnabled());
    QVERIFY(ui.SpeedButton3->isEnabled());
    QVERIFY(!FileExists(t.files().File("log.nmea.kmz")));
}

// A BINR log with NMEA chosen: nothing is written, and Yes converts it as BINR.
void WindowRunTest::ALogOfTheOtherFormatOffersToSwitch() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("trip.bin");
    tervo::testing::WriteFile(log, std::string("\x10\x60") + std::string(11, '\x01') + "\x10\x03");
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    dialogs.yesNoAnswers = {true};
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);

    QCOMPARE(dialogs.questions.size(), size_t(1));
    QVERIFY(dialogs.questions[0].find("looks like a BINR log") != std::string::npos);
    QCOMPARE(ui.RadioGroup1Items->checkedId(), 1);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Information);
    QVERIFY(FileExists(t.files().File("trip.bin.kmz")));
}

void WindowRunTest::AnAbsoluteOutputPathIsWrittenAsItStands() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    t.dialogs().openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    tervo::testing::TempDir elsewhere;
    const std::string container = elsewhere.File("trip.kmz");
    ui.Edit6->selectAll();
    QTest::keyClicks(ui.Edit6, QString::fromStdString(container));
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);

    QCOMPARE(t.dialogs().messages.size(), size_t(1));
    QCOMPARE(t.dialogs().messages[0].icon, MessageIcon::Information);
    QVERIFY(tervo::testing::ZipEntryData(container, "trip.kml").find("<Placemark>") != std::string::npos);
    QCOMPARE(t.window().Edit6FullPath(), container);
    QVERIFY(!FileExists(t.files().File("trip.kmz")));
}

// Run checks the date as leaving the field would; the run starts only with a
// complete date.
void WindowRunTest::AnIncompleteDateStopsRunBeforeTheRun() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    t.window().show();
    QVERIFY(QTest::qWaitForWindowActive(&t.window()));
    ui.MaskEdit1->setFocus(Qt::MouseFocusReason);
    ui.MaskEdit1->setCursorPosition(10);
    QTest::keyClick(ui.MaskEdit1, Qt::Key_Backspace);

    bool runningAtTheBox = true;
    dialogs.onMessage = [&](const tervo::testing::ShownMessage&) { runningAtTheBox = t.window().Running(); };
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
    QCOMPARE(dialogs.messages[0].text,
             std::string("Invalid input value.  Use escape key to abandon changes."));
    QVERIFY(!runningAtTheBox);
    QVERIFY(ui.Panel2->text().isEmpty());
    QVERIFY(!FileExists(t.files().File("log.nmea.kmz")));
    QVERIFY(ui.MaskEdit1->hasFocus());
    QVERIFY(ui.SpeedButton3->isEnabled());

    // Completed, the date goes into the run, and the lock raises no box.
    QTest::keyClick(ui.MaskEdit1, Qt::Key_2);
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), size_t(2));
    QCOMPARE(dialogs.messages[1].icon, MessageIcon::Information);
    QVERIFY(FileExists(t.files().File("log.nmea.kmz")));
    QCoreApplication::processEvents();
    QCOMPARE(dialogs.messages.size(), size_t(2));
    QCOMPARE(t.window().CurrentConversionSettings().MaskEdit1, std::string("2000-01-02"));
}

void WindowRunTest::TheGaugeStaysWithinItsRange() {
    WindowUnderTest t;
    for (int i = 0; i < 150; ++i) {
        t.window().StepProgress();
    }
    QCOMPARE(t.ui().CGauge1->value(), 100);
    QCOMPARE(t.ui().CGauge1->text(), QStringLiteral("100%"));
    t.window().ResetProgress();
    QCOMPARE(t.ui().CGauge1->text(), QStringLiteral("0%"));
}

void WindowRunTest::PendingEventsAreHandledAtMostEveryFewMilliseconds() {
    WindowUnderTest t;
    int delivered = 0;
    QThread::msleep(10);
    QTimer::singleShot(0, this, [&] { ++delivered; });
    t.window().ProcessPendingEvents();
    QCOMPARE(delivered, 1);

    // Right after that, a call per input byte must not go into the event loop again.
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, this, [&] { ++delivered; });
    t.window().ProcessPendingEvents();
    if (clock.elapsed() >= 2) {
        QSKIP("the machine paused between the two calls");
    }
    QCOMPARE(delivered, 1);
    QThread::msleep(10);
    t.window().ProcessPendingEvents();
    QCOMPARE(delivered, 2);
}

// The BINR loop gives the window a turn before every byte, of which the window
// takes one every few milliseconds: a timer keeps firing while a long log is read.
void WindowRunTest::ABinaryRunKeepsHandingEventsToTheWindow() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    const std::string log = t.files().File("long.bin");
    QVERIFY2(SimulateBinr(log, 20000), "simulate_binr did not run; is TERVO_TOOLS_DIR set?");
    t.dialogs().openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    ui.RadioGroup1Items->button(1)->click();
    int duringRun = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { duringRun += t.window().Running() ? 1 : 0; });
    timer.start(0);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    timer.stop();
    QCOMPARE(ui.Panel2->text(), QStringLiteral("The progress finished"));
    if (clock.elapsed() < 40) {
        QSKIP("the run was too short to tell");
    }
    QVERIFY2(duringRun >= 2, qPrintable(QStringLiteral("events handled %1 times").arg(duringRun)));
}

void WindowRunTest::TheSummaryIsShownAfterARunWhenAskedFor() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    auto& dialogs = t.dialogs();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    dialogs.openAnswers = {log};
    QTest::mouseClick(ui.SpeedButtonOpen, Qt::LeftButton);
    // Not asked for: no summary.
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    QCOMPARE(dialogs.summaries.size(), size_t(0));

    dialogs.extrasAnswers = {Extras{.ShowSummary = 1}};
    ui.ActionExtras->trigger();
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    QCOMPARE(dialogs.summaries.size(), size_t(1));
    QVERIFY(dialogs.summaries[0].table.rfind("Format", 0) == 0);
    QCOMPARE(dialogs.summaries[0].plotEntries,
             (std::vector<std::string>{"plots/sky.png", "plots/snr.png", "plots/speed_altitude.png",
                                       "plots/fix_quality.png"}));
    QVERIFY(FileExists(t.files().File("log.nmea.kmz")));
    QCOMPARE(dialogs.unexpected, 0);
}

void WindowRunTest::TheSummaryDialogShowsTheTableAndEachPlot() {
    const std::vector<uint8_t> png = SkyPlotPng(nullptr, LogFormat::Nmea, {64, 48});
    SummaryDialog dialog("Format  NMEA\n",
                         {{"plots/sky.png", "Sky plot", png}, {"plots/snr.png", "SNR", {1, 2}}});
    const auto* text = dialog.findChild<QLabel*>(QStringLiteral("SummaryText"));
    QVERIFY(text != nullptr);
    QCOMPARE(text->text(), QStringLiteral("Format  NMEA\n"));
    const auto* sky = dialog.findChild<QLabel*>(QStringLiteral("sky"));
    QVERIFY(sky != nullptr && !sky->pixmap().isNull());
    QCOMPARE(sky->pixmap().width(), 64);
    // Bytes that are no picture show the title.
    const auto* snr = dialog.findChild<QLabel*>(QStringLiteral("snr"));
    QVERIFY(snr != nullptr && snr->pixmap().isNull());
    QCOMPARE(snr->text(), QStringLiteral("SNR"));
    QVERIFY(dialog.findChild<QScrollArea*>() != nullptr);
}

// An address typed into the input field runs live, from a TCP server of the
// test's own: the Run button reads "Stop" and stays enabled while the rest is
// locked, the panes show the live figures, the gauge moves, and the KMZ file
// holds placemarks before the end; pressing the button again ends the run with
// the last KMZ file and the run's final message, and the button reads "Run".
void WindowRunTest::ALiveSourceRunsUntilRunIsPressedAgain() {
    WindowUnderTest t;
    const auto& ui = t.ui();
    const std::string log = t.files().File("log.nmea");
    QVERIFY(SimulateLog(log));
    const std::string bytes = tervo::testing::ReadFile(log);
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QCOMPARE(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QCOMPARE(::listen(server, 1), 0);
    QCOMPARE(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::atomic<bool> quit = false;
    std::thread serve([&] {
        const int client = ::accept(server, nullptr, nullptr);
        // Two pieces a second apart: the refresh before the second one already shows the first.
        const size_t half = bytes.size() / 2;
        ::send(client, bytes.data(), half, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        ::send(client, bytes.data() + half, bytes.size() - half, MSG_NOSIGNAL);
        while (!quit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::close(client);
    });
    ui.Edit1->setText(QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port)));
    const std::string kmz = t.files().File("live.kmz");
    ui.Edit6->setText(QString::fromStdString(kmz));
    QVERIFY(ui.SpeedButton3->isEnabled());

    QString button;
    bool stopEnabled = false;
    bool inputLocked = false;
    QString figures;
    QString received;
    bool kmzDuring = false;
    QTimer::singleShot(2500, this, [&] {
        button = ui.SpeedButton3->text();
        stopEnabled = ui.SpeedButton3->isEnabled();
        inputLocked = !ui.Edit1->isEnabled();
        figures = ui.Panel2->text();
        received = ui.Panel3->text();
        kmzDuring = FileExists(kmz);
        QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    });
    QTest::mouseClick(ui.SpeedButton3, Qt::LeftButton);
    quit = true;
    serve.join();
    ::close(server);

    QCOMPARE(button, QStringLiteral("Stop"));
    QVERIFY(stopEnabled && inputLocked);
    QVERIFY2(figures.startsWith(QStringLiteral("19 fixes, single, ")), qPrintable(figures));
    QVERIFY2(received.endsWith(QStringLiteral(" kB received")), qPrintable(received));
    QVERIFY(kmzDuring);
    QCOMPARE(ui.SpeedButton3->text(), QStringLiteral("Run"));
    QVERIFY(ui.SpeedButton3->isEnabled() && ui.Edit1->isEnabled());
    QCOMPARE(ui.Panel2->text(), QStringLiteral("The progress finished"));
    QCOMPARE(ui.Panel3->text(), QStringLiteral("Waypoints 20"));
    QVERIFY(!t.dialogs().messages.empty());
    QVERIFY(t.dialogs().messages.back().text.rfind("The progress finished!", 0) == 0);
    QVERIFY(FileExists(t.files().File("live-live.kml")));
}

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
