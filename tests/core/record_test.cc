#include "core/record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/point_list.h"
#include "support/test_builders.h"

namespace tervo {
namespace {

waypoints GgaRecord() {
    waypoints r;
    r.Time = "12:35:19.00";
    r.TimeMs = 45319000;
    r.Latitude = 48.1;
    r.Longitude = 11.5;
    r.Altitude = 545.4;
    r.GeoidSeparation = 46.9;
    r.FixQuality = 1;
    r.SatellitesUsed = 8;
    r.Hdop = 0.9;
    r.HasGga = 1;
    return r;
}

waypoints RmcRecord() {
    waypoints r;
    r.Time = "12:35:19.50";
    r.TimeMs = 45319000;
    r.Latitude = 40.0;
    r.Longitude = 10.0;
    r.Status = 'A';
    r.Speed = 41.4848;
    r.Course = 84.4;
    r.Date = "2094-03-23";
    r.HasRmc = 1;
    return r;
}

TEST(MergeRecords, RmcIntoGgaNodeTakesTheRmcGroupAndKeepsPositionAndTime) {
    waypoints node = GgaRecord();
    waypoints source = RmcRecord();
    MergeRecords(source, node);
    EXPECT_EQ(node.HasRmc, 1);
    EXPECT_EQ(node.Status, 'A');
    EXPECT_DOUBLE_EQ(node.Speed, 41.4848);
    EXPECT_DOUBLE_EQ(node.Course, 84.4);
    EXPECT_EQ(node.Date, "2094-03-23");
    // Position and time stay those of the sentence that created the node.
    EXPECT_EQ(node.Time, "12:35:19.00");
    EXPECT_DOUBLE_EQ(node.Latitude, 48.1);
    EXPECT_DOUBLE_EQ(node.Longitude, 11.5);
    EXPECT_DOUBLE_EQ(node.Altitude, 545.4);
    // The source is reset.
    EXPECT_EQ(source.Status, ' ');
    EXPECT_EQ(source.StatusText, " ");
    EXPECT_TRUE(source.Date.empty());
    EXPECT_EQ(source.HasRmc, 0);
}

TEST(MergeRecords, GgaIntoRmcNodeTakesTheGgaGroup) {
    waypoints node = RmcRecord();
    waypoints source = GgaRecord();
    MergeRecords(source, node);
    EXPECT_EQ(node.HasGga, 1);
    EXPECT_EQ(node.FixQuality, 1);
    EXPECT_EQ(node.SatellitesUsed, 8);
    EXPECT_DOUBLE_EQ(node.Hdop, 0.9);
    EXPECT_DOUBLE_EQ(node.Altitude, 545.4);
    EXPECT_DOUBLE_EQ(node.GeoidSeparation, 46.9);
    EXPECT_EQ(node.Time, "12:35:19.50");
    EXPECT_DOUBLE_EQ(node.Latitude, 40.0);
}

TEST(MergeRecords, NodeWithBothFlagsTakesTheGgaGroupFromAnySource) {
    waypoints node = GgaRecord();
    waypoints rmc = RmcRecord();
    MergeRecords(rmc, node);
    waypoints second = RmcRecord();
    second.Speed = 1.0;
    MergeRecords(second, node);
    // An RMC merged into a complete node is taken for its GGA: the GGA group is cleared.
    EXPECT_EQ(node.HasGga, 0);
    EXPECT_EQ(node.Altitude, 0);
    EXPECT_EQ(node.GeoidSeparation, 0);
    EXPECT_EQ(node.FixQuality, 0);
    EXPECT_EQ(node.SatellitesUsed, 0);
    EXPECT_EQ(node.Hdop, 0);
    EXPECT_TRUE(node.StatusText.empty());
    EXPECT_DOUBLE_EQ(node.Speed, 41.4848);
    EXPECT_EQ(node.Date, "2094-03-23");
    EXPECT_EQ(node.Status, 'A');
}

TEST(MergeRecords, NodeWithoutFlagsChangesNothingAndKeepsTheSource) {
    waypoints node;
    node.Time = "01:00:00.00";
    waypoints source = GgaRecord();
    MergeRecords(source, node);
    EXPECT_EQ(node.HasGga, 0);
    EXPECT_EQ(node.Altitude, 0);
    EXPECT_EQ(source.HasGga, 1);
    EXPECT_EQ(source.Time, "12:35:19.00");
}

TEST(MergeRecords, NeverTouchesSatellitesRmsFixModeOrDTrack) {
    waypoints node = GgaRecord();
    node.Rms = 1.5f;
    node.FixMode = 3;
    node.Satellites[7].InView = 1;
    node.HasSatellites = 1;
    node.DTrack.Edit().Matched = 1;
    node.DTrack.Edit().Status = 'D';
    waypoints source = RmcRecord();
    source.Rms = 9.0f;
    source.FixMode = 1;
    MergeRecords(source, node);
    EXPECT_FLOAT_EQ(node.Rms, 1.5f);
    EXPECT_EQ(node.FixMode, 3);
    EXPECT_EQ(node.Satellites[7].InView, 1);
    EXPECT_EQ(node.DTrack->Status, 'D');
    EXPECT_EQ(node.DTrack->Matched, 1);
}

TEST(ResetRecord, SetsTheResetStateAndKeepsTableAndMatched) {
    waypoints r = RmcRecord();
    r.Satellites[3].InView = 1;
    r.HasSatellites = 1;
    r.DTrack.Edit().Matched = 1;
    r.DTrack.Edit().Status = 'A';
    r.DTrack.Edit().Time = "x";
    r.Pdop = 2.5f;
    r.Vdop = 2.1f;
    ResetRecord(r);
    EXPECT_EQ(r.Pdop, 0);
    EXPECT_EQ(r.Vdop, 0);
    EXPECT_EQ(r.Status, ' ');
    EXPECT_EQ(r.StatusText, " ");
    EXPECT_TRUE(r.Time.empty());
    EXPECT_TRUE(r.DTrack->Time.empty());
    EXPECT_EQ(r.DTrack->Status, 0);
    EXPECT_EQ(r.TimeMs, 0);
    EXPECT_EQ(r.Satellites[3].InView, 1);
    EXPECT_EQ(r.HasSatellites, 1);
    EXPECT_EQ(r.DTrack->Matched, 1);
}

TEST(CopyRecordFields, LeavesSatellitesFixModeAndDTrackOfTheNode) {
    waypoints source = GgaRecord();
    source.Satellites[5].InView = 1;
    source.HasSatellites = 1;
    source.FixMode = 3;
    source.DTrack.Edit().Matched = 1;
    waypoints node;
    CopyRecordFields(source, node);
    EXPECT_EQ(node.Time, source.Time);
    EXPECT_EQ(node.TimeMs, source.TimeMs);
    EXPECT_EQ(node.HasGga, 1);
    EXPECT_DOUBLE_EQ(node.Altitude, 545.4);
    EXPECT_DOUBLE_EQ(node.GeoidSeparation, 46.9);
    EXPECT_EQ(node.Satellites[5].InView, 0);
    EXPECT_EQ(node.HasSatellites, 0);
    EXPECT_EQ(node.FixMode, 0);
    EXPECT_EQ(node.DTrack->Matched, 0);
}

TEST(MsOfDay, UsesExtendedPrecisionAndTruncates) {
    EXPECT_EQ(MsOfDay(23, 59, 59.999), 86399999);
    EXPECT_EQ(MsOfDay(0, 0, 0), 0);
    EXPECT_EQ(MsOfDay(12, 35, 19.0), 45319000);
    // Equal texts give equal keys, whatever the binary rounding of the seconds.
    EXPECT_EQ(MsOfDay(1, 2, 19.345), MsOfDay(1, 2, 19.345));
    EXPECT_EQ(MsOfDay(0, 0, std::nan("")), 0);
}

using CountingGate = testing::NodeBudget;

TEST(PointList, AppendLinksInOrderAndSetsHeadStartTail) {
    PointList points;
    list* a = points.AppendPoint();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(points.Head, a);
    EXPECT_EQ(points.Start, a);
    EXPECT_EQ(points.Tail, a);
    a->Point.TimeMs = 1;
    list* b = points.AppendPoint();
    EXPECT_EQ(a->Next, b);
    EXPECT_EQ(points.Tail, b);
    EXPECT_EQ(points.Head, a);
    EXPECT_EQ(b->Point.TimeMs, 0);
    EXPECT_EQ(b->Next, nullptr);
}

TEST(PointList, AllocationFailureLeavesTheListAsItWas) {
    CountingGate gate(2);
    PointList points(&gate);
    list* a = points.AppendPoint();
    list* b = points.AppendPoint();
    EXPECT_EQ(points.AppendPoint(), nullptr);
    EXPECT_EQ(points.Tail, b);
    EXPECT_EQ(a->Next, b);
    EXPECT_EQ(b->Next, nullptr);
    EXPECT_EQ(points.size(), 2u);
}

TEST(PointList, FreeReleasesFromTheGivenNodeOn) {
    PointList points;
    list* a = points.AppendPoint();
    list* b = points.AppendPoint();
    points.AppendPoint();
    points.FirstFix = b;
    points.FreePointList(nullptr);
    EXPECT_EQ(points.size(), 3u);
    points.FreePointList(b);
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(points.Tail, a);
    EXPECT_EQ(a->Next, nullptr);
    EXPECT_EQ(points.FirstFix, nullptr);
    points.FreePointList(points.Head);
    EXPECT_EQ(points.size(), 0u);
    EXPECT_EQ(points.Head, nullptr);
    EXPECT_EQ(points.Tail, nullptr);
    EXPECT_EQ(points.Start, nullptr);
}

TEST(PointList, UnlinkPassesOverRefusedNodesAndMovesThePointersOn) {
    struct Case {
        const char* legend;
        const char* kept;  // per node, 'k' kept
        int start;         // Start and FirstFix, as node indices
        int firstFix;
        const char* chain;  // the indices Head walks through
        int startAfter;     // -1: nullptr
        int firstFixAfter;
    };
    const std::vector<Case> cases = {
        {"all kept: nothing moves", "kkkk", 0, 2, "0123", 0, 2},
        {"inner nodes out", "k--k", 0, 1, "03", 0, 3},
        {"the head out: Head and Start move on", "--kk", 0, 0, "23", 2, 2},
        {"the last nodes out: the chain ends at the last kept", "kk--", 1, 2, "01", 1, -1},
        {"none kept: everything is nullptr", "----", 0, 1, "", -1, -1},
    };
    for (const Case& c : cases) {
        PointList points;
        std::vector<list*> nodes;
        for (size_t i = 0; c.kept[i] != 0; ++i) {
            nodes.push_back(points.AppendPoint());
            nodes.back()->Point.TimeMs = static_cast<int32_t>(i);
            nodes.back()->Point.Time = std::string(20, 'x');  // on the heap: a leak would show
        }
        points.Start = nodes[c.start];
        points.FirstFix = nodes[c.firstFix];
        points.Unlink([&](const list& node) { return c.kept[node.Point.TimeMs] == 'k'; });
        std::string chain;
        for (const list* node = points.Head; node != nullptr; node = node->Next) {
            chain += static_cast<char>('0' + node->Point.TimeMs);
        }
        EXPECT_EQ(chain, c.chain) << c.legend;
        EXPECT_EQ(points.Start, c.startAfter < 0 ? nullptr : nodes[c.startAfter]) << c.legend;
        EXPECT_EQ(points.FirstFix, c.firstFixAfter < 0 ? nullptr : nodes[c.firstFixAfter]) << c.legend;
        // The run's teardown frees from Head; the list frees the rest.
        points.FreePointList(points.Head);
    }
}

TEST(RecordText, HoldsShortAndLongTextsWithTheirNul) {
    const std::string fifteen = "10:15:00.123456";  // one byte past what stays inline
    RecordText text = "10:15:00.00";
    EXPECT_EQ(text, "10:15:00.00");
    EXPECT_EQ(text.c_str()[text.size()], '\0');
    text += ".1234";  // grows onto the heap
    EXPECT_EQ(text, "10:15:00.00.1234");
    text = fifteen;
    RecordText copy = text;
    text = std::string_view(text).substr(3);  // from its own bytes
    EXPECT_EQ(text, "15:00.123456");
    EXPECT_EQ(copy, fifteen);
    EXPECT_EQ(std::string(copy.c_str()), fifteen);
    RecordText moved = std::move(copy);
    EXPECT_EQ(moved, fifteen);
    EXPECT_TRUE(copy.empty());
    moved = std::string("with\0nul", 8);
    EXPECT_EQ(moved.size(), 8u);
}

// Only rows written are stored; the table still reads as rows 0 to 96.
TEST(SatelliteTable, StoresWrittenRowsInIdOrderAndReadsOthersAsZero) {
    waypoints r;
    const waypoints& reading = r;
    EXPECT_EQ(reading.Satellites[40].Snr, 0);
    EXPECT_EQ(reading.Satellites.size(), 0u) << "reading adds no row";
    for (int id : {66, 3, 96, 40, 1, 12}) {
        r.Satellites[id].Snr = static_cast<uint8_t>(id);
    }
    r.Satellites[3].Used = 1;
    std::vector<int> ids;
    for (const SatelliteRow& row : reading.Satellites) {
        ids.push_back(row.Id);
        EXPECT_EQ(row.Snr, row.Id);
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 3, 12, 40, 66, 96}));
    EXPECT_EQ(reading.Satellites[3].Used, 1);
    EXPECT_EQ(r.Satellites.Find(2), nullptr);
    EXPECT_THROW(r.Satellites[97], std::out_of_range);

    waypoints copy = r;
    EXPECT_TRUE(copy.Satellites == r.Satellites);
    copy.Satellites[2];  // a zero row reads as an absent one
    EXPECT_TRUE(copy.Satellites == r.Satellites);
    copy.Satellites[40].Azimuth = 359;
    EXPECT_FALSE(copy.Satellites == r.Satellites);
    EXPECT_EQ(r.Satellites[40].Azimuth, 0);
}

// A node left behind by the read loop keeps its rows and fix in the list's
// arena, and stays a full record: readable, writable and copyable.
TEST(PointList, NodesKeepTheirRowsAndFixOnceTheNextNodeCame) {
    auto fill = [](waypoints& p, int n) {
        for (int id = 1; id <= n; ++id) {
            p.Satellites[id].Elevation = static_cast<uint8_t>(n);
        }
        p.DTrack.Edit().Time = "12:00:00.00";
        p.DTrack.Edit().Matched = 1;
    };
    PointList points;
    for (int n = 1; n <= 2500; ++n) {  // several node chunks and arena chunks
        fill(points.AppendPoint()->Point, n % 24 + 1);
    }
    int n = 1;
    for (const list* node = points.Head; node != nullptr; node = node->Next, ++n) {
        ASSERT_EQ(node->Point.Satellites.size(), static_cast<size_t>(n % 24 + 1));
        EXPECT_EQ(node->Point.Satellites[1].Elevation, n % 24 + 1);
        EXPECT_EQ(node->Point.DTrack->Time, "12:00:00.00");
    }
    EXPECT_EQ(n, 2501);

    waypoints& first = points.Head->Point;
    first.Satellites[50].InView = 1;  // a row added after the node was left
    first.DTrack.Edit().Status = 'D';
    waypoints copy = first;
    points.FreePointList(points.Head);
    EXPECT_EQ(copy.Satellites[50].InView, 1);
    EXPECT_EQ(copy.Satellites[1].Elevation, 2);
    EXPECT_EQ(copy.DTrack->Status, 'D');
    EXPECT_EQ(copy.DTrack->Time, "12:00:00.00");

    list* again = points.AppendPoint();
    EXPECT_EQ(again->Point.Satellites.size(), 0u);
    EXPECT_FALSE(again->Point.DTrack);
}

}  // namespace
}  // namespace tervo
