#include "kml/icon.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "kml/arrow_template.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;

constexpr int kSize = 48;

struct Image {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    std::vector<uint8_t> rgba;  // only for 48 x 48 8-bit RGBA images

    const uint8_t* Pixel(int row, int column) const { return &rgba[(row * kSize + column) * 4]; }
};

struct Reader {
    const std::string* bytes;
    size_t position;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (length > reader->bytes->size() - reader->position) {
        png_error(png, "truncated");
    }
    std::memcpy(out, reader->bytes->data() + reader->position, length);
    reader->position += length;
}

// An independent decoder, so the icon is checked by something else than the code
// that wrote it. Keeps no object with a destructor in its frame (libpng longjmps).
bool DecodePng(const std::string& bytes, Image* image) {
    Reader reader{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_bytep rows[kSize];
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, ReadBytes);
    png_read_info(png, info);
    png_get_IHDR(png, info, &image->width, &image->height, &image->bitDepth, &image->colorType,
                 &image->interlace, nullptr, nullptr);
    if (image->width == kSize && image->height == kSize && image->bitDepth == 8 &&
        image->colorType == PNG_COLOR_TYPE_RGB_ALPHA && image->interlace == PNG_INTERLACE_NONE) {
        image->rgba.resize(kSize * kSize * 4);
        for (int row = 0; row < kSize; ++row) {
            rows[row] = &image->rgba[row * kSize * 4];
        }
        png_read_image(png, rows);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

Image TemplateImage() {
    Image image;
    EXPECT_TRUE(DecodePng(
        std::string(reinterpret_cast<const char*>(kArrowTemplatePng), kArrowTemplatePngSize), &image));
    return image;
}

bool IsWhite(const uint8_t* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

// The drawing the icons are made from: a wrong regeneration of the template shows here.
TEST(ArrowTemplate, IsAnUpwardArrowOfGreensWithSoftEdges) {
    Image image = TemplateImage();
    ASSERT_EQ(image.rgba.size(), size_t{kSize * kSize * 4}) << "not a 48 x 48 8-bit RGBA image";
    int partlyTransparent = 0;
    int transparentWhite = 0;
    for (int row = 0; row < kSize; ++row) {
        int first = kSize;
        int last = -1;
        for (int column = 0; column < kSize; ++column) {
            const uint8_t* p = image.Pixel(row, column);
            if (p[3] == 0) {
                transparentWhite += IsWhite(p);
                continue;
            }
            first = std::min(first, column);
            last = std::max(last, column);
            partlyTransparent += p[3] < 255;
            EXPECT_FALSE(IsWhite(p)) << "visible white pixel at row " << row << ", column " << column;
            EXPECT_GT(p[1], p[0]) << "not green at row " << row << ", column " << column;
            EXPECT_GT(p[1], p[2]) << "not green at row " << row << ", column " << column;
        }
        SCOPED_TRACE("row " + std::to_string(row));
        if (row == 0 || row == kSize - 1) {
            EXPECT_EQ(last, -1);
        } else if (row == 1) {
            EXPECT_EQ(first, 22);
            EXPECT_EQ(last, 26);
        } else if (row >= 20 && row <= 23) {
            EXPECT_EQ(first, 5);
            EXPECT_EQ(last, 43);
        } else if (row < 20) {
            EXPECT_GT(first, 5);
            EXPECT_LT(last, 43);
        } else {
            EXPECT_EQ(first, 14);
            EXPECT_EQ(last, 33);
        }
    }
    EXPECT_GT(partlyTransparent, 100) << "edges are not soft";
    EXPECT_GT(transparentWhite, 0) << "the pure-white rule of the icon maker would go untested";
}

// A template edited by hand, or a drawing changed without regenerating the source, shows here.
TEST(ArrowTemplate, MatchesWhatTheGeneratorDraws) {
    const char* toolsDir = std::getenv("TERVO_TOOLS_DIR");
    std::string tool = std::string(toolsDir == nullptr ? "" : toolsDir) + "/make_arrow_template";
    if (toolsDir == nullptr || access(tool.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "make_arrow_template is not built";
    }
    TempDir dir;
    std::string command = tool + " " + dir.File("arrow.cc") + " " + dir.File("arrow.png");
    ASSERT_EQ(std::system(command.c_str()), 0);
    Image drawn;
    ASSERT_TRUE(DecodePng(ReadFile(dir.File("arrow.png")), &drawn));
    EXPECT_TRUE(drawn.rgba == TemplateImage().rgba);
}

struct IconCase {
    int32_t colour;
    const char* name;
    const char* catches;
};

TEST(MakeWaypointIcon, RecoloursEveryPixelButPureWhiteAndKeepsAlpha) {
    const IconCase cases[] = {
        {0x0000FF, "255.png", "red taken from the wrong byte"},
        {0x00FF00, "65280.png", "green taken from the wrong byte"},
        {0xFF0000, "16711680.png", "blue taken from the wrong byte"},
        {0x00FFFF, "65535.png", "two-channel colour mixed up"},
        {0xFFFFFF, "16777215.png", "white arrow: name of the largest colour"},
        {0x123456, "1193046.png", "channels swapped (red is the low byte)"},
        {0, "0.png", "black: name without digits, or black taken as 'no colour'"},
        {static_cast<int32_t>(0x80123456), "1193046.png", "bits above the colour leaking into name"},
    };
    const Image source = TemplateImage();
    ASSERT_FALSE(source.rgba.empty());
    TempDir dir;
    for (const IconCase& c : cases) {
        SCOPED_TRACE(c.catches);
        std::string directory = dir.path().substr(0, dir.path().size() - 1);
        ASSERT_EQ(MakeWaypointIcon(c.colour, directory), c.name);
        Image icon;
        ASSERT_TRUE(DecodePng(ReadFile(dir.File(c.name)), &icon));
        EXPECT_EQ(icon.width, png_uint_32{kSize});
        EXPECT_EQ(icon.height, png_uint_32{kSize});
        EXPECT_EQ(icon.bitDepth, 8);
        EXPECT_EQ(icon.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
        EXPECT_EQ(icon.interlace, PNG_INTERLACE_NONE);
        ASSERT_EQ(icon.rgba.size(), source.rgba.size());
        const uint8_t want[3] = {static_cast<uint8_t>(c.colour), static_cast<uint8_t>(c.colour >> 8),
                                 static_cast<uint8_t>(c.colour >> 16)};
        int wrong = 0;
        for (int row = 0; row < kSize; ++row) {
            for (int column = 0; column < kSize; ++column) {
                const uint8_t* before = source.Pixel(row, column);
                const uint8_t* after = icon.Pixel(row, column);
                const uint8_t* rgb = IsWhite(before) ? before : want;
                wrong +=
                    after[0] != rgb[0] || after[1] != rgb[1] || after[2] != rgb[2] || after[3] != before[3];
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels not recoloured as the template says";
    }
}

TEST(MakeWaypointIcon, MissingDirectoryThrowsWithTheFullPath) {
    TempDir dir;
    const std::string missing = dir.File("no-such-dir");
    try {
        MakeWaypointIcon(0x00FF00, missing);
        FAIL() << "no error";
    } catch (const CreateFileError& error) {
        EXPECT_STREQ(error.what(), ("Cannot create file " + missing + "/65280.png").c_str());
        EXPECT_EQ(error.path(), missing + "/65280.png");
    }
    EXPECT_FALSE(FileExists(missing));
}

// A relative output name leaves the directory empty: the icon belongs in the
// current directory, where the packer looks for it, not in the root.
TEST(MakeWaypointIcon, EmptyDirectoryIsTheCurrentOne) {
    TempDir dir;
    char* previous = getcwd(nullptr, 0);
    ASSERT_NE(previous, nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const bool rootHadIt = FileExists("/16711935.png");
    std::string name = MakeWaypointIcon(0xFF00FF, "");
    EXPECT_EQ(chdir(previous), 0);
    std::free(previous);
    if (!rootHadIt && FileExists("/16711935.png")) {
        std::remove("/16711935.png");
        ADD_FAILURE() << "icon written into the root directory";
    }
    EXPECT_EQ(name, "16711935.png");
    EXPECT_TRUE(FileExists(dir.File("16711935.png")));
}

}  // namespace
}  // namespace tervo
