#include "support/test_builders.h"

#include <cstdio>

namespace tervo::testing {

std::string NmeaSentence(std::string_view body, bool lineEnd) {
    unsigned sum = 0;
    for (char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, lineEnd ? "*%02X\r\n" : "*%02X", sum & 0xFF);
    return "$" + std::string(body) + checksum;
}

}  // namespace tervo::testing
