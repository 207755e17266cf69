#include "kmz/kmz.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "run/conversion.h"
#include "run/conversion_view.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::Listing;

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::TestPlatform;
using testing::WriteFile;
using testing::ZipArchive;
using testing::ZipEntry;

// 2024-05-17 10:20:30, the file time of TestPlatform, in MS-DOS form.
constexpr uint16_t kDosTime = (10 << 11) | (20 << 5) | (30 / 2);
constexpr uint16_t kDosDate = ((2024 - 1980) << 9) | (5 << 5) | 17;

// A KML-like text of several 64 KiB read chunks, so that CRC and deflate must
// carry over chunk boundaries.
std::string LongKml() {
    std::string text = "<kml>\r\n";
    uint32_t state = 12345;
    while (text.size() < 300000) {
        state = state * 1103515245u + 12345u;
        text += "<coordinates>" + std::to_string(state % 3600000) + "," + std::to_string(state >> 20) +
                ",0</coordinates>\r\n";
    }
    return text + "</kml>";
}

std::string DeflateRawLevel6(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<std::string> Names(const ZipArchive& archive) {
    std::vector<std::string> names;
    for (const ZipEntry& e : archive.entries) {
        names.push_back(e.name);
    }
    return names;
}

ZipArchive ReadContainer(const std::string& path) {
    ZipArchive archive;
    std::string error;
    EXPECT_TRUE(testing::ReadZip(ReadFile(path), &archive, &error)) << error;
    return archive;
}

// Four sources in one directory: a KML file and three icon stand-ins.
struct Sources {
    explicit Sources(const TempDir& dir)
        : kml(dir.File("track.kml")),
          valid(dir.File("255.png")),
          invalid(dir.File("65280.png")),
          dtrack(dir.File("16711680.png")) {
        WriteFile(kml, LongKml());
        WriteFile(valid, "valid icon bytes");
        WriteFile(invalid, std::string(5000, 'i'));
        WriteFile(dtrack, "");
    }
    std::string kml, valid, invalid, dtrack;
};

TEST(PackKmz, WritesEveryHeaderFieldAndTheDataOfEachSource) {
    TempDir dir;
    Sources sources(dir);
    TestPlatform platform;
    const std::string container = dir.File("track.kmz");
    PackKmz(container, sources.kml, sources.valid, sources.invalid, sources.dtrack, platform);

    const std::string bytes = ReadFile(container);
    ZipArchive zip = ReadContainer(container);
    ASSERT_EQ(Names(zip), (std::vector<std::string>{"track.kml", "255.png", "65280.png", "16711680.png"}));
    const std::string paths[] = {sources.kml, sources.valid, sources.invalid, sources.dtrack};
    uint32_t nextOffset = 0;
    for (size_t i = 0; i < zip.entries.size(); ++i) {
        const ZipEntry& e = zip.entries[i];
        SCOPED_TRACE(e.name);
        const std::string source = ReadFile(paths[i]);
        EXPECT_EQ(e.data, source);
        EXPECT_EQ(e.crc, e.computedCrc);
        EXPECT_EQ(e.uncompressedSize, source.size());
        // The local header must carry what the central one does: no data descriptor.
        EXPECT_EQ(e.localName, e.name);
        EXPECT_EQ(e.localCrc, e.crc);
        EXPECT_EQ(e.localCompressedSize, e.compressedSize);
        EXPECT_EQ(e.localUncompressedSize, e.uncompressedSize);
        for (uint16_t version : {e.versionMadeBy, e.versionNeeded, e.localVersionNeeded}) {
            EXPECT_EQ(version, 20);
        }
        EXPECT_EQ(e.flags, 0);
        EXPECT_EQ(e.localFlags, 0);
        EXPECT_EQ(e.method, 8);
        EXPECT_EQ(e.localMethod, 8);
        EXPECT_EQ(e.time, kDosTime);
        EXPECT_EQ(e.localTime, kDosTime);
        EXPECT_EQ(e.date, kDosDate);
        EXPECT_EQ(e.localDate, kDosDate);
        EXPECT_EQ(e.extraLength, 0);
        EXPECT_EQ(e.localExtraLength, 0);
        EXPECT_EQ(e.commentLength, 0);
        EXPECT_EQ(e.diskStart, 0);
        EXPECT_EQ(e.internalAttributes, 0);
        EXPECT_EQ(e.externalAttributes, 0x20u);
        // Entries follow each other with nothing between them.
        EXPECT_EQ(e.localHeaderOffset, nextOffset);
        const size_t dataStart = e.localHeaderOffset + 30 + e.name.size();
        nextOffset = static_cast<uint32_t>(dataStart + e.compressedSize);
        // Raw deflate at level 6, whatever chunks the writer fed it in.
        EXPECT_TRUE(bytes.substr(dataStart, e.compressedSize) == DeflateRawLevel6(source));
    }
    EXPECT_EQ(zip.centralOffset, nextOffset);
    EXPECT_EQ(zip.endDisk, 0);
    EXPECT_EQ(zip.endCentralDisk, 0);
    EXPECT_EQ(zip.endEntriesOnDisk, 4);
    EXPECT_EQ(zip.endEntries, 4);
    EXPECT_EQ(zip.commentLength, 0);
    EXPECT_EQ(zip.trailingBytes, 0u);
    EXPECT_EQ(zip.centralOffset + zip.centralSize + 22, bytes.size());
}

TEST(PackKmz, StampsEachEntryWithTheSourceTimeInMsDosForm) {
    struct Case {
        CivilTime local;
        uint16_t time;
        uint16_t date;
        const char* catches;
    };
    const Case cases[] = {
        {{1980, 1, 1, 0, 0, 0}, 0, (1 << 5) | 1, "year not counted from 1980"},
        {{2107, 12, 31, 23, 59, 59},
         (23 << 11) | (59 << 5) | 29,
         (127 << 9) | (12 << 5) | 31,
         "fields overlapping at their largest values; odd seconds not halved down"},
        {{1975, 6, 1, 12, 0, 0}, 0, (1 << 5) | 1, "a year before 1980 wrapping into a late date"},
        {{2150, 6, 1, 12, 0, 0},
         (23 << 11) | (59 << 5) | 29,
         (127 << 9) | (12 << 5) | 31,
         "a year after 2107 wrapping into an early date"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        TempDir dir;
        Sources sources(dir);
        FixedPlatform platform({2024, 1, 1}, c.local, "/nonexistent/");
        PackKmz(dir.File("t.kmz"), sources.kml, sources.valid, sources.invalid, sources.dtrack, platform);
        ZipArchive zip = ReadContainer(dir.File("t.kmz"));
        ASSERT_FALSE(zip.entries.empty());
        EXPECT_EQ(zip.entries[0].localTime, c.time);
        EXPECT_EQ(zip.entries[0].localDate, c.date);
        EXPECT_EQ(zip.entries[0].time, c.time);
        EXPECT_EQ(zip.entries[0].date, c.date);
    }
}

// Two swatches of one colour name one icon file twice.
TEST(PackKmz, ALaterFileOfTheSameNameReplacesTheEntryInItsPlace) {
    TempDir dir;
    Sources sources(dir);
    TestPlatform platform;
    PackKmz(dir.File("t.kmz"), sources.kml, sources.valid, sources.invalid, sources.valid, platform);
    ZipArchive zip = ReadContainer(dir.File("t.kmz"));
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"track.kml", "255.png", "65280.png"}));
    EXPECT_EQ(zip.endEntries, 3);

    // The replacing file's data, at the first one's place.
    std::filesystem::create_directory(dir.File("other"));
    WriteFile(dir.File("other/255.png"), "the later file");
    PackKmz(dir.File("u.kmz"), sources.kml, sources.valid, sources.invalid, dir.File("other/255.png"),
            platform);
    zip = ReadContainer(dir.File("u.kmz"));
    ASSERT_EQ(Names(zip), (std::vector<std::string>{"track.kml", "255.png", "65280.png"}));
    EXPECT_EQ(zip.entries[1].data, "the later file");
    EXPECT_EQ(zip.entries[1].crc, zip.entries[1].computedCrc);
}

TEST(PackKmz, ReplacesAnExistingContainerWhole) {
    TempDir dir;
    Sources sources(dir);
    TestPlatform platform;
    const std::string container = dir.File("t.kmz");
    std::filesystem::create_directory(dir.File("old"));
    for (const char* name : {"old.kml", "1.png", "2.png", "3.png"}) {
        WriteFile(dir.File(std::string("old/") + name), std::string(100000, name[0]));
    }
    PackKmz(container, dir.File("old/old.kml"), dir.File("old/1.png"), dir.File("old/2.png"),
            dir.File("old/3.png"), platform);

    PackKmz(container, sources.kml, sources.valid, sources.invalid, sources.dtrack, platform);
    ZipArchive zip = ReadContainer(container);
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"track.kml", "255.png", "65280.png", "16711680.png"}));
    EXPECT_EQ(zip.trailingBytes, 0u);
}

// Writing beside and renaming must not change what the user had at that path.
TEST(PackKmz, ReplacedContainerKeepsItsPermissionsAndItsLink) {
    TempDir dir;
    Sources sources(dir);
    TestPlatform platform;
    std::filesystem::create_directory(dir.File("real"));
    const std::string real = dir.File("real/t.kmz");
    WriteFile(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink(real, dir.File("t.kmz"));

    PackKmz(dir.File("t.kmz"), sources.kml, sources.valid, sources.invalid, sources.dtrack, platform);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("t.kmz")));
    struct stat info {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadContainer(real).endEntries, 4);
    EXPECT_EQ(Listing(dir.File("real")), std::vector<std::string>{"t.kmz"});
}

TEST(PackKmz, FailureKeepsThePreviousContainerAndLeavesNoTemporaryFile) {
    struct Case {
        const char* catches;
        const char* container;  // inside the test directory
        const char* missingSource;
        bool sourceIsDirectory;
    };
    const Case cases[] = {
        {"an unreadable KML file packed as an empty entry", "t.kmz", "track.kml", false},
        {"a late failure after entries were written truncating the old container", "t.kmz", "16711680.png",
         false},
        {"a read error taken for the end of the file", "t.kmz", nullptr, true},
        {"a container path that is a directory", "box", nullptr, false},
        {"a container directory that does not exist", "nowhere/t.kmz", nullptr, false},
        {"a container named like its KML file, which the clean-up would then delete", "track.kml", nullptr,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        TempDir dir;
        Sources sources(dir);
        TestPlatform platform;
        const std::string container = dir.File(c.container);
        const std::string previous = "PK previous container bytes";
        if (std::string(c.container) == "box") {
            std::filesystem::create_directory(container);
        } else if (std::string(c.container) == "t.kmz") {
            WriteFile(container, previous);
        }
        if (c.missingSource != nullptr) {
            std::remove(dir.File(c.missingSource).c_str());
        }
        std::string invalid = sources.invalid;
        if (c.sourceIsDirectory) {
            invalid = dir.File("folder.png");
            std::filesystem::create_directory(invalid);
        }
        const std::vector<std::string> before = Listing(dir.path());

        try {
            PackKmz(container, sources.kml, sources.valid, invalid, sources.dtrack, platform);
            ADD_FAILURE() << "no error";
        } catch (const CreateFileError& error) {
            EXPECT_STREQ(error.what(), ("Cannot create file " + container).c_str());
        }
        EXPECT_EQ(Listing(dir.path()), before);
        if (std::string(c.container) == "t.kmz") {
            EXPECT_EQ(ReadFile(container), previous);
        } else if (std::string(c.container) == "track.kml") {
            EXPECT_TRUE(ReadFile(container) == LongKml());
        }
    }
}

// The KML entry packed while the document was written, whole or given up on
// half way, makes the same container as packing the file; no temporary file
// outlives the packer.
TEST(KmlPacker, PacksTheDocumentWrittenMeanwhileAsTheFileWouldBe) {
    for (const char* how : {"whole", "given up half way", "dropped without packing"}) {
        SCOPED_TRACE(how);
        TempDir dir;
        Sources sources(dir);
        std::string document;
        while (document.size() < 3000000) {  // several deflate chunks
            document += LongKml();
        }
        WriteFile(sources.kml, document);
        const std::vector<std::string> before = Listing(dir.path());
        TestPlatform platform;
        const std::string container = dir.File("track.kmz");
        std::unique_ptr<KmlPacker> packer = KmlPacker::Begin(container, sources.kml);
        ASSERT_NE(packer, nullptr);
        for (size_t at = 0; at < document.size(); at += 65536) {
            if (std::string(how) != "whole" && at >= document.size() / 2) {
                packer->Abandon();
                EXPECT_EQ(Listing(dir.path()), before);
            }
            packer->Add(document.data() + at, std::min<size_t>(65536, document.size() - at));
        }
        if (std::string(how) == "dropped without packing") {
            packer.reset();
            EXPECT_EQ(Listing(dir.path()), before);
            continue;
        }
        PackKmz(container, sources.kml, sources.valid, sources.invalid, sources.dtrack, platform,
                packer.get());
        packer.reset();
        std::vector<std::string> after = before;
        after.push_back("track.kmz");
        std::sort(after.begin(), after.end());
        EXPECT_EQ(Listing(dir.path()), after);
        ZipArchive zip = ReadContainer(container);
        ASSERT_EQ(Names(zip),
                  (std::vector<std::string>{"track.kml", "255.png", "65280.png", "16711680.png"}));
        const ZipEntry& e = zip.entries[0];
        EXPECT_TRUE(e.data == document);
        EXPECT_EQ(e.crc, e.computedCrc);
        EXPECT_EQ(e.localCrc, e.crc);
        EXPECT_EQ(e.localCompressedSize, e.compressedSize);
        EXPECT_EQ(e.localUncompressedSize, e.uncompressedSize);
        EXPECT_EQ(e.localTime, kDosTime);
        EXPECT_EQ(e.localDate, kDosDate);
        EXPECT_EQ(zip.entries[1].localHeaderOffset, 30 + e.name.size() + e.compressedSize);
    }
}

// Several containers of one run go into place only once all are written.
TEST(PackKmz, AContainerPackedAsideWaitsForItsCommitAndGoesWithoutIt) {
    TempDir dir;
    Sources sources(dir);
    TestPlatform platform;
    const std::string container = dir.File("t.kmz");
    WriteFile(container, "previous");
    const std::vector<KmzSource> files = {{"track.kml", sources.kml}, {"255.png", sources.valid}};
    std::unique_ptr<PackedKmz> kept = PackKmzAside(container, files, platform);
    std::unique_ptr<PackedKmz> dropped = PackKmzAside(container, files, platform);
    EXPECT_EQ(ReadFile(container), "previous") << "moved into place before its commit";
    EXPECT_EQ(Listing(dir.path()).size(), 4u + 1 + 2) << "the sources, the old container and two aside";
    dropped.reset();
    kept->Commit();
    EXPECT_EQ(Names(ReadContainer(container)), (std::vector<std::string>{"track.kml", "255.png"}));
    kept.reset();
    EXPECT_EQ(Listing(dir.path()).size(), 4u + 1) << "a container aside left behind";
}

// A container beyond 4 GiB, made small by lowering the limit of the plain
// records. The sources: the KML of about 300 kB (deflated to less than 200 kB),
// "valid icon bytes" (16 bytes), 5000 bytes of "i" and an empty file.
TEST(PackKmz, SizesAndOffsetsBeyondTheLimitGoIntoZip64Records) {
    struct Zip64Entry {
        bool sizes;
        bool offset;
    };
    struct Case {
        uint64_t limit;
        Zip64Entry entries[4];
        bool zip64End;
        const char* catches;
    };
    const Case cases[] = {
        {1000,
         {{true, false}, {false, true}, {true, true}, {false, true}},
         true,
         "a size or offset truncated to 32 bits; an offset field of a small entry beyond the limit; the "
         "directory's offset truncated"},
        {200000,
         {{true, false}, {false, false}, {false, false}, {false, false}},
         false,
         "a large entry turning the whole container into Zip64; its descriptor left out of the next offset"},
        {kZip32Limit, {}, false, "a small container no longer plain ZIP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        TempDir dir;
        Sources sources(dir);
        TestPlatform platform;
        const std::string container = dir.File("t.kmz");
        PackKmz(container,
                {{"track.kml", sources.kml},
                 {"255.png", sources.valid},
                 {"65280.png", sources.invalid},
                 {"16711680.png", sources.dtrack}},
                platform, nullptr, c.limit);

        const std::string bytes = ReadFile(container);
        ZipArchive zip = ReadContainer(container);
        ASSERT_EQ(zip.entries.size(), 4u);
        ASSERT_LT(zip.entries[0].compressedSize64, 200000u) << "the second case needs it";
        const std::string paths[] = {sources.kml, sources.valid, sources.invalid, sources.dtrack};
        uint64_t nextOffset = 0;
        for (size_t i = 0; i < 4; ++i) {
            const ZipEntry& e = zip.entries[i];
            const Zip64Entry& expected = c.entries[i];
            SCOPED_TRACE(e.name);
            EXPECT_EQ(e.data, ReadFile(paths[i]));
            EXPECT_EQ(e.crc, e.computedCrc);
            EXPECT_EQ(e.uncompressedSize64, e.data.size());
            EXPECT_EQ(e.localHeaderOffset64, nextOffset);
            EXPECT_EQ(e.localHeaderOffset, expected.offset ? 0xFFFFFFFFu : nextOffset);
            const bool zip64 = expected.sizes || expected.offset;
            EXPECT_EQ(e.versionNeeded, zip64 ? 45 : 20);
            EXPECT_EQ(e.versionMadeBy, zip64 ? 45 : 20);
            EXPECT_EQ(e.hasZip64Extra, zip64);
            EXPECT_EQ(e.extraLength, zip64 ? 4 + (expected.sizes ? 16 : 0) + (expected.offset ? 8 : 0) : 0);
            EXPECT_EQ(e.localExtraLength, 0);
            if (expected.sizes) {
                // The sizes behind the data; the local header says so and holds zeros.
                EXPECT_EQ(e.flags, 8);
                EXPECT_EQ(e.localFlags, 8);
                EXPECT_EQ(e.localVersionNeeded, 45);
                EXPECT_EQ(e.compressedSize, 0xFFFFFFFFu);
                EXPECT_EQ(e.uncompressedSize, 0xFFFFFFFFu);
                EXPECT_EQ(e.localCrc, 0u);
                EXPECT_EQ(e.localCompressedSize, 0u);
                EXPECT_EQ(e.localUncompressedSize, 0u);
                EXPECT_TRUE(e.hasDescriptor);
                EXPECT_EQ(e.descriptorSignature, 0x08074b50u);
                EXPECT_EQ(e.descriptorCrc, e.crc);
                EXPECT_EQ(e.descriptorCompressedSize, e.compressedSize64);
                EXPECT_EQ(e.descriptorUncompressedSize, e.uncompressedSize64);
            } else {
                EXPECT_EQ(e.flags, 0);
                EXPECT_EQ(e.localFlags, 0);
                EXPECT_EQ(e.localVersionNeeded, 20);
                EXPECT_EQ(e.localCrc, e.crc);
                EXPECT_EQ(e.localCompressedSize, e.compressedSize);
                EXPECT_EQ(e.localUncompressedSize, e.uncompressedSize);
            }
            EXPECT_EQ(e.localTime, kDosTime);
            // The next entry follows the data and, where there is one, the 24-byte descriptor.
            nextOffset += 30 + e.name.size() + e.compressedSize64 + (expected.sizes ? 24 : 0);
        }
        EXPECT_EQ(zip.hasZip64End, c.zip64End);
        EXPECT_EQ(zip.endEntries, 4);
        if (c.zip64End) {
            EXPECT_EQ(zip.centralOffset, 0xFFFFFFFFu);
            EXPECT_EQ(zip.zip64CentralOffset, nextOffset);
            EXPECT_EQ(zip.zip64Entries, 4u);
            EXPECT_EQ(zip.zip64EntriesOnDisk, 4u);
            EXPECT_EQ(zip.zip64VersionNeeded, 45);
            EXPECT_EQ(zip.zip64EndOffset, nextOffset + zip.zip64CentralSize);
            EXPECT_EQ(zip.zip64Disks, 1u);
            // The Zip64 end record (56 bytes) and its locator (20) before the end record.
            EXPECT_EQ(zip.zip64EndOffset + 56 + 20 + 22, bytes.size());
        } else {
            EXPECT_EQ(zip.centralOffset, nextOffset);
            EXPECT_EQ(zip.centralOffset + zip.centralSize + 22, bytes.size());
        }
        EXPECT_EQ(zip.trailingBytes, 0u);
    }
}

// The readers our users have: Info-ZIP's unzip, Python's zipfile, GDAL's
// /vsizip/ read a chunk at a time and its KML driver, each on a plain container
// and on one with every Zip64 record. (GDAL's LIBKML driver reads no KMZ whose
// central directory holds a Zip64 size, which a document beyond 4 GiB needs.)
TEST(PackKmz, ZipReadersAcceptThePlainAndTheZip64Container) {
    const std::string kml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">"
        "<Document><Placemark><name>" +
        std::string(3000, 'p') +
        "</name><Point><coordinates>37.6,55.7,0</coordinates></Point></Placemark></Document></kml>\r\n";
    const std::string readEntry = std::string("/usr/bin/python3 ") + TERVO_READ_ZIP_ENTRY;
    const std::string readers[] = {
        "/usr/bin/unzip -tq %s",
        readEntry + " zipfile %s doc.kml",
        readEntry + " gdal %s doc.kml",
        "/usr/bin/ogrinfo -ro -al -so /vsizip/%s/doc.kml | grep -q 'Feature Count: 1'",
    };
    for (uint64_t limit : {kZip32Limit, uint64_t{100}}) {
        TempDir dir;
        WriteFile(dir.File("doc.kml"), kml);
        WriteFile(dir.File("icon.png"), std::string(500, 'i'));
        TestPlatform platform;
        const std::string container = dir.File("t.kmz");
        PackKmz(container, {{"doc.kml", dir.File("doc.kml")}, {"icon.png", dir.File("icon.png")}}, platform,
                nullptr, limit);
        ASSERT_EQ(ReadContainer(container).hasZip64End, limit == 100);
        for (const std::string& reader : readers) {
            std::string command = reader;
            command.replace(command.find("%s"), 2, container);
            SCOPED_TRACE(command + (limit == 100 ? " on Zip64" : " on plain ZIP"));
            EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0);
        }
    }
}

// A run over an empty log: the head, the icons and the styles are still written,
// and only the container is left of them.
TEST(RunConversion, EmptyLogStillPacksTheKmlAndTheIcons) {
    struct Case {
        int32_t valid, invalid, dtrack;
        std::vector<std::string> entries;
        const char* catches;
    };
    const Case cases[] = {
        {0x0000FF,
         0x00FF00,
         0xFF0000,
         {"out.kml", "255.png", "65280.png", "16711680.png"},
         "entries missing, out of order, or not cleaned up"},
        {0x0000FF,
         0x00FF00,
         0x0000FF,
         {"out.kml", "255.png", "65280.png"},
         "one icon file packed twice, or its second deletion breaking the run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        TempDir dir;
        WriteFile(dir.File("empty.log"), "");
        ConversionSettings settings;
        settings.InputPath = dir.File("empty.log");
        settings.InputName = "empty.log";
        settings.OutputName = "out.kmz";
        settings.OutputPath = dir.File("previous.kmz");
        settings.Format = LogFormat::Nmea;
        settings.ShapeRightPoint = c.valid;
        settings.ShapeIncorPoint = c.invalid;
        settings.ShapeDTrack = c.dtrack;
        testing::RecordingView view;
        SentenceAssembler assembler;
        TestPlatform platform;

        ASSERT_EQ(RunConversion(settings, view, assembler, platform), ConversionResult::Completed);
        EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"empty.log", "out.kmz"}));
        ZipArchive zip = ReadContainer(dir.File("out.kmz"));
        EXPECT_EQ(Names(zip), c.entries);
        for (const ZipEntry& e : zip.entries) {
            const bool isIcon = e.name.ends_with(".png");
            EXPECT_EQ(e.data.substr(0, isIcon ? 4 : 5), isIcon ? "\x89PNG" : "<kml>") << e.name;
        }
    }
}

}  // namespace
}  // namespace tervo
