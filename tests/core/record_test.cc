#include "core/record.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tervo {
namespace {

waypoints GgaRecord() {
    waypoints r;
    r.Time = "12:35:19.00";
    r.TimeMs = 45319000;
    r.Latitude = 48.1;
    r.Longitude = 11.5;
    r.Altitude = 545.4;
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
    node.DTrack.Matched = 1;
    node.DTrack.Status = 'D';
    waypoints source = RmcRecord();
    source.Rms = 9.0f;
    source.FixMode = 1;
    MergeRecords(source, node);
    EXPECT_FLOAT_EQ(node.Rms, 1.5f);
    EXPECT_EQ(node.FixMode, 3);
    EXPECT_EQ(node.Satellites[7].InView, 1);
    EXPECT_EQ(node.DTrack.Status, 'D');
    EXPECT_EQ(node.DTrack.Matched, 1);
}

TEST(ResetRecord, SetsTheResetStateAndKeepsTableAndMatched) {
    waypoints r = RmcRecord();
    r.Satellites[3].InView = 1;
    r.HasSatellites = 1;
    r.DTrack.Matched = 1;
    r.DTrack.Status = 'A';
    r.DTrack.Time = "x";
    ResetRecord(r);
    EXPECT_EQ(r.Status, ' ');
    EXPECT_EQ(r.StatusText, " ");
    EXPECT_TRUE(r.Time.empty());
    EXPECT_TRUE(r.DTrack.Time.empty());
    EXPECT_EQ(r.DTrack.Status, 0);
    EXPECT_EQ(r.TimeMs, 0);
    EXPECT_EQ(r.Satellites[3].InView, 1);
    EXPECT_EQ(r.HasSatellites, 1);
    EXPECT_EQ(r.DTrack.Matched, 1);
}

TEST(CopyRecordFields, LeavesSatellitesFixModeAndDTrackOfTheNode) {
    waypoints source = GgaRecord();
    source.Satellites[5].InView = 1;
    source.HasSatellites = 1;
    source.FixMode = 3;
    source.DTrack.Matched = 1;
    waypoints node;
    CopyRecordFields(source, node);
    EXPECT_EQ(node.Time, source.Time);
    EXPECT_EQ(node.TimeMs, source.TimeMs);
    EXPECT_EQ(node.HasGga, 1);
    EXPECT_DOUBLE_EQ(node.Altitude, 545.4);
    EXPECT_EQ(node.Satellites[5].InView, 0);
    EXPECT_EQ(node.HasSatellites, 0);
    EXPECT_EQ(node.FixMode, 0);
    EXPECT_EQ(node.DTrack.Matched, 0);
}

TEST(MsOfDay, UsesExtendedPrecisionAndTruncates) {
    EXPECT_EQ(MsOfDay(23, 59, 59.999), 86399999);
    EXPECT_EQ(MsOfDay(0, 0, 0), 0);
    EXPECT_EQ(MsOfDay(12, 35, 19.0), 45319000);
    // Equal texts give equal keys, whatever the binary rounding of the seconds.
    EXPECT_EQ(MsOfDay(1, 2, 19.345), MsOfDay(1, 2, 19.345));
    EXPECT_EQ(MsOfDay(0, 0, std::nan("")), 0);
}

TEST(KmlColor, WritesAlphaBlueGreenRed) {
    EXPECT_EQ(KmlColor(255), "FF0000FF");
    EXPECT_EQ(KmlColor(0xFF0000), "FFFF0000");
    EXPECT_EQ(KmlColor(0xFFFFFF), "FFFFFFFF");
    EXPECT_EQ(KmlColor(0x00FF00), "FF00FF00");
    EXPECT_EQ(KmlColor(0x563412), "FF563412");
    // A hand-edited value above 24 bits gives more digits.
    EXPECT_EQ(KmlColor(0x1000000), "FF1000000");
}

class CountingGate : public AllocationGate {
public:
    explicit CountingGate(int allowed) : allowed_(allowed) {}
    bool AllowNode() override { return allowed_-- > 0; }

private:
    int allowed_;
};

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

}  // namespace
}  // namespace tervo
