#include "nmea/nmea_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/recording_view.h"
#include "support/test_builders.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::NmeaSentence;
using testing::NodeBudget;

std::string Sentence(const std::string& body) { return NmeaSentence(body); }

std::string Gga(const std::string& time, int quality = 1, const std::string& altitude = "545.4") {
    return Sentence("GPGGA," + time + ",4807.038,N,01131.000,E," + std::to_string(quality) + ",08,0.9," +
                    altitude + ",M,46.9,M,,");
}

std::string Rmc(const std::string& time, char status = 'A', const std::string& date = "230394") {
    return Sentence("GPRMC," + time + "," + status + ",4808.000,N,01131.000,E,022.4,084.4," + date +
                    ",003.1,W,A");
}

const std::string kGsv = Sentence("GPGSV,3,1,09,02,10,100,31,05,20,200,32,07,30,300,33,12,40,040,34") +
                         Sentence("GPGSV,3,2,09,15,50,150,35,20,60,160,36,25,70,170,37,29,80,180,38") +
                         Sentence("GLGSV,3,3,09,70,45,120,38");
const std::string kGsa = Sentence("GPGSA,A,3,02,05,07,12,,,,,,,,,1.6,0.9,1.3");
const std::string kTvldr = Sentence("TVLDR,123519.00,D,4807.038,N,01131.000,E,022.4,084.4");

struct LogRun {
    explicit LogRun(AllocationGate* gate = nullptr) : points(gate) {}

    ReadOutcome Read(const std::string& log, int32_t progressStep = 1 << 30, bool startFirstFix = false) {
        std::FILE* input = testing::MemoryInput(log);
        const ReadOutcome outcome =
            ReadNmeaLog(input, view, progressStep, startFirstFix, assembler, platform, points, logDate);
        std::fclose(input);
        return outcome;
    }

    std::vector<const list*> Nodes() const {
        std::vector<const list*> nodes;
        for (const list* node = points.Head; node != nullptr; node = node->Next) {
            nodes.push_back(node);
        }
        return nodes;
    }

    int IndexOf(const list* wanted) const {
        const std::vector<const list*> nodes = Nodes();
        const auto found = std::find(nodes.begin(), nodes.end(), wanted);
        return found == nodes.end() ? -1 : static_cast<int>(found - nodes.begin());
    }

    // Per node: time, latitude minutes, the GGA and RMC groups, satellites in
    // view and used, fix mode, RMS and the differential fix.
    std::vector<std::string> Summary() const {
        std::vector<std::string> lines;
        for (const list* node : Nodes()) {
            const waypoints& p = node->Point;
            int inView = 0;
            int used = 0;
            for (int id = 0; id < kSatelliteRows; ++id) {
                inView += p.Satellites[id].InView;
                used += p.Satellites[id].Used;
            }
            char text[200];
            std::snprintf(text, sizeof text,
                          "%s lat%.0f gga%d q%d alt%g rmc%d %c %s view%d used%d mode%d rms%g dt%d %s",
                          p.Time.c_str(), (p.Latitude - 48) * 60, p.HasGga, p.FixQuality, p.Altitude,
                          p.HasRmc, p.Status ? p.Status : '-', p.Date.c_str(), inView, used, p.FixMode, p.Rms,
                          p.DTrack->Matched, p.DTrack->Time.c_str());
            lines.push_back(text);
        }
        return lines;
    }

    testing::RecordingView view;
    SentenceAssembler assembler;
    testing::TestPlatform platform;
    PointList points;
    NmeaLogDate logDate;
};

TEST(ReadNmeaLog, MakesOneNodePerEpoch) {
    struct Case {
        const char* legend;
        std::string log;
        std::vector<std::string> nodes;  // LogRun::Summary
    };
    const std::string epoch = kGsv + kGsa + Sentence("PORZD,A,1.25") + kTvldr;
    const std::string noSatellites = " view0 used0 mode0 rms0 dt0 ";
    const std::vector<Case> cases = {
        {"GGA first: its position, the RMC's status and date, every GSV row",
         Gga("123519.00") + Rmc("123519.00") + epoch,
         {"12:35:19.00 lat7 gga1 q1 alt545.4 rmc1 A 2094-03-23 view9 used4 mode3 rms1.25 dt1 12:35:19.00"}},
        {"RMC first: its position",
         Rmc("123519.00") + Gga("123519.00") + epoch,
         {"12:35:19.00 lat8 gga1 q1 alt545.4 rmc1 A 2094-03-23 view9 used4 mode3 rms1.25 dt1 12:35:19.00"}},
        {"all but GGA and RMC are dropped before the first node",
         epoch + Gga("123519.00"),
         {"12:35:19.00 lat7 gga1 q1 alt545.4 rmc0 - " + noSatellites}},
        {"a GSV ahead of its epoch's GGA lands in the node before",
         Gga("000001.00") + kGsv + Gga("000002.00"),
         {"00:00:01.00 lat7 gga1 q1 alt545.4 rmc0 -  view9 used0 mode0 rms0 dt0 ",
          "00:00:02.00 lat7 gga1 q1 alt545.4 rmc0 - " + noSatellites}},
        {"a second GGA of the epoch replaces the GGA group",
         Gga("000001.00", 1, "1") + Rmc("000001.00") + Gga("000001.00", 2, "2"),
         {"00:00:01.00 lat7 gga1 q2 alt2 rmc1 A 2094-03-23" + noSatellites}},
        {"a $TVLDR of another time unmatches and keeps the matched values",
         Gga("123519.00") + kTvldr + Sentence("TVLDR,123520.00,A,4807.038,N,01131.000,E,0,0"),
         {"12:35:19.00 lat7 gga1 q1 alt545.4 rmc0 -  view0 used0 mode0 rms0 dt0 12:35:19.00"}},
        {"GGA of 13 and 15 commas are ignored",
         Sentence("GPGGA,000001.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,") +
             Sentence("GPGGA,000002.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,,"),
         {}},
        {"RMC of 11, 12 and 13 commas are read, 14 are not",
         Sentence("GPRMC,000001.00,V,,,,,,,010101,,") + Sentence("GPRMC,000002.00,V,,,,,,,010101,,,A") +
             Sentence("GNRMC,000003.00,V,,,,,,,010101,,,A,V") +
             Sentence("GNRMC,000004.00,V,,,,,,,010101,,,A,V,"),
         {"00:00:01.00 lat-2880 gga0 q0 alt0 rmc1 V 2001-01-01" + noSatellites,
          "00:00:02.00 lat-2880 gga0 q0 alt0 rmc1 V 2001-01-01" + noSatellites,
          "00:00:03.00 lat-2880 gga0 q0 alt0 rmc1 V 2001-01-01" + noSatellites}},
        {"only the last node is compared: a time seen before makes a new node",
         Gga("000001.00") + Gga("000002.00") + Gga("000001.00"),
         {"00:00:01.00 lat7 gga1 q1 alt545.4 rmc0 - " + noSatellites,
          "00:00:02.00 lat7 gga1 q1 alt545.4 rmc0 - " + noSatellites,
          "00:00:01.00 lat7 gga1 q1 alt545.4 rmc0 - " + noSatellites}},
    };
    for (const Case& c : cases) {
        LogRun run;
        EXPECT_EQ(run.Read(c.log), ReadOutcome::Finished) << c.legend;
        EXPECT_EQ(run.Summary(), c.nodes) << c.legend;
    }
}

TEST(ReadNmeaLog, DecidesFirstFixAndLogDateWhenNodesAreMade) {
    struct Case {
        const char* legend;
        std::string log;
        bool startFirstFix;
        int firstFix;  // node index, -1 none
        int start;
        const char* logDate;
        bool dateFound;
    };
    const std::string noDate = Sentence("GPRMC,000001.00,A,4807.038,N,01131.000,E,0,0,3104131,003.1,W");
    const std::vector<Case> cases = {
        {"a valid RMC first", Rmc("000001.00") + Gga("000001.00"), false, 0, 0, "2094-03-23", true},
        {"no fix anywhere, start at the first fix: nothing starts",
         Gga("000001.00", 0) + Rmc("000001.00", 'V') + Gga("000002.00", 6), true, -1, -1, "2094-03-23", true},
        {"a fix merged into a node does not make it the first fix",
         Gga("000001.00", 0) + Rmc("000001.00") + Gga("000002.00", 2), true, 1, 1, "2094-03-23", true},
        {"an RMC without date text finds the date empty; the next date fills it",
         noDate + Rmc("000002.00", 'V', "010203") + Rmc("000003.00", 'V', "020203"), false, 0, 0,
         "2003-02-01", true},
        {"no RMC, no date", Gga("000001.00", 1), false, 0, 0, "", false},
    };
    for (const Case& c : cases) {
        LogRun run;
        run.Read(c.log, 1 << 30, c.startFirstFix);
        EXPECT_EQ(run.IndexOf(run.points.FirstFix), c.firstFix) << c.legend;
        EXPECT_EQ(run.IndexOf(run.points.Start), c.start) << c.legend;
        EXPECT_EQ(run.logDate.LogDate, c.logDate) << c.legend;
        EXPECT_EQ(run.logDate.DateFound, c.dateFound) << c.legend;
    }
}

TEST(ReadNmeaLog, ABlockBoundaryInsideASentenceChangesNothing) {
    const std::string epoch = Gga("123519.00") + Rmc("123519.00");
    for (size_t cut = 1; cut < epoch.size(); ++cut) {
        LogRun run;
        run.Read(std::string(1024 - cut, 'x') + epoch);  // byte 1024 falls `cut` bytes into the epoch
        EXPECT_EQ(
            run.Summary(),
            std::vector<std::string>{"12:35:19.00 lat7 gga1 q1 alt545.4 rmc1 A 2094-03-23 view0 used0 mode0 "
                                     "rms0 dt0 "})
            << cut;
    }
}

TEST(ReadNmeaLog, StepsAtByteStepThenEveryStepPlusOneBytes) {
    struct Case {
        const char* legend;
        size_t size;
        int32_t step;
        std::vector<std::string> calls;
    };
    const std::string events = "ProcessPendingEvents";
    const std::vector<Case> cases = {
        {"2048 bytes: a third, empty read and no last step",
         2048,
         20,
         {events, "StepProgress x48", events, "StepProgress x49", events}},
        {"a short last block steps at its last byte",
         1500,
         15,
         {events, "StepProgress x64", events, "StepProgress x30"}},
        {"unless that is a step byte anyway",
         1136,
         15,
         {events, "StepProgress x64", events, "StepProgress x7"}},
        {"step 0: every byte steps", 50, 0, {events, "StepProgress x50"}},
    };
    for (const Case& c : cases) {
        LogRun run;
        run.Read(std::string(c.size, 'x'), c.step);
        EXPECT_EQ(run.view.Folded(), c.calls) << c.legend;
    }
}

TEST(ReadNmeaLog, StopsAtOnceWhenANodeCannotBeMade) {
    struct Case {
        const char* legend;
        int budget;
        std::string first;
    };
    for (const Case& c : std::vector<Case>{{"first node from a GGA", 0, Gga("000000.00")},
                                           {"first node from an RMC", 0, Rmc("000000.00")},
                                           {"a later node", 2, Gga("000000.00")}}) {
        std::string log = c.first;
        for (int second = 10; log.size() < 3000; ++second) {
            log += Gga("0000" + std::to_string(second) + ".00");
        }
        NodeBudget budget(c.budget);
        LogRun run(&budget);
        EXPECT_EQ(run.Read(log, 0), ReadOutcome::ListNotCreated) << c.legend;
        EXPECT_EQ(run.Nodes().size(), static_cast<size_t>(c.budget)) << c.legend;
        EXPECT_LT(run.view.steps, 1024) << c.legend << ": read on after the stop";
    }
}

// Epochs of a byte stream counted apart from the reader: the checked sentences
// ("$", a body without "$" or "*", "*", two hex digits, at most 100 bytes, a
// signed sum below 0x80 equal to the digits) that are GGA of 14 commas or RMC of
// 11 to 13, each starting a node when its time differs from the one before.
size_t CountEpochs(const std::string& bytes, const std::string& file) {
    size_t nodes = 0;
    std::string lastTime = "none";
    for (size_t start = bytes.find('$'); start != std::string::npos; start = bytes.find('$', start + 1)) {
        const size_t star = bytes.find_first_of("$*", start + 1);
        if (star == std::string::npos || bytes[star] != '*' || star + 3 - start > 100 ||
            star + 2 >= bytes.size()) {
            continue;
        }
        int8_t sum = 0;
        for (size_t i = start + 1; i < star; ++i) {
            sum = static_cast<int8_t>(sum ^ bytes[i]);
        }
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(sum));
        const std::string sent = bytes.substr(star + 1, 2);
        if (sum < 0 || std::toupper(sent[0]) != digits[0] || std::toupper(sent[1]) != digits[1]) {
            continue;
        }
        const std::string s = bytes.substr(start, star - start);
        const auto commas = std::count(s.begin(), s.end(), ',');
        if (!((s.substr(3, 3) == "GGA" && commas == 14) ||
              (s.substr(3, 3) == "RMC" && commas >= 11 && commas <= 13))) {
            continue;
        }
        const size_t comma = s.find(',');
        std::string time = s.substr(comma + 1, s.find(',', comma + 1) - comma - 1);
        if (!time.empty() &&
            (time.size() < 6 || time.find_first_not_of("0123456789.") != std::string::npos)) {
            ADD_FAILURE() << file << ": a time field this count does not model: " << s;
        }
        time.erase(time.find_last_not_of("0.") + 1);  // "123519.10" and "123519.1" are one time
        nodes += nodes == 0 || time != lastTime ? 1 : 0;
        lastTime = time;
    }
    return nodes;
}

TEST(ReadNmeaLog, RealReceiverLogsGiveTheirEpochCounts) {
    const std::string shared = testing::SharedTestDataDir();
    if (shared.empty() || !std::filesystem::is_directory(shared + "nmea")) {
        GTEST_SKIP() << "no shared receiver logs";
    }
    for (const auto& entry : std::filesystem::directory_iterator(shared + "nmea")) {
        if (entry.path().extension() == ".nmea") {
            const std::string bytes = testing::ReadFile(entry.path().string());
            LogRun run;
            run.view.recordTicks = false;
            EXPECT_EQ(run.Read(bytes, static_cast<int32_t>(bytes.size() / 100)), ReadOutcome::Finished);
            EXPECT_EQ(run.Nodes().size(), CountEpochs(bytes, entry.path().filename())) << entry.path();
            EXPECT_LE(run.view.steps, 100) << entry.path();
        }
    }
}

std::string SimulatedLog(const std::string& arguments, const testing::TempDir& dir) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    const std::string path = dir.File("log.nmea");
    const std::string command =
        std::string(tools ? tools : ".") + "/simulate_log " + arguments + " --out " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return testing::ReadFile(path);
}

TEST(SimulatedLog, EachNmeaVersionIsReadWhole) {
    for (const char* arguments : {"--nmea 2.2", "--nmea 2.3", "--nmea 4.1", "--whole-seconds", "--rate 5"}) {
        testing::TempDir dir;
        const std::string log = SimulatedLog(std::string(arguments) + " --epochs 20 --seed 3", dir);
        LogRun run;
        run.Read(log);
        ASSERT_EQ(run.Nodes().size(), 20u) << arguments;
        for (const list* node : run.Nodes()) {
            const waypoints& p = node->Point;
            EXPECT_TRUE(p.HasGga && p.HasRmc && p.FixMode == 3 && p.Satellites[66].InView) << arguments;
            // In 4.1 logs the Galileo ids 3, 8, 11 and 24 must not reach GPS rows.
            for (int id : {3, 8, 11, 24}) {
                EXPECT_FALSE(p.Satellites[id].InView || p.Satellites[id].Used) << arguments << " row " << id;
            }
        }
    }
}

TEST(SimulatedLog, TheBundledSampleIsItsCurrentOutput) {
    testing::TempDir dir;
    EXPECT_TRUE(SimulatedLog("--epochs 120 --seed 7", dir) ==
                testing::ReadFile(std::string(TERVO_SAMPLES_DIR) + "/sample.nmea"))
        << "regenerate samples/sample.nmea with: simulate_log --epochs 120 --seed 7";
}

}  // namespace
}  // namespace tervo

namespace tervo {
namespace {

// Legend: each case names the fault it would catch.
TEST(ReadNmeaLog, DatesFromZdaWhenAsked) {
    auto zda = [](const std::string& time, const std::string& date) {
        return testing::NmeaSentence("GPZDA," + time + "," + date + ",00,00");
    };
    auto gga = [](const std::string& time) {
        return testing::NmeaSentence("GNGGA," + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    };
    auto rmc = [](const std::string& time, const std::string& date) {
        return testing::NmeaSentence("GPRMC," + time + ",A,4808.000,N,01131.000,E,022.4,084.4," + date +
                                     ",003.1,W");
    };
    struct Case {
        const char* legend;
        std::string log;
        std::vector<std::string> dates;  // per node
    };
    const std::vector<Case> cases = {
        {"GGA after ZDA: the ZDA's date, and the last epoch too",
         zda("101500.00", "17,05,2024") + gga("101500.00") + zda("101501.00", "17,05,2024") +
             gga("101501.00"),
         {"2024-05-17", "2024-05-17"}},
        {"a ZDA after its epoch's GGA dates that epoch",
         gga("101500.00") + zda("101500.00", "17,05,2024"),
         {"2024-05-17"}},
        {"a dateless run across midnight: the time going back adds a day",
         zda("235958.00", "31,12,2024") + gga("235959.00") + gga("000000.00") + gga("000001.00"),
         {"2024-12-31", "2025-01-01", "2025-01-01"}},
        {"a ZDA just past midnight ahead of its GGA: the epoch before keeps the old day",
         zda("235958.00", "28,02,2024") + gga("235959.00") + zda("000000.00", "29,02,2024") +
             gga("000000.00"),
         {"2024-02-28", "2024-02-29"}},
        {"an RMC's own date is kept",
         zda("101500.00", "17,05,2024") + gga("101500.00") + rmc("101500.00", "010203"),
         {"2003-02-01"}},
        {"epochs before the first ZDA stay dateless",
         gga("101459.00") + gga("101500.00") + zda("101500.00", "17,05,2024"),
         {"", "2024-05-17"}},
        {"a ZDA without a valid date is no reference",
         zda("101500.00", "31,04,2024") + gga("101500.00"),
         {""}},
        {"a ZDA of five commas is not one",
         testing::NmeaSentence("GPZDA,101500.00,17,05,2024,00") + gga("101500.00"),
         {""}},
    };
    for (const Case& c : cases) {
        for (const bool asked : {false, true}) {
            testing::RecordingView view;
            SentenceAssembler assembler;
            testing::TestPlatform platform;
            PointList points;
            NmeaLogDate logDate;
            std::FILE* input = testing::MemoryInput(c.log);
            NmeaReadOptions options;
            options.DatesFromZda = asked;
            ASSERT_EQ(
                ReadNmeaLog(input, view, 1 << 30, false, assembler, platform, points, logDate, {}, options),
                ReadOutcome::Finished);
            std::fclose(input);
            std::vector<std::string> dates;
            for (const list* node = points.Head; node != nullptr; node = node->Next) {
                dates.push_back(node->Point.Date.str());
            }
            if (asked) {
                EXPECT_EQ(dates, c.dates) << c.legend;
            } else {
                // Unasked, the ZDA changes nothing: the RMC's date or none.
                for (size_t i = 0; i < dates.size(); ++i) {
                    EXPECT_EQ(dates[i], c.dates[i] == "2003-02-01" ? "2003-02-01" : "") << c.legend;
                }
            }
        }
    }
}

TEST(ReadNmeaLog, WithoutZdaDatesASimulatedLogReadsAsBefore) {
    // The same log with and without the option, where it holds no ZDA, gives the same list.
    testing::TempDir dir;
    const std::string log = SimulatedLog("--epochs 50 --seed 9", dir);
    std::vector<std::string> summaries[2];
    for (const bool asked : {false, true}) {
        LogRun run;
        std::FILE* input = testing::MemoryInput(log);
        NmeaReadOptions options;
        options.DatesFromZda = asked;
        ReadNmeaLog(input, run.view, 1 << 30, false, run.assembler, run.platform, run.points, run.logDate, {},
                    options);
        std::fclose(input);
        summaries[asked ? 1 : 0] = run.Summary();
    }
    EXPECT_EQ(summaries[0], summaries[1]);
    EXPECT_EQ(summaries[0].size(), 50u);
}

// A live run hands the reader its bytes as they arrive and cuts the list to its
// last node once the nodes before are written. Neither may change the epochs:
// a piece boundary inside a sentence (a reader that loses the assembler's state)
// or between an epoch's sentences (one that completes the epoch early), and a
// cut between an epoch's GGA and RMC (one that drops the epoch being assembled).
TEST(NmeaStreamReader, PiecesAndCutsGiveTheEpochsOfTheReadLoop) {
    testing::TempDir dir;
    const std::string log = SimulatedLog("--epochs 40 --seed 9", dir);
    LogRun whole;
    whole.Read(log);
    const std::vector<std::string> expected = whole.Summary();
    ASSERT_EQ(expected.size(), 40u);
    for (const size_t piece : {size_t{1}, size_t{7}, size_t{1024}, log.size()}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece) + " bytes");
        LogRun run;
        NmeaStreamReader reader(run.assembler, run.platform, run.points, run.logDate);
        std::vector<std::string> epochs;
        for (size_t at = 0; at < log.size(); at += piece) {
            const size_t size = std::min(piece, log.size() - at);
            ASSERT_TRUE(reader.Feed(reinterpret_cast<const uint8_t*>(log.data()) + at, size));
            if (run.points.size() > 9) {
                const std::vector<std::string> complete = run.Summary();
                epochs.insert(epochs.end(), complete.begin(), complete.end() - 1);
                ASSERT_TRUE(run.points.KeepOnlyTail());
                ASSERT_EQ(run.points.Head, run.points.Tail);
            }
        }
        reader.Finish(false);
        const std::vector<std::string> rest = run.Summary();
        epochs.insert(epochs.end(), rest.begin(), rest.end());
        EXPECT_EQ(epochs, expected);
        EXPECT_EQ(run.logDate.LogDate, whole.logDate.LogDate);
        EXPECT_EQ(run.points.Start, run.points.Head);
    }
}

}  // namespace
}  // namespace tervo
