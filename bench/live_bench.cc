// What one refresh of a live run costs after ten minutes and after a day at
// 10 Hz: a simulated day (simulate_log --hours 24 --rate 10 --satellites 12)
// handed to the live run in pieces, its clock the log's own (an epoch is 0.1 s),
// the refreshes timed (CPU time of the process) during the first and the last
// ten minutes. In between
// the run only receives, closing a stretch every 3000 epochs as it does live.
//
//   tervo_live_bench SIMULATE_LOG WORK_DIR [HOURS]
//
// Prints a table and whether the target is met: the mean refresh of the last
// ten minutes costs no more than that of the first ten (within 10 % for noise).
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/platform.h"
#include "run/live_run.h"

namespace {

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) {
        sum += v;
    }
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

double Max(const std::vector<double>& values) {
    double most = 0;
    for (const double v : values) {
        most = std::max(most, v);
    }
    return most;
}

// The CPU time of the process, all threads (the document is deflated on two).
double CpuSeconds() {
    timespec time{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tervo_live_bench SIMULATE_LOG WORK_DIR [HOURS]\n");
        return 2;
    }
    const double hours = argc > 3 ? std::atof(argv[3]) : 24;
    const double end = hours * 3600;
    constexpr double kWindow = 600;  // ten minutes
    constexpr double kRefresh = 2;
    const std::string command =
        std::string(argv[1]) + " --hours " + std::to_string(hours) + " --rate 10 --satellites 12 --seed 11";
    std::FILE* log = ::popen(command.c_str(), "r");
    if (log == nullptr) {
        std::perror("simulate_log");
        return 1;
    }
    tervo::SystemPlatform platform;
    tervo::ConversionSettings settings;
    settings.OutputPath = std::string(argv[2]) + "/live.kmz";
    settings.OutputName = "live.kmz";
    tervo::LiveSettings live;
    live.RefreshSeconds = kRefresh;
    tervo::LiveRun run(settings, live, platform,
                       [](const std::string& text) { std::fprintf(stderr, "live run: %s\n", text.c_str()); });
    if (run.Start()) {
        std::fprintf(stderr, "the live run could not start in %s\n", argv[2]);
        return 1;
    }
    std::vector<double> first;
    std::vector<double> last;
    std::vector<char> piece(4096);
    int64_t epochs = 0;
    for (size_t n; (n = std::fread(piece.data(), 1, piece.size(), log)) > 0;) {
        for (size_t i = 0; i + 3 < n; ++i) {
            epochs +=
                piece[i] == 'G' && piece[i + 1] == 'G' && piece[i + 2] == 'A' && piece[i + 3] == ',' ? 1 : 0;
        }
        const double now = static_cast<double>(epochs) / 10;
        run.Take(reinterpret_cast<const uint8_t*>(piece.data()), n, now);
        const bool inFirst = now < kWindow;
        const bool inLast = now >= end - kWindow;
        if (!inFirst && !inLast) {
            continue;
        }
        const int before = run.Figures().Refreshes;
        const double started = CpuSeconds();
        run.Tick(now);
        const double seconds = CpuSeconds() - started;
        if (run.Figures().Refreshes > before) {
            (inFirst ? first : last).push_back(seconds);
        }
    }
    ::pclose(log);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);

    const double firstMean = Mean(first);
    const double lastMean = Mean(last);
    std::printf("live refresh at 10 Hz, every %.0f s (stretches of %zu epochs)\n", kRefresh,
                tervo::kLiveStretchEpochs);
    std::printf("%-28s %10s %12s %12s\n", "window", "refreshes", "CPU ms", "max ms");
    std::printf("%-28s %10zu %12.1f %12.1f\n", "first 10 minutes", first.size(), firstMean * 1000,
                Max(first) * 1000);
    std::printf("%-28s %10zu %12.1f %12.1f\n",
                ("last 10 minutes of " + std::to_string(int(hours)) + " h").c_str(), last.size(),
                lastMean * 1000, Max(last) * 1000);
    std::printf("epochs %lld, stretches closed %d, bytes %llu, peak RSS %.1f MB\n",
                static_cast<long long>(run.Figures().Epochs), run.Figures().Stretches,
                static_cast<unsigned long long>(run.Figures().Bytes), usage.ru_maxrss / 1024.0);
    const bool met = !first.empty() && !last.empty() && lastMean <= firstMean * 1.1;
    std::printf(
        "target: a refresh after %g h costs no more than one after 10 minutes (within 10 %%): %s (%.2fx)\n",
        hours, met ? "met" : "missed", firstMean > 0 ? lastMean / firstMean : 0.0);
    return 0;
}
