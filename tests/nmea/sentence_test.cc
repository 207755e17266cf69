#include "nmea/sentence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_builders.h"

namespace tervo {
namespace {

std::string Sentence(const std::string& body) { return testing::NmeaSentence(body, false); }

// A sentence of exactly `length` bytes from "$" to its second checksum digit.
std::string SentenceOfLength(size_t length) { return Sentence("GPTXT," + std::string(length - 10, 'x')); }

const std::string kGga = Sentence("GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
const std::string kRmc = "$GPRMC,,V,,,,,,,,,,N*53";  // its sum is known to be 0x53
const std::string kGsaLower = "$GPGSA,A,1,,,,,,,,,,,,,,,*1e";

// The sentences reported while `stream` is fed byte by byte, each as the
// buffer held it on the byte that reported it.
std::vector<std::string> Reported(SentenceAssembler& assembler, const std::string& stream) {
    SentenceBuffer buffer{};
    std::vector<std::string> reported;
    for (char byte : stream) {
        if (assembler.FeedByte(static_cast<uint8_t>(byte), buffer)) {
            reported.emplace_back(SentenceText(buffer));
        }
    }
    return reported;
}

TEST(FeedByte, ReportsExactlyTheCheckedSentences) {
    struct Case {
        const char* legend;
        std::string stream;
        std::vector<std::string> reported;
    };
    const std::string hundred = SentenceOfLength(100);
    const std::vector<Case> cases = {
        {"a GGA followed by its line end", kGga + "\r\n", {kGga}},
        {"the known sum 0x53 (sums the wrong bytes, e.g. the '$')", kRmc, {kRmc}},
        {"lower-case checksum digits", kGsaLower, {kGsaLower}},
        {"a wrong checksum", "$GPRMC,,V,,,,,,,,,,N*54", {}},
        {"two sentences back to back", kGga + kRmc, {kGga, kRmc}},
        {"a '$' inside a body restarts there", "$GPGGA,1235\r\n" + kRmc, {kRmc}},
        {"'*' then 'G' abandons the sentence", "$GPRMC,,V,,,,,,,,,,N*G3", {}},
        {"a '$' right after '*' is lost with its sentence", "$GPTXT,1*" + kRmc + kGga, {kGga}},
        {"a '$' after the first digit is lost too", "$GPTXT,1*4" + kRmc + kGga, {kGga}},
        {"100 bytes fit, with no zero after them", hundred, {hundred}},
        {"101 bytes are dropped, the next sentence is read", SentenceOfLength(101) + kRmc, {kRmc}},
        {"high bytes whose sum stays below 0x80 count like any byte",
         Sentence("GPTXT,\xC1\xC2"),
         {Sentence("GPTXT,\xC1\xC2")}},
        {"a sum of 0x80 or more never matches, not even its low byte", Sentence("GPTXT,\xC1") + kRmc, {kRmc}},
    };
    for (const Case& c : cases) {
        SentenceAssembler assembler;
        EXPECT_EQ(Reported(assembler, c.stream), c.reported) << c.legend;
    }
}

TEST(FeedByte, ReportsOnTheSecondDigitAndClearsTheBufferBehindTheSentence) {
    SentenceAssembler assembler;
    SentenceBuffer buffer;
    buffer.fill(',');  // a stale comma behind the sentence would spoil CommaCountIs
    const std::string stream = kGga + "\r\n";
    for (size_t i = 0; i < stream.size(); ++i) {
        EXPECT_EQ(assembler.FeedByte(static_cast<uint8_t>(stream[i]), buffer), i == kGga.size() - 1) << i;
    }
    EXPECT_EQ(SentenceText(buffer), kGga);
    EXPECT_TRUE(CommaCountIs(buffer, 14));
}

TEST(FeedByte, TheStateOutlivesOneLog) {
    SentenceAssembler assembler;
    Reported(assembler, "$GPGGA,1235");  // a log that ends inside a body
    EXPECT_EQ(Reported(assembler, kRmc), std::vector<std::string>{kRmc});
    Reported(assembler, "$GPGGA,1235*");  // one that ends where a digit is awaited
    EXPECT_EQ(Reported(assembler, kRmc + kGga), std::vector<std::string>{kGga});
}

// Feed over a stream cut at random places must report what FeedByte reports, at
// the same bytes and with the same buffers: the stream mixes whole sentences,
// bad checksums, "$" and "*" in odd places, bodies that overflow the buffer and
// noise.
TEST(Feed, ReportsWhatFeedByteReportsAtTheSameBytes) {
    uint32_t state = 99;
    auto next = [&](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    std::string stream;
    while (stream.size() < 400000) {
        switch (next(8)) {
            case 0:
                stream += kGga + "\r\n";
                break;
            case 1:
                stream += SentenceOfLength(90 + next(20));  // around the buffer's size
                break;
            case 2:
                stream += kRmc.substr(0, next(static_cast<uint32_t>(kRmc.size())));  // cut short
                break;
            case 3:
                stream += kGsaLower;
                break;
            case 4:  // bytes above 0x7F in a sentence that still checks out
                stream += Sentence(std::string("GPTXT,\x80\x81,") + static_cast<char>('A' + next(20)));
                break;
            default: {
                const char alphabet[] = "$*,0123456789ABCDEFabcdefGP\r\n\x80";
                const uint32_t length = next(40);
                for (uint32_t i = 0; i < length; ++i) {
                    stream += alphabet[next(sizeof alphabet - 1)];
                }
            }
        }
    }
    SentenceAssembler byByte;
    SentenceAssembler inRuns;
    SentenceBuffer byteBuffer{};
    SentenceBuffer runBuffer{};
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
    size_t reports = 0;
    for (size_t at = 0; at < stream.size();) {
        const size_t span = std::min<size_t>(1 + next(300), stream.size() - at);
        bool complete = false;
        const size_t taken = inRuns.Feed(bytes + at, span, runBuffer, &complete);
        ASSERT_GE(taken, 1u);
        ASSERT_LE(taken, span);
        for (size_t i = 0; i < taken; ++i) {
            const bool reported = byByte.FeedByte(bytes[at + i], byteBuffer);
            ASSERT_EQ(reported, complete && i + 1 == taken) << "byte " << at + i;
        }
        if (complete) {
            ASSERT_EQ(runBuffer, byteBuffer) << "byte " << at + taken - 1;
            ++reports;
        }
        at += taken;
    }
    EXPECT_GT(reports, 1000u);
}

}  // namespace
}  // namespace tervo
