#include "kml/kml_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tervo {

namespace {
constexpr char kReplacement[] = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at s (which has n bytes), 0 when invalid.
size_t Utf8SequenceLength(const unsigned char* s, size_t n) {
    unsigned char c = s[0];
    size_t len;
    uint32_t min;
    uint32_t cp;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len) {
        return 0;
    }
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF) {
        return 0;
    }
    return len;
}
}  // namespace

FileSink::FileSink(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = errno;
    }
}

FileSink::~FileSink() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileSink::Write(const char* data, size_t size) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == ENOSPC || errno == EDQUOT) && makeRoom_) {
            std::function<void()> makeRoom = std::move(makeRoom_);
            makeRoom_ = nullptr;
            makeRoom();
        } else {
            failed_ = true;
            error_ = written < 0 ? errno : EIO;
            return false;
        }
    }
    return true;
}

bool FileSink::Truncate(uint64_t size) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    const auto length = static_cast<off_t>(size);
    return ::ftruncate(fd_, length) == 0 && ::lseek(fd_, length, SEEK_SET) == length;
}

bool FileSink::Close() {
    if (fd_ < 0) {
        return false;
    }
    const bool closed = ::close(fd_) == 0;
    if (!closed && error_ == 0) {
        error_ = errno;
    }
    fd_ = -1;
    return closed && !failed_;
}

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

namespace {

constexpr uint64_t kPowersOf5[] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125};
constexpr uint64_t kPowersOf10[] = {1,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};

// "%.Nf" of a finite value below 2^30 with up to 9 decimals, the case of every
// number the writers print, without the general conversion's cost. The value
// is m * 2^e exactly; value * 10^N is then m * 5^N * 2^(e+N), and e + N < 0
// here, so a right shift by -(e+N) with the bits shifted out rounded half to
// even gives exactly the digits printf gives. False for any other value.
bool FormatSmallFixed(double value, int decimals, char* out, size_t* length) {
    const auto bits = std::bit_cast<uint64_t>(value);
    const int exponentField = static_cast<int>((bits >> 52) & 0x7FF);
    if (decimals < 0 || decimals > 9 || exponentField >= 1023 + 30) {
        return false;
    }
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (exponentField != 0) {
        mantissa |= uint64_t{1} << 52;
        exponent = exponentField - 1075;
    }
    const int shift = -(exponent + decimals);  // at least 14
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kPowersOf5[decimals];
    uint64_t digits = 0;
    if (shift < 128) {
        const unsigned __int128 whole = scaled >> shift;
        const unsigned __int128 rest = scaled - (whole << shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        digits = static_cast<uint64_t>(whole);
        if (rest > half || (rest == half && (digits & 1) != 0)) {
            ++digits;
        }
    }
    char* p = out;
    if ((bits >> 63) != 0) {
        *p++ = '-';
    }
    uint64_t fraction = digits % kPowersOf10[decimals];
    p = std::to_chars(p, p + 24, digits / kPowersOf10[decimals]).ptr;
    if (decimals > 0) {
        *p++ = '.';
        for (int i = decimals - 1; i >= 0; --i) {
            p[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        p += decimals;
    }
    *length = static_cast<size_t>(p - out);
    return true;
}

}  // namespace

size_t FormatFixed(double value, int decimals, char* out) {
    size_t length = 0;
    if (FormatSmallFixed(value, decimals, out, &length)) {
        return length;
    }
    if (std::isnan(value)) {
        // glibc prints the sign of a NaN too.
        const char* text = std::signbit(value) ? "-nan" : "nan";
        size_t n = std::strlen(text);
        std::memcpy(out, text, n);
        return n;
    }
    auto result = std::to_chars(out, out + 349, value, std::chars_format::fixed, decimals);
    return static_cast<size_t>(result.ptr - out);
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
