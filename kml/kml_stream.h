// The KML text stream. It stands in for a text-mode file written with printf:
// every line feed of a format text reaches the sink as CR LF, numbers are
// formatted as "%.Nf" / "%d" would print them in the C locale (whatever the
// process locale), and values that come from a log, a settings file or a file
// name are escaped so that the document stays well-formed XML.
//
// Writes are buffered; a failing sink is remembered and reported by ok() and
// Close(), so a broken file is never taken for a finished one.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/byte_sink.h"
#include "core/text_format.h"

namespace tervo {

// A format text of the program with its line feeds already turned into CR LF
// when the program is compiled: "<Placemark>\n"_kml. The writers print their
// texts this way, since a document holds tens of millions of them.
struct KmlLiteral {
    std::string_view text;
};

namespace kml_literal_detail {

template <size_t N>
struct Source {
    char chars[N];
    consteval Source(const char (&text)[N]) {
        for (size_t i = 0; i < N; ++i) {
            chars[i] = text[i];
        }
    }
    consteval size_t CrLfSize() const {
        size_t size = 0;
        for (size_t i = 0; i + 1 < N; ++i) {
            size += chars[i] == '\n' ? 2 : 1;
        }
        return size;
    }
};

template <Source S>
inline constexpr auto kCrLf = [] {
    std::array<char, S.CrLfSize() + 1> out{};
    size_t at = 0;
    for (size_t i = 0; i + 1 < sizeof S.chars; ++i) {
        if (S.chars[i] == '\n') {
            out[at++] = '\r';
        }
        out[at++] = S.chars[i];
    }
    return out;
}();

}  // namespace kml_literal_detail

template <kml_literal_detail::Source S>
constexpr KmlLiteral operator""_kml() {
    return {std::string_view(kml_literal_detail::kCrLf<S>.data(), kml_literal_detail::kCrLf<S>.size() - 1)};
}

class KmlStream {
public:
    explicit KmlStream(ByteSink& sink);
    ~KmlStream();
    KmlStream(const KmlStream&) = delete;
    KmlStream& operator=(const KmlStream&) = delete;

    // A format text of the program itself: written as it stands, "\n" as CR LF.
    KmlStream& Text(std::string_view text);
    KmlStream& Text(KmlLiteral literal) {
        Append(literal.text.data(), literal.text.size());
        return *this;
    }
    // A part of a document that another KmlStream wrote (a merged log's own
    // part): its line ends are CR LF already and its values escaped, so it is
    // copied as it stands.
    KmlStream& Written(std::string_view part) {
        Append(part.data(), part.size());
        return *this;
    }
    // "%.Nf" of value (decimals 0 to 17); "%f" is Fixed(value, 6).
    KmlStream& Fixed(double value, int decimals);
    // "%d" / "%u".
    KmlStream& Int(int64_t value);
    // A value from the log, the settings or a file name (see EscapeValue).
    KmlStream& Value(std::string_view value);
    // One character from the log ("%c"), escaped like a value.
    KmlStream& Char(char value);

    // The number of bytes written so far.
    uint64_t Position() const { return flushed_ + used_; }
    // Takes back everything written from `position` on (a part of the document
    // that a stopped run must not leave behind).
    void DiscardFrom(uint64_t position);

    // False once any write failed.
    bool ok() const { return ok_; }
    // Flushes the buffer and closes the sink; false when any byte was lost.
    bool Close();

private:
    static constexpr size_t kBufferSize = 1 << 16;
    // The longest number Fixed and Int print: "%.17f" of the largest double.
    static constexpr size_t kLongestNumber = 350;

    void Append(const char* data, size_t size) {
        if (size == 0) return;  // an empty view may carry no address at all
        if (size <= kBufferSize - used_) {
            std::memcpy(buffer_ + used_, data, size);
            used_ += size;
        } else {
            AppendPastBuffer(data, size);
        }
    }
    void AppendPastBuffer(const char* data, size_t size);
    // Room for a number at the end of the buffer.
    char* NumberRoom();
    void Flush();

    ByteSink& sink_;
    char* buffer_;
    size_t used_ = 0;
    uint64_t flushed_ = 0;
    bool ok_ = true;
    bool closed_ = false;
};

// The text that stands for `value` inside the document: "&", "<" and ">" as
// entities (so "]]>" cannot end a CDATA section and HTML inside the description
// shows the value, not markup), a carriage return as "&#13;" (so that every line
// of the file still ends in CR LF), every byte XML cannot hold (NUL and the other
// control bytes except tab and line feed) and every byte that is not part of
// valid UTF-8 as U+FFFD. An ordinary value comes back unchanged.
std::string EscapeValue(std::string_view value);

}  // namespace tervo
