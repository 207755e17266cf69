// What the window costs a conversion: the same log converted from the window's
// Run button and by the bare run with a view that does nothing, in turns, in
// one process. The BINR read loop gives the window a turn before every byte,
// which makes it the case to watch.
//
//   tervo_window_bench [--runs N] [--format nmea|binr] LOG
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "app/window/window_dialogs.h"
#include "core/platform.h"
#include "nmea/sentence.h"
#include "run/conversion.h"

namespace {

using Clock = std::chrono::steady_clock;

// Opens the benchmark's log and answers every box at once.
class BenchDialogs : public tervo::WindowDialogs {
public:
    explicit BenchDialogs(std::string log) : log_(std::move(log)) {}
    std::optional<std::string> GetOpenFileName(QWidget*, const tervo::FileDialogRequest&) override {
        return log_;
    }
    std::optional<std::string> GetSaveFileName(QWidget*, const tervo::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<int32_t> GetColor(QWidget*, int32_t) override { return std::nullopt; }
    void ShowMessage(QWidget*, tervo::MessageIcon, const std::string&, const std::string&) override {}
    bool AskYesNo(QWidget*, const std::string&, const std::string&) override { return false; }
    std::optional<tervo::Extras> EditExtras(QWidget*, const tervo::Extras&) override { return std::nullopt; }
    void ShowSummary(QWidget*, const std::string&, const std::vector<tervo::NamedPlot>&) override {}

private:
    std::string log_;
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    int format = 1;
    std::string log;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc) {
            format = std::strcmp(argv[++i], "nmea") == 0 ? 0 : 1;
        } else {
            log = argv[i];
        }
    }
    if (log.empty()) {
        std::fprintf(stderr, "usage: tervo_window_bench [--runs N] [--format nmea|binr] LOG\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    tervo::SystemPlatform platform;
    tervo::SentenceAssembler assembler;
    BenchDialogs dialogs(log);
    tervo::TForm1 form(platform, assembler, dialogs, "tervo_window_bench");
    form.show();
    form.SpeedButtonOpenClick();
    form.controls().RadioGroup1Items->button(format)->setChecked(true);

    std::vector<double> window;
    std::vector<double> bare;
    std::vector<double> windowCpu;
    std::vector<double> bareCpu;
    for (int n = 0; n < runs; ++n) {
        Clock::time_point start = Clock::now();
        double cpu = CpuSeconds();
        form.SpeedButton3Click();
        window.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        windowCpu.push_back(CpuSeconds() - cpu);

        tervo::ConversionSettings settings = form.CurrentConversionSettings();
        settings.Interactive = false;
        tervo::SilentView view;
        start = Clock::now();
        cpu = CpuSeconds();
        tervo::RunConversion(settings, view, assembler, platform);
        bare.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        bareCpu.push_back(CpuSeconds() - cpu);
        std::fprintf(stderr, ".");
    }
    const double w = Median(window);
    const double b = Median(bare);
    const double overhead = (w - b) / b * 100;
    std::printf(
        "\nwindow run %.3f s (CPU %.3f s), bare run %.3f s (CPU %.3f s), medians of %d:\n"
        "the window costs %.1f%% of the wall time (target < 5%%: %s) and %.1f%% of the CPU time\n",
        w, Median(windowCpu), b, Median(bareCpu), runs, overhead, overhead < 5 ? "met" : "MISSED",
        (Median(windowCpu) - Median(bareCpu)) / Median(bareCpu) * 100);
    return 0;
}
