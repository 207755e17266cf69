// Draws the waypoint arrow template and writes it as the C++ source that embeds
// it in the program, and optionally as a PNG file to look at:
//
//   make_arrow_template OUT.cc [OUT.png]
//
// The arrow points up on a 48 x 48 grid: a head from a narrow flat tip on row 1
// (columns 22-26) down to its full width on rows 20-23 (columns 5-43), and a
// shaft on rows 24-46 (columns 14-33). Rows 0 and 47 stay empty. Edges fade over
// about one and a half pixels. Visible pixels are greens, never pure white;
// transparent pixels near the arrow are transparent white, the others transparent
// black, so that the icon maker meets both kinds.
//
// The output is deterministic for a given libpng and zlib; the drawing itself is
// exact, so a rebuilt template differs at most in its compressed bytes.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 48;
constexpr int kChannels = 4;

struct Point {
    double x;
    double y;
};

// How far `p` lies inside the convex polygon `corners` (clockwise on screen,
// y down); negative outside. Outside a corner this is the mitred distance,
// which keeps corners sharp when the edge fades outwards.
double InsideDistance(const std::vector<Point>& corners, Point p) {
    double inside = 1e9;
    for (size_t i = 0; i < corners.size(); ++i) {
        Point a = corners[i];
        Point b = corners[(i + 1) % corners.size()];
        double dx = b.x - a.x;
        double dy = b.y - a.y;
        double length = std::sqrt(dx * dx + dy * dy);
        // The inward normal of a clockwise (screen) polygon is (-dy, dx).
        double distance = ((p.x - a.x) * -dy + (p.y - a.y) * dx) / length;
        inside = std::min(inside, distance);
    }
    return inside;
}

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

// The RGBA grid of the arrow, row by row.
std::vector<uint8_t> DrawArrow() {
    // The axis runs through the centre of column 24.
    const std::vector<Point> head = {{22.9, 1.1},  {26.1, 1.1}, {43.1, 20.0},
                                     {43.1, 23.9}, {5.9, 23.9}, {5.9, 20.0}};
    const std::vector<Point> shaft = {{14.6, 20.0}, {33.4, 20.0}, {33.4, 46.9}, {14.6, 46.9}};
    // A pixel shows when its centre lies less than half a pixel outside the
    // shape; its opacity then rises over this width.
    constexpr double kReach = 0.5;
    constexpr double kFade = 1.5;
    constexpr double kWhiteHalo = 3.0;

    std::vector<uint8_t> rgba(kSize * kSize * kChannels, 0);
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            Point centre{column + 0.5, row + 0.5};
            double inside = std::max(InsideDistance(head, centre), InsideDistance(shaft, centre));
            double t = Clamp01((inside + kReach) / kFade);
            double opacity = t * t * (3.0 - 2.0 * t);
            auto alpha = static_cast<uint8_t>(std::lround(255.0 * opacity));
            uint8_t* pixel = &rgba[(row * kSize + column) * kChannels];
            if (alpha == 0) {
                if (inside > -kWhiteHalo) {
                    pixel[0] = pixel[1] = pixel[2] = 255;
                }
                continue;
            }
            // Darker towards the rim and towards the tail, light in the middle of the head.
            double depth = Clamp01(inside / 4.0);
            double fall = row / static_cast<double>(kSize - 1);
            pixel[0] = static_cast<uint8_t>(std::lround(20.0 + 70.0 * depth * (1.0 - fall)));
            pixel[1] = static_cast<uint8_t>(std::lround(110.0 + 110.0 * depth - 40.0 * fall));
            pixel[2] = static_cast<uint8_t>(std::lround(30.0 + 40.0 * depth * (1.0 - fall)));
            pixel[3] = alpha;
        }
    }
    return rgba;
}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// Encodes the grid with the chunks the template carries besides its pixels
// (pHYs at 72 dpi, cHRM of sRGB). Returns false when libpng fails. No object
// with a destructor may live in this frame: libpng leaves it by longjmp.
bool EncodePng(const uint8_t* rgba, std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_bytep rows[kSize];
    for (int row = 0; row < kSize; ++row) {
        rows[row] = const_cast<png_bytep>(rgba + row * kSize * kChannels);
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendBytes, FlushNothing);
    png_set_IHDR(png, info, kSize, kSize, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, 2835, 2835, PNG_RESOLUTION_METER);
    png_set_cHRM(png, info, 0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::string SourceText(const std::vector<uint8_t>& png) {
    std::string text =
        "// Generated by tools/make_arrow_template; do not edit. The waypoint arrow\n"
        "// template as PNG bytes (48 x 48, 8-bit RGBA).\n"
        "#include \"kml/arrow_template.h\"\n"
        "\n"
        "namespace tervo {\n"
        "\n"
        "const uint8_t kArrowTemplatePng[] = {\n";
    char hex[8];
    for (size_t i = 0; i < png.size(); ++i) {
        if (i % 16 == 0) {
            text += "    ";
        }
        std::snprintf(hex, sizeof hex, "0x%02x,", png[i]);
        text += hex;
        text += (i % 16 == 15 || i + 1 == png.size()) ? "\n" : " ";
    }
    text +=
        "};\n"
        "\n"
        "const size_t kArrowTemplatePngSize = sizeof(kArrowTemplatePng);\n"
        "\n"
        "}  // namespace tervo\n";
    return text;
}

bool WriteWhole(const char* path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool good = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && good;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_arrow_template OUT.cc [OUT.png]\n");
        return 2;
    }
    std::vector<uint8_t> rgba = DrawArrow();
    std::vector<uint8_t> png;
    if (!EncodePng(rgba.data(), &png)) {
        std::fprintf(stderr, "make_arrow_template: PNG encoding failed\n");
        return 1;
    }
    std::string source = SourceText(png);
    if (!WriteWhole(argv[1], source.data(), source.size())) {
        std::fprintf(stderr, "make_arrow_template: cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3 && !WriteWhole(argv[2], png.data(), png.size())) {
        std::fprintf(stderr, "make_arrow_template: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
