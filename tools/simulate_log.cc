// Our own receiver-log simulator: a deterministic NMEA log of a vehicle driving
// a smooth curve, with GGA, RMC, GSV series, GSA, $PORZD and $TVLDR sentences.
//
//   simulate_log [--epochs N] [--seed S] [--rate HZ] [--out FILE]
//
// The same options always give the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small deterministic generator (xorshift64*), independent of the C library.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 2654435761u + 0x9E3779B97F4A7C15ull) {}
    uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    int Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1)); }

private:
    uint64_t state_;
};

struct Options {
    long epochs = 60;
    uint64_t seed = 1;
    int rate = 1;
    const char* out = nullptr;
};

std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) {
        sum ^= c;
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

std::string Coordinate(double degrees, bool latitude) {
    double a = std::fabs(degrees);
    int whole = static_cast<int>(a);
    double minutes = (a - whole) * 60.0;
    char text[32];
    if (latitude) {
        std::snprintf(text, sizeof text, "%02d%07.4f,%c", whole, minutes, degrees < 0 ? 'S' : 'N');
    } else {
        std::snprintf(text, sizeof text, "%03d%07.4f,%c", whole, minutes, degrees < 0 ? 'W' : 'E');
    }
    return text;
}

struct Satellite {
    int id;
    int elevation;
    int azimuth;
    int snr;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        auto value = [&](const char* name) -> const char* {
            if (std::strcmp(argv[i], name) == 0 && i + 1 < argc) {
                return argv[++i];
            }
            return nullptr;
        };
        if (const char* v = value("--epochs")) {
            o->epochs = std::atol(v);
        } else if (const char* v2 = value("--seed")) {
            o->seed = std::strtoull(v2, nullptr, 10);
        } else if (const char* v3 = value("--rate")) {
            o->rate = std::atoi(v3);
        } else if (const char* v4 = value("--out")) {
            o->out = v4;
        } else {
            std::fprintf(stderr, "usage: simulate_log [--epochs N] [--seed S] [--rate HZ] [--out FILE]\n");
            return false;
        }
    }
    return o->epochs >= 0 && o->rate >= 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        return 2;
    }
    std::FILE* out = options.out ? std::fopen(options.out, "wb") : stdout;
    if (out == nullptr) {
        std::perror(options.out);
        return 1;
    }
    Random random(options.seed);
    double lat = 55.75 + random.Unit() * 0.01;
    double lon = 37.61 + random.Unit() * 0.01;
    double alt = 150.0;
    double heading = random.Unit() * 360.0;
    const double step = 1.0 / options.rate;
    std::vector<Satellite> sats;
    for (int id : {2, 5, 7, 12, 15, 20, 25, 29, 44, 66, 67, 75, 81}) {
        sats.push_back({id, random.Range(5, 85), random.Range(0, 359), random.Range(25, 48)});
    }
    long ms = (10 * 3600 + 15 * 60) * 1000L;
    for (long e = 0; e < options.epochs; ++e, ms += 1000 / options.rate) {
        const long daySeconds = (ms / 1000) % 86400;
        char timeText[16];
        std::snprintf(timeText, sizeof timeText, "%02ld%02ld%02ld.%02ld", daySeconds / 3600, daySeconds / 60 % 60,
                      daySeconds % 60, (ms % 1000) / 10);
        const bool fix = (e / 20) % 5 != 4;  // every fifth spell of 20 epochs without a fix
        const double speedKnots = fix ? 20.0 + 10.0 * std::sin(e / 15.0) : 0.0;
        heading = std::fmod(heading + 3.0 * std::sin(e / 10.0) + 360.0, 360.0);
        if (fix) {
            const double metres = speedKnots * 1852.0 / 3600.0 * step;
            lat += metres * std::cos(heading * M_PI / 180.0) / 111320.0;
            lon += metres * std::sin(heading * M_PI / 180.0) / (111320.0 * std::cos(lat * M_PI / 180.0));
            alt += (random.Unit() - 0.5) * 0.4;
        }
        char body[160];
        std::snprintf(body, sizeof body, "GPGGA,%s,%s,%s,%d,%02d,%.1f,%.1f,M,14.2,M,,", timeText,
                      Coordinate(lat, true).c_str(), Coordinate(lon, false).c_str(), fix ? 1 : 0,
                      fix ? static_cast<int>(sats.size()) - 3 : 0, fix ? 0.9 : 99.9, alt);
        std::string text = WithChecksum(body);
        std::snprintf(body, sizeof body, "GPRMC,%s,%c,%s,%s,%.1f,%.1f,170524,,,%c", timeText, fix ? 'A' : 'V',
                      Coordinate(lat, true).c_str(), Coordinate(lon, false).c_str(), speedKnots, heading,
                      fix ? 'A' : 'N');
        text += WithChecksum(body);
        // A GSV series of up to four satellites per sentence.
        const int count = static_cast<int>(sats.size());
        const int total = (count + 3) / 4;
        for (int s = 0; s < total; ++s) {
            std::string gsv = "GPGSV," + std::to_string(total) + "," + std::to_string(s + 1) + "," +
                              std::to_string(count);
            for (int k = s * 4; k < count && k < s * 4 + 4; ++k) {
                Satellite& sat = sats[static_cast<size_t>(k)];
                sat.snr = std::max(0, std::min(55, sat.snr + random.Range(-1, 1)));
                char block[32];
                std::snprintf(block, sizeof block, ",%02d,%02d,%03d,%02d", sat.id, sat.elevation, sat.azimuth,
                              sat.snr);
                gsv += block;
            }
            text += WithChecksum(gsv);
        }
        std::string gsa = fix ? "GPGSA,A,3" : "GPGSA,A,1";
        for (int k = 0; k < 12; ++k) {
            gsa += ",";
            if (fix && k < count - 3) {
                char id[8];
                std::snprintf(id, sizeof id, "%02d", sats[static_cast<size_t>(k)].id);
                gsa += id;
            }
        }
        gsa += fix ? ",1.6,0.9,1.3" : ",99.9,99.9,99.9";
        text += WithChecksum(gsa);
        std::snprintf(body, sizeof body, "PORZD,A,%.1f", fix ? 1.5 + random.Unit() : 99.0);
        text += WithChecksum(body);
        if (fix && e % 2 == 0) {
            std::snprintf(body, sizeof body, "TVLDR,%s,D,%s,%s,%.1f,%.1f", timeText,
                          Coordinate(lat + 0.00002, true).c_str(), Coordinate(lon - 0.00002, false).c_str(),
                          speedKnots, heading);
            text += WithChecksum(body);
        }
        std::fwrite(text.data(), 1, text.size(), out);
    }
    if (out != stdout && std::fclose(out) != 0) {
        std::perror(options.out);
        return 1;
    }
    return 0;
}
