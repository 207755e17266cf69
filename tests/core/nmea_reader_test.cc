#include "core/nmea_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/recording_view.h"
#include "support/test_files.h"

namespace tervo {
namespace {

std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) {
        sum ^= c;
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return "$" + body + tail;
}

std::string Gga(const std::string& time, int quality = 1, const std::string& latitude = "4807.038",
                const std::string& altitude = "545.4") {
    return Sentence("GPGGA," + time + "," + latitude + ",N,01131.000,E," + std::to_string(quality) +
                    ",08,0.9," + altitude + ",M,46.9,M,,");
}

std::string Rmc(const std::string& time, char status = 'A', const std::string& date = "230394",
                const std::string& latitude = "4807.038") {
    return Sentence("GPRMC," + time + "," + std::string(1, status) + "," + latitude +
                    ",N,01131.000,E,022.4,084.4," + date + ",003.1,W,A");
}

const std::string kGsv1 = Sentence("GPGSV,3,1,09,02,10,100,31,05,20,200,32,07,30,300,33,12,40,040,34");
const std::string kGsv2 = Sentence("GPGSV,3,2,09,15,50,150,35,20,60,160,36,25,70,170,37,29,80,180,38");
const std::string kGsv3 = Sentence("GLGSV,3,3,09,70,45,120,38");
const std::string kGsa = Sentence("GPGSA,A,3,02,05,07,12,,,,,,,,,1.6,0.9,1.3");
const std::string kPorzd = Sentence("PORZD,A,1.25");

// One run of the read loop over an in-memory log.
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

    std::vector<std::string> Times() const {
        std::vector<std::string> times;
        for (const list* node : Nodes()) {
            times.push_back(node->Point.Time);
        }
        return times;
    }

    int IndexOf(const list* wanted) const {
        const std::vector<const list*> nodes = Nodes();
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i] == wanted) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    testing::RecordingView view;
    SentenceAssembler assembler;
    testing::TestPlatform platform;
    PointList points;
    NmeaLogDate logDate;
};

TEST(ReadNmeaLog, GroupsSentencesIntoOneNodePerEpoch) {
    struct Case {
        const char* legend;
        std::string log;
        std::vector<std::string> times;  // Time of each node, in list order
    };
    const std::vector<Case> cases = {
        {"GGA, RMC, three GSV and GSA of one time make one node",
         Gga("123519.00") + Rmc("123519.00") + kGsv1 + kGsv2 + kGsv3 + kGsa,
         {"12:35:19.00"}},
        {"a GGA with 13 commas is ignored",
         Sentence("GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,") + Gga("123520.00"),
         {"12:35:20.00"}},
        {"a GGA with 15 commas is ignored",
         Sentence("GNGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,,") + Gga("123520.00"),
         {"12:35:20.00"}},
        {"RMC of 11, 12 and 13 commas are read, one of 14 is not",
         Sentence("GPRMC,000001.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,") +
             Sentence("GPRMC,000002.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A") +
             Sentence("GNRMC,000003.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A,V") +
             Sentence("GNRMC,000004.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A,V,"),
         {"00:00:01.00", "00:00:02.00", "00:00:03.00"}},
        {"whole-second times keep epochs apart",
         Rmc("235234") + Gga("235234") + Rmc("235236") + Gga("235236"),
         {"23:52:34", "23:52:36"}},
        {"only the last node is compared: an older time makes another node",
         Gga("000001.00") + Rmc("000001.00") + Gga("000002.00") + Rmc("000001.00"),
         {"00:00:01.00", "00:00:02.00", "00:00:01.00"}},
        {"sentences without a readable time share TimeMs 0", Gga("") + Rmc("") + Gga(""), {""}},
        {"other types, bad checksums and truncated sentences are ignored",
         Sentence("GPVTG,171.41,T,,M,0.20,N,0.4,K,A") + Sentence("GPZDA,193913.00,07,09,2018,00,00") +
             "$GPRMC,000001.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A*00\r\n" +
             "$GPGGA,000002.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n",
         {}},
        {"a checksum digit before a '$' loses the next sentence",
         "$GPTXT,01*" + Gga("000001.00") + Gga("000002.00"),
         {"00:00:02.00"}},
    };
    for (const Case& c : cases) {
        LogRun run;
        EXPECT_EQ(run.Read(c.log), ReadOutcome::Finished) << c.legend;
        EXPECT_EQ(run.Times(), c.times) << c.legend;
    }
}

TEST(ReadNmeaLog, MergesTheEpochIntoTheNodeOfItsFirstSentence) {
    struct Case {
        const char* legend;
        std::string log;
        double latitude;  // the creating sentence's
    };
    const std::string rmc = Rmc("123519.00", 'A', "230394", "4808.000");
    const std::vector<Case> cases = {
        {"GGA first: the GGA's position", Gga("123519.00") + rmc + kGsv1 + kGsv2 + kGsv3 + kGsa + kPorzd,
         48.1173},
        {"RMC first: the RMC's position", rmc + Gga("123519.00") + kGsv1 + kGsv2 + kGsv3 + kGsa + kPorzd,
         48 + 8.0 / 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        LogRun run;
        run.Read(c.log);
        ASSERT_EQ(run.Nodes().size(), 1u);
        const waypoints& p = run.points.Head->Point;
        EXPECT_DOUBLE_EQ(p.Latitude, c.latitude);
        EXPECT_EQ(p.HasGga, 1);
        EXPECT_EQ(p.HasRmc, 1);
        EXPECT_DOUBLE_EQ(p.Altitude, 545.4);
        EXPECT_EQ(p.FixQuality, 1);
        EXPECT_EQ(p.Status, 'A');
        EXPECT_DOUBLE_EQ(p.Speed, 22.4 * 1.852);
        EXPECT_DOUBLE_EQ(p.Course, 84.4);
        EXPECT_EQ(p.Date, "2094-03-23");
        EXPECT_EQ(p.FixMode, 3);
        EXPECT_FLOAT_EQ(p.Rms, 1.25f);
        EXPECT_EQ(p.HasSatellites, 1);
        int inView = 0;
        for (int id = 0; id < kSatelliteRows; ++id) {
            inView += p.Satellites[id].InView;
        }
        EXPECT_EQ(inView, 9) << "rows of all three GSV sentences";
        EXPECT_EQ(p.Satellites[70].System, 'R');
        EXPECT_EQ(p.Satellites[12].Used, 1);
        EXPECT_EQ(p.Satellites[15].Used, 0);
        EXPECT_EQ(run.logDate.LogDate, "2094-03-23");
    }
}

TEST(ReadNmeaLog, SatelliteSentencesGoToTheLastNode) {
    const std::string gsvRow2 = Sentence("GPGSV,1,1,01,02,10,100,31");
    const std::string gsvRow5 = Sentence("GPGSV,1,1,01,05,10,100,31");
    LogRun run;
    // Before the first node everything but GGA and RMC is dropped; the next
    // epoch's GSV that comes ahead of its GGA lands in the previous node.
    run.Read(gsvRow2 + kGsa + kPorzd + Sentence("TVLDR,123519.00,D,4807.038,N,01131.000,E,022.4,084.4") +
             Gga("123519.00") + gsvRow5 + Gga("123520.00"));
    const std::vector<const list*> nodes = run.Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    const waypoints& first = nodes[0]->Point;
    EXPECT_EQ(first.Satellites[2].InView, 0);
    EXPECT_EQ(first.Satellites[5].InView, 1);
    EXPECT_EQ(first.FixMode, 0);
    EXPECT_FLOAT_EQ(first.Rms, 0);
    EXPECT_EQ(first.DTrack.Time, "");
    EXPECT_EQ(nodes[1]->Point.HasSatellites, 0);
}

TEST(ReadNmeaLog, DifferentialFixMatchesOnlyTheLastEpochsTime) {
    const std::string matching = Sentence("TVLDR,123519.00,D,4807.038,S,01131.000,E,022.4,084.4");
    const std::string other = Sentence("TVLDR,123520.00,A,4900.000,N,01200.000,E,010.0,010.0");
    {
        LogRun run;
        run.Read(Gga("123519.00") + matching);
        ASSERT_EQ(run.Nodes().size(), 1u);
        const waypoints& p = run.points.Tail->Point;
        EXPECT_EQ(p.DTrack.Matched, 1);
        EXPECT_EQ(p.DTrack.Time, "12:35:19.00");
        EXPECT_EQ(p.DTrack.Status, 'D');
        EXPECT_DOUBLE_EQ(p.DTrack.Latitude, -48.1173);
        EXPECT_NEAR(p.DTrack.Longitude, 11 + 31.0 / 60, 1e-12);
        EXPECT_DOUBLE_EQ(p.DTrack.Speed, 22.4 * 1.852);
        EXPECT_DOUBLE_EQ(p.DTrack.Course, 84.4);
        EXPECT_EQ(p.Time, "12:35:19.00");
    }
    {
        LogRun run;
        run.Read(Gga("123519.00") + matching + other);
        ASSERT_EQ(run.Nodes().size(), 1u) << "a differential fix never makes a node";
        const DTrackPoint& dtrack = run.points.Tail->Point.DTrack;
        EXPECT_EQ(dtrack.Matched, 0) << "another time unmatches";
        EXPECT_EQ(dtrack.Time, "12:35:19.00") << "and keeps the first fix's values";
        EXPECT_EQ(dtrack.Status, 'D');
        EXPECT_DOUBLE_EQ(dtrack.Latitude, -48.1173);
    }
}

TEST(ReadNmeaLog, DecidesFirstFixAndLogDateWhenNodesAreCreated) {
    struct Case {
        const char* legend;
        std::string log;
        bool startFirstFix;
        int firstFix;  // node index, -1 none
        int start;     // node index, -1 none
        std::string logDate;
        bool dateFound;
    };
    const std::string noDate =
        Sentence("GPRMC,000001.00,A,4807.038,N,01131.000,E,022.4,084.4,3104131,003.1,W");
    const std::vector<Case> cases = {
        {"a valid RMC first is the first fix and gives the date", Rmc("000001.00") + Gga("000001.00"), false,
         0, 0, "2094-03-23", true},
        {"no fix anywhere: with start-first-fix nothing starts",
         Gga("000001.00", 0) + Rmc("000001.00", 'V') + Gga("000002.00", 0) + Rmc("000002.00", 'V'), true, -1,
         -1, "2094-03-23", true},
        {"a fix merged into a node does not make it the first fix",
         Gga("000001.00", 0) + Rmc("000001.00", 'A') + Gga("000002.00", 2), true, 1, 1, "2094-03-23", true},
        {"GGA quality 6 is no fix", Gga("000001.00", 6) + Gga("000002.00", 1), false, 1, 0, "", false},
        {"only the first fix counts", Gga("000001.00", 1) + Gga("000002.00", 2), true, 0, 0, "", false},
        {"an RMC without date text sets DateFound; the next date fills LogDate",
         noDate + Rmc("000002.00", 'A', "010203"), false, 0, 0, "2003-02-01", true},
        {"an empty date field is today's date", Rmc("000001.00", 'V', ""), false, -1, 0, "2024-05-17", true},
        {"the first date stays", Rmc("000001.00", 'A', "010203") + Rmc("000002.00", 'A', "020203"), false, 0,
         0, "2003-02-01", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        LogRun run;
        run.Read(c.log, 1 << 30, c.startFirstFix);
        EXPECT_EQ(run.IndexOf(run.points.FirstFix), c.firstFix);
        EXPECT_EQ(run.IndexOf(run.points.Start), c.start);
        EXPECT_EQ(run.logDate.LogDate, c.logDate);
        EXPECT_EQ(run.logDate.DateFound, c.dateFound);
    }
}

TEST(ReadNmeaLog, ASecondGgaOfTheEpochReplacesTheGgaGroup) {
    LogRun run;
    run.Read(Gga("000001.00", 1, "4807.038", "100.0") + Rmc("000001.00") +
             Gga("000001.00", 2, "4900.000", "200.0"));
    ASSERT_EQ(run.Nodes().size(), 1u);
    const waypoints& p = run.points.Head->Point;
    EXPECT_DOUBLE_EQ(p.Altitude, 200.0);
    EXPECT_EQ(p.FixQuality, 2);
    EXPECT_DOUBLE_EQ(p.Latitude, 48.1173) << "the position stays the creating sentence's";
}

TEST(ReadNmeaLog, ABlockBoundaryInsideASentenceChangesNothing) {
    const std::string epoch = Gga("123519.00") + Rmc("123519.00");
    for (size_t cut = 1; cut < epoch.size(); ++cut) {
        // Noise before the epoch puts byte 1024 at offset `cut` inside it.
        const std::string log = std::string(1024 - cut, 'x') + epoch;
        LogRun run;
        run.Read(log);
        ASSERT_EQ(run.Times(), std::vector<std::string>{"12:35:19.00"}) << "cut at " << cut;
        EXPECT_EQ(run.points.Head->Point.HasGga, 1) << "cut at " << cut;
        EXPECT_EQ(run.points.Head->Point.HasRmc, 1) << "cut at " << cut;
    }
}

TEST(ReadNmeaLog, StepsTheGaugeEveryStepPlusOneBytes) {
    struct Case {
        const char* legend;
        size_t size;
        int32_t step;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {"2048 bytes: three reads, the last one empty, no final step",
         2048,
         20,
         {"ProcessPendingEvents", "StepProgress x48", "ProcessPendingEvents", "StepProgress x49",
          "ProcessPendingEvents"}},
        {"a short last block steps once more at its last byte",
         1500,
         15,
         {"ProcessPendingEvents", "StepProgress x64", "ProcessPendingEvents", "StepProgress x30"}},
        {"unless that byte is a step byte itself",
         1136,
         15,
         {"ProcessPendingEvents", "StepProgress x64", "ProcessPendingEvents", "StepProgress x7"}},
        {"step 0 (a log under 100 bytes): every byte steps",
         50,
         0,
         {"ProcessPendingEvents", "StepProgress x50"}},
        {"an empty log reads once", 0, 0, {"ProcessPendingEvents"}},
    };
    for (const Case& c : cases) {
        LogRun run;
        run.Read(std::string(c.size, 'x'), c.step);
        EXPECT_EQ(run.view.Folded(), c.calls) << c.legend;
    }
}

// Allows a fixed number of nodes, then refuses every further one.
class NodeBudget : public AllocationGate {
  public:
    explicit NodeBudget(int nodes) : left_(nodes) {}
    bool AllowNode() override { return left_-- > 0; }

  private:
    int left_;
};

TEST(ReadNmeaLog, StopsAtOnceWhenANodeCannotBeAllocated) {
    struct Case {
        const char* legend;
        int budget;
        std::string firstSentence;
        size_t nodes;
    };
    const std::vector<Case> cases = {
        {"the first node from a GGA", 0, Gga("000000.00"), 0},
        {"the first node from an RMC", 0, Rmc("000000.00"), 0},
        {"a later node", 2, Gga("000000.00"), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::string log = c.firstSentence;
        for (int second = 1; log.size() < 5000; ++second) {
            log += Gga("0000" + std::string(second < 10 ? "0" : "") + std::to_string(second) + ".00");
        }
        NodeBudget budget(c.budget);
        LogRun run(&budget);
        EXPECT_EQ(run.Read(log, 0, true), ReadOutcome::ListNotCreated);
        EXPECT_EQ(run.Nodes().size(), c.nodes);
        EXPECT_EQ(run.view.events, 1) << "no further block is read";
        EXPECT_LT(run.view.steps, 1024) << "the block is not read to its end";
    }
}

// The sentences of a byte stream by the rules of the assembler: "$", a body
// without "$" or "*", "*", two hex digits, at most 100 bytes, and a signed
// exclusive-or below 0x80 equal to the digits. Written separately from the
// assembler so that the real logs are checked against an independent count.
std::vector<std::string> CheckedSentences(const std::string& bytes) {
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::vector<std::string> sentences;
    size_t start = bytes.find('$');
    while (start != std::string::npos) {
        const size_t star = bytes.find_first_of("$*", start + 1);
        if (star == std::string::npos) {
            break;
        }
        if (bytes[star] == '$') {
            start = star;
            continue;
        }
        size_t resume = star + 1;
        if (star - start >= 100) {
            // The body overflowed before its "*": the "*" falls on an idle assembler.
        } else if (star + 2 < bytes.size() && hex(bytes[star + 1]) && hex(bytes[star + 2]) &&
                   star + 3 - start <= 100) {
            int8_t sum = 0;
            for (size_t i = start + 1; i < star; ++i) {
                sum = static_cast<int8_t>(sum ^ static_cast<int8_t>(bytes[i]));
            }
            const unsigned sent = static_cast<unsigned>(std::stoul(bytes.substr(star + 1, 2), nullptr, 16));
            if (sum >= 0 && static_cast<unsigned>(sum) == sent) {
                sentences.push_back(bytes.substr(start, star + 3 - start));
            }
            resume = star + 3;
        } else if (star - start == 99 ||
                   (star - start == 98 && star + 1 < bytes.size() && hex(bytes[star + 1]))) {
            // The buffer fills on the "*" or the first digit: the next byte
            // meets an idle assembler.
            resume = star - start == 99 ? star + 1 : star + 2;
        } else {
            // Abandoned while a digit was awaited: the byte that abandons it is
            // dropped, even a "$".
            if (resume < bytes.size() && hex(bytes[resume])) {
                ++resume;
            }
            ++resume;
        }
        start = resume < bytes.size() ? bytes.find('$', resume) : std::string::npos;
    }
    return sentences;
}

// Epochs by an independent rule: a GGA of 14 commas or an RMC of 11 to 13 makes
// a new node when its UTC time differs from the node before; an empty time is 0.
size_t CountEpochs(const std::vector<std::string>& sentences, const std::string& file) {
    size_t nodes = 0;
    long long lastKey = -1;
    for (const std::string& s : sentences) {
        const auto commas = std::count(s.begin(), s.end(), ',');
        const std::string type = s.substr(3, 3);
        if (!((type == "GGA" && commas == 14) || (type == "RMC" && commas >= 11 && commas <= 13))) {
            continue;
        }
        const size_t first = s.find(',');
        const std::string time = s.substr(first + 1, s.find_first_of(",*", first + 1) - first - 1);
        long long key = 0;
        if (!time.empty()) {
            auto digits = [](const std::string& text) {
                return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            };
            std::string fraction = time.size() > 7 ? time.substr(7) : "";
            if (time.size() < 6 || !digits(time.substr(0, 6)) || (time.size() > 6 && time[6] != '.') ||
                !digits(fraction)) {
                ADD_FAILURE() << file << ": a time field this count does not model: " << s;
                continue;
            }
            const int h = std::stoi(time.substr(0, 2));
            const int m = std::stoi(time.substr(2, 2));
            const int sec = std::stoi(time.substr(4, 2));
            fraction = (fraction + "000").substr(0, 3);
            key = ((h * 60LL + m) * 60 + sec) * 1000 + std::stoll(fraction);
        }
        if (nodes == 0 || key != lastKey) {
            ++nodes;
        }
        lastKey = key;
    }
    return nodes;
}

TEST(ReadNmeaLog, RealReceiverLogsGiveTheirEpochCounts) {
    const std::string shared = testing::SharedTestDataDir();
    if (shared.empty() || !std::filesystem::is_directory(shared + "nmea")) {
        GTEST_SKIP() << "no shared receiver logs";
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(shared + "nmea")) {
        if (entry.path().extension() != ".nmea") {
            continue;
        }
        ++files;
        const std::string name = entry.path().filename().string();
        const std::string bytes = testing::ReadFile(entry.path().string());
        LogRun run;
        run.view.recordTicks = false;
        EXPECT_EQ(run.Read(bytes, static_cast<int32_t>(bytes.size() / 100)), ReadOutcome::Finished) << name;
        EXPECT_EQ(run.Nodes().size(), CountEpochs(CheckedSentences(bytes), name)) << name;
        EXPECT_LE(run.view.steps, 101) << name;
    }
    EXPECT_GT(files, 0);
}

// Runs our log simulator with `arguments` and returns the log it wrote.
std::string SimulatedLog(const std::string& arguments, const testing::TempDir& dir) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    if (tools == nullptr) {
        ADD_FAILURE() << "TERVO_TOOLS_DIR is not set";
        return "";
    }
    const std::string path = dir.File("log.nmea");
    const std::string command = std::string(tools) + "/simulate_log " + arguments + " --out '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return testing::ReadFile(path);
}

TEST(SimulatedLog, EveryFormIsReadWhole) {
    struct Case {
        const char* legend;
        std::string arguments;
        bool galileo;  // the log carries Galileo GSV and GSA, which must mark no GPS row
    };
    const std::vector<Case> cases = {
        {"NMEA 2.2: RMC without mode field", "--epochs 30 --seed 3 --nmea 2.2", false},
        {"NMEA 2.3: RMC with mode field", "--epochs 30 --seed 3 --nmea 2.3", false},
        {"NMEA 4.1: 13-comma RMC, GSA with system id, Galileo", "--epochs 30 --seed 3 --nmea 4.1", true},
        {"whole-second times", "--epochs 30 --seed 3 --whole-seconds", false},
        {"5 Hz", "--epochs 30 --seed 3 --rate 5", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        testing::TempDir dir;
        const std::string log = SimulatedLog(c.arguments, dir);

        // Every line is a sentence with a matching checksum.
        SentenceAssembler assembler;
        SentenceBuffer buffer{};
        size_t reported = 0;
        for (char byte : log) {
            reported += assembler.FeedByte(static_cast<uint8_t>(byte), buffer) ? 1 : 0;
        }
        EXPECT_EQ(reported, static_cast<size_t>(std::count(log.begin(), log.end(), '\n')));

        LogRun run;
        ASSERT_EQ(run.Read(log), ReadOutcome::Finished);
        const std::vector<const list*> nodes = run.Nodes();
        ASSERT_EQ(nodes.size(), 30u);
        for (const list* node : nodes) {
            const waypoints& p = node->Point;
            EXPECT_EQ(p.HasGga, 1) << p.Time;
            EXPECT_EQ(p.HasRmc, 1) << p.Time;
            EXPECT_EQ(p.Date, "2024-05-17") << p.Time;
            EXPECT_EQ(p.FixMode, 3) << p.Time;
            EXPECT_EQ(p.Satellites[66].InView, 1) << "GLONASS from its own talker, " << p.Time;
            EXPECT_EQ(p.Satellites[44].System, 'S') << p.Time;
            int used = 0;
            for (int id = 0; id < kSatelliteRows; ++id) {
                used += p.Satellites[id].Used;
            }
            EXPECT_GT(used, 0) << p.Time;
            if (c.galileo) {
                for (int gpsRowOfGalileoId : {3, 8, 11, 24}) {
                    EXPECT_EQ(p.Satellites[gpsRowOfGalileoId].InView, 0) << gpsRowOfGalileoId;
                    EXPECT_EQ(p.Satellites[gpsRowOfGalileoId].Used, 0) << gpsRowOfGalileoId;
                }
            }
        }
    }
}

TEST(SimulatedLog, TheBundledSampleIsTheSimulatorsCurrentOutput) {
    testing::TempDir dir;
    const std::string log = SimulatedLog("--epochs 120 --seed 7", dir);
    EXPECT_TRUE(log == testing::ReadFile(std::string(TERVO_SAMPLES_DIR) + "/sample.nmea"))
        << "regenerate samples/sample.nmea with: simulate_log --epochs 120 --seed 7";
}

}  // namespace
}  // namespace tervo
