// Our own receiver-log simulator: a deterministic NMEA log of a vehicle driving
// a smooth curve, with GGA, RMC, GSV series per system, GSA per system, $PORZD
// and $TVLDR sentences.
//
//   simulate_log [--epochs N | --hours H] [--seed S] [--rate HZ] [--satellites N]
//                [--nmea 2.2|2.3|4.1|4.11] [--dual-band] [--whole-seconds] [--rtk]
//                [--paced] [--out FILE] [--static] [--error-sigma M] [--error-sigma-up M]
//                [--fine] [--truth FILE] [--truth-gga-only]
//
// --nmea picks the sentence forms of one protocol version:
//   2.2  RMC without the mode field (11 commas);
//   2.3  RMC with the mode field (12 commas), the default;
//   4.1  GN talker for the fix, RMC with navigational status (13 commas), GSA
//        with the system id after VDOP (18 commas), Galileo GSV and GSA too;
//   4.11 as 4.1, with BeiDou (GB) and QZSS (GQ) too, and each GSV series
//        naming its signal by the 4.11 table (GPS L1 C/A 1, GLONASS G1 C/A 1,
//        Galileo E1 7, BeiDou B1I 1, QZSS L1 C/A 1); with --satellites the
//        moving sky holds them all (up to 40 satellites).
// --dual-band (with 4.11) adds a GSV series per system for the L5 band: GPS
// L5-I (7) of the satellites that send it, Galileo E5a (1), BeiDou B2a (5)
// and QZSS L5-I (7); GLONASS and SBAS stay on L1.
// --whole-seconds writes UTC times without a fraction ("101500"), as many
// receivers do; it needs a rate of 1 Hz.
// --rtk gives the GGA quality of an RTK receiver: after each fix loss (and at
// the start) single (1) for 10 seconds, RTK float (5) until 40 seconds, then
// RTK fixed (4); without it every fix is single.
// --paced writes each epoch when its time comes, at the rate, as a receiver on a
// line does (into a pseudo-terminal, a pipe or a socket), and stops when the
// other end goes.
// --hours: H hours of epochs at the rate.
// --satellites: the log of a long recording: N satellites (12 to 24) over GPS,
// GLONASS and SBAS that rise and set as the hours pass, a 50-second fix loss
// every 20 minutes, $TVLDR fixes during ten minutes of every half hour, and an
// RMC date that changes at midnight. Without it the short logs' fixed sky,
// fix loss spells and date.
//
// A receiver test: --truth writes the true track into FILE as a better
// receiver would log it (GGA and RMC, or GGA alone with --truth-gga-only, of
// quality 4 at every epoch, minutes with seven decimals, heights to the
// millimetre), and the log's fixes lie off it by errors drawn from a
// generator of their own: east and north each normal with a standard deviation
// of --error-sigma metres (a circular normal error), up normal with
// --error-sigma-up metres (1.5 times the horizontal one when not given). With
// --rtk the deviations shrink with the quality: a tenth for RTK float, a
// hundredth for RTK fixed. --fine writes the log's minutes with seven
// decimals and its heights to the millimetre too, as an RTK receiver does;
// without it four decimals of a minute (about 0.2 m) and decimetres. --static
// keeps the receiver at its start, as on a roof.
//
// The same options always give the same bytes; options added later leave the
// bytes of the earlier ones as they were.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "simulation.h"

namespace {

using simulation::Random;

enum class NmeaVersion { V22, V23, V41, V411 };

struct Options : simulation::CommonOptions {
    NmeaVersion version = NmeaVersion::V23;
    bool dualBand = false;
    bool wholeSeconds = false;
    bool rtk = false;
    bool paced = false;
    bool still = false;
    double errorSigma = 0;     // metres per horizontal axis
    double errorSigmaUp = -1;  // metres; below 0: 1.5 x errorSigma
    bool fine = false;
    const char* truth = nullptr;
    bool truthGgaOnly = false;
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

// "ddmm.mmmm,N" or "dddmm.mmmm,E", the minutes with `decimals` decimals.
std::string Coordinate(double degrees, bool latitude, int decimals = 4) {
    double a = std::fabs(degrees);
    int whole = static_cast<int>(a);
    double minutes = (a - whole) * 60.0;
    char text[40];
    if (latitude) {
        std::snprintf(text, sizeof text, "%02d%0*.*f,%c", whole, decimals + 3, decimals, minutes,
                      degrees < 0 ? 'S' : 'N');
    } else {
        std::snprintf(text, sizeof text, "%03d%0*.*f,%c", whole, decimals + 3, decimals, minutes,
                      degrees < 0 ? 'W' : 'E');
    }
    return text;
}

// Two independent standard normal numbers (Box-Muller).
std::pair<double, double> NormalPair(Random& random) {
    const double radius = std::sqrt(-2.0 * std::log(1.0 - random.Unit()));
    const double angle = 2.0 * M_PI * random.Unit();
    return {radius * std::cos(angle), radius * std::sin(angle)};
}

// Metres east and north at `latitude` in degrees of latitude and longitude, on
// the WGS 84 ellipsoid (its radii of curvature in the meridian and the prime
// vertical).
std::pair<double, double> DegreesOf(double east, double north, double latitude) {
    constexpr double kA = 6378137.0;
    constexpr double kE2 = 0.00669437999014;
    const double phi = latitude * M_PI / 180.0;
    const double w = std::sqrt(1 - kE2 * std::sin(phi) * std::sin(phi));
    const double meridian = kA * (1 - kE2) / (w * w * w);
    const double primeVertical = kA / w;
    return {north / meridian * 180.0 / M_PI, east / (primeVertical * std::cos(phi)) * 180.0 / M_PI};
}

// A satellite system as the log shows it: the talker of its GSV series, the
// system id of its GSA in NMEA 4.1, and in NMEA 4.11 the signal ids of its L1
// and L5 series (0: none).
struct System {
    const char* talker;
    int systemId;
    std::vector<int> ids;  // in the numbering its talker uses
    int l1Signal = 1;
    int l5Signal = 0;
};

// The GPS satellites that send L5 (blocks IIF and III), by PRN.
bool SendsL5(int prn) {
    static constexpr int kL5[] = {1, 3, 4, 6, 8, 9, 10, 11, 14, 18, 23, 24, 25, 26, 27, 28, 30, 32};
    return std::find(std::begin(kL5), std::end(kL5), prn) != std::end(kL5);
}

struct Satellite {
    int id;
    int elevation;
    int azimuth;
    int snr;
};

// A satellite counts as used in the fix while its signal is strong enough.
constexpr int kUsedSnr = 30;

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        if (simulation::TakeCommonOption(argc, argv, i, *o)) {
            continue;
        }
        if (const char* v = simulation::OptionValue(argc, argv, i, "--nmea")) {
            if (std::strcmp(v, "2.2") == 0) {
                o->version = NmeaVersion::V22;
            } else if (std::strcmp(v, "2.3") == 0) {
                o->version = NmeaVersion::V23;
            } else if (std::strcmp(v, "4.1") == 0) {
                o->version = NmeaVersion::V41;
            } else if (std::strcmp(v, "4.11") == 0) {
                o->version = NmeaVersion::V411;
            } else {
                return false;
            }
        } else if (std::strcmp(argv[i], "--whole-seconds") == 0) {
            o->wholeSeconds = true;
        } else if (std::strcmp(argv[i], "--paced") == 0) {
            o->paced = true;
        } else if (std::strcmp(argv[i], "--rtk") == 0) {
            o->rtk = true;
        } else if (std::strcmp(argv[i], "--static") == 0) {
            o->still = true;
        } else if (const char* sigma = simulation::OptionValue(argc, argv, i, "--error-sigma")) {
            o->errorSigma = std::atof(sigma);
        } else if (const char* up = simulation::OptionValue(argc, argv, i, "--error-sigma-up")) {
            o->errorSigmaUp = std::atof(up);
        } else if (std::strcmp(argv[i], "--fine") == 0) {
            o->fine = true;
        } else if (const char* truth = simulation::OptionValue(argc, argv, i, "--truth")) {
            o->truth = truth;
        } else if (std::strcmp(argv[i], "--truth-gga-only") == 0) {
            o->truthGgaOnly = true;
        } else if (std::strcmp(argv[i], "--dual-band") == 0) {
            o->dualBand = true;
        } else {
            return false;
        }
    }
    if (o->errorSigmaUp < 0) {
        o->errorSigmaUp = 1.5 * o->errorSigma;
    }
    const bool v411 = o->version == NmeaVersion::V411;
    return simulation::FinishCommonOptions(*o, v411 ? 40 : 24) && !(o->wholeSeconds && o->rate != 1) &&
           o->errorSigma >= 0 && (o->truth != nullptr || !o->truthGgaOnly) && (!o->dualBand || v411);
}

// The GSV series of one system: up to four satellites per sentence. NMEA 4.1
// adds the signal id as the last field (`signalId`; 0: none).
std::string GsvSeries(const System& system, std::vector<Satellite>& sats, Random& random, int signalId,
                      bool drift) {
    std::string text;
    const int count = static_cast<int>(sats.size());
    const int total = std::max(1, (count + 3) / 4);
    for (int s = 0; s < total; ++s) {
        char header[32];
        std::snprintf(header, sizeof header, "%sGSV,%d,%d,%02d", system.talker, total, s + 1, count);
        std::string gsv = header;
        for (int k = s * 4; k < count && k < s * 4 + 4; ++k) {
            Satellite& sat = sats[static_cast<size_t>(k)];
            if (drift) {
                sat.snr = std::max(0, std::min(55, sat.snr + random.Range(-1, 1)));
            }
            char block[32];
            std::snprintf(block, sizeof block, ",%02d,%02d,%03d,%02d", sat.id, sat.elevation, sat.azimuth,
                          sat.snr);
            gsv += block;
        }
        if (signalId != 0) {
            gsv += "," + std::string(1, "0123456789ABCDEF"[signalId & 15]);
        }
        text += WithChecksum(gsv);
    }
    return text;
}

// The L5 series of a system (dual band): the satellites that send L5, a
// little apart from their L1 strength.
std::string L5Series(const System& system, const std::vector<Satellite>& sats, Random& random) {
    std::vector<Satellite> l5;
    for (const Satellite& sat : sats) {
        if (std::strcmp(system.talker, "GP") != 0 || SendsL5(sat.id)) {
            l5.push_back({sat.id, sat.elevation, sat.azimuth, std::clamp(sat.snr + 3 - sat.id % 5, 0, 55)});
        }
    }
    return l5.empty() ? std::string() : GsvSeries(system, l5, random, system.l5Signal, false);
}

// One GSA per system: up to twelve used ids, then PDOP, HDOP and VDOP, and in
// NMEA 4.1 the system id.
std::string Gsa(const System& system, const std::vector<Satellite>& sats, bool fix, bool withSystemId) {
    std::string gsa = fix ? "GNGSA,A,3" : "GNGSA,A,1";
    int listed = 0;
    for (const Satellite& sat : sats) {
        if (fix && sat.snr >= kUsedSnr && listed < 12) {
            char id[8];
            std::snprintf(id, sizeof id, ",%02d", sat.id);
            gsa += id;
            ++listed;
        }
    }
    for (; listed < 12; ++listed) {
        gsa += ",";
    }
    gsa += fix ? ",1.6,0.9,1.3" : ",99.9,99.9,99.9";
    if (withSystemId) {
        gsa += "," + std::to_string(system.systemId);
    }
    return WithChecksum(gsa);
}

// The sky (index into the systems) and id of a satellite of the moving sky:
// GPS and SBAS under GP (SBAS PRN - 87), GLONASS under GL (64 + slot), the
// others under their own talkers by number.
std::pair<size_t, int> SkyOf(const simulation::SkySatellite& sat) {
    switch (sat.system) {
        case simulation::System::Gps:
            return {0, sat.number};
        case simulation::System::Sbas:
            return {0, sat.number - 87};
        case simulation::System::Glonass:
            return {1, sat.number + 64};
        case simulation::System::Galileo:
            return {2, sat.number};
        case simulation::System::Beidou:
            return {3, sat.number};
        case simulation::System::Qzss:
            return {4, sat.number};
    }
    return {0, sat.number};
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: simulate_log [--epochs N | --hours H] [--seed S] [--rate HZ]\n"
                     "                    [--satellites 12-24 (4.11: 12-40)] [--nmea 2.2|2.3|4.1|4.11]\n"
                     "                    [--dual-band] [--whole-seconds] [--rtk] [--paced] [--out FILE]\n"
                     "                    [--static] [--error-sigma M] [--error-sigma-up M] [--fine]\n"
                     "                    [--truth FILE] [--truth-gga-only]\n");
        return 2;
    }
    std::FILE* out = options.out ? std::fopen(options.out, "wb") : stdout;
    if (out == nullptr) {
        std::perror(options.out);
        return 1;
    }
    std::FILE* truthOut = options.truth ? std::fopen(options.truth, "wb") : nullptr;
    if (options.truth != nullptr && truthOut == nullptr) {
        std::perror(options.truth);
        return 1;
    }
    // The receiver's errors come from a generator of their own, so that the
    // bytes of a log without them stay as they were.
    Random errors(options.seed ^ 0xE770125EEDull);
    const int minuteDecimals = options.fine ? 7 : 4;
    const bool v411 = options.version == NmeaVersion::V411;
    const bool v41 = options.version == NmeaVersion::V41 || v411;
    const char* fixTalker = v41 ? "GN" : "GP";
    Random random(options.seed);
    double lat = 55.75 + random.Unit() * 0.01;
    double lon = 37.61 + random.Unit() * 0.01;
    double alt = 150.0;
    double heading = random.Unit() * 360.0;
    const double step = 1.0 / options.rate;

    // GPS with one SBAS satellite, GLONASS (ids 65-96), and Galileo, which only
    // the NMEA 4.1 form reports (its ids restart at 1 under its own talker).
    std::vector<System> systems = {{"GP", 1, {2, 5, 7, 12, 15, 20, 25, 29, 44}}, {"GL", 2, {66, 67, 75, 81}}};
    if (v41) {
        systems.push_back({"GA", 3, {3, 8, 11, 24}});
    }
    if (v411) {
        // BeiDou and QZSS, and the signals of NMEA 4.11.
        systems.push_back({"GB", 4, {6, 14, 27, 33, 38}});
        systems.push_back({"GQ", 5, {2}});
        const int l1[] = {1, 1, 7, 1, 1};
        const int l5[] = {7, 0, 1, 5, 7};
        for (size_t s = 0; s < systems.size(); ++s) {
            systems[s].l1Signal = l1[s];
            systems[s].l5Signal = options.dualBand ? l5[s] : 0;
        }
    }
    std::vector<std::vector<Satellite>> skies;
    for (const System& system : systems) {
        std::vector<Satellite> sky;
        for (int id : system.ids) {
            sky.push_back({id, random.Range(5, 85), random.Range(0, 359), random.Range(25, 48)});
        }
        skies.push_back(sky);
    }

    std::optional<simulation::MovingSky> moving;
    if (options.satellites > 0) {
        moving.emplace(options.satellites, options.seed, v411);
    }
    const long startMs = (10 * 3600 + 15 * 60) * 1000L;
    const auto pacedStart = std::chrono::steady_clock::now();
    long ms = startMs;
    for (long e = 0; e < options.epochs; ++e, ms += 1000 / options.rate) {
        // The long logs keep exact epoch times; the short ones sum the rounded interval.
        const long elapsedMs = moving ? e * 1000 / options.rate : ms - startMs;
        const long second = elapsedMs / 1000;
        if (moving) {
            ms = startMs + elapsedMs;
        }
        const long daySeconds = (ms / 1000) % 86400;
        char timeText[16];
        if (options.wholeSeconds) {
            std::snprintf(timeText, sizeof timeText, "%02ld%02ld%02ld", daySeconds / 3600,
                          daySeconds / 60 % 60, daySeconds % 60);
        } else {
            std::snprintf(timeText, sizeof timeText, "%02ld%02ld%02ld.%02ld", daySeconds / 3600,
                          daySeconds / 60 % 60, daySeconds % 60, (ms % 1000) / 10);
        }
        char dateText[16] = "170524";
        if (moving) {
            const std::chrono::sys_days start = std::chrono::year{2024} / std::chrono::May / 17;
            const std::chrono::year_month_day date{start + std::chrono::days{ms / 86400000}};
            std::snprintf(dateText, sizeof dateText, "%02u%02u%02u", static_cast<unsigned>(date.day()),
                          static_cast<unsigned>(date.month()), static_cast<unsigned>(int{date.year()} % 100));
            moving->MoveTo(static_cast<double>(elapsedMs) / 1000.0);
            // The moving sky holds GPS, SBAS and GLONASS (in 4.11 every system);
            // Galileo in 4.1 keeps the fixed sky.
            for (size_t sky = 0; sky < skies.size(); ++sky) {
                if (sky < 2 || v411) {
                    skies[sky].clear();
                }
            }
            for (const simulation::SkySatellite& sat : moving->InView()) {
                const auto [sky, id] = SkyOf(sat);
                skies[sky].push_back({id, sat.elevation, sat.azimuth, sat.snr});
            }
        }
        // Every fifth spell of 20 epochs without a fix; in the long logs 50 seconds every 20 minutes.
        const bool fix = moving ? second % 1200 < 1150 : (e / 20) % 5 != 4;
        // The seconds since the fix came back, for the RTK qualities.
        const double sinceFix =
            moving ? static_cast<double>(second % 1200) : static_cast<double>(e % 100) / options.rate;
        const int quality = !fix ? 0 : !options.rtk ? 1 : sinceFix < 10 ? 1 : sinceFix < 40 ? 5 : 4;
        // A differential fix every other epoch; in the long logs while the link is up.
        const bool differential = fix && (moving ? second % 1800 < 600 : e % 2 == 0);
        const double speedKnots = fix && !options.still ? 20.0 + 10.0 * std::sin(e / 15.0) : 0.0;
        heading = std::fmod(heading + 3.0 * std::sin(e / 10.0) + 360.0, 360.0);
        if (fix && !options.still) {
            const double metres = speedKnots * 1852.0 / 3600.0 * step;
            lat += metres * std::cos(heading * M_PI / 180.0) / 111320.0;
            lon += metres * std::sin(heading * M_PI / 180.0) / (111320.0 * std::cos(lat * M_PI / 180.0));
            alt += (random.Unit() - 0.5) * 0.4;
        }
        int used = 0;
        for (const std::vector<Satellite>& sky : skies) {
            used += static_cast<int>(
                std::count_if(sky.begin(), sky.end(), [](const Satellite& s) { return s.snr >= kUsedSnr; }));
        }

        char body[200];
        if (truthOut != nullptr) {
            std::snprintf(body, sizeof body, "%sGGA,%s,%s,%s,4,%02d,0.6,%.3f,M,14.2,M,1.0,0001", fixTalker,
                          timeText, Coordinate(lat, true, 7).c_str(), Coordinate(lon, false, 7).c_str(), used,
                          alt);
            std::string truth = WithChecksum(body);
            if (!options.truthGgaOnly) {
                std::snprintf(body, sizeof body, "%sRMC,%s,A,%s,%s,%.1f,%.1f,%s,,,D", fixTalker, timeText,
                              Coordinate(lat, true, 7).c_str(), Coordinate(lon, false, 7).c_str(), speedKnots,
                              heading, dateText);
                truth += WithChecksum(body);
            }
            std::fwrite(truth.data(), 1, truth.size(), truthOut);
        }
        // Where the receiver put itself.
        double fixLat = lat;
        double fixLon = lon;
        double fixAlt = alt;
        if (options.errorSigma > 0) {
            const double share = !options.rtk ? 1.0 : quality == 4 ? 0.01 : quality == 5 ? 0.1 : 1.0;
            const auto [east, north] = NormalPair(errors);
            const double up = NormalPair(errors).first;
            const auto [dLat, dLon] =
                DegreesOf(east * options.errorSigma * share, north * options.errorSigma * share, lat);
            fixLat += dLat;
            fixLon += dLon;
            fixAlt += up * options.errorSigmaUp * share;
        }
        const std::string latText = Coordinate(fixLat, true, minuteDecimals);
        const std::string lonText = Coordinate(fixLon, false, minuteDecimals);
        std::snprintf(body, sizeof body, "%sGGA,%s,%s,%s,%d,%02d,%.1f,%.*f,M,14.2,M,,", fixTalker, timeText,
                      latText.c_str(), lonText.c_str(), quality, fix ? used : 0, fix ? 0.9 : 99.9,
                      options.fine ? 3 : 1, fixAlt);
        std::string text = WithChecksum(body);
        std::snprintf(body, sizeof body, "%sRMC,%s,%c,%s,%s,%.1f,%.1f,%s,,", fixTalker, timeText,
                      fix ? 'A' : 'V', latText.c_str(), lonText.c_str(), speedKnots, heading, dateText);
        std::string rmc = body;
        if (options.version != NmeaVersion::V22) {
            rmc += fix ? ",A" : ",N";  // mode indicator
        }
        if (v41) {
            rmc += ",V";  // navigational status
        }
        text += WithChecksum(rmc);
        for (size_t s = 0; s < systems.size(); ++s) {
            text += GsvSeries(systems[s], skies[s], random, v41 ? systems[s].l1Signal : 0,
                              !moving || (s == 2 && !v411));
            if (systems[s].l5Signal != 0) {
                text += L5Series(systems[s], skies[s], random);
            }
        }
        for (size_t s = 0; s < systems.size(); ++s) {
            text += Gsa(systems[s], skies[s], fix, v41);
        }
        std::snprintf(body, sizeof body, "PORZD,A,%.1f", fix ? 1.5 + random.Unit() : 99.0);
        text += WithChecksum(body);
        if (differential) {
            std::snprintf(body, sizeof body, "TVLDR,%s,D,%s,%s,%.1f,%.1f", timeText,
                          Coordinate(lat + 0.00002, true).c_str(), Coordinate(lon - 0.00002, false).c_str(),
                          speedKnots, heading);
            text += WithChecksum(body);
        }
        std::fwrite(text.data(), 1, text.size(), out);
        if (options.paced) {
            if (std::fflush(out) != 0) {
                return 1;
            }
            std::this_thread::sleep_until(pacedStart +
                                          std::chrono::microseconds((e + 1) * 1000000L / options.rate));
        }
    }
    if (out != stdout && std::fclose(out) != 0) {
        std::perror(options.out);
        return 1;
    }
    if (truthOut != nullptr && std::fclose(truthOut) != 0) {
        std::perror(options.truth);
        return 1;
    }
    return 0;
}
