#include "kml/kml_stream.h"

#include <charconv>
#include <cstring>

namespace tervo {

namespace {
constexpr char kReplacement[] = "\xEF\xBF\xBD";
}  // namespace

KmlStream::KmlStream(ByteSink& sink) : sink_(sink), buffer_(new char[kBufferSize]) {}

KmlStream::~KmlStream() {
    if (!closed_) {
        // A sink that throws has said all it will: a destructor must not throw.
        try {
            Flush();
        } catch (...) {
        }
    }
    delete[] buffer_;
}

void KmlStream::Flush() {
    if (used_ > 0) {
        if (ok_ && !sink_.Write(buffer_, used_)) {
            ok_ = false;
        }
        flushed_ += used_;
        used_ = 0;
    }
}

void KmlStream::DiscardFrom(uint64_t position) {
    if (position >= flushed_) {
        used_ = static_cast<size_t>(std::min<uint64_t>(position - flushed_, used_));
        return;
    }
    used_ = 0;
    flushed_ = position;
    if (ok_ && !sink_.Truncate(position)) {
        ok_ = false;
    }
}

void KmlStream::AppendPastBuffer(const char* data, size_t size) {
    Flush();
    if (size > kBufferSize) {
        if (ok_ && !sink_.Write(data, size)) {
            ok_ = false;
        }
        flushed_ += size;
        return;
    }
    std::memcpy(buffer_, data, size);
    used_ = size;
}

char* KmlStream::NumberRoom() {
    if (kBufferSize - used_ < kLongestNumber) {
        Flush();
    }
    return buffer_ + used_;
}

KmlStream& KmlStream::Text(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (nl == nullptr) {
            Append(p, static_cast<size_t>(end - p));
            break;
        }
        Append(p, static_cast<size_t>(nl - p));
        Append("\r\n", 2);
        p = nl + 1;
    }
    return *this;
}

KmlStream& KmlStream::Fixed(double value, int decimals) {
    used_ += FormatFixed(value, decimals, NumberRoom());
    return *this;
}

KmlStream& KmlStream::Int(int64_t value) {
    char* room = NumberRoom();
    used_ += static_cast<size_t>(std::to_chars(room, room + kLongestNumber, value).ptr - room);
    return *this;
}

KmlStream& KmlStream::Value(std::string_view value) {
    bool plain = true;
    for (unsigned char c : value) {
        if (c == '&' || c == '<' || c == '>' || c >= 0x80 || (c < 0x20 && c != '\t')) {
            plain = false;
            break;
        }
    }
    if (plain) {
        Append(value.data(), value.size());
    } else {
        Text(EscapeValue(value));
    }
    return *this;
}

KmlStream& KmlStream::Char(char value) { return Value(std::string_view(&value, 1)); }

bool KmlStream::Close() {
    if (closed_) {
        return ok_;
    }
    // Closed even when the last write throws, so that nothing is written twice.
    closed_ = true;
    Flush();
    if (!sink_.Close()) {
        ok_ = false;
    }
    return ok_;
}

std::string EscapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 8);
    const auto* s = reinterpret_cast<const unsigned char*>(value.data());
    size_t n = value.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '\r') {
            // Written bare it would end a line without its LF; the reference
            // gives the reader the same character.
            out += "&#13;";
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            out += kReplacement;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            size_t len = Utf8SequenceLength(s + i, n - i);
            if (len == 0) {
                out += kReplacement;
                ++i;
                continue;
            }
            out.append(reinterpret_cast<const char*>(s + i), len);
            i += len;
            continue;
        }
        ++i;
    }
    return out;
}

}  // namespace tervo
