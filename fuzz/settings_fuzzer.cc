// Fuzz target: a settings file. Checks that an INI document gives back every
// byte it was read from, that a key written reads back as written while every
// other key keeps its value, and that whatever values the file holds, the KML of
// a small fixed log made with them is sound; the [Extras] section chooses the
// extras of that run, with whatever values it holds.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "app/file_fields.h"
#include "app/ini.h"
#include "app/settings.h"
#include "fuzz/extras_checks.h"
#include "fuzz/in_memory_run.h"

namespace {

constexpr std::array<const char*, 15> kKeys = {"CheckBox1",
                                               "MaskEdit1",
                                               "ShapeStyleTrack",
                                               "ShapeFullTrack",
                                               "Edit3",
                                               "CheckBox2",
                                               "CheckBox4",
                                               "ShapeRightPoint",
                                               "ShapeIncorPoint",
                                               "CheckBox3",
                                               "Edit4",
                                               "ShapeDTrack",
                                               "Edit7",
                                               "Left",
                                               "Top"};

// One epoch of every sentence the converter reads and a differential fix, then
// a ZDA date (for DateFromZda) and an epoch of GGA alone.
constexpr std::string_view kLog =
    "$GPGGA,101500.00,5545.4296,N,03736.9137,E,1,08,0.9,150.2,M,14.2,M,,*6C\r\n"
    "$GPRMC,101500.00,A,5545.4296,N,03736.9137,E,20.0,356.7,170524,,,A*6E\r\n"
    "$GPGSV,3,3,09,44,71,025,27*44\r\n"
    "$GNGSA,A,3,02,07,15,20,25,,,,,,,,1.6,0.9,1.3*24\r\n"
    "$PORZD,A,1.8*35\r\n"
    "$TVLDR,101500.00,D,5545.4308,N,03736.9125,E,20.0,356.7*39\r\n"
    "$GPZDA,101500.00,17,05,2024,00,00*64\r\n"
    "$GPGGA,101501.00,5545.4354,N,03736.9131,E,1,08,0.9,150.3,M,14.2,M,,*65\r\n";

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

// The settings file every input is written to, in a directory of its own.
const std::string& SettingsPath() {
    static const std::string path = [] {
        std::string pattern = "/tmp/tervo-settings-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            Fail("no temporary directory");
        }
        static const std::string directory = pattern;
        std::atexit([] {
            std::remove((directory + "/settings.ini").c_str());
            rmdir(directory.c_str());
        });
        return pattern + "/settings.ini";
    }();
    return path;
}

void CheckRewrite(std::string_view text) {
    tervo::IniDocument document(text);
    if (document.Text() != text) {
        Fail("an INI document did not give back the bytes it was read from");
    }
    // The key and the new value come from the input itself.
    const char* key = kKeys[text.size() % kKeys.size()];
    const std::string_view value = text.substr(text.size() / 2, 80);
    std::array<std::optional<std::string>, kKeys.size()> before;
    for (size_t i = 0; i < kKeys.size(); ++i) {
        before[i] = document.Value(tervo::kSettingsSection, kKeys[i]);
    }
    document.SetValue(tervo::kSettingsSection, key, value);
    const tervo::IniDocument reread(document.Text());
    const std::string expected(value.substr(0, value.find_first_of("\r\n")));
    for (size_t i = 0; i < kKeys.size(); ++i) {
        const std::optional<std::string> now = reread.Value(tervo::kSettingsSection, kKeys[i]);
        if (kKeys[i] == key) {
            if (now != expected) {
                Fail(std::string("key ") + key + " did not read back as written");
            }
        } else if (now != before[i]) {
            Fail(std::string("writing ") + key + " changed key " + kKeys[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckRewrite(text);

    std::FILE* file = std::fopen(SettingsPath().c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        Fail("cannot write " + SettingsPath());
    }
    tervo::MemorySettingsControls controls;
    tervo::LoadSettings(SettingsPath(), controls);
    tervo::ConversionSettings settings = tervo::MakeConversionSettings(
        controls.values(), tervo::FileField{}, tervo::FileField{}, tervo::LogFormat::Nmea, false);
    const tervo::fuzzing::InMemoryRun run = tervo::fuzzing::ConvertInMemory(kLog, settings);
    tervo::fuzzing::AbortUnlessSound(run, size);
    tervo::fuzzing::AbortUnlessExtrasSound(run, size);
    return 0;
}
