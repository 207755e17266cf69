// Our own BINR log simulator: a deterministic binary log of a vehicle driving a
// smooth curve. Each epoch is a 0x88 position message (both payload lengths),
// followed by 0x52 satellites in view, 0x60 DOP and 0x93 satellites used, each
// in one of its two lengths. Payload bytes 0x10 are doubled on the wire; fix
// loss spells clear the status bit; noise bytes (some opening a message that is
// never finished) and an unknown message lie between the messages.
//
//   simulate_binr [--epochs N | --hours H] [--rate HZ] [--satellites N] [--seed S]
//                 [--week W] [--acquire A] [--out FILE]
//
// --acquire: the first A epochs have no fix yet, as after a cold start.
// --hours: H hours of epochs at the rate (default 1 Hz); the week number goes on
// when the time of week passes its end.
// --satellites: N satellites (12 to 24) over GPS, GLONASS and SBAS that rise and
// set as the hours pass, instead of the eight fixed ones of the short logs.
//
// The same options always give the same bytes.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "simulation.h"

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;

using simulation::Random;

struct Options : simulation::CommonOptions {
    int week = 711;  // as the receiver counts it
    long acquire = 0;
};

constexpr uint64_t kWeekMs = 7 * 86400000ull;

// Little-endian payload fields.
class Payload {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void U64(uint64_t v) {
        U32(static_cast<uint32_t>(v));
        U32(static_cast<uint32_t>(v >> 32));
    }
    void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
    void F64(double v) { U64(std::bit_cast<uint64_t>(v)); }
    // A non-negative whole number of milliseconds in the 80-bit extended form:
    // the significand with its integer bit at bit 63, then the biased exponent.
    void F80(uint64_t v) {
        if (v == 0) {
            U64(0);
            U16(0);
            return;
        }
        const int top = 63 - std::countl_zero(v);
        U64(v << (63 - top));
        U16(static_cast<uint16_t>(16383 + top));
    }
    void Zeros(int count) { bytes_.insert(bytes_.end(), static_cast<size_t>(count), 0); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

void WriteMessage(std::string& log, uint8_t id, const Payload& payload) {
    log += static_cast<char>(kDle);
    log += static_cast<char>(id);
    for (uint8_t b : payload.bytes()) {
        log += static_cast<char>(b);
        if (b == kDle) {
            log += static_cast<char>(kDle);
        }
    }
    log += static_cast<char>(kDle);
    log += static_cast<char>(kEtx);
}

// Bytes between messages. None is a DLE except the one that may open a message
// with a made-up id; the next real message's DLE and id then restart framing.
void WriteNoise(std::string& log, Random& random) {
    const int kind = random.Range(0, 5);
    if (kind == 0) {
        return;
    }
    if (kind == 5) {
        log += static_cast<char>(kDle);
        log += static_cast<char>(random.Range(0x40, 0x5A));
    }
    const int count = random.Range(1, 6);
    for (int i = 0; i < count; ++i) {
        int b = random.Range(0x00, 0xFE);
        if (b == kDle) {
            b = 0x11;
        }
        log += static_cast<char>(b);
    }
}

struct Satellite {
    uint8_t system;  // 1 GPS, 2 GLONASS, 4 SBAS
    uint8_t number;
    int8_t channel;
    int elevation;
    int azimuth;
    int snr;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        if (simulation::TakeCommonOption(argc, argv, i, *o)) {
            continue;
        }
        if (const char* v = simulation::OptionValue(argc, argv, i, "--week")) {
            o->week = std::atoi(v);
        } else if (const char* v2 = simulation::OptionValue(argc, argv, i, "--acquire")) {
            o->acquire = std::atol(v2);
        } else {
            return false;
        }
    }
    return simulation::FinishCommonOptions(*o) && o->acquire >= 0 && o->week >= -32768 && o->week <= 32767;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: simulate_binr [--epochs N | --hours H] [--rate HZ] [--satellites 12-24]\n"
                     "                     [--seed S] [--week W] [--acquire A] [--out FILE]\n");
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
    // GPS 16 and GLONASS slot 16 put DLE bytes into the satellite and mask payloads.
    std::vector<Satellite> sats = {
        {1, 2, 0, 0, 0, 0},  {1, 5, 0, 0, 0, 0},  {1, 16, 0, 0, 0, 0}, {1, 29, 0, 0, 0, 0},
        {2, 3, -2, 0, 0, 0}, {2, 16, 5, 0, 0, 0}, {2, 21, 4, 0, 0, 0}, {4, 124, 0, 0, 0, 0},
    };
    for (Satellite& s : sats) {
        s.elevation = random.Range(5, 85);
        s.azimuth = random.Range(0, 359);
        s.snr = random.Range(25, 48);
    }
    std::optional<simulation::MovingSky> sky;
    if (options.satellites > 0) {
        sky.emplace(options.satellites, options.seed);
    }
    const double step = 1.0 / options.rate;
    // Day 3 of the week, 10:15:00.000, advancing by the epoch interval with a
    // few milliseconds of jitter.
    const uint64_t startMs = (3 * 86400ull + 10 * 3600 + 15 * 60) * 1000;
    std::string log;
    for (long e = 0; e < options.epochs; ++e) {
        const uint64_t elapsedMs = static_cast<uint64_t>(e) * 1000 / static_cast<uint64_t>(options.rate);
        const uint64_t timeMs = (startMs + elapsedMs) % kWeekMs;
        const uint64_t week = static_cast<uint64_t>(options.week) + (startMs + elapsedMs) / kWeekMs;
        const uint64_t second = elapsedMs / 1000;
        // Besides acquisition: in the short logs a spell of 20 and single epochs
        // without a fix; in the long ones a 50-second spell every 20 minutes.
        const bool fix =
            e >= options.acquire && (sky ? second % 1200 < 1150 : (e / 20) % 5 != 4 && e % 7 != 6);
        const double t = static_cast<double>(e) * step;
        const double speed = fix ? 10.0 + 5.0 * std::sin(t / 15.0) : 0.0;  // m/s
        heading = std::fmod(heading + 3.0 * step * std::sin(t / 10.0) + 360.0, 360.0);
        const double north = speed * std::cos(heading * std::numbers::pi / 180.0);
        const double east = speed * std::sin(heading * std::numbers::pi / 180.0);
        if (fix) {
            lat += north * step / 111320.0;
            lon += east * step / (111320.0 * std::cos(lat * std::numbers::pi / 180.0));
            alt += (random.Unit() - 0.5) * 0.4 * step;
        }
        if (sky) {
            sky->MoveTo(static_cast<double>(elapsedMs) / 1000.0);
            sats.clear();
            for (const simulation::SkySatellite& s : sky->InView()) {
                const uint8_t system = s.system == simulation::System::Gps       ? 1
                                       : s.system == simulation::System::Glonass ? 2
                                                                                 : 4;
                sats.push_back({system, static_cast<uint8_t>(s.number), static_cast<int8_t>(s.channel),
                                s.elevation, s.azimuth, s.snr});
            }
        }

        WriteNoise(log, random);
        Payload position;
        position.F64(lat * std::numbers::pi / 180.0);
        position.F64(lon * std::numbers::pi / 180.0);
        position.F64(alt);
        position.F32(fix ? static_cast<float>(1.5 + random.Unit()) : 99.0f);
        position.F80(timeMs + static_cast<uint64_t>(random.Range(0, 3)));
        position.U16(static_cast<uint16_t>(week));
        position.F64(north);
        position.F64(east);
        position.Zeros(12);
        // Valid fixes: 3D, now and then 2D, DIFF or RAIM; bit 2 set at random.
        uint8_t status = fix ? 0x01 : 0x00;
        if (fix) {
            status |= random.Range(0, 7) == 0 ? 0x02 : 0x00;
            status |= random.Range(0, 3) == 0 ? 0x08 : 0x00;
            status |= random.Range(0, 3) == 0 ? 0x10 : 0x00;
        }
        status |= random.Range(0, 1) == 0 ? 0x04 : 0x00;
        position.U8(status);
        if (e % 2 == 1) {
            position.Zeros(4);
        }
        WriteMessage(log, 0x88, position);

        WriteNoise(log, random);
        Payload inView;
        for (Satellite& s : sats) {
            if (!sky) {
                s.snr = std::max(0, std::min(55, s.snr + random.Range(-1, 1)));
            }
            inView.U8(s.system);
            inView.U8(s.number);
            inView.U8(static_cast<uint8_t>(s.channel));
            inView.U8(static_cast<uint8_t>(s.elevation));
            inView.U16(static_cast<uint16_t>(s.azimuth));
            inView.U8(static_cast<uint8_t>(s.snr));
        }
        inView.Zeros(e % 3 == 0 ? 5 : 1);
        WriteMessage(log, 0x52, inView);

        if (e % 5 == 2) {
            WriteNoise(log, random);
            Payload unknown;
            unknown.U32(static_cast<uint32_t>(random.Next()));
            WriteMessage(log, 0x4A, unknown);
        }

        WriteNoise(log, random);
        Payload dopMessage;
        dopMessage.U16(0);
        dopMessage.F32(fix ? static_cast<float>(0.8 + 0.5 * random.Unit()) : 99.9f);
        dopMessage.Zeros(e % 4 == 3 ? 9 : 5);
        WriteMessage(log, 0x60, dopMessage);

        WriteNoise(log, random);
        uint32_t gpsUsed = 0;
        uint32_t glonassUsed = 0;
        uint32_t sbasUsed = 0;
        if (fix) {
            for (const Satellite& s : sats) {
                if (s.snr < 30) {
                    continue;
                }
                if (s.system == 1) {
                    gpsUsed |= 1u << (s.number - 1);
                } else if (s.system == 2) {
                    glonassUsed |= 1u << (s.number - 1);
                } else {
                    sbasUsed |= 1u << (s.number - 120);
                }
            }
        }
        Payload used;
        used.U32(static_cast<uint32_t>(e));
        used.U32(gpsUsed);
        used.U32(glonassUsed);
        used.U32(sbasUsed);
        used.Zeros(e % 2 == 0 ? 1 : 5);
        WriteMessage(log, 0x93, used);
        if (log.size() >= 1 << 16 || e + 1 == options.epochs) {
            std::fwrite(log.data(), 1, log.size(), out);
            log.clear();
        }
    }
    if (std::ferror(out) || (out != stdout && std::fclose(out) != 0)) {
        std::perror(options.out);
        return 1;
    }
    return 0;
}
