#include "app/settings.h"

#include <sys/stat.h>

#include <optional>
#include <variant>

#include "app/field_values.h"
#include "app/ini.h"
#include "core/paths.h"

namespace tervo {

namespace {

// Makes every missing directory of `directory`; a failure shows later, when the
// file in it cannot be written.
void MakeDirectories(const std::string& directory) {
    for (size_t slash = directory.find('/', 1); slash != std::string::npos;
         slash = directory.find('/', slash + 1)) {
        mkdir(directory.substr(0, slash).c_str(), 0700);
    }
    mkdir(directory.c_str(), 0700);
}

// The name of the program's folder and file in the user's configuration directory.
constexpr const char* kConfigName = "tervoconverter";

// One key of the [Settings] section and the member that holds its value.
struct SettingsKey {
    const char* name;
    std::variant<bool WindowSettings::*, int32_t WindowSettings::*, std::string WindowSettings::*> member;
};

// The display settings, in the order they are saved (a key the file lacks is
// appended in this order). The window position is saved behind them.
const SettingsKey kDisplayKeys[] = {
    {"CheckBox1", &WindowSettings::CheckBox1},
    {"MaskEdit1", &WindowSettings::MaskEdit1},
    {"ShapeStyleTrack", &WindowSettings::ShapeStyleTrack},
    {"ShapeFullTrack", &WindowSettings::ShapeFullTrack},
    {"Edit3", &WindowSettings::Edit3},
    {"CheckBox2", &WindowSettings::CheckBox2},
    {"CheckBox4", &WindowSettings::CheckBox4},
    {"ShapeRightPoint", &WindowSettings::ShapeRightPoint},
    {"ShapeIncorPoint", &WindowSettings::ShapeIncorPoint},
    {"CheckBox3", &WindowSettings::CheckBox3},
    {"Edit4", &WindowSettings::Edit4},
    {"ShapeDTrack", &WindowSettings::ShapeDTrack},
    {"Edit7", &WindowSettings::Edit7},
};
const SettingsKey kPositionKeys[] = {
    {"Left", &WindowSettings::Left},
    {"Top", &WindowSettings::Top},
};

// Reads the key into `values` when the file holds it (a number for the flags
// and colours); a key the file lacks leaves the member as it is.
void ReadKey(const IniDocument& document, const SettingsKey& key, WindowSettings& values) {
    if (auto flag = std::get_if<bool WindowSettings::*>(&key.member)) {
        if (std::optional<int32_t> number = document.Integer(kSettingsSection, key.name)) {
            values.*(*flag) = *number != 0;
        }
    } else if (auto integer = std::get_if<int32_t WindowSettings::*>(&key.member)) {
        if (std::optional<int32_t> number = document.Integer(kSettingsSection, key.name)) {
            values.*(*integer) = *number;
        }
    } else if (std::optional<std::string> text = document.Value(kSettingsSection, key.name)) {
        values.*std::get<std::string WindowSettings::*>(key.member) = *text;
    }
}

// The value's text in the file: flags as 0 or 1, numbers in decimal.
std::string KeyText(const SettingsKey& key, const WindowSettings& values) {
    if (auto flag = std::get_if<bool WindowSettings::*>(&key.member)) {
        return values.*(*flag) ? "1" : "0";
    }
    if (auto integer = std::get_if<int32_t WindowSettings::*>(&key.member)) {
        return std::to_string(values.*(*integer));
    }
    return values.*std::get<std::string WindowSettings::*>(key.member);
}

// Reads the [Extras] keys the file holds into `extras`. An empty value is an
// extra no longer asked for; a value out of range or no number at all keeps
// the current one, as a bad number of [Settings] does.
void ReadExtras(const IniDocument& document, Extras& extras) {
    for (const ExtraKey& key : ExtraKeys()) {
        const std::optional<std::string> text = document.Value(kExtrasSection, key.Key);
        if (!text) {
            continue;
        }
        if (text->empty()) {
            ClearExtra(extras, key);
        } else {
            SetExtra(extras, key, *text);
        }
    }
}

}  // namespace

WindowSettings InitialWindowSettings() { return WindowSettings{}; }

WindowSettings BuiltInDefaultSettings() {
    WindowSettings values;
    values.CheckBox1 = true;
    values.MaskEdit1 = "2000-01-01";
    values.ShapeStyleTrack = 255;
    values.ShapeFullTrack = 32768;
    values.Edit3 = "5";
    values.CheckBox3 = false;
    values.CheckBox4 = false;
    values.ShapeRightPoint = 16711680;
    values.ShapeIncorPoint = 65535;
    values.CheckBox2 = false;
    values.Edit7 = "7";
    values.ShapeDTrack = 65280;
    values.Edit4 = "0.5";
    return values;
}

void MemorySettingsControls::ApplyDisplayValues(const WindowSettings& values) {
    const int32_t left = values_.Left;
    const int32_t top = values_.Top;
    const bool fullTrackWasChecked = values_.CheckBox2;
    values_ = values;
    values_.Left = left;
    values_.Top = top;
    values_.MaskEdit1 = FitDateToMask(values.MaskEdit1);
    dateEnabled_ = values_.CheckBox1;
    // A check box whose state changes runs its click handler.
    if (values_.CheckBox2 != fullTrackWasChecked) {
        UpdateFullTrackControls();
    }
}

std::string DefaultSettingsPath(const std::string& programDirectory, const std::string& executableName) {
    return programDirectory + ChangeFileExtension(executableName, ".ini");
}

std::string DefaultSettingsPath(Platform& platform, const std::string& executableName) {
    const std::string programDirectory = platform.ProgramDirectory();
    if (platform.IsWritableDirectory(programDirectory)) {
        return DefaultSettingsPath(programDirectory, executableName);
    }
    std::string configHome = platform.EnvironmentValue("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome.front() != '/') {
        const std::string home = platform.EnvironmentValue("HOME");
        if (home.empty() || home.front() != '/') {
            return DefaultSettingsPath(programDirectory, executableName);
        }
        configHome = WithoutFinalSeparator(home) + "/.config";
    }
    return WithoutFinalSeparator(configHome) + "/" + kConfigName + "/" + kConfigName + ".ini";
}

WindowSettings LoadSettings(const std::string& path, SettingsControls& controls) {
    if (!IsRegularFile(path)) {
        WindowSettings values = BuiltInDefaultSettings();
        const WindowSettings current = controls.ReadControls();
        values.Left = current.Left;
        values.Top = current.Top;
        controls.ApplyDisplayValues(values);
        controls.UpdateFullTrackControls();
    } else {
        // A file that cannot be read holds no keys: every control keeps its value.
        IniDocument document;
        document.Load(path);
        WindowSettings values = controls.ReadControls();
        for (const SettingsKey& key : kDisplayKeys) {
            ReadKey(document, key, values);
        }
        ReadExtras(document, values.Extras);
        controls.ApplyDisplayValues(values);
        controls.UpdateFullTrackControls();
        for (const SettingsKey& key : kPositionKeys) {
            ReadKey(document, key, values);
        }
        controls.MoveWindow(values.Left, values.Top);
    }
    return controls.ReadControls();
}

std::string ResolveSettingsPlace(const std::string& place, const std::string& directory,
                                 const std::string& defaultPath) {
    if (place.empty()) {
        return defaultPath;
    }
    if (!DirectoryPart(place).empty()) {
        return place;
    }
    std::string path = directory + place;
    if (place.find('.') == std::string::npos) {
        path += ".ini";
    }
    return path;
}

std::string SaveSettings(const std::string& place, SettingsControls& controls, const std::string& directory,
                         const std::string& defaultPath) {
    const std::string path = ResolveSettingsPlace(place, directory, defaultPath);
    if (path == defaultPath && !DirectoryPart(path).empty()) {
        MakeDirectories(WithoutFinalSeparator(DirectoryPart(path)));
    }
    const WindowSettings values = controls.ReadControls();
    // The extras the file holds before anything is written; a missing file holds none.
    IniDocument before;
    before.Load(path);
    // Key by key, each a write of the file: a failure leaves the keys before it.
    auto write = [&](const char* section, const char* name, const std::string& text) {
        if (!WriteIniValue(path, section, name, text)) {
            throw SettingsWriteError(path);
        }
    };
    for (const SettingsKey& key : kDisplayKeys) {
        write(kSettingsSection, key.name, KeyText(key, values));
    }
    for (const SettingsKey& key : kPositionKeys) {
        write(kSettingsSection, key.name, KeyText(key, values));
    }
    // An extra never asked for adds nothing; one asked for before and no longer
    // is left empty, which reads back as not asked for.
    for (const ExtraKey& key : ExtraKeys()) {
        if (IsAsked(values.Extras, key)) {
            write(kExtrasSection, key.Key, AskedText(values.Extras, key));
        } else if (before.Value(kExtrasSection, key.Key)) {
            write(kExtrasSection, key.Key, "");
        }
    }
    return path;
}

bool SettingsChanged(const WindowSettings& current, const WindowSettings& baseline) {
    if (current.Extras != baseline.Extras) {
        return true;
    }
    for (const SettingsKey& key : kDisplayKeys) {
        // The date mask's letters are compared without regard to case.
        const std::string now = KeyText(key, current);
        const std::string before = KeyText(key, baseline);
        if (std::holds_alternative<std::string WindowSettings::*>(key.member) &&
                    &WindowSettings::MaskEdit1 == std::get<std::string WindowSettings::*>(key.member)
                ? !EqualNoCase(now, before)
                : now != before) {
            return true;
        }
    }
    return false;
}

WindowSettings LoadCommandLineSettings(const std::optional<std::string>& path, const Extras& options,
                                       std::FILE* err) {
    MemorySettingsControls controls;
    // A directory names no file: the built-in settings.
    const std::string file = path.value_or("./");
    if (path && !IsRegularFile(file)) {
        std::fprintf(
            err,
            "tervoconverter: warning: the settings file %s does not exist; the built-in settings apply\n",
            file.c_str());
    }
    LoadSettings(file, controls);
    WindowSettings values = controls.values();
    values.Extras = OverlaidExtras(values.Extras, options);
    return values;
}

}  // namespace tervo
