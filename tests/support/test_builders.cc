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

std::string NmeaEpoch(const std::string& hhmmss, const std::string& ddmmyy) {
    return NmeaSentence("GPGGA," + hhmmss + ".00,5545.0783,N,03736.8141,E,1,10,0.9,150.1,M,14.2,M,,") +
           NmeaSentence("GPRMC," + hhmmss + ".00,A,5545.0783,N,03736.8141,E,20.0,232.9," + ddmmyy + ",,,A");
}

}  // namespace tervo::testing
