// A KML document beyond 4 GiB packed as a run packs it, while it is written,
// and read back by the ZIP readers our users have. Takes a minute: labelled
// slow (ctest -LE slow leaves it out of a quick local run).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "kmz/kmz.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::TempDir;
using testing::TestPlatform;
using testing::WriteFile;

TEST(PackKmz, ADocumentBeyondFourGibibytesIsReadByUnzipPythonAndGdal) {
    TempDir dir;
    const std::string container = dir.File("big.kmz");
    const KmzSource kml{"doc.kml", dir.File("doc.kml")};
    std::unique_ptr<KmlPacker> packer = KmlPacker::Begin(container, kml);
    ASSERT_NE(packer, nullptr);

    // Text that deflates quickly, so that the test takes a minute rather than many.
    const std::string head = "<kml>\r\n<Document>\r\n";
    const std::string tail = "</Document>\r\n</kml>\r\n";
    std::string block;
    while (block.size() < (1 << 20)) {
        block +=
            "<Placemark><name>1</name><Point><coordinates>37.6,55.7,150</coordinates></Point></"
            "Placemark>\r\n";
    }
    const uint64_t size = uint64_t{0x100000000} + 256 * 1024 * 1024;  // 4.25 GiB
    uint64_t added = 0;
    packer->Add(head.data(), head.size());
    added += head.size();
    while (added + tail.size() < size) {
        const size_t part = static_cast<size_t>(std::min<uint64_t>(block.size(), size - tail.size() - added));
        packer->Add(block.data(), part);
        added += part;
    }
    packer->Add(tail.data(), tail.size());
    ASSERT_TRUE(packer->Active());

    WriteFile(dir.File("icon.png"), std::string(500, 'i'));
    TestPlatform platform;
    PackKmz(container, {kml, {"icon.png", dir.File("icon.png")}}, platform, packer.get());
    packer.reset();

    const std::string readEntry = std::string("/usr/bin/python3 ") + TERVO_READ_ZIP_ENTRY;
    const std::string readers[] = {
        "/usr/bin/unzip -tq " + container,
        readEntry + " zipfile " + container + " doc.kml " + std::to_string(size),
        readEntry + " gdal " + container + " doc.kml",
        readEntry + " gdal " + container + " icon.png",
    };
    for (const std::string& reader : readers) {
        SCOPED_TRACE(reader);
        EXPECT_EQ(std::system((reader + " >/dev/null 2>&1").c_str()), 0);
    }
}

}  // namespace
}  // namespace tervo
