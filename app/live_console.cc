#include "app/live_console.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <exception>
#include <memory>

#include "app/console_front_end.h"
#include "app/console_view.h"
#include "app/file_fields.h"
#include "app/live_source.h"
#include "app/run_ending.h"
#include "app/settings.h"
#include "core/paths.h"

namespace tervo {

namespace {

// The write end of the stop pipe, for the signal handlers.
int stopWriteFd = -1;

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 's';
    // A full pipe is stopped already.
    [[maybe_unused]] const ssize_t written = ::write(stopWriteFd, &byte, 1);
    errno = saved;
}

// SIGINT and SIGTERM write into a pipe the receiving loop watches, while this
// lives; SIGPIPE is ignored (a closed socket or standard error is told by its
// call). The handlers before are back once it goes.
class StopSignals {
public:
    StopSignals() {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
            return;
        }
        stopWriteFd = fds_[1];
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &oldPipe_);
        installed_ = true;
    }
    ~StopSignals() {
        Restore();
        if (fds_[0] >= 0) {
            ::close(fds_[0]);
            ::close(fds_[1]);
        }
    }
    // From now on a signal acts as it did before: a second Ctrl+C during the
    // last conversion ends the program, leaving the last refresh.
    void Restore() {
        if (installed_) {
            ::sigaction(SIGINT, &oldInt_, nullptr);
            ::sigaction(SIGTERM, &oldTerm_, nullptr);
            ::sigaction(SIGPIPE, &oldPipe_, nullptr);
            stopWriteFd = -1;
            installed_ = false;
        }
    }
    int ReadFd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
    bool installed_ = false;
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
    struct sigaction oldPipe_ {};
};

// The status line on standard error: in place on a terminal (about once a
// second), a plain line every ten seconds otherwise. A note goes on a line of
// its own, and the status line is drawn again below it.
class StatusLine {
public:
    StatusLine(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}

    double Interval() const { return terminal_ ? 1 : 10; }
    void Show(const LiveFigures& figures, double now) {
        text_ = LiveStatusText(figures);
        if (terminal_) {
            std::fprintf(err_, "\r%s\033[K", text_.c_str());
            open_ = true;
        } else {
            std::fprintf(err_, "%s\n", text_.c_str());
        }
        std::fflush(err_);
        next_ = now + Interval();
    }
    void Note(const std::string& text) {
        End();
        std::fprintf(err_, "%s\n", text.c_str());
        if (terminal_ && !text_.empty()) {
            std::fprintf(err_, "%s\033[K", text_.c_str());
            open_ = true;
        }
        std::fflush(err_);
    }
    void End() {
        if (open_) {
            std::fputs("\r\033[K", err_);
            open_ = false;
        }
    }
    double Next() const { return next_; }

private:
    std::FILE* err_;
    bool terminal_;
    bool open_ = false;
    std::string text_;
    double next_ = 0;
};

// The settings of the live form: OUTPUT and SETTINGS from the current directory.
ConversionSettings LiveConversionSettings(const LiveLine& line, std::FILE* err) {
    const std::string directory = CurrentDirectory();
    const std::optional<std::string> settingsPath =
        line.positional.size() >= 2 ? std::optional(AbsoluteFrom(line.positional[1], directory))
                                    : std::nullopt;
    const WindowSettings values = LoadCommandLineSettings(settingsPath, line.extras, err);
    FileField edit1;
    edit1.text = line.source;
    FileField edit6;
    edit6.fullPath = AbsoluteFrom(line.positional[0], directory);
    edit6.text = FileNamePart(edit6.fullPath);
    return MakeConversionSettings(values, edit1, edit6, line.format, false);
}

}  // namespace

std::string ByteCountText(uint64_t bytes) {
    if (bytes < 1000) {
        return std::to_string(bytes) + " B";
    }
    constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1000;
    size_t unit = 0;
    while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string LiveStatusText(const LiveFigures& figures) {
    return LiveFiguresText(figures) + ", " + ByteCountText(figures.Bytes) + " received";
}

std::string LiveFiguresText(const LiveFigures& figures) {
    if (figures.Epochs == 0) {
        return "waiting for data";
    }
    std::string text = std::to_string(figures.Fixes) + (figures.Fixes == 1 ? " fix, " : " fixes, ");
    text += figures.Quality + ", ";
    if (figures.Satellites >= 0) {
        text +=
            std::to_string(figures.Satellites) + (figures.Satellites == 1 ? " satellite, " : " satellites, ");
    }
    return text +
           (figures.LastFixTime.empty() ? std::string("no fix yet") : "last fix " + figures.LastFixTime);
}

int RunLiveConsole(const LiveLine& line, Platform& platform, std::FILE* err) {
    std::string why;
    const std::optional<SourceAddress> address = ParseSourceAddress(line.source, &why);
    if (!address) {
        std::fprintf(err, "tervoconverter: --live %s: %s\nRun with --help for more information.\n",
                     line.source.c_str(), why.c_str());
        return kExitBadCommandLine;
    }
    const ConversionSettings settings = LiveConversionSettings(line, err);
    LiveSettings live;
    live.RefreshSeconds = line.refreshSeconds;
    if (!line.recordPath.empty()) {
        live.RecordPath = AbsoluteFrom(line.recordPath, CurrentDirectory());
    }
    const bool terminal = ::isatty(::fileno(err)) == 1;
    StatusLine status(err, terminal);
    LiveRun run(settings, live, platform, [&](const std::string& text) { status.Note(text); });
    if (const std::optional<FileFailure> failure = run.Start()) {
        return PrintEnding(err, EndingOfLiveStart(*failure, failure->path == live.RecordPath));
    }
    std::fprintf(err, "Receiving from %s into %s\n", SourceName(*address).c_str(),
                 run.Paths().Container.c_str());
    std::fprintf(err, "Open %s in Google Earth or CesiumJS to watch it; Ctrl+C ends the run.\n",
                 run.Paths().LinkFile.c_str());
    if (!line.recordPath.empty()) {
        std::fprintf(err, "Recording into %s\n", run.RecordingPath().c_str());
    }

    StopSignals signals;
    const std::unique_ptr<ByteSource> source = MakeByteSource(*address, line.format == LogFormat::Binr);
    ReceiveEvents events;
    events.bytes = [&](const uint8_t* bytes, size_t size, double now) { run.Take(bytes, size, now); };
    events.tick = [&](double now) {
        run.Tick(now);
        if (now >= status.Next()) {
            status.Show(run.Figures(), now);
        }
    };
    events.nextTick = [&] { return std::min(run.NextTick(), status.Next()); };
    events.say = [&](const std::string& text) { status.Note(text); };
    ReceiveLoop(*source, SourceName(*address), signals.ReadFd(), events, SteadySeconds);
    signals.Restore();
    status.End();
    std::fprintf(err, "%s\n", LiveStatusText(run.Figures()).c_str());
    std::fprintf(err,
                 "Writing the last KMZ file from the recording (Ctrl+C again leaves the last refresh)\n");

    ConsoleView view(err, terminal);
    RunReport report;
    ConversionResult result = ConversionResult::Completed;
    try {
        result = run.Finish(view, &report);
    } catch (...) {
        view.FinishBar();
        return PrintEnding(err, EndingOfError(std::current_exception()));
    }
    view.FinishBar();
    if (result == ConversionResult::Completed) {
        std::fprintf(err, "KMZ file written: %s\n", run.Paths().Container.c_str());
    }
    return PrintEnding(err, EndingOf(result, report, run.RecordingPath()));
}

}  // namespace tervo
