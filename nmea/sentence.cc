#include "nmea/sentence.h"

#include <algorithm>
#include <cstring>

namespace tervo {

namespace {

bool IsHexDigit(uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char UpperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The sum is signed: widened with its sign, a sum of 0x80 or more is written
// with eight hex digits ("FFFFFF80") and so can never equal the two digits sent.
bool ChecksumMatches(int8_t sum, char first, char second) {
    if (sum < 0) {
        return false;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto value = static_cast<unsigned>(sum);
    return UpperCase(first) == kHex[value >> 4] && UpperCase(second) == kHex[value & 0x0F];
}

}  // namespace

bool SentenceAssembler::FeedByte(uint8_t byte, SentenceBuffer& buffer) {
    const char c = static_cast<char>(byte);
    auto store = [&] { buffer[static_cast<size_t>(position_++)] = c; };
    auto startSentence = [&] {
        buffer.fill(0);
        position_ = 0;
        sum_ = 0;
        firstDigit_ = 0;
        store();
    };

    // Every store below happens with position_ under 100: this test runs first.
    if (position_ >= kSentenceBufferSize) {
        inBody_ = false;
        inChecksum_ = false;
        haveFirstDigit_ = false;
        position_ = 0;
        firstDigit_ = 0;
        buffer.fill(0);
    }
    const bool idle = !inBody_ && !inChecksum_;
    if (idle && c == '$') {
        inBody_ = true;
        startSentence();
        return false;
    }
    if (inBody_ && c == '*') {
        inBody_ = false;
        inChecksum_ = true;
        store();
        return false;
    }
    if (inChecksum_ && !haveFirstDigit_ && IsHexDigit(byte)) {
        store();
        firstDigit_ = c;
        haveFirstDigit_ = true;
        return false;
    }
    if (inChecksum_ && haveFirstDigit_ && IsHexDigit(byte)) {
        store();
        inChecksum_ = false;
        haveFirstDigit_ = false;
        return ChecksumMatches(sum_, firstDigit_, c);
    }
    if (inChecksum_) {
        // A "$" here is dropped too, and with it the sentence it begins.
        inChecksum_ = false;
        haveFirstDigit_ = false;
        return false;
    }
    if (inBody_ && c == '$') {
        startSentence();
        return false;
    }
    if (inBody_) {
        store();
        sum_ = static_cast<int8_t>(sum_ ^ static_cast<int8_t>(byte));
        return false;
    }
    return false;
}

size_t SentenceAssembler::Feed(const uint8_t* data, size_t size, SentenceBuffer& buffer, bool* complete) {
    *complete = false;
    const uint8_t* p = data;
    const uint8_t* const end = data + size;
    while (p < end) {
        if (position_ < kSentenceBufferSize) {
            if (!inBody_ && !inChecksum_) {
                // Between sentences every byte but "$" is passed over.
                const void* dollar = std::memchr(p, '$', static_cast<size_t>(end - p));
                if (dollar == nullptr) {
                    return size;
                }
                p = static_cast<const uint8_t*>(dollar);
            } else if (inBody_) {
                // Body bytes are stored and summed until "*", "$" or a full buffer.
                const size_t room = static_cast<size_t>(kSentenceBufferSize - position_);
                const uint8_t* stop = p + std::min(room, static_cast<size_t>(end - p));
                int8_t sum = sum_;
                char* out = buffer.data() + position_;
                const uint8_t* q = p;
                for (; q < stop && *q != '*' && *q != '$'; ++q) {
                    *out++ = static_cast<char>(*q);
                    sum = static_cast<int8_t>(sum ^ static_cast<int8_t>(*q));
                }
                position_ += static_cast<int32_t>(q - p);
                sum_ = sum;
                p = q;
                if (p == end) {
                    return size;
                }
            }
        }
        if (FeedByte(*p++, buffer)) {
            *complete = true;
            return static_cast<size_t>(p - data);
        }
    }
    return size;
}

bool CommaCountIs(const SentenceBuffer& buffer, int32_t expected) {
    return std::count(buffer.begin(), buffer.end(), ',') == expected;
}

std::string_view SentenceText(const SentenceBuffer& buffer) {
    const void* zero = std::memchr(buffer.data(), 0, buffer.size());
    const size_t length =
        zero == nullptr ? buffer.size() : static_cast<size_t>(static_cast<const char*>(zero) - buffer.data());
    return std::string_view(buffer.data(), length);
}

bool ContainsNmeaSentence(const uint8_t* bytes, size_t size) {
    SentenceAssembler assembler;
    SentenceBuffer buffer{};
    for (size_t at = 0; at < size;) {
        bool complete = false;
        at += assembler.Feed(bytes + at, size - at, buffer, &complete);
        if (complete) {
            return true;
        }
    }
    return false;
}

}  // namespace tervo
