// Sentence assembly: collects one NMEA sentence from its "$" to the two checksum
// digits in a 100-byte buffer and tells when a whole sentence with a matching
// checksum stands there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tervo {

inline constexpr int kSentenceBufferSize = 100;

// One sentence from "$" to its second checksum digit, zero bytes after it.
using SentenceBuffer = std::array<char, kSentenceBufferSize>;

// The assembler's state lives as long as the program: every run feeds the same
// assembler, so a sentence cut at the end of one log can be lost at the start of
// the next exactly as the byte rules say.
class SentenceAssembler {
public:
    // Processes one byte; true exactly when it completed a sentence whose
    // checksum matched.
    bool FeedByte(uint8_t byte, SentenceBuffer& buffer);

    // FeedByte on each of the `size` bytes in turn, up to the one that completes
    // a sentence whose checksum matched; returns the number of bytes taken (that
    // one included) and sets `complete`. The bytes between sentences and those
    // of a sentence's body take a quick path.
    size_t Feed(const uint8_t* data, size_t size, SentenceBuffer& buffer, bool* complete);

private:
    int32_t position_ = 0;
    bool inBody_ = false;
    bool inChecksum_ = false;
    bool haveFirstDigit_ = false;
    int8_t sum_ = 0;
    char firstDigit_ = 0;
};

// True when the buffer holds exactly `expected` commas among its 100 bytes.
bool CommaCountIs(const SentenceBuffer& buffer, int32_t expected);

// The sentence in the buffer: up to the first zero byte, or all 100 bytes.
std::string_view SentenceText(const SentenceBuffer& buffer);

// Whether `bytes` hold at least one sentence that passes every test of the
// assembler (a fresh one: the program's assembler is not touched).
bool ContainsNmeaSentence(const uint8_t* bytes, size_t size);

}  // namespace tervo
