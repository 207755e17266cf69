#include "fuzz/extras_checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "report/summary.h"

namespace tervo::fuzzing {

namespace {

// A reader of one JSON value that says where the text first breaks the grammar.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    std::string Check() {
        SkipSpace();
        std::string error = Value(0);
        SkipSpace();
        if (error.empty() && at_ != text_.size()) {
            error = Where("text after the value");
        }
        return error;
    }

private:
    // The byte at the reading position; NUL at the end.
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    bool PeekDigit() const { return Peek() >= '0' && Peek() <= '9'; }
    void SkipDigits() {
        while (PeekDigit()) {
            ++at_;
        }
    }
    void SkipSpace() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') {
            ++at_;
        }
    }
    std::string Where(const char* what) const { return "JSON byte " + std::to_string(at_) + ": " + what; }

    std::string Value(int depth) {
        if (depth > 64) {
            return Where("nested too deep");
        }
        switch (Peek()) {
            case '{':
                return Container(depth, '}');
            case '[':
                return Container(depth, ']');
            case '"':
                return String();
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number();
        }
    }

    std::string Container(int depth, char close) {
        ++at_;
        SkipSpace();
        if (Peek() == close) {
            ++at_;
            return "";
        }
        for (;;) {
            if (close == '}') {
                if (Peek() != '"') {
                    return Where("a member without a name");
                }
                if (std::string error = String(); !error.empty()) {
                    return error;
                }
                SkipSpace();
                if (Peek() != ':') {
                    return Where("a name without ':'");
                }
                ++at_;
                SkipSpace();
            }
            if (std::string error = Value(depth + 1); !error.empty()) {
                return error;
            }
            SkipSpace();
            if (Peek() == ',') {
                ++at_;
                SkipSpace();
            } else if (Peek() == close) {
                ++at_;
                return "";
            } else {
                return Where("neither ',' nor the end of the object or array");
            }
        }
    }

    std::string String() {
        ++at_;
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return "";
            }
            if (c < 0x20) {
                return Where("a control character in a string");
            }
            ++at_;
            if (c == '\\') {
                const char escape = Peek();
                if (escape == 'u') {
                    for (int i = 0; i < 4; ++i) {
                        ++at_;
                        if (std::strchr("0123456789abcdefABCDEF", Peek()) == nullptr || Peek() == '\0') {
                            return Where("a \\u escape without four hex digits");
                        }
                    }
                } else if (escape == '\0' || std::strchr("\"\\/bfnrt", escape) == nullptr) {
                    return Where("an unknown escape");
                }
                ++at_;
            }
        }
        return Where("a string not closed");
    }

    std::string Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            return Where("no value");
        }
        at_ += word.size();
        return "";
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?: no NaN, no infinity, no "+1" or "01".
    std::string Number() {
        if (Peek() == '-') {
            ++at_;
        }
        if (Peek() == '0') {
            ++at_;
        } else if (PeekDigit()) {
            SkipDigits();
        } else {
            return Where("no value");
        }
        if (Peek() == '.') {
            ++at_;
            if (!PeekDigit()) {
                return Where("a fraction without digits");
            }
            SkipDigits();
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++at_;
            if (Peek() == '+' || Peek() == '-') {
                ++at_;
            }
            if (!PeekDigit()) {
                return Where("an exponent without digits");
            }
            SkipDigits();
        }
        return "";
    }

    std::string_view text_;
    size_t at_ = 0;
};

bool IsPng(const std::vector<uint8_t>& bytes) {
    constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() > sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

Extras ExtrasFromLastBytes(std::string_view log, int32_t format) {
    const bool binr = format == 1;
    const auto fromEnd = [log](size_t n, unsigned char usual) {
        return log.size() >= n
                   ? static_cast<unsigned>(static_cast<unsigned char>(log[log.size() - n]) ^ usual)
                   : 0u;
    };
    const unsigned bits = fromEnd(1, binr ? 0x03 : '\n') | fromEnd(2, binr ? 0x10 : '\r') << 8;
    const auto on = [bits](int bit) { return (bits >> bit & 1u) != 0; };
    Extras extras;
    if (on(0)) {
        extras.ThinSeconds = 2;
    }
    if (on(1)) {
        extras.ThinMetres = 10;
    }
    if (on(2)) {
        extras.ThinDegrees = 15;
    }
    if (on(3)) {
        extras.MaxPlacemarks = 2;
    }
    constexpr double kTolerances[] = {0, 0, 1, 1000};
    if ((bits >> 4 & 3u) != 0) {
        extras.LineTolerance = kTolerances[bits >> 4 & 3u];
    }
    if (on(6)) {
        extras.Regions = 1;
    }
    if (on(8)) {
        extras.ColourBy = kColourBySpeed;
    } else if (on(7)) {
        extras.ColourBy = kColourByQuality;
    }
    if (on(9)) {
        extras.SummaryInKml = 1;
    }
    if (on(10)) {
        extras.Plots = 1;
    }
    if (on(11)) {
        extras.ShowSummary = 1;
    }
    if (on(12)) {
        extras.DatesFromZda = 1;
    }
    if (on(13)) {
        extras.Viewer = 1;
    }
    if (on(14)) {
        extras.TimeTrack = 1;
        extras.MinQuality = static_cast<double>(FixClass::Single);
        extras.MaxHdop = 5;
        extras.MinSatellites = 4;
    }
    if (on(15)) {
        extras.ReferencePoint = "mean";
        if (on(7) && on(8)) {
            extras.ColourBy = kColourByError;
        }
    }
    return extras;
}

std::string JsonError(std::string_view text) { return JsonReader(text).Check(); }

void AbortUnlessExtrasSound(const InMemoryRun& run, size_t inputSize) {
    if (run.result != ConversionResult::Completed) {
        return;
    }
    std::string error;
    if (run.report.Summary) {
        if (SummaryTable(*run.report.Summary).empty()) {
            error = "an empty summary table";
        } else if (const std::string json = JsonError(SummaryJson(*run.report.Summary)); !json.empty()) {
            error = "the summary's " + json;
        }
    }
    for (const InMemoryEntry& entry : run.entries) {
        if (error.empty() && EndsWith(entry.name, ".png") && !IsPng(entry.bytes)) {
            error = "the entry " + entry.name + " is no PNG";
        }
    }
    for (const NamedPlot& plot : run.report.Plots) {
        if (error.empty() && !IsPng(plot.Png)) {
            error = "the plot " + plot.Entry + " is no PNG";
        }
    }
    if (!error.empty()) {
        std::fprintf(stderr, "Extras of a %zu-byte input: %s\n", inputSize, error.c_str());
        std::abort();
    }
}

}  // namespace tervo::fuzzing
