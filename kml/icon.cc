#include "kml/icon.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "kml/arrow_template.h"
#include "kml/png_writer.h"

namespace tervo {

namespace {

constexpr png_uint_32 kIconSize = 48;
constexpr size_t kChannels = 4;
constexpr size_t kRowBytes = kIconSize * kChannels;
constexpr size_t kGridBytes = kIconSize * kRowBytes;

// libpng calls this on an error and must not get control back: we leave for the
// setjmp of the function that started the libpng call. Those functions keep no
// object with a destructor in their frame.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnPngWarning(png_structp, png_const_charp) {}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->position) {
        png_error(png, "template truncated");
    }
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
}

// Decodes the built-in template into `rgba` (kGridBytes). False when it is not a
// 48 x 48 8-bit RGBA image without interlacing, or when libpng fails.
bool DecodeTemplate(uint8_t* rgba) {
    MemoryReader reader{kArrowTemplatePng, kArrowTemplatePngSize, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_bytep rows[kIconSize];
    for (png_uint_32 row = 0; row < kIconSize; ++row) {
        rows[row] = rgba + row * kRowBytes;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != kIconSize || png_get_image_height(png, info) != kIconSize ||
        png_get_bit_depth(png, info) != 8 || png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB_ALPHA ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

std::string MakeWaypointIcon(int32_t colour, const std::string& directory) {
    const uint32_t rgb = static_cast<uint32_t>(colour) & 0xFFFFFFu;
    const std::string name = WaypointIconName(colour);
    // An empty directory is the current one, not the root.
    const std::string path = directory.empty() ? name : directory + "/" + name;

    std::vector<uint8_t> grid(kGridBytes);
    if (!DecodeTemplate(grid.data())) {
        throw CreateFileError(path);
    }
    const uint8_t red = rgb & 0xFF;
    const uint8_t green = (rgb >> 8) & 0xFF;
    const uint8_t blue = (rgb >> 16) & 0xFF;
    for (size_t at = 0; at < kGridBytes; at += kChannels) {
        uint8_t* pixel = &grid[at];
        if (pixel[0] == 255 && pixel[1] == 255 && pixel[2] == 255) {
            continue;
        }
        pixel[0] = red;
        pixel[1] = green;
        pixel[2] = blue;
    }

    std::vector<uint8_t> png;
    const bool encoded = EncodeRgbaPng(grid.data(), kIconSize, kIconSize, PngOptions{}, &png);
    std::FILE* file = encoded ? std::fopen(path.c_str(), "wb") : nullptr;
    if (file == nullptr) {
        throw CreateFileError(path, encoded ? errno : 0);
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const int writeError = written ? 0 : errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = written ? errno : writeError;
        // A half-written icon is of no use to anyone.
        std::remove(path.c_str());
        throw CreateFileError(path, error);
    }
    return name;
}

std::string WaypointIconName(int32_t colour) {
    return std::to_string(static_cast<uint32_t>(colour) & 0xFFFFFFu) + ".png";
}

}  // namespace tervo
