// What our two log simulators share: the random generator and the moving sky
// of the long logs.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

namespace simulation {

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

// The options both simulators take: how long, how fast, how many satellites,
// which seed, and where to.
struct CommonOptions {
    long epochs = 60;
    double hours = -1;  // when given, sets the number of epochs
    int rate = 1;
    int satellites = 0;  // 0: the fixed sky of the short logs
    uint64_t seed = 1;
    const char* out = nullptr;
};

// The value of option `name` when argv[i] is that option (i then moves onto the
// value), nullptr otherwise.
inline const char* OptionValue(int argc, char** argv, int& i, const char* name) {
    if (std::strcmp(argv[i], name) == 0 && i + 1 < argc) {
        return argv[++i];
    }
    return nullptr;
}

// True when argv[i] was one of the common options (taken into `o`).
inline bool TakeCommonOption(int argc, char** argv, int& i, CommonOptions& o) {
    if (const char* v = OptionValue(argc, argv, i, "--epochs")) {
        o.epochs = std::atol(v);
    } else if (const char* v2 = OptionValue(argc, argv, i, "--hours")) {
        o.hours = std::atof(v2);
    } else if (const char* v3 = OptionValue(argc, argv, i, "--rate")) {
        o.rate = std::atoi(v3);
    } else if (const char* v4 = OptionValue(argc, argv, i, "--satellites")) {
        o.satellites = std::atoi(v4);
    } else if (const char* v5 = OptionValue(argc, argv, i, "--seed")) {
        o.seed = std::strtoull(v5, nullptr, 10);
    } else if (const char* v6 = OptionValue(argc, argv, i, "--out")) {
        o.out = v6;
    } else {
        return false;
    }
    return true;
}

// Turns --hours into epochs; false when a common option is out of range.
inline bool FinishCommonOptions(CommonOptions& o, int mostSatellites = 24) {
    if (o.hours >= 0) {
        o.epochs = std::lround(o.hours * 3600 * o.rate);
    }
    return o.epochs >= 0 && o.rate >= 1 && o.rate <= 1000 &&
           (o.satellites == 0 || (o.satellites >= 12 && o.satellites <= mostSatellites));
}

enum class System { Gps, Glonass, Sbas, Galileo, Beidou, Qzss };

struct SkySatellite {
    System system;
    int number;   // GPS PRN 1-32, GLONASS slot 1-24, SBAS PRN 120-151, Galileo 1-36, BeiDou 1-46, QZSS 1-7
    int channel;  // GLONASS frequency channel -7 to 6; 0 for the others
    int elevation;
    int azimuth;
    int snr;
};

// A fixed number of satellites in view over GPS, GLONASS and SBAS (with
// `multiGnss` Galileo, BeiDou and from 20 satellites on one of QZSS too), as a
// day long log sees them: each satellite rises, passes and sets within hours
// and another one of its system takes its place; the SBAS satellites stand
// still. Signal strength follows the elevation with a little noise, so low
// satellites drop out of the fix.
class MovingSky {
public:
    MovingSky(int count, uint64_t seed, bool multiGnss = false) : random_(seed ^ 0x5EED5C1E5ull) {
        for (int i = 0; i < count; ++i) {
            const System system = multiGnss ? MultiGnssSlot(i, count) : SlotSystem(i, count);
            Slot slot;
            slot.satellite.system = system;
            slot.snrNoise = random_.Range(-3, 3);
            Rise(slot, 0.0);
            // Passes already under way when the log starts, at every stage.
            slot.riseTime = -random_.Unit() * slot.duration;
            slots_.push_back(slot);
        }
        MoveTo(0.0);
    }

    // The sky `seconds` after the start of the log; times only go forward.
    void MoveTo(double seconds) {
        for (Slot& slot : slots_) {
            if (slot.satellite.system != System::Sbas && seconds >= slot.riseTime + slot.duration) {
                Rise(slot, seconds);
            }
            const double phase = (seconds - slot.riseTime) / slot.duration;
            SkySatellite& s = slot.satellite;
            if (s.system == System::Sbas) {
                s.elevation = slot.peak;
                s.azimuth = slot.azimuth;
            } else {
                s.elevation = 5 + static_cast<int>((slot.peak - 5) * std::sin(std::numbers::pi * phase));
                s.azimuth = (static_cast<int>(slot.azimuth + slot.sweep * phase) % 360 + 360) % 360;
            }
            slot.snrNoise = std::clamp(slot.snrNoise + random_.Range(-1, 1), -4, 4);
            s.snr = std::clamp(25 + s.elevation / 4 + slot.snrNoise, 0, 55);
        }
        view_.clear();
        for (const Slot& slot : slots_) {
            view_.push_back(slot.satellite);
        }
        std::sort(view_.begin(), view_.end(), [](const SkySatellite& a, const SkySatellite& b) {
            return a.system != b.system ? a.system < b.system : a.number < b.number;
        });
    }

    // Sorted by system (GPS, GLONASS, SBAS, Galileo, BeiDou, QZSS), then by number.
    const std::vector<SkySatellite>& InView() const { return view_; }

private:
    // GPS, then GLONASS (two fifths of the rest), then SBAS (one in twelve).
    static System SlotSystem(int i, int count) {
        const int sbas = std::max(1, count / 12);
        const int glonass = (count - sbas) * 2 / 5;
        return i < count - sbas - glonass ? System::Gps : i < count - sbas ? System::Glonass : System::Sbas;
    }

    // Two ninths each of GLONASS, Galileo and BeiDou, GPS the rest, after one
    // SBAS in sixteen and a QZSS satellite.
    static System MultiGnssSlot(int i, int count) {
        const int sbas = std::max(1, count / 16);
        const int qzss = count >= 20 ? 1 : 0;
        const int share = (count - sbas - qzss) * 2 / 9;
        const int gps = count - sbas - qzss - 3 * share;
        static constexpr System kOrder[] = {System::Gps,    System::Glonass, System::Galileo,
                                            System::Beidou, System::Qzss,    System::Sbas};
        const int sizes[] = {gps, share, share, share, qzss, sbas};
        for (int k = 0, end = 0; k < 6; ++k) {
            end += sizes[k];
            if (i < end) {
                return kOrder[k];
            }
        }
        return System::Sbas;
    }

    struct Slot {
        SkySatellite satellite{};
        double riseTime = 0;
        double duration = 1;
        int peak = 0;
        int azimuth = 0;
        int sweep = 0;
        int snrNoise = 0;
    };

    bool Taken(System system, int number) const {
        return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) {
            return s.satellite.system == system && s.satellite.number == number;
        });
    }

    // A satellite of the slot's system that is not in view yet starts its pass.
    void Rise(Slot& slot, double seconds) {
        static constexpr int kSbasNumbers[] = {120, 123, 124, 126, 127, 136, 140, 148};
        SkySatellite& s = slot.satellite;
        const System system = s.system;
        s.number = 0;  // this slot's own satellite is leaving
        int number = 0;
        do {
            switch (system) {
                case System::Gps:
                    number = random_.Range(1, 32);
                    break;
                case System::Glonass:
                    number = random_.Range(1, 24);
                    break;
                case System::Sbas:
                    number = kSbasNumbers[random_.Range(0, 7)];
                    break;
                case System::Galileo:
                    number = random_.Range(1, 36);
                    break;
                case System::Beidou:
                    number = random_.Range(1, 46);
                    break;
                case System::Qzss:
                    number = random_.Range(1, 7);
                    break;
            }
        } while (Taken(system, number));
        s.number = number;
        s.channel = system == System::Glonass ? (s.number * 5) % 14 - 7 : 0;
        slot.riseTime = seconds;
        const bool longPass = system == System::Gps || system == System::Galileo || system == System::Beidou;
        const double hours = system == System::Qzss ? 7.0 + random_.Unit()
                             : longPass             ? 4.0 + 3.0 * random_.Unit()
                                                    : 3.5 + 2.5 * random_.Unit();
        slot.duration = hours * 3600;
        slot.peak = system == System::Sbas   ? random_.Range(20, 35)
                    : system == System::Qzss ? random_.Range(60, 88)
                                             : random_.Range(25, 88);
        slot.azimuth = random_.Range(0, 359);
        slot.sweep = random_.Range(-150, 150);
    }

    Random random_;
    std::vector<Slot> slots_;
    std::vector<SkySatellite> view_;
};

}  // namespace simulation
