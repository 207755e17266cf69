#include "run/live_run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "run/live_document.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;

TEST(LivePaths, SitBesideTheKmzFile) {
    struct Case {
        const char* container;
        const char* link;
        const char* directory;
        const char* directoryRef;
    };
    const Case cases[] = {
        {"/d/drive.kmz", "/d/drive-live.kml", "/d/drive-live/", "drive-live/"},
        // Only the last extension goes; a name without one keeps all of it.
        {"/d/a.b.kmz", "/d/a.b-live.kml", "/d/a.b-live/", "a.b-live/"},
        {"/d/drive", "/d/drive-live.kml", "/d/drive-live/", "drive-live/"},
        // A hidden name is no extension.
        {"/d/.kmz", "/d/.kmz-live.kml", "/d/.kmz-live/", ".kmz-live/"},
    };
    for (const Case& c : cases) {
        const LivePaths paths = LivePathsOf(c.container);
        EXPECT_EQ(paths.LinkFile, c.link) << c.container;
        EXPECT_EQ(paths.Directory, c.directory) << c.container;
        EXPECT_EQ(paths.ClosedIndex, std::string(c.directory) + "closed.kml") << c.container;
        EXPECT_EQ(paths.DirectoryRef, c.directoryRef) << c.container;
    }
}

TEST(HrefOfFileName, EncodesWhatAnAddressWouldReadOtherwise) {
    struct Case {
        const char* name;
        const char* href;
    };
    const Case cases[] = {
        {"drive.kmz", "drive.kmz"},
        {"drive-live/closed.kml", "drive-live/closed.kml"},
        {"my drive.kmz", "my%20drive.kmz"},
        // A fragment, a query and an escape of its own would cut or change the name.
        {"a#b?c.kmz", "a%23b%3Fc.kmz"},
        {"100%.kmz", "100%25.kmz"},
        {"fahrt-\xC3\xBC.kmz", "fahrt-%C3%BC.kmz"},
        {"a&b.kmz", "a%26b.kmz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HrefOfFileName(c.name), c.href) << c.name;
    }
}

TEST(LinkFileKml, LinksTheKmzAndTheClosedStretchesOnTheInterval) {
    const std::string kml = LinkFileKml("R&D.kmz", "R%26D.kmz", "R%26D-live/closed.kml", 2.5);
    EXPECT_EQ(kml,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n<Document>\r\n"
              "<name>R&amp;D.kmz</name>\r\n"
              "<NetworkLink>\r\n<name>Received so far</name>\r\n"
              "<Link>\r\n<href>R%26D.kmz</href>\r\n"
              "<refreshMode>onInterval</refreshMode>\r\n<refreshInterval>2.5</refreshInterval>\r\n"
              "</Link>\r\n</NetworkLink>\r\n"
              "<NetworkLink>\r\n<name>Earlier stretches</name>\r\n"
              "<Link>\r\n<href>R%26D-live/closed.kml</href>\r\n"
              "<refreshMode>onInterval</refreshMode>\r\n<refreshInterval>2.5</refreshInterval>\r\n"
              "</Link>\r\n</NetworkLink>\r\n"
              "</Document>\r\n</kml>\r\n");
}

// The KML document of a KMZ file.
std::string KmlOf(const std::string& kmzPath) {
    testing::ZipArchive archive;
    std::string error;
    EXPECT_TRUE(testing::ReadZip(ReadFile(kmzPath), &archive, &error)) << kmzPath << ": " << error;
    return archive.entries.empty() ? std::string() : archive.entries.front().data;
}

// The names of the placemarks of the "WayPoints" folder, in order.
std::vector<int> WaypointNames(const std::string& kml) {
    std::vector<int> names;
    const size_t begin = kml.find("<name>WayPoints</name>");
    const size_t end = kml.find("</Folder>", begin);
    for (size_t at = kml.find("<Placemark>", begin); at < end; at = kml.find("<Placemark>", at + 1)) {
        const size_t name = kml.find("<name>", at) + 6;
        names.push_back(std::stoi(kml.substr(name)));
    }
    return names;
}

// The coordinate lines of the track line named `name`.
std::vector<std::string> TrackLines(const std::string& kml, const std::string& name) {
    std::vector<std::string> lines;
    const size_t placemark = kml.find("<name>" + name + "</name>\r\n<styleUrl>");
    size_t at = kml.find("<coordinates>", placemark);
    const size_t end = kml.find("</coordinates>", at);
    for (at = kml.find('\n', at) + 1; at < end; at = kml.find('\n', at) + 1) {
        lines.push_back(kml.substr(at, kml.find('\r', at) - at));
    }
    return lines;
}

class LiveRunTest : public ::testing::Test {
protected:
    ConversionSettings Settings() {
        ConversionSettings s;
        s.OutputName = "out.kmz";
        s.OutputPath = dir.File("out.kmz");
        s.ShapeStyleTrack = 255;
        s.ShapeDTrack = 65280;
        s.ShapeRightPoint = 16711680;
        s.ShapeIncorPoint = 65535;
        s.Edit7 = "7";
        return s;
    }

    // Hands `bytes` over in pieces of `piece` bytes, 0.1 s apart, with a tick after each.
    static void Feed(LiveRun& run, const std::string& bytes, size_t piece, double& now) {
        for (size_t at = 0; at < bytes.size(); at += piece) {
            run.Take(reinterpret_cast<const uint8_t*>(bytes.data()) + at, std::min(piece, bytes.size() - at),
                     now);
            run.Tick(now);
            now += 0.1;
        }
    }

    TempDir dir;
    testing::TestPlatform platform;
    testing::RecordingView view;
    const std::string sample = ReadFile(std::string(TERVO_SAMPLES_DIR) + "/sample.nmea");
};

// The sample's 120 epochs in stretches of 40: two closed stretches and the open
// one hold every placemark of the conversion once, numbered on (a stretch that
// restarts the count, or one written twice); a refresh writes only the open
// stretch (the bounded cost); the lines join (a gap between stretches); and the
// run ends with the conversion of its recording, byte for byte, its stretches gone.
TEST_F(LiveRunTest, StretchesHoldTheLogOnceAndTheEndIsTheConversionOfTheRecording) {
    LiveSettings live;
    live.StretchEpochs = 40;
    std::vector<std::string> said;
    LiveRun run(Settings(), live, platform, [&](const std::string& text) { said.push_back(text); });
    ASSERT_FALSE(run.Start());
    // From the start the link names a KMZ file that exists, empty until bytes come.
    EXPECT_TRUE(FileExists(dir.File("out-live.kml")));
    EXPECT_EQ(WaypointNames(KmlOf(dir.File("out.kmz"))), std::vector<int>{});

    double now = 100;
    Feed(run, sample, 100, now);
    run.Tick(now + 10);
    EXPECT_EQ(said, std::vector<std::string>{});
    EXPECT_EQ(run.Figures().Stretches, 2);
    EXPECT_EQ(run.Figures().Epochs, 119);  // the last one is complete only at the end
    EXPECT_EQ(run.Figures().Bytes, sample.size());
    EXPECT_EQ(run.Figures().LastFixTime, "10:16:58.00");  // epoch 118

    const std::string closed = ReadFile(dir.File("out-live/closed.kml"));
    EXPECT_NE(closed.find("<href>stretch-000001.kmz</href>"), std::string::npos);
    EXPECT_NE(closed.find("<href>stretch-000002.kmz</href>"), std::string::npos);
    const std::string first = KmlOf(dir.File("out-live/stretch-000001.kmz"));
    const std::string second = KmlOf(dir.File("out-live/stretch-000002.kmz"));
    const std::string open = KmlOf(dir.File("out.kmz"));
    std::vector<int> names = WaypointNames(first);
    EXPECT_EQ(names.size(), 40u);
    for (const std::string* kml : {&second, &open}) {
        const std::vector<int> more = WaypointNames(*kml);
        names.insert(names.end(), more.begin(), more.end());
    }
    // The refresh wrote the open stretch alone: epochs 80 to 119.
    EXPECT_EQ(WaypointNames(open).size(), 40u);
    // Epochs 80 to 99 have no fix and give invalid placemarks: all 120 have one.
    ASSERT_EQ(names.size(), 120u);
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(names[i], i);
    }
    // The second stretch's track begins where the first one's ended.
    EXPECT_EQ(TrackLines(second, "NormalTrack").front(), TrackLines(first, "NormalTrack").back());
    EXPECT_EQ(TrackLines(first, "NormalTrack").size(), 40u);

    const std::string recording = run.RecordingPath();
    EXPECT_EQ(ReadFile(recording), sample);
    RunReport report;
    ASSERT_EQ(run.Finish(view, &report), ConversionResult::Completed);
    EXPECT_EQ(report.Placemarks, 120);

    // The same recording converted afterwards, into a KMZ file of the same name.
    TempDir other;
    testing::WriteFile(other.File("log.nmea"), sample);
    ConversionSettings batch = Settings();
    batch.InputPath = other.File("log.nmea");
    batch.OutputPath = other.File("out.kmz");
    SentenceAssembler assembler;
    testing::RecordingView otherView;
    ASSERT_EQ(RunConversion(batch, otherView, assembler, platform), ConversionResult::Completed);
    EXPECT_TRUE(ReadFile(dir.File("out.kmz")) == ReadFile(other.File("out.kmz")));

    // The stretches and the run's own recording went; the link and an empty index stay.
    EXPECT_FALSE(FileExists(dir.File("out-live/stretch-000001.kmz")));
    EXPECT_FALSE(FileExists(recording));
    EXPECT_EQ(ReadFile(dir.File("out-live/closed.kml")).find("<NetworkLink>"), std::string::npos);
    EXPECT_EQ(testing::Listing(dir.path()),
              (std::vector<std::string>{"out-live", "out-live.kml", "out.kmz"}));
}

// A refresh is due once the interval has passed and something came since the
// last one; without new bytes nothing is rewritten (a run that rewrites an idle
// source's KMZ for ever, or one that refreshes on every piece).
TEST_F(LiveRunTest, RefreshesOnTheIntervalOnlyWhenSomethingCame) {
    LiveSettings live;
    live.RefreshSeconds = 2;
    LiveRun run(Settings(), live, platform);
    ASSERT_FALSE(run.Start());
    const int atStart = run.Figures().Refreshes;  // the empty document of the start
    const auto* bytes = reinterpret_cast<const uint8_t*>(sample.data());
    struct Step {
        double now;
        size_t bytes;  // handed over before the tick
        int refreshes;
    };
    const Step steps[] = {
        {10.0, 500, 1},                // the first bytes: at once
        {10.5, 500, 1},                // within the interval
        {11.9, 500, 1}, {12.0, 0, 2},  // the interval has passed since 10.0
        {15.0, 0, 2},                  // nothing new came
        {15.1, 500, 3},                // bytes after a quiet spell: at once
    };
    size_t at = 0;
    for (const Step& step : steps) {
        if (step.bytes > 0) {
            run.Take(bytes + at, step.bytes, step.now);
            at += step.bytes;
        }
        run.Tick(step.now);
        EXPECT_EQ(run.Figures().Refreshes - atStart, step.refreshes) << "at " << step.now;
    }
}

// The recording the user names holds every byte as it came, readable while the
// run goes on (a kill then leaves it whole), and is never written over: a
// second run refuses it and leaves nothing behind. A split asked for (from a
// settings file) is not made: the link file names the one KMZ file.
TEST_F(LiveRunTest, TheRecordingKeepsEveryByteAndIsNeverWrittenOver) {
    LiveSettings live;
    live.RecordPath = dir.File("drive.nmea");
    ConversionSettings split = Settings();
    split.Extras.SplitDay = 1;
    LiveRun run(split, live, platform);
    ASSERT_FALSE(run.Start());
    double now = 0;
    Feed(run, sample.substr(0, 5000), 333, now);
    EXPECT_EQ(ReadFile(dir.File("drive.nmea")), sample.substr(0, 5000));

    TempDir second;
    ConversionSettings settings = Settings();
    settings.OutputPath = second.File("out.kmz");
    LiveRun again(settings, live, platform);
    const std::optional<FileFailure> failure = again.Start();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, dir.File("drive.nmea"));
    EXPECT_EQ(failure->error, EEXIST);
    EXPECT_EQ(testing::Listing(second.path()), std::vector<std::string>{});

    Feed(run, sample.substr(5000), 333, now);
    ASSERT_EQ(run.Finish(view), ConversionResult::Completed);
    EXPECT_EQ(ReadFile(dir.File("drive.nmea")), sample);
    EXPECT_EQ(testing::Listing(dir.path()),
              (std::vector<std::string>{"drive.nmea", "out-live", "out-live.kml", "out.kmz"}));
}

}  // namespace
}  // namespace tervo
