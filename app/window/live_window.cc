// A live run from the window. It runs inside the Run button's handler, as a
// conversion does, and hands the window its events at every turn of the
// receiving loop (at least every 50 ms); the Run button, relabelled "Stop",
// ends the receiving, and the last KMZ file is then written by the conversion
// of the recording with the window as its view, as any run from the window.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <exception>

#include "app/live_console.h"
#include "app/live_source.h"
#include "app/window/main_window.h"
#include "core/paths.h"
#include "run/live_run.h"

namespace tervo {

namespace {

// How often the panes show the live figures, in seconds.
constexpr double kPanesInterval = 0.5;

}  // namespace

void TForm1::StopLive() {
    if (liveStopFd_ >= 0) {
        const char byte = 's';
        [[maybe_unused]] const ssize_t written = ::write(liveStopFd_, &byte, 1);
    }
}

void TForm1::RunLive(const std::string& source) {
    std::string why;
    const std::optional<SourceAddress> address = ParseSourceAddress(source, &why);
    if (!address) {
        ShowError("No live source: " + why);
        return;
    }
    const ConversionSettings settings = CurrentConversionSettings();
    LiveRun run(settings, LiveSettings{}, platform_, [this](const std::string& text) { ShowStatus(text); });
    if (const std::optional<FileFailure> failure = run.Start()) {
        ShowRunError(EndingOfLiveStart(*failure, false));
        return;
    }
    int stop[2];
    if (::pipe2(stop, O_CLOEXEC | O_NONBLOCK) != 0) {
        ShowError("Can't start the live run: " + SystemReason(errno));
        return;
    }
    running_ = true;
    liveStopFd_ = stop[1];
    SetOutputPath(run.Paths().Container);
    ResetProgress();
    ShowCount(" ");
    LockControls();
    ui_.SpeedButton3->setText(QStringLiteral("Stop"));
    ui_.SpeedButton3->setEnabled(true);
    ShowStatus("Receiving from " + SourceName(*address) + "; open " + FileNamePart(run.Paths().LinkFile) +
               " in a globe viewer");

    const std::unique_ptr<ByteSource> byteSource =
        MakeByteSource(*address, settings.Format == LogFormat::Binr);
    double nextPanes = SteadySeconds() + kPanesInterval;
    ReceiveEvents events;
    events.bytes = [&](const uint8_t* bytes, size_t size, double now) {
        run.Take(bytes, size, now);
        // The gauge shows that bytes come: a step per piece, round and round.
        ui_.CGauge1->setValue(ui_.CGauge1->value() >= 100 ? 0 : ui_.CGauge1->value() + 1);
    };
    events.tick = [&](double now) {
        run.Tick(now);
        if (now >= nextPanes) {
            ShowStatus(LiveFiguresText(run.Figures()));
            ShowCount(ByteCountText(run.Figures().Bytes) + " received");
            nextPanes = now + kPanesInterval;
        }
        QCoreApplication::processEvents();
    };
    events.nextTick = [&] { return std::min(run.NextTick(), nextPanes); };
    events.say = [this](const std::string& text) { ShowStatus(text); };
    ReceiveTimings timings;
    timings.maxWait = 0.05;
    ReceiveLoop(*byteSource, SourceName(*address), stop[0], events, SteadySeconds, timings);
    liveStopFd_ = -1;
    ::close(stop[0]);
    ::close(stop[1]);
    ui_.SpeedButton3->setText(QStringLiteral("Run"));
    UnlockControls();

    try {
        run.Finish(*this);
    } catch (...) {
        ShowRunError(EndingOfError(std::current_exception()));
    }
    running_ = false;
    UpdateRunButton();
    if (closePending_) {
        closePending_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

}  // namespace tervo
