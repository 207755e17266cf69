// Logs of 100 MB that hold no message at all: every byte of them restarts or
// prolongs one that never ends. The run must still end, with a sound document.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "binr/framer.h"
#include "hardening_support.h"
#include "support/test_files.h"

namespace tervo::testing {
namespace {

constexpr size_t kLogSize = 100u << 20;

void WriteRepeated(const std::string& path, char byte) {
    const std::string block(1 << 20, byte);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (size_t written = 0; written < kLogSize; written += block.size()) {
        ASSERT_EQ(std::fwrite(block.data(), 1, block.size(), file), block.size());
    }
    ASSERT_EQ(std::fclose(file), 0);
}

TEST(LargeInput, HundredMegabytesWithoutAMessageEndInAnEmptyDocument) {
    struct Case {
        const char* legend;
        int format;
        char byte;
    };
    const Case cases[] = {
        {"100 MB of \"$\": every byte restarts the sentence", 0, '$'},
        {"100 MB of DLE: the message id never comes", 1, static_cast<char>(kBinrDle)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TempDir dir;
        WriteRepeated(dir.File("log"), c.byte);
        ConversionSettings settings;
        settings.Format = LogFormatOfIndex(c.format);
        const RunOutcome run = ConvertFile(dir.File("log"), dir.File("out.kmz"), settings);
        EXPECT_EQ(FinishedDocumentError(run, dir.path()), "");
        EXPECT_EQ(run.countText, "Waypoints 0");
    }
}

}  // namespace
}  // namespace tervo::testing
