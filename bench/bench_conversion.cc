// Conversion benchmark: converts receiver logs end to end into KMZ files and
// prints a table of throughput, time split and memory, with each target of the
// converter met or missed. Every conversion runs in a process of its own, so
// that its peak memory is its own; figures are medians of the runs.
//
//   tervo_bench [--runs N] [--peer PROGRAM] [--work DIR] CASE...
//
// CASE is FORMAT:LABEL:EPOCHS:LOG: FORMAT nmea or binr, LABEL a short name
// ("24h"), EPOCHS the number of epochs the log holds. Two cases of one format
// with different EPOCHS give the memory per epoch (the slope between them) and
// the fixed base. --peer names the general-purpose converter to run on the NMEA
// logs beside ours ("PROGRAM -i nmea -f LOG -o kml -F OUT"). The floor is zlib's
// deflate at level 6 of the KML document our run produced, in one thread.
//
// The program runs itself with --run to do one conversion.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "core/platform.h"
#include "nmea/sentence.h"
#include "run/conversion.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

off_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// --- one conversion (the --run child) -------------------------------------------

// A moment of the run: wall clock, the main thread's CPU and the whole process's.
struct Mark {
    Clock::time_point wall;
    double mainCpu = 0;
    double processCpu = 0;
};

Mark Now() {
    return {Clock::now(), CpuSeconds(CLOCK_THREAD_CPUTIME_ID), CpuSeconds(CLOCK_PROCESS_CPUTIME_ID)};
}

// Marks the phases by the status texts the run shows between them.
class TimingView : public tervo::SilentView {
public:
    void ShowStatus(const std::string& text) override {
        if (text == "The progress started") {
            readStart = Now();
        } else if (text == "Creation of KML-file") {
            writeStart = Now();
        } else if (text == "The progress finished") {
            finished = Now();
        }
    }
    void DisableRun() override { iconsStart = Now(); }

    Mark iconsStart, readStart, writeStart, finished;
};

// Marks the moment the KML entry is complete in the container: the packer asks
// for the KML file's time only then.
class TimingPlatform : public tervo::Platform {
public:
    tervo::CivilDate Today() override { return system_.Today(); }
    std::string ProgramDirectory() override { return system_.ProgramDirectory(); }
    bool LastWriteTime(const std::string& path, tervo::CivilTime* local) override {
        if (!kmlPacked && path.size() > 4 && path.compare(path.size() - 4, 4, ".kml") == 0) {
            kmlPacked = Now();
        }
        return system_.LastWriteTime(path, local);
    }
    bool IsWritableDirectory(const std::string& directory) override {
        return system_.IsWritableDirectory(directory);
    }
    std::string EnvironmentValue(const std::string& name) override { return system_.EnvironmentValue(name); }

    std::optional<Mark> kmlPacked;

private:
    tervo::SystemPlatform system_;
};

// The built-in settings of the batch command line.
tervo::ConversionSettings BenchSettings(const std::string& format, const std::string& log,
                                        const std::string& output) {
    const tervo::WindowSettings values = tervo::BuiltInDefaultSettings();
    tervo::ConversionSettings s;
    s.InputPath = log;
    s.InputName = log;
    s.OutputName = output.substr(output.rfind('/') + 1);
    s.OutputPath = output;
    s.Format = format == "binr" ? tervo::LogFormat::Binr : tervo::LogFormat::Nmea;
    s.ShapeRightPoint = values.ShapeRightPoint;
    s.ShapeIncorPoint = values.ShapeIncorPoint;
    s.ShapeDTrack = values.ShapeDTrack;
    s.ShapeStyleTrack = values.ShapeStyleTrack;
    s.ShapeFullTrack = values.ShapeFullTrack;
    s.Edit3 = values.Edit3;
    s.Edit7 = values.Edit7;
    s.Edit4 = values.Edit4;
    s.CheckBox1 = values.CheckBox1;
    s.MaskEdit1 = values.MaskEdit1;
    s.CheckBox2 = values.CheckBox2;
    s.CheckBox3 = values.CheckBox3;
    s.CheckBox4 = values.CheckBox4;
    s.Interactive = false;
    return s;
}

// Converts once and prints the phase times on stdout for the parent.
int RunOnce(const std::string& format, const std::string& log, const std::string& output) {
    TimingView view;
    TimingPlatform platform;
    tervo::SentenceAssembler assembler;
    const Mark start = Now();
    const tervo::ConversionResult result =
        tervo::RunConversion(BenchSettings(format, log, output), view, assembler, platform);
    if (result != tervo::ConversionResult::Completed || !platform.kmlPacked) {
        std::fprintf(stderr, "tervo_bench: the conversion of %s did not complete\n", log.c_str());
        return 1;
    }
    const Mark& packed = *platform.kmlPacked;
    auto between = [](const Mark& a, const Mark& b) { return Seconds(b.wall - a.wall); };
    // icons, read, write, pack tail (wall); write phase CPU of the main thread and of the others.
    std::printf("%.6f %.6f %.6f %.6f %.6f %.6f %.6f\n", between(start, view.readStart),
                between(view.readStart, view.writeStart), between(view.writeStart, packed),
                between(packed, view.finished), packed.mainCpu - view.writeStart.mainCpu,
                (packed.processCpu - view.writeStart.processCpu) - (packed.mainCpu - view.writeStart.mainCpu),
                view.writeStart.processCpu - view.readStart.processCpu);
    return 0;
}

// --- the parent: runs, floor, peer ----------------------------------------------

struct ProcessRun {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    double maxRssMb = 0;
    std::string out;
};

// Runs `argv` with stdout captured and stderr dropped; the child's own usage.
ProcessRun Spawn(const std::vector<std::string>& argv) {
    ProcessRun run;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return run;
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::close(pipeFds[0]);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        run.out.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.wall = Seconds(Clock::now() - start);
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.maxRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

uint32_t U32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct Floor {
    bool ok = false;
    double kmlMb = 0;
    double deflateWall = 0;  // summed over the deflate calls alone
    double deflateCpu = 0;
};

// Inflates the KML entry (the container's first) piece by piece and deflates it
// again at level 6 in this one thread, timing the deflate calls alone.
Floor MeasureFloor(const std::string& kmz) {
    Floor floor;
    std::FILE* file = std::fopen(kmz.c_str(), "rb");
    if (file == nullptr) {
        return floor;
    }
    unsigned char end[22];
    unsigned char central[46];
    unsigned char local[30];
    std::fseek(file, -22, SEEK_END);
    if (std::fread(end, 1, 22, file) != 22 || U32(end) != 0x06054b50) {
        std::fclose(file);
        return floor;
    }
    std::fseek(file, static_cast<long>(U32(end + 16)), SEEK_SET);
    if (std::fread(central, 1, 46, file) != 46) {
        std::fclose(file);
        return floor;
    }
    const uint32_t compressed = U32(central + 20);
    floor.kmlMb = U32(central + 24) / 1e6;
    std::fseek(file, static_cast<long>(U32(central + 42)), SEEK_SET);
    if (std::fread(local, 1, 30, file) != 30) {
        std::fclose(file);
        return floor;
    }
    std::fseek(file, U16(local + 26) + U16(local + 28), SEEK_CUR);

    z_stream in{};
    z_stream out{};
    inflateInit2(&in, -MAX_WBITS);
    deflateInit2(&out, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> packed(1 << 20);
    std::vector<unsigned char> plain(1 << 20);
    std::vector<unsigned char> again(1 << 20);
    uint32_t left = compressed;
    int status = Z_OK;
    auto deflateSome = [&](size_t size, int flush) {
        const Clock::time_point wall = Clock::now();
        const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        out.next_in = plain.data();
        out.avail_in = static_cast<uInt>(size);
        do {
            out.next_out = again.data();
            out.avail_out = static_cast<uInt>(again.size());
            deflate(&out, flush);
        } while (out.avail_out == 0);
        floor.deflateCpu += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
        floor.deflateWall += Seconds(Clock::now() - wall);
    };
    while (status != Z_STREAM_END) {
        if (in.avail_in == 0 && left > 0) {
            const size_t got = std::fread(packed.data(), 1, std::min<size_t>(left, packed.size()), file);
            if (got == 0) {
                break;
            }
            left -= static_cast<uint32_t>(got);
            in.next_in = packed.data();
            in.avail_in = static_cast<uInt>(got);
        }
        in.next_out = plain.data();
        in.avail_out = static_cast<uInt>(plain.size());
        status = inflate(&in, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            break;
        }
        deflateSome(plain.size() - in.avail_out, Z_NO_FLUSH);
    }
    deflateSome(0, Z_FINISH);
    floor.ok = status == Z_STREAM_END;
    inflateEnd(&in);
    deflateEnd(&out);
    std::fclose(file);
    return floor;
}

struct Case {
    std::string format;
    std::string label;
    long epochs = 0;
    std::string log;
};

struct CaseResult {
    double inputMb = 0;
    double kmlMb = 0;
    double wall = 0;
    double cpu = 0;
    double rssMb = 0;
    double icons = 0;
    double read = 0;
    double write = 0;
    double packTail = 0;
    double writeMainCpu = 0;
    double writeOtherCpu = 0;
    double readCpu = 0;
    double floorWall = 0;
    double floorCpu = 0;
    double peerWall = NAN;
    double peerCpu = NAN;
    double peerRssMb = NAN;
};

std::optional<Case> ParseCase(const std::string& text) {
    Case c;
    size_t a = text.find(':');
    size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    size_t d = b == std::string::npos ? b : text.find(':', b + 1);
    if (d == std::string::npos) {
        return std::nullopt;
    }
    c.format = text.substr(0, a);
    c.label = text.substr(a + 1, b - a - 1);
    c.epochs = std::atol(text.substr(b + 1, d - b - 1).c_str());
    c.log = text.substr(d + 1);
    if ((c.format != "nmea" && c.format != "binr") || c.epochs <= 0) {
        return std::nullopt;
    }
    return c;
}

const char* MetOrMissed(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--run") == 0) {
        return RunOnce(argv[2], argv[3], argv[4]);
    }
    int runs = 3;
    std::string peer;
    std::string work = "/tmp";
    std::vector<Case> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--peer" && i + 1 < argc) {
            peer = argv[++i];
        } else if (arg == "--work" && i + 1 < argc) {
            work = argv[++i];
        } else if (std::optional<Case> c = ParseCase(arg)) {
            cases.push_back(*c);
        } else {
            std::fprintf(
                stderr,
                "usage: tervo_bench [--runs N] [--peer PROGRAM] [--work DIR] FORMAT:LABEL:EPOCHS:LOG...\n");
            return 2;
        }
    }
    if (cases.empty()) {
        std::fprintf(stderr, "tervo_bench: no case given\n");
        return 2;
    }
    const std::string self = "/proc/self/exe";
    char selfPath[4096];
    const ssize_t selfLength = ::readlink(self.c_str(), selfPath, sizeof selfPath - 1);
    if (selfLength <= 0) {
        return 1;
    }
    const std::string program(selfPath, static_cast<size_t>(selfLength));

    std::vector<CaseResult> results;
    for (const Case& c : cases) {
        std::fprintf(stderr, "%s %s: %d runs", c.format.c_str(), c.label.c_str(), runs);
        CaseResult r;
        r.inputMb = static_cast<double>(FileSize(c.log)) / 1e6;
        const std::string output = work + "/bench-" + c.format + "-" + c.label + ".kmz";
        std::vector<double> wall, cpu, rss, icons, read, write, tail, mainCpu, otherCpu, readCpu;
        for (int n = 0; n < runs; ++n) {
            const ProcessRun run = Spawn({program, "--run", c.format, c.log, output});
            double t[7];
            if (!run.ok || std::sscanf(run.out.c_str(), "%lf %lf %lf %lf %lf %lf %lf", &t[0], &t[1], &t[2],
                                       &t[3], &t[4], &t[5], &t[6]) != 7) {
                std::fprintf(stderr, "\ntervo_bench: a run of %s failed\n", c.log.c_str());
                return 1;
            }
            wall.push_back(run.wall);
            cpu.push_back(run.cpu);
            rss.push_back(run.maxRssMb);
            icons.push_back(t[0]);
            read.push_back(t[1]);
            write.push_back(t[2]);
            tail.push_back(t[3]);
            mainCpu.push_back(t[4]);
            otherCpu.push_back(t[5]);
            readCpu.push_back(t[6]);
            std::fprintf(stderr, ".");
        }
        r.wall = Median(wall);
        r.cpu = Median(cpu);
        r.rssMb = Median(rss);
        r.icons = Median(icons);
        r.read = Median(read);
        r.write = Median(write);
        r.packTail = Median(tail);
        r.writeMainCpu = Median(mainCpu);
        r.writeOtherCpu = Median(otherCpu);
        r.readCpu = Median(readCpu);
        std::vector<double> floorWall, floorCpu;
        for (int n = 0; n < std::min(runs, 3); ++n) {
            const Floor floor = MeasureFloor(output);
            if (!floor.ok) {
                std::fprintf(stderr, "\ntervo_bench: cannot read the KML entry of %s\n", output.c_str());
                return 1;
            }
            r.kmlMb = floor.kmlMb;
            floorWall.push_back(floor.deflateWall);
            floorCpu.push_back(floor.deflateCpu);
        }
        r.floorWall = Median(floorWall);
        r.floorCpu = Median(floorCpu);
        ::unlink(output.c_str());
        if (!peer.empty() && c.format == "nmea") {
            std::vector<double> peerWall, peerCpu, peerRss;
            const std::string peerOutput = work + "/bench-peer-" + c.label + ".kml";
            for (int n = 0; n < runs; ++n) {
                const ProcessRun run =
                    Spawn({peer, "-i", "nmea", "-f", c.log, "-o", "kml", "-F", peerOutput});
                if (run.ok) {
                    peerWall.push_back(run.wall);
                    peerCpu.push_back(run.cpu);
                    peerRss.push_back(run.maxRssMb);
                }
                std::fprintf(stderr, "p");
            }
            ::unlink(peerOutput.c_str());
            r.peerWall = Median(peerWall);
            r.peerCpu = Median(peerCpu);
            r.peerRssMb = Median(peerRss);
        }
        std::fprintf(stderr, "\n");
        results.push_back(r);
    }

    std::printf(
        "\nTervoConverter conversion benchmark: medians of %d runs; times in seconds, MB = 10^6 bytes\n\n",
        runs);
    std::printf("%-10s %7s %7s %6s %6s %8s %8s %7s | %6s %6s %6s %6s | %6s %6s | %6s %6s\n", "case", "in MB",
                "KML MB", "wall", "CPU", "in MB/s", "KML MB/s", "RSS MB", "icons", "read", "write", "pack",
                "wr.main", "wr.zip", "floor", "w/floor");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const CaseResult& r = results[i];
        const std::string name = c.format + " " + c.label;
        std::printf(
            "%-10s %7.1f %7.1f %6.2f %6.2f %8.1f %8.1f %7.1f | %6.3f %6.3f %6.3f %6.3f | %6.2f %6.2f | %6.2f "
            "%6.2f\n",
            name.c_str(), r.inputMb, r.kmlMb, r.wall, r.cpu, r.inputMb / r.wall, r.kmlMb / r.wall, r.rssMb,
            r.icons, r.read, r.write, r.packTail, r.writeMainCpu, r.writeOtherCpu, r.floorWall,
            r.wall / r.floorWall);
        if (!std::isnan(r.peerWall)) {
            std::printf(
                "%-10s %7.1f %7s %6.2f %6.2f %8.1f %8s %7.1f | peer: ours is %.1f times its throughput\n",
                ("peer " + c.label).c_str(), r.inputMb, "-", r.peerWall, r.peerCpu, r.inputMb / r.peerWall,
                "-", r.peerRssMb, r.peerWall / r.wall);
        }
    }
    std::printf(
        "\nicons: start to reading; read: reading and decoding the log; write: KML writing and\n"
        "deflating until the KML entry is packed; pack: the icons, the directory and the rename.\n"
        "wr.main / wr.zip: CPU seconds of the write phase on the main thread (formatting, file)\n"
        "and on the deflate workers. floor: zlib deflate level 6 of the same KML in one thread.\n\n");

    // Memory: the slope between two cases of one format, and what is left at no epoch.
    std::map<std::string, std::pair<size_t, size_t>> span;
    for (size_t i = 0; i < cases.size(); ++i) {
        auto [it, fresh] = span.try_emplace(cases[i].format, i, i);
        if (!fresh) {
            if (cases[i].epochs < cases[it->second.first].epochs) {
                it->second.first = i;
            }
            if (cases[i].epochs > cases[it->second.second].epochs) {
                it->second.second = i;
            }
        }
    }
    std::printf("Targets\n");
    for (const auto& [format, ends] : span) {
        const Case& a = cases[ends.first];
        const Case& b = cases[ends.second];
        if (a.epochs == b.epochs) {
            continue;
        }
        const double perEpoch = (results[ends.second].rssMb - results[ends.first].rssMb) * 1048576.0 /
                                static_cast<double>(b.epochs - a.epochs);
        const double baseMb =
            results[ends.first].rssMb - perEpoch * static_cast<double>(a.epochs) / 1048576.0;
        std::printf(
            "  %-4s memory: %.0f bytes per epoch (target < 300: %s), base %.1f MB (target < 30: %s)\n",
            format.c_str(), perEpoch, MetOrMissed(perEpoch < 300), baseMb, MetOrMissed(baseMb < 30));
    }
    // Speed: the longest NMEA case against the peer and the floor, and BINR against NMEA.
    std::optional<size_t> nmea;
    std::optional<size_t> binr;
    for (size_t i = 0; i < cases.size(); ++i) {
        std::optional<size_t>& slot = cases[i].format == "nmea" ? nmea : binr;
        if (!slot || cases[i].epochs > cases[*slot].epochs) {
            slot = i;
        }
    }
    if (nmea) {
        const CaseResult& r = results[*nmea];
        const std::string& label = cases[*nmea].label;
        if (!std::isnan(r.peerWall)) {
            const double ratio = r.peerWall / r.wall;
            std::printf("  nmea %s throughput: %.1f times the peer's (target >= 5: %s)\n", label.c_str(),
                        ratio, MetOrMissed(ratio >= 5));
        } else {
            std::printf("  nmea %s throughput against the peer: not measured (no peer given)\n",
                        label.c_str());
        }
        const double ratio = r.wall / r.floorWall;
        std::printf(
            "  nmea %s wall time: %.2f times the one-thread deflate floor of %.2f s (target < 0.75: %s)\n",
            label.c_str(), ratio, r.floorWall, MetOrMissed(ratio < 0.75));
        if (binr) {
            const CaseResult& b = results[*binr];
            const double perEpoch = (b.wall / static_cast<double>(cases[*binr].epochs)) /
                                    (r.wall / static_cast<double>(cases[*nmea].epochs));
            std::printf("  binr %s wall time per epoch: %.2f times the NMEA one (target <= 1.5: %s)\n",
                        cases[*binr].label.c_str(), perEpoch, MetOrMissed(perEpoch <= 1.5));
        }
    }
    return 0;
}
