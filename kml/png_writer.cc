#include "kml/png_writer.h"

#include <png.h>

namespace tervo {

namespace {

// libpng calls this on an error and must not get control back: we leave for the
// setjmp of Encode.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// libpng leaves this frame by longjmp on an error, so no object with a
// destructor may live in it.
bool Encode(png_bytepp rowPointers, uint32_t width, uint32_t height, const PngOptions& options,
            std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendBytes, FlushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (options.ScreenChunks) {
        png_set_pHYs(png, info, 2835, 2835, PNG_RESOLUTION_METER);
        png_set_cHRM(png, info, 0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06);
    }
    if (options.CompressionLevel >= 0) {
        png_set_compression_level(png, options.CompressionLevel);
    }
    png_write_info(png, info);
    png_write_image(png, rowPointers);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool EncodeRgbaPng(const uint8_t* rgba, uint32_t width, uint32_t height, const PngOptions& options,
                   std::vector<uint8_t>* out) {
    std::vector<png_bytep> rows(height);
    for (uint32_t row = 0; row < height; ++row) {
        rows[row] = const_cast<png_bytep>(rgba + size_t{row} * width * 4);
    }
    return Encode(rows.data(), width, height, options, out);
}

}  // namespace tervo
