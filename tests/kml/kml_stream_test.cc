#include "kml/kml_stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "kml/document.h"

namespace tervo {
namespace {

// A sink that accepts `capacity` bytes and fails after that, like a full disk.
class FullDiskSink : public ByteSink {
public:
    explicit FullDiskSink(size_t capacity) : capacity_(capacity) {}
    bool Write(const char* data, size_t size) override {
        if (written + size > capacity_) {
            return false;
        }
        written += size;
        (void)data;
        return true;
    }
    bool Close() override { return true; }
    size_t written = 0;

private:
    size_t capacity_;
};

TEST(KmlStream, LineFeedsBecomeCrLf) {
    StringSink sink;
    KmlStream s(sink);
    s.Text("a\nb\n\nc");
    ASSERT_TRUE(s.Close());
    EXPECT_EQ(sink.text, "a\r\nb\r\n\r\nc");
}

TEST(KmlStream, NumbersMatchPrintfInTheCLocale) {
    const double values[] = {
        0.0,    -0.0,   1.0,       -33.85678, 0.05,    0.15, 0.25, 2.5, 1e-7, 123456789.987654321,
        -1e300, 5e-324, 0.0000005, 0.0000015, 41.4848, 84.4, 545.4};
    for (double v : values) {
        for (int decimals : {1, 3, 6}) {
            char expected[400];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            StringSink sink;
            KmlStream s(sink);
            s.Fixed(v, decimals);
            s.Close();
            EXPECT_EQ(sink.text, expected) << v << " with " << decimals;
        }
    }
    const double specials[] = {std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), std::nan(""), -std::nan("")};
    for (double v : specials) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.6f", v);
        StringSink sink;
        KmlStream s(sink);
        s.Fixed(v, 6);
        s.Close();
        EXPECT_EQ(sink.text, expected);
    }
}

// Many values through one stream against snprintf: random bit patterns (every
// magnitude, subnormals, NaNs with payloads), random coordinates, and the exact
// ties of each precision (odd multiples of 2^-(decimals+1)) with their
// neighbours, where a rounding that is not round-half-even shows.
TEST(KmlStream, NumbersMatchPrintfOverManyValues) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::nan(""),
                                  -std::nan(""),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min()};
    uint64_t state = 0x243F6A8885A308D3ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 20000; ++i) {
        values.push_back(std::bit_cast<double>(next()));
        values.push_back((static_cast<double>(next() % 360000000000ull) - 180000000000.0) / 1e9);
    }
    for (int decimals : {1, 3, 6}) {
        const double unit = std::ldexp(1.0, -(decimals + 1));
        for (int i = 0; i < 2000; ++i) {
            const double tie = static_cast<double>(2 * (next() % 50000000) + 1) * unit * (i % 2 ? -1 : 1);
            values.insert(values.end(), {tie, std::nextafter(tie, 1e300), std::nextafter(tie, -1e300)});
        }
    }
    StringSink sink;
    KmlStream s(sink);
    for (double v : values) {
        for (int decimals : {1, 3, 6}) {
            s.Fixed(v, decimals).Text("|");
        }
    }
    ASSERT_TRUE(s.Close());
    size_t at = 0;
    for (double v : values) {
        for (int decimals : {1, 3, 6}) {
            char expected[400];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            const size_t end = sink.text.find('|', at);
            ASSERT_NE(end, std::string::npos);
            ASSERT_EQ(sink.text.substr(at, end - at), expected) << std::hexfloat << v << " with " << decimals;
            at = end + 1;
        }
    }
}

TEST(KmlStream, NumbersKeepThePointUnderACommaLocale) {
    // Only meaningful where such a locale is installed; the point must stay either way.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    StringSink sink;
    KmlStream s(sink);
    s.Fixed(48.1173, 6).Text(",").Int(-42);
    s.Close();
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(sink.text, "48.117300,-42");
}

TEST(KmlStream, ValuesAreEscapedOrdinaryOnesUnchanged) {
    struct Case {
        const char* legend;
        std::string in;
        std::string out;
    } cases[] = {
        {"ordinary time text", "12:35:19.00", "12:35:19.00"},
        {"markup characters", "<a&b>", "&lt;a&amp;b&gt;"},
        {"a CDATA end cannot close the section", "x]]>y", "x]]&gt;y"},
        {"NUL byte", std::string("a\0b", 3),
         "a\xEF\xBF\xBD"
         "b"},
        {"control byte",
         "a\x01"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"lone high byte",
         "a\xB0"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"valid UTF-8 stays", "\xD0\x9F\xD1\x80", "\xD0\x9F\xD1\x80"},
        {"overlong UTF-8", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"truncated UTF-8 at the end", "\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"tab stays", "a\tb", "a\tb"},
        {"a bare CR would end a line without its LF", "a\rb", "a&#13;b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeValue(c.in), c.out) << c.legend;
    }
    StringSink sink;
    KmlStream s(sink);
    s.Value("a\nb").Char('\0').Value("c\r\nd");
    s.Close();
    EXPECT_EQ(sink.text,
              "a\r\nb\xEF\xBF\xBD"
              "c&#13;\r\nd");
}

TEST(KmlStream, AFailedWriteIsRememberedUntilClose) {
    FullDiskSink sink(100);
    KmlStream s(sink);
    for (int i = 0; i < 10000; ++i) {
        s.Text("<coordinates>1,2,3</coordinates>\n");
    }
    EXPECT_FALSE(s.Close());
    EXPECT_FALSE(s.ok());
}

TEST(KmlDocument, FrameAndStylesByteForByte) {
    StringSink sink;
    KmlStream s(sink);
    BeginKmlDocument(s);
    WriteLineStyle(s, "5", "FF0000FF", "NormalTrack");
    EndKmlDocument(s);
    s.Close();
    EXPECT_EQ(
        sink.text,
        "<kml>\r\n<Document>\r\n<Style id=\"NormalTrack\">\r\n<LineStyle>\r\n<color>FF0000FF</color>\r\n"
        "<width>5</width>\r\n</LineStyle>\r\n</Style>\r\n</Document>\r\n</kml>");
}

TEST(FileSink, ReportsAFileThatCannotBeCreated) {
    FileSink sink("/nonexistent-dir/x.kml");
    EXPECT_FALSE(sink.is_open());
    EXPECT_FALSE(sink.Write("a", 1));
}

// /dev/full refuses every write with "no space left".
TEST(FileSink, AFullDiskAsksForRoomOnceThenFails) {
    FileSink sink("/dev/full");
    ASSERT_TRUE(sink.is_open());
    int asked = 0;
    sink.OnDiskFull([&] { ++asked; });
    EXPECT_FALSE(sink.Write("a", 1));
    EXPECT_FALSE(sink.Write("b", 1));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(sink.Close());
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

}  // namespace
}  // namespace tervo
