// The text stream of the exports (GPX, CSV, GeoJSON): bytes as they are given
// (each writer chooses its own line ends), numbers as "%.Nf" / "%d" print them
// in the C locale, and the escaping of a value for each format. Writes are
// buffered; a failing sink is remembered and reported by ok() and Close().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/byte_sink.h"

namespace tervo {

class ExportStream {
public:
    explicit ExportStream(ByteSink& sink);
    ~ExportStream();
    ExportStream(const ExportStream&) = delete;
    ExportStream& operator=(const ExportStream&) = delete;

    ExportStream& Text(std::string_view text);
    ExportStream& Fixed(double value, int decimals);
    ExportStream& Int(int64_t value);

    // False once any write failed.
    bool ok() const { return ok_; }
    // Flushes and closes the sink; false when any byte was lost.
    bool Close();

private:
    static constexpr size_t kBufferSize = 1 << 16;
    static constexpr size_t kLongestNumber = 350;  // "%.17f" of the largest double

    char* NumberRoom();
    void Flush();

    ByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    bool ok_ = true;
    bool closed_ = false;
};

// Each escape gives back an ordinary value unchanged, and turns every byte that
// is not part of valid UTF-8 into U+FFFD, so that the file stays UTF-8.
//
// XML character data and attribute values: "&", "<", ">", '"' as entities, a
// carriage return as "&#13;", and the control bytes XML cannot hold (all below
// 0x20 but tab and line feed) as U+FFFD.
std::string XmlEscaped(std::string_view value);
// One CSV field: quoted, with its quotes doubled, when it holds a comma, a quote,
// a carriage return or a line feed; the other control bytes as U+FFFD.
std::string CsvField(std::string_view value);

}  // namespace tervo
