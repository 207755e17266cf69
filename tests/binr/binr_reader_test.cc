#include "binr/binr_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "binr_messages.h"
#include "support/recording_view.h"
#include "support/test_builders.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::Frame;
using testing::MemoryInput;
using testing::Payload;
using testing::PositionFields;
using testing::PositionPayload;
using testing::RecordingView;

// A 0x88 message whose latitude (in degrees once decoded) tells the nodes apart.
std::string Position(double latitudeDegrees, uint8_t status = 0x01, bool longForm = false) {
    PositionFields fields;
    fields.latitude = latitudeDegrees * std::numbers::pi / 180;
    fields.status = status;
    fields.longForm = longForm;
    return Frame(0x88, PositionPayload(fields));
}

std::string Satellites(std::initializer_list<int> gpsNumbers) {
    Payload p;
    for (int number : gpsNumbers) {
        p.U8(1).U8(static_cast<uint8_t>(number)).U8(0).U8(45).U16(180).U8(40);
    }
    return Frame(0x52, p.Zeros(1).bytes());
}

std::string Dop(float hdop, int payloadSize = 11) {
    Payload p;
    p.U16(0).F32(hdop);
    return Frame(0x60, p.Zeros(payloadSize - 6).bytes());
}

std::string Used(uint32_t gpsMask) { return Frame(0x93, Payload().U32(0).U32(gpsMask).Zeros(9).bytes()); }

using RefusingGate = testing::NodeBudget;

struct ReadRun {
    ReadOutcome outcome = ReadOutcome::Finished;
    RecordingView view;
    std::vector<const list*> nodes;
};

// Reads `log` into `points`; the view only counts ticks.
void Read(const std::string& log, PointList& points, ReadRun& run, int32_t progressStep = 1000000,
          bool startFirstFix = false) {
    run.view.recordTicks = false;
    std::FILE* input = MemoryInput(log);
    run.outcome = ReadBinrLog(input, run.view, progressStep, startFirstFix, points);
    std::fclose(input);
    for (const list* node = points.Head; node != nullptr; node = node->Next) {
        run.nodes.push_back(node);
    }
}

std::vector<double> Latitudes(const ReadRun& run) {
    std::vector<double> latitudes;
    for (const list* node : run.nodes) {
        latitudes.push_back(std::round(node->Point.Latitude * 1e6) / 1e6);
    }
    return latitudes;
}

TEST(ReadBinrLog, OneNodePerAcceptedPositionMessage) {
    struct Case {
        const char* legend;
        std::string log;
        std::vector<double> latitudes;
    };
    const Case cases[] = {
        {"69-byte payloads, one node each, in order", Position(1) + Position(2) + Position(3), {1, 2, 3}},
        {"the 73-byte form is accepted too", Position(1) + Position(2, 0x01, true), {1, 2}},
        {"a 70-byte payload (L = 73) is no position",  //
         Position(1) + Frame(0x88, std::string(70, '\x01')),
         {1}},
        {"noise and unknown ids between messages",  //
         "\x41\x42" + Position(1) + Frame(0x41, "abc") + Position(2),
         {1, 2}},
        {"a log ending inside a message drops only that message",  //
         Position(1) + Position(2).substr(0, 40),
         {1}},
        {"no position at all: an empty list", Satellites({5}) + Dop(1.5f) + Used(1), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        PointList points;
        ReadRun run;
        Read(c.log, points, run);
        EXPECT_EQ(run.outcome, ReadOutcome::Finished);
        EXPECT_EQ(Latitudes(run), c.latitudes);
        EXPECT_EQ(points.Start, points.Head);
    }
}

TEST(ReadBinrLog, FirstFixAndStart) {
    struct Case {
        const char* legend;
        std::vector<uint8_t> statuses;
        bool startFirstFix;
        int firstFix;  // node index, -1 none
        int start;
    };
    const Case cases[] = {
        {"every fix valid: the first node", {0x01, 0x01, 0x01}, false, 0, 0},
        {"three without a fix before the first valid one", {0x00, 0x00, 0x00, 0x01, 0x01}, false, 3, 0},
        {"with Start first fix the writers begin there", {0x00, 0x00, 0x00, 0x01, 0x01}, true, 3, 3},
        {"a later invalid node does not move the first fix", {0x01, 0x1E, 0x03}, true, 0, 0},
        {"no fix at all: no first fix, and no start when asked for it", {0x00, 0x1E}, true, -1, -1},
        {"no fix at all: start at the head otherwise", {0x00, 0x1E}, false, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::string log;
        for (uint8_t status : c.statuses) {
            log += Position(1, status);
        }
        PointList points;
        ReadRun run;
        Read(log, points, run, 1000000, c.startFirstFix);
        ASSERT_EQ(run.nodes.size(), c.statuses.size());
        EXPECT_EQ(points.FirstFix, c.firstFix < 0 ? nullptr : run.nodes[static_cast<size_t>(c.firstFix)]);
        EXPECT_EQ(points.Start, c.start < 0 ? nullptr : run.nodes[static_cast<size_t>(c.start)]);
    }
}

TEST(ReadBinrLog, LaterMessagesCompleteTheLastNode) {
    const std::string log = Satellites({7}) + Dop(9.0f) + Used(0xFF) +  // before any node
                            Position(1) + Satellites({2, 5, 9}) + Dop(1.5f) + Dop(7.0f, 10) +  // L = 13
                            Used(0x12) + Position(2) + Position(3) + Dop(2.5f, 15);
    PointList points;
    ReadRun run;
    Read(log, points, run);
    ASSERT_EQ(run.nodes.size(), 3u);

    const waypoints& first = run.nodes[0]->Point;
    EXPECT_EQ(first.HasSatellites, 1);
    EXPECT_EQ(first.Satellites[2].InView + first.Satellites[5].InView + first.Satellites[9].InView, 3);
    EXPECT_EQ(first.Satellites[7].InView, 0) << "a 0x52 before the first node went nowhere";
    EXPECT_EQ(first.Hdop, 1.5) << "the 0x60 with L = 13 is ignored";
    EXPECT_EQ(first.SatellitesUsed, 2);
    EXPECT_EQ(first.Satellites[2].Used, 1);
    EXPECT_EQ(first.Satellites[5].Used, 1);

    const waypoints& second = run.nodes[1]->Point;
    EXPECT_EQ(second.HasSatellites, 0) << "a new node starts with an empty table";
    EXPECT_EQ(second.Satellites[2].InView, 0);
    EXPECT_EQ(second.Satellites[2].Used, 0);
    EXPECT_EQ(second.Hdop, 0);
    EXPECT_EQ(second.SatellitesUsed, 0);
    EXPECT_EQ(run.nodes[2]->Point.Hdop, 2.5) << "the 0x60 with L = 18";
    EXPECT_EQ(second.FixQuality, 0);
    EXPECT_EQ(second.HasGga, 0);
    EXPECT_EQ(second.HasRmc, 0);
}

TEST(ReadBinrLog, MessagesCutByABlockBoundary) {
    // DLE bytes at the cut: a doubled DLE split over two blocks, and the closing
    // DLE and its ETX split over two blocks.
    PositionFields fields;
    fields.latitude = std::bit_cast<double>(0x3FD0101010101010ull);
    const std::string position = Frame(0x88, PositionPayload(fields));
    const size_t doubledDle = position.find("\x10\x10", 2);
    ASSERT_NE(doubledDle, std::string::npos);
    for (size_t cut : {size_t{20}, doubledDle + 1, position.size() - 1}) {
        SCOPED_TRACE("cut after byte " + std::to_string(cut));
        const std::string log = std::string(1024 - cut, '\x55') + position + Position(2);
        PointList points;
        ReadRun run;
        Read(log, points, run);
        ASSERT_EQ(run.nodes.size(), 2u);
        EXPECT_EQ(std::bit_cast<uint64_t>(run.nodes[0]->Point.Latitude * std::numbers::pi / 180),
                  std::bit_cast<uint64_t>(fields.latitude));
    }
}

TEST(ReadBinrLog, ProgressStepsAtEveryStepthByteAcrossBlocks) {
    struct Case {
        const char* legend;
        size_t logSize;
        int32_t progressStep;
        int steps;
    };
    const Case cases[] = {
        {"a small log (step 0) steps at every byte", 50, 0, 50},
        {"about a hundred steps", 2500, 25, 100},
        {"the counter runs on across blocks", 2500, 700, 3},
        {"no extra step for the last, short block", 2047, 1024, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        PointList points;
        ReadRun run;
        Read(std::string(c.logSize, '\x10'), points, run, c.progressStep);
        EXPECT_EQ(run.view.steps, c.steps);
        EXPECT_EQ(run.view.events, static_cast<int>(c.logSize)) << "the window gets a turn before every byte";
    }
}

TEST(ReadBinrLog, StopsAtOnceWhenANodeCannotBeAllocated) {
    const std::string prefix = Position(1) + Position(2) + Position(3);
    for (int allowed : {0, 2}) {
        SCOPED_TRACE(allowed == 0 ? "the first node" : "a later node");
        RefusingGate gate(allowed);
        PointList points(&gate);
        ReadRun run;
        Read(prefix + Position(4) + std::string(500, '\x55'), points, run);
        EXPECT_EQ(run.outcome, ReadOutcome::ListNotCreated);
        EXPECT_EQ(run.nodes.size(), static_cast<size_t>(allowed));
        const size_t refusedAt = static_cast<size_t>(allowed + 1) * Position(1).size();
        EXPECT_EQ(run.view.events, static_cast<int>(refusedAt)) << "no byte is read after the refusal";
    }
}

// Pieces of any size, a cut to the last node between a position and the
// messages that complete it: the nodes of the read loop (a reader that loses the
// framer's state at a piece boundary, or one that drops the node being filled).
TEST(BinrStreamReader, PiecesAndCutsGiveTheNodesOfTheReadLoop) {
    std::string log;
    for (int i = 0; i < 12; ++i) {
        log += Position(10 + i, i < 3 ? 0x00 : 0x01) + Satellites({2, 5}) + Dop(1.5f + i) + Used(0x24);
    }
    PointList wholePoints;
    ReadRun whole;
    Read(log, wholePoints, whole);
    auto describe = [](const list* node) {
        return std::to_string(std::round(node->Point.Latitude * 1e6) / 1e6) + " " +
               std::to_string(node->Point.Hdop) + " " + node->Point.Status;
    };
    std::vector<std::string> expected;
    for (const list* node : whole.nodes) {
        expected.push_back(describe(node));
    }
    ASSERT_EQ(expected.size(), 12u);
    // The position of the fourth node ends at this byte: a cut there keeps a node without its DOP yet.
    const size_t cutAt = log.find(Position(13));
    for (const size_t piece : {size_t{1}, size_t{5}, size_t{17}}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece) + " bytes");
        PointList points;
        BinrStreamReader reader(points);
        std::vector<std::string> nodes;
        for (size_t at = 0; at < log.size(); at += piece) {
            const size_t size = std::min(piece, log.size() - at);
            ASSERT_TRUE(reader.Feed(reinterpret_cast<const uint8_t*>(log.data()) + at, size));
            if (at < cutAt + Position(13).size() && at + size >= cutAt + Position(13).size()) {
                for (const list* node = points.Head; node != points.Tail; node = node->Next) {
                    nodes.push_back(describe(node));
                }
                ASSERT_TRUE(points.KeepOnlyTail());
            }
        }
        reader.Finish(true);
        for (const list* node = points.Head; node != nullptr; node = node->Next) {
            nodes.push_back(describe(node));
        }
        EXPECT_EQ(nodes, expected);
        // The first fix (the fourth node) was kept as the last node at the cut.
        EXPECT_EQ(points.Start, points.Head);
    }
}

}  // namespace
}  // namespace tervo
