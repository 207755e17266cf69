#include "export/export_stream.h"

#include <charconv>
#include <cstring>

#include "core/text_format.h"

namespace tervo {

namespace {

constexpr std::string_view kReplacement = kReplacementCharacter;

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

}  // namespace

ExportStream::ExportStream(ByteSink& sink) : sink_(sink), buffer_(new char[kBufferSize]) {}

ExportStream::~ExportStream() {
    if (!closed_) {
        // A sink that throws has said all it will: a destructor must not throw.
        try {
            Flush();
        } catch (...) {
        }
    }
}

void ExportStream::Flush() {
    if (used_ > 0) {
        if (ok_ && !sink_.Write(buffer_.get(), used_)) {
            ok_ = false;
        }
        used_ = 0;
    }
}

char* ExportStream::NumberRoom() {
    if (kBufferSize - used_ < kLongestNumber) {
        Flush();
    }
    return buffer_.get() + used_;
}

ExportStream& ExportStream::Text(std::string_view text) {
    if (text.size() > kBufferSize - used_) {
        Flush();
        if (text.size() > kBufferSize) {
            if (ok_ && !sink_.Write(text.data(), text.size())) {
                ok_ = false;
            }
            return *this;
        }
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
    return *this;
}

ExportStream& ExportStream::Fixed(double value, int decimals) {
    used_ += FormatFixed(value, decimals, NumberRoom());
    return *this;
}

ExportStream& ExportStream::Int(int64_t value) {
    char* room = NumberRoom();
    used_ += static_cast<size_t>(std::to_chars(room, room + kLongestNumber, value).ptr - room);
    return *this;
}

bool ExportStream::Close() {
    if (closed_) {
        return ok_;
    }
    closed_ = true;
    Flush();
    if (!sink_.Close()) {
        ok_ = false;
    }
    return ok_;
}

std::string XmlEscaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    AppendUtf8(out, value, [](std::string& text, char c) {
        switch (c) {
            case '&':
                text += "&amp;";
                break;
            case '<':
                text += "&lt;";
                break;
            case '>':
                text += "&gt;";
                break;
            case '"':
                text += "&quot;";
                break;
            case '\r':
                text += "&#13;";
                break;
            default:
                if (IsControl(c) && c != '\t' && c != '\n') {
                    text += kReplacement;
                } else {
                    text += c;
                }
        }
    });
    return out;
}

std::string CsvField(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    bool quoted = false;
    AppendUtf8(out, value, [&](std::string& text, char c) {
        if (c == '"') {
            text += "\"\"";
            quoted = true;
        } else if (c == ',' || c == '\r' || c == '\n') {
            text += c;
            quoted = true;
        } else if (IsControl(c) && c != '\t') {
            text += kReplacement;
        } else {
            text += c;
        }
    });
    return quoted ? "\"" + out + "\"" : out;
}

}  // namespace tervo
