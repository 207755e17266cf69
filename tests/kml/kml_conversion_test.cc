// Whole conversions through RunConversion, checked on the KML inside the container.
//
// The expected documents in tests/data/kml/ were checked by hand. Run the tests
// with TERVO_REBUILD_EXPECTED=1 to rewrite them from the current output instead
// of comparing; a changed expected file must be explained in its commit.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "nmea/sentence.h"
#include "run/conversion.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/whole_conversion.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::RecordingView;
using testing::TempDir;
using testing::TestDataDir;
using testing::TestPlatform;
using testing::WriteFile;

bool HaveXmllint() { return testing::FileExists("/usr/bin/xmllint"); }

// True when xmllint reads the document as well-formed XML.
bool WellFormed(const std::string& document, const TempDir& dir) {
    const std::string path = dir.File("check.xml");
    WriteFile(path, document);
    const std::string command = "/usr/bin/xmllint --noout '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

ConversionSettings BaseSettings(const std::string& input, const TempDir& dir) {
    return testing::CheckedFileSettings(input, "log.nmea", dir, LogFormat::Nmea);
}

// The program keeps one sentence assembler for its whole life; the runs of a
// test share one the same way.
class KmlConversion : public ::testing::Test {
protected:
    // Runs one conversion of `settings` and returns the KML document of the container.
    std::string Convert(const ConversionSettings& settings, const TempDir& dir) {
        RecordingView view;
        view.recordTicks = false;
        TestPlatform platform(dir.path());
        ConversionResult result = RunConversion(settings, view, assembler_, platform);
        EXPECT_EQ(result, ConversionResult::Completed) << settings.InputPath;
        return testing::ZipEntryData(dir.File("t.kmz"), "t.kml");
    }

    SentenceAssembler assembler_;
};

TEST_F(KmlConversion, DocumentsMatchTheCheckedFiles) {
    struct Case {
        const char* legend;
        const char* expected;
        bool checkBox1;
        bool checkBox2;
        bool checkBox3;
        bool checkBox4;
    } cases[] = {
        {"log date for dateless points, all-points line, extruded placemarks", "mixed_epochs_log_date.kml",
         false, true, true, false},
        {"fallback date replaces V and GGA-only dates, output from the first fix",
         "mixed_epochs_fallback.kml", true, false, false, true},
    };
    const std::string log = TestDataDir() + "kml/mixed_epochs.nmea";
    for (const Case& c : cases) {
        TempDir dir;
        ConversionSettings settings = BaseSettings(log, dir);
        settings.CheckBox1 = c.checkBox1;
        settings.CheckBox2 = c.checkBox2;
        settings.CheckBox3 = c.checkBox3;
        settings.CheckBox4 = c.checkBox4;
        const std::string document = Convert(settings, dir);
        const std::string expectedPath = TestDataDir() + "kml/" + c.expected;
        SCOPED_TRACE(c.legend);
        testing::MatchesCheckedFile(document, expectedPath);
    }
}

TEST_F(KmlConversion, HostileLogGivesAWellFormedDocument) {
    TempDir dir;
    const std::string log = dir.File("hostile.nmea");
    // A time text with markup characters, a CDATA end and two bytes that are no
    // UTF-8; the differential fix of the same time has an empty status field.
    WriteFile(log,
              "$GPGGA,123519.<&]]>\xB0\xB1,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4C\r\n"
              "$TVLDR,123519.<&]]>\xB0\xB1,,4807.040,N,01131.010,E,020.0,080.0*63\r\n");
    ConversionSettings settings = BaseSettings(log, dir);
    settings.CheckBox1 = true;
    settings.CheckBox2 = true;
    settings.MaskEdit1 = "2000-01-01]]>";
    settings.Edit4 = "1<&";
    settings.Edit3 = "</width>";
    const std::string document = Convert(settings, dir);
    ASSERT_FALSE(document.empty());
    const std::string time = "12:35:19.&lt;&amp;]]&gt;\xEF\xBF\xBD\xEF\xBF\xBD";
    EXPECT_EQ(document.find("<when>"), std::string::npos)
        << "no time stamp from a date and time that are none";
    EXPECT_NE(document.find("<th>Time</th><td>" + time + "</td>"), std::string::npos) << "D-Track time";
    EXPECT_NE(document.find("<th>Status</th><td>\xEF\xBF\xBD</td>"), std::string::npos);
    EXPECT_EQ(document.find('\0'), std::string::npos);
    EXPECT_NE(document.find("<scale>1&lt;&amp;</scale>"), std::string::npos);
    if (!HaveXmllint()) {
        GTEST_SKIP() << "no /usr/bin/xmllint to read the document";
    }
    EXPECT_TRUE(WellFormed(document, dir));
}

TEST_F(KmlConversion, EveryRecordedLogGivesAWellFormedDocument) {
    const std::string shared = testing::SharedTestDataDir();
    if (shared.empty()) {
        GTEST_SKIP() << "no shared receiver logs";
    }
    if (!HaveXmllint()) {
        GTEST_SKIP() << "no /usr/bin/xmllint to read the documents";
    }
    std::vector<std::string> logs;
    if (DIR* folder = opendir((shared + "nmea").c_str())) {
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (name.size() > 5 && name.substr(name.size() - 5) == ".nmea") {
                logs.push_back(shared + "nmea/" + name);
            }
        }
        closedir(folder);
    }
    if (logs.empty()) {
        GTEST_SKIP() << "no shared NMEA logs";
    }
    std::sort(logs.begin(), logs.end());
    for (const std::string& log : logs) {
        TempDir dir;
        ConversionSettings settings = BaseSettings(log, dir);
        settings.CheckBox1 = true;
        settings.CheckBox2 = true;
        const std::string document = Convert(settings, dir);
        ASSERT_FALSE(document.empty()) << log;
        EXPECT_TRUE(WellFormed(document, dir)) << log;
    }
}

}  // namespace
}  // namespace tervo
