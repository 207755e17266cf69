// Logs from the field: noise, cut and oversized messages, values no receiver
// should send. Every run must end with a sound document (or a clear failure),
// never with a crash or a hang.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "binr/binr_messages.h"
#include "hardening_support.h"
#include "support/test_files.h"

namespace tervo::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

// Every `every`-th byte of `log` replaced by a random one.
std::string Damaged(std::string log, size_t every, unsigned seed) {
    std::mt19937 random(seed);
    for (size_t i = every / 2; i < log.size(); i += every) {
        log[i] = static_cast<char>(random() & 0xFF);
    }
    return log;
}

// A GGA of 1 Hz epoch `second` whose altitude is padded with zeros to make the
// sentence, from "$" to its checksum digits, `length` bytes long.
std::string PaddedGga(int second, size_t length) {
    const std::string head =
        "GPGGA,1015" + std::to_string(10 + second) + ".00,5545.4296,N,03736.9137,E,1,08,0.9,150.2";
    const std::string tail = ",M,14.2,M,,";
    const size_t padding = length - 4 - head.size() - tail.size();
    return Sentence(head + std::string(padding, '0') + tail);
}

std::string Gga(int second, const std::string& latitude = "5545.4296",
                const std::string& altitude = "150.2") {
    return Sentence("GPGGA,1015" + std::to_string(10 + second) + ".00," + latitude +
                    ",N,03736.9137,E,1,08,0.9," + altitude + ",M,14.2,M,,");
}

// A 0x88 message of a 3D fix at 55.75 N 37.62 E, changed by `edit`.
template <typename Edit>
std::string Position(Edit edit) {
    PositionFields fields;
    fields.latitude = 55.75 * kRadiansPerDegree;
    fields.longitude = 37.62 * kRadiansPerDegree;
    fields.height = 150;
    fields.timeMs = 36061234;
    fields.north = 3;
    fields.east = 4;
    edit(fields);
    return Frame(0x88, PositionPayload(fields));
}

std::string Position() {
    return Position([](PositionFields&) {});
}

// A 0x88 message whose 80-bit time has the raw encoding given.
std::string PositionWithRawTime(uint64_t significand, uint16_t signAndExponent) {
    PositionFields fields;
    fields.latitude = 0.9;
    fields.longitude = 0.6;
    std::string payload = PositionPayload(fields);
    payload.replace(28, 10, Payload().F80Raw(significand, signAndExponent).bytes());
    return Frame(0x88, payload);
}

// A 0x93 message of `stored` stored bytes: GPS satellites 1 and 3 used.
std::string UsedSatellites(size_t stored) {
    Payload payload;
    payload.U32(0).U32(5).U32(0).U32(0);
    payload.Zeros(static_cast<int>(stored - 3 - payload.bytes().size()));
    return Frame(0x93, payload.bytes());
}

struct Case {
    const char* legend;  // the fault the case would catch
    int format;          // 0 NMEA, 1 BINR
    std::string log;
    std::string countText;  // "" when any count will do
    std::vector<std::string> kmlHolds;
    std::vector<std::string> kmlLacks;
    ConversionSettings settings{};
};

class HostileInput : public ::testing::Test {
protected:
    void Check(const Case& c) {
        SCOPED_TRACE(c.legend);
        const std::string input = dir.File("input.log");
        WriteFile(input, c.log);
        ConversionSettings settings = c.settings;
        settings.Format = LogFormatOfIndex(c.format);
        const RunOutcome run = ConvertFile(input, dir.File("out.kmz"), settings);
        EXPECT_EQ(FinishedDocumentError(run, dir.path()), "");
        if (!c.countText.empty()) {
            EXPECT_EQ(run.countText, c.countText);
        }
        for (const std::string& text : c.kmlHolds) {
            EXPECT_NE(run.kml.find(text), std::string::npos) << "the document lacks " << text;
        }
        for (const std::string& text : c.kmlLacks) {
            EXPECT_EQ(run.kml.find(text), std::string::npos) << "the document holds " << text;
        }
    }

    TempDir dir;
};

TEST_F(HostileInput, NmeaLogsEndInASoundDocument) {
    Simulate("simulate_log", 40, dir.File("sim.nmea"));
    const std::string simulated = ReadFile(dir.File("sim.nmea"));
    std::string withNuls;
    for (size_t i = 0; i < simulated.size(); ++i) {
        // A NUL leaves the checksum as it was, so these sentences still pass it.
        withNuls += simulated[i];
        if (i % 29 == 0) {
            withNuls += '\0';
        }
    }
    ConversionSettings markup;
    markup.Edit3 = "<b>5</b>";
    markup.Edit4 = "0.5]]>";
    markup.Edit7 = "&amp; &";
    markup.CheckBox2 = true;

    const Case cases[] = {
        {"an empty log", 0, "", "Waypoints 0", {"<name>WayPoints</name>"}, {}},
        {"a megabyte of random bytes", 0, RandomBytes(1 << 20, 1), "", {}, {}},
        {"a simulated log with every 50th byte damaged", 0, Damaged(simulated, 50, 2), "", {}, {}},
        {"NUL bytes inside sentences whose checksums still match", 0, withNuls, "", {}, {}},
        {"high bytes in a field, the checksum made to match",
         0,
         Sentence("GPGGA,101511.00,5545.4296,N,03736.9137,E,1,08,0.9,150.2,\xD0\x9C,14.2,\xFF\xFE,,") +
             Sentence("GPRMC,101511.00,A,5545.4296,N,03736.9137,E,20.0,\xC3\xA9,170524,,,A"),
         "",
         {},
         {}},
        {"markup characters in fields, the checksum made to match",
         0,
         Sentence("GPGGA,10<511.00,5545.4296,N,03736.9137,E,1,08,0.9,1&0.2,M,14.2,M,]]>,") +
             Sentence("GPRMC,101511.00,A,5545.4296,N,03736.9137,E,20.0,<&]]>,170524,,,A") +
             Sentence("TVLDR,101511.00,D,55<5.4308,N,03736.9125,E,&,]]>"),
         "",
         {},
         {}},
        {"markup characters in the width and scale settings",
         0,
         Gga(1),
         "Waypoints 1",
         {"<width>&lt;b&gt;5&lt;/b&gt;</width>", "<scale>0.5]]&gt;</scale>",
          "<width>&amp;amp; &amp;</width>"},
         {},
         markup},
        {"a sentence of exactly 100 bytes not taken whole",
         0,
         PaddedGga(0, 100),
         "Waypoints 1",
         {"10:15:10"},
         {}},
        {"a sentence of 101 bytes taken, or the sentence after it lost",
         0,
         PaddedGga(0, 101) + Gga(1),
         "Waypoints 1",
         {"10:15:11"},
         {"10:15:10"}},
        {"an infinite latitude or altitude written as a coordinate",
         0,
         Gga(0, "5545.4296e999") + Gga(1, "5545.4296", "1e999") + Gga(2),
         "Waypoints 1",
         {"10:15:12"},
         {"10:15:10", "10:15:11"}},
    };
    for (const Case& c : cases) {
        Check(c);
    }
}

TEST_F(HostileInput, BinrLogsEndInASoundDocument) {
    Simulate("simulate_binr", 40, dir.File("sim.binr"));
    const std::string simulated = ReadFile(dir.File("sim.binr"));
    const std::string dle(1, static_cast<char>(kBinrDle));
    std::string weeks;
    for (int16_t week : {-1, 0, 1022, 1023, 32767}) {
        weeks += Position([week](PositionFields& f) {
            f.week = week;
            f.timeMs = 0;
        });
    }
    const std::string cut = Position();

    const Case cases[] = {
        {"an empty log", 1, "", "Waypoints 0", {"<name>WayPoints</name>"}, {}},
        {"a megabyte of random bytes", 1, RandomBytes(1 << 20, 3), "", {}, {}},
        {"a simulated log with every 50th byte damaged", 1, Damaged(simulated, 50, 4), "", {}, {}},
        {"four megabytes of DLE bytes",
         1,
         std::string(4 << 20, static_cast<char>(kBinrDle)),
         "Waypoints 0",
         {},
         {}},
        {"a message of 2048 stored bytes not delivered",
         1,
         Position() + UsedSatellites(2048),
         "Waypoints 1",
         {"<th>SAT</th><td>None</td>"},
         {}},
        {"a message of 2049 stored bytes delivered, or its ETX written past the packet",
         1,
         Position() + UsedSatellites(2049) + Position(),
         "Waypoints 2",
         {"<th>SAT</th><td>0</td>"},
         {"None"}},
        {"a message of 2050 stored bytes delivered, or the message after it lost",
         1,
         Position() + UsedSatellites(2050) + Position(),
         "Waypoints 2",
         {"<th>SAT</th><td>0</td>"},
         {"None"}},
        {"0x88 payloads of 68, 70 and 72 bytes taken for positions, or a cut last message read",
         1,
         Frame(0x88, PositionPayload({}).substr(0, 68)) +
             Frame(0x88, PositionPayload({}) + std::string(1, '\0')) +
             Frame(0x88, PositionPayload({}) + std::string(3, '\0')) + cut.substr(0, cut.size() - 2),
         "Waypoints 0",
         {},
         {}},
        {"NaN or infinite latitude, longitude or height written as a coordinate",
         1,
         Position([](PositionFields& f) { f.latitude = kNaN; }) +
             Position([](PositionFields& f) { f.longitude = -kInfinity; }) +
             Position([](PositionFields& f) { f.height = kInfinity; }) + Position(),
         "Waypoints 1",
         {},
         {}},
        {"NaN or infinite velocities written as a heading",
         1,
         Position([](PositionFields& f) { f.north = kNaN; }) +
             Position([](PositionFields& f) { f.east = kInfinity; }),
         "Waypoints 2",
         {},
         {}},
        {"an 80-bit time of NaN, infinity or an encoding the x87 refuses turned into a time",
         1,
         PositionWithRawTime(0xC000000000000000u, 0x7FFF) + PositionWithRawTime(0x8000000000000000u, 0xFFFF) +
             PositionWithRawTime(0x4000000000000000u, 0x4020) +
             PositionWithRawTime(0xFFFFFFFFFFFFFFFFu, 0x7FFE),
         "Waypoints 4",
         {"00:00:00.000"},
         {}},
        {"weeks -1, 0, 1022, 1023 and 32767 not dated as the receiver means them",
         1,
         weeks,
         "Waypoints 5",
         {"1980-01-06T", "1999-08-22T", "2019-03-24T", "2038-11-14T"},
         {}},
    };
    for (const Case& c : cases) {
        Check(c);
    }
}

TEST_F(HostileInput, InputsThatAreNoReadableLogEndClearly) {
    std::filesystem::create_directory(dir.File("folder"));
    // A socket cannot be opened for reading, not even by root.
    const std::string socketPath = dir.File("socket");
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    struct Row {
        const char* legend;
        std::string input;
        ConversionResult result;
        std::string status;
    };
    const Row rows[] = {
        {"a directory taken for a log", dir.File("folder"), ConversionResult::InputNotOpened,
         "Can't open the input file"},
        {"a missing file taken for a log", dir.File("missing.nmea"), ConversionResult::InputNotOpened,
         "Can't open the input file"},
        {"a socket taken for a log", socketPath, ConversionResult::InputNotOpened,
         "Can't open the input file"},
        // It opens, and its first read fails with EIO.
        {"a read error taken for the end of the log", "/proc/self/mem", ConversionResult::InputNotRead,
         "Can't read the input file"},
    };
    for (const Row& row : rows) {
        const RunOutcome run = ConvertFile(row.input, dir.File("out.kmz"));
        EXPECT_EQ(run.result, row.result) << row.legend;
        ASSERT_FALSE(run.statuses.empty()) << row.legend;
        EXPECT_EQ(run.statuses.back(), row.status) << row.legend;
        EXPECT_FALSE(FileExists(dir.File("out.kmz"))) << row.legend;
    }
    close(socketFd);
}

TEST_F(HostileInput, AFifoWithoutWriterReadsAsAnEmptyLog) {
    const std::string fifo = dir.File("fifo.nmea");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ProgramOutcome outcome = RunProgram({ConverterPath(), fifo, dir.File("out.kmz")}, dir.path());
    EXPECT_EQ(outcome.status, 0) << "the open waited for a writer\n" << outcome.err;
    EXPECT_NE(outcome.err.find("Waypoints 0"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace tervo::testing
