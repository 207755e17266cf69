#include "run/format_look.h"

#include <cstdint>
#include <vector>

#include "binr/binr_reader.h"
#include "nmea/nmea_reader.h"

namespace tervo {

namespace {

constexpr size_t kFormatSample = 64 * 1024;

}  // namespace

FormatFinds LookAtFormat(std::FILE* input) {
    FormatFinds finds;
    if (std::fseek(input, 0, SEEK_SET) != 0) {
        return finds;
    }
    std::vector<uint8_t> sample(kFormatSample);
    sample.resize(std::fread(sample.data(), 1, sample.size(), input));
    if (std::fseek(input, 0, SEEK_SET) != 0) {
        // Nothing may be lost: the read loop must see the log from its start.
        std::clearerr(input);
        return finds;
    }
    std::clearerr(input);
    finds.looked = true;
    finds.nmea = ContainsNmeaSentence(sample.data(), sample.size());
    finds.binr = ContainsBinrMessage(sample.data(), sample.size());
    return finds;
}

}  // namespace tervo
