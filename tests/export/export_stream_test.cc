// The exports' stream and escapes. Legend: each case names the fault it would
// catch.
#include "export/export_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_format.h"

namespace tervo {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Escapes, EachFormatsOwnRulesAndUtf8) {
    struct Case {
        const char* legend;
        std::string value;
        std::string xml;
        std::string csv;
        std::string json;
    };
    const std::vector<Case> cases = {
        {"an ordinary value is unchanged", "drive 2.nmea", "drive 2.nmea", "drive 2.nmea",
         "\"drive 2.nmea\""},
        {"markup", "a&b<c>", "a&amp;b&lt;c&gt;", "a&b<c>", "\"a&b<c>\""},
        {"quotes", "say \"hi\"", "say &quot;hi&quot;", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\""},
        {"a comma quotes a CSV field", "fix, quality unknown", "fix, quality unknown",
         "\"fix, quality unknown\"", "\"fix, quality unknown\""},
        {"line ends", "a\r\nb", "a&#13;\nb", "\"a\r\nb\"", "\"a\\r\\nb\""},
        {"a tab is kept", "a\tb", "a\tb", "a\tb", "\"a\\tb\""},
        {"other control bytes", std::string("a\x01\x1F", 3), "a" + kReplacement + kReplacement,
         "a" + kReplacement + kReplacement, "\"a\\u0001\\u001f\""},
        {"a backslash", "c:\\logs", "c:\\logs", "c:\\logs", "\"c:\\\\logs\""},
        {"valid UTF-8 is kept", "K\xC3\xB6ln", "K\xC3\xB6ln", "K\xC3\xB6ln", "\"K\xC3\xB6ln\""},
        {"a Latin-1 byte is no UTF-8", "K\xF6ln", "K" + kReplacement + "ln", "K" + kReplacement + "ln",
         "\"K" + kReplacement + "ln\""},
        {"a sequence cut short at the end", "a\xC3", "a" + kReplacement, "a" + kReplacement,
         "\"a" + kReplacement + "\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XmlEscaped(c.value), c.xml) << c.legend;
        EXPECT_EQ(CsvField(c.value), c.csv) << c.legend;
        EXPECT_EQ(JsonString(c.value), c.json) << c.legend;
    }
}

class FailingSink : public ByteSink {
public:
    bool Write(const char*, size_t) override { return false; }
    bool Close() override { return true; }
};

TEST(ExportStream, KeepsOrderPastItsBufferAndReportsALostByte) {
    StringSink sink;
    ExportStream out(sink);
    const std::string big(100'000, 'x');
    out.Text("a").Fixed(-0.5, 2).Text(big).Int(-42).Fixed(2.5, 0);
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(sink.text, "a-0.50" + big + "-422") << "2.5 rounds to even, as printf does";

    FailingSink failing;
    ExportStream broken(failing);
    broken.Text("lost");
    EXPECT_FALSE(broken.Close()) << "a sink that took nothing is no written file";
}

}  // namespace
}  // namespace tervo
