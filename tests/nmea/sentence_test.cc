#include "nmea/sentence.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tervo {
namespace {

// "$" + body + "*" + the body's checksum in upper-case hex.
std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) {
        sum ^= c;
    }
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
    return "$" + body + "*" + digits;
}

// The sentence with its checksum digits in lower case.
std::string LowerCaseChecksum(std::string sentence) {
    for (size_t i = sentence.size() - 2; i < sentence.size(); ++i) {
        if (sentence[i] >= 'A' && sentence[i] <= 'F') {
            sentence[i] = static_cast<char>(sentence[i] - 'A' + 'a');
        }
    }
    return sentence;
}

const std::string kGga = Sentence("GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
const std::string kRmc = "$GPRMC,,V,,,,,,,,,,N*53";  // its sum is known to be 0x53
const std::string kGsa = "$GPGSA,A,1,,,,,,,,,,,,,,,*1E";

// A sentence of exactly `length` bytes from "$" to the second checksum digit.
std::string SentenceOfLength(size_t length) {
    std::string body = "GPTXT,";
    body.append(length - 4 - body.size(), 'x');
    return Sentence(body);
}

struct Fed {
    std::vector<size_t> reportedAt;     // indices of the bytes that returned true
    std::vector<std::string> reported;  // the buffer's text at each report
};

Fed FeedAll(SentenceAssembler& assembler, SentenceBuffer& buffer, const std::string& bytes) {
    Fed fed;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (assembler.FeedByte(static_cast<uint8_t>(bytes[i]), buffer)) {
            fed.reportedAt.push_back(i);
            fed.reported.emplace_back(SentenceText(buffer));
        }
    }
    return fed;
}

struct StreamCase {
    const char* legend;
    std::string stream;
    std::vector<std::string> expected;  // sentences reported, in order
};

TEST(FeedByte, ReportsExactlyTheCheckedSentences) {
    const std::string hundred = SentenceOfLength(100);
    const std::string hundredAndOne = SentenceOfLength(101);
    // Two bytes above 0x7F whose top bits cancel: the sum stays below 0x80.
    const std::string highPair = Sentence("GPTXT,\xC1\xC2");
    // One byte above 0x7F: the sum is 0x80 or more. Its low byte as checksum
    // digits must not match, because the signed sum is written with eight digits.
    const std::string highSum = Sentence("GPTXT,\xC1");
    const std::vector<StreamCase> cases = {
        {"a checked GGA with line end (misses the report or reports on another byte)", kGga + "\r\n", {kGga}},
        {"lower-case checksum letters (compares case-sensitively)",
         LowerCaseChecksum(kGsa),
         {LowerCaseChecksum(kGsa)}},
        {"the known sum 0x53 (sums over the wrong bytes, e.g. the '$')", kRmc, {kRmc}},
        {"a wrong checksum (reports without checking)", "$GPRMC,,V,,,,,,,,,,N*54\r\n", {}},
        {"two sentences back to back (needs a line end between them)", kGga + kRmc, {kGga, kRmc}},
        {"a '$' inside a body restarts there (keeps the part before it)", "$GPGGA,1235" + kRmc, {kRmc}},
        {"noise and line ends between sentences are dropped", "\r\nxx*12,\n" + kRmc + "\r\n\r\n", {kRmc}},
        {"'*' then 'G' abandons the sentence", "$GPRMC,,V,,,,,,,,,,N*G3" + std::string("\r\n"), {}},
        {"a '$' right after '*' is lost with its sentence", "$GPTXT,1*" + kRmc + "\r\n" + kGga, {kGga}},
        {"a '$' after the first digit is lost too", "$GPTXT,1*4" + kRmc + "\r\n" + kGga, {kGga}},
        {"a 100-byte sentence fits the buffer (overflows one byte early)", hundred + "\r\n", {hundred}},
        {"a 101-byte sentence is dropped, the next one is read (reports it, or loses the next)",
         hundredAndOne + "\r\n" + kRmc,
         {kRmc}},
        {"high bytes whose sum stays below 0x80 are summed like any byte", highPair, {highPair}},
        {"a sum of 0x80 or more never matches", highSum + "\r\n" + kRmc, {kRmc}},
    };
    for (const StreamCase& c : cases) {
        SentenceAssembler assembler;
        SentenceBuffer buffer{};
        const Fed fed = FeedAll(assembler, buffer, c.stream);
        EXPECT_EQ(fed.reported, c.expected) << c.legend;
    }
}

TEST(FeedByte, ReportsOnTheSecondChecksumDigitAndLeavesZerosBehind) {
    SentenceAssembler assembler;
    SentenceBuffer buffer{};
    buffer.fill('#');  // the start of a sentence must clear what stood there
    const Fed fed = FeedAll(assembler, buffer, kGga + "\r\n");
    ASSERT_EQ(fed.reportedAt, std::vector<size_t>{kGga.size() - 1});
    EXPECT_EQ(std::string(buffer.data(), kGga.size()), kGga);
    for (size_t i = kGga.size(); i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0) << "byte " << i << " after the sentence";
    }
}

TEST(FeedByte, AHundredByteSentenceFillsTheBufferWithoutTerminator) {
    SentenceAssembler assembler;
    SentenceBuffer buffer{};
    const std::string hundred = SentenceOfLength(100);
    ASSERT_EQ(FeedAll(assembler, buffer, hundred).reported.size(), 1u);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), hundred);
    EXPECT_EQ(SentenceText(buffer).size(), 100u);
}

TEST(FeedByte, StateCarriesOverIntoTheNextLog) {
    // One assembler serves every run: a log that ends inside a body is restarted
    // by the next log's "$"; one that ends after "*" loses the next log's first
    // sentence.
    SentenceAssembler assembler;
    SentenceBuffer buffer{};
    FeedAll(assembler, buffer, "$GPGGA,1235");
    EXPECT_EQ(FeedAll(assembler, buffer, kRmc).reported, std::vector<std::string>{kRmc});
    FeedAll(assembler, buffer, "$GPGGA,1235*");
    EXPECT_EQ(FeedAll(assembler, buffer, kRmc + kGga).reported, std::vector<std::string>{kGga});
}

TEST(CommaCountIs, CountsTheSentencesOwnCommas) {
    struct Case {
        const char* legend;
        std::string sentence;
        int32_t commas;
    };
    const std::vector<Case> cases = {
        {"GGA with fourteen empty fields", "$GPGGA,,,,,,,,,,,,,,*56", 14},
        {"RMC with the mode field", kRmc, 12},
        {"RMC of the older form", Sentence("GPRMC,,V,,,,,,,,,"), 11},
        {"a 100-byte sentence of commas, no zero after it", Sentence("GPTXT" + std::string(91, ',')), 91},
    };
    for (const Case& c : cases) {
        SentenceAssembler assembler;
        SentenceBuffer buffer{};
        ASSERT_EQ(FeedAll(assembler, buffer, c.sentence).reported.size(), 1u) << c.legend;
        EXPECT_TRUE(CommaCountIs(buffer, c.commas)) << c.legend;
        EXPECT_FALSE(CommaCountIs(buffer, c.commas - 1)) << c.legend;
    }
}

}  // namespace
}  // namespace tervo
