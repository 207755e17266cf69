// The settings file: the fifteen values of the window kept in an INI file, the
// extras asked for beside them, the built-in defaults, and the change check of
// the closing dialogue. Nothing here needs a widget: the window implements
// SettingsControls on its controls.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/platform.h"
#include "run/extras.h"

namespace tervo {

// The fifteen values of a settings file, in the order SaveSettings writes them.
struct WindowSettings {
    bool CheckBox1 = true;
    std::string MaskEdit1 = "2000-01-01";
    int32_t ShapeStyleTrack = 16777215;
    int32_t ShapeFullTrack = 16777215;
    std::string Edit3 = "5";
    bool CheckBox2 = false;
    bool CheckBox4 = false;
    int32_t ShapeRightPoint = 16777215;
    int32_t ShapeIncorPoint = 16777215;
    bool CheckBox3 = false;
    std::string Edit4 = "0.5";
    int32_t ShapeDTrack = 16777215;
    std::string Edit7 = "1";
    int32_t Left = 426;
    int32_t Top = 199;
    // The [Extras] section; nothing asked for unless a file or the Extras dialog asks.
    tervo::Extras Extras;

    bool operator==(const WindowSettings&) const = default;
};

// The window's initial values (white swatches, Edit7 "1", at 426, 199).
WindowSettings InitialWindowSettings();

// The values LoadSettings applies when there is no settings file: red, half
// green, blue, yellow and full green swatches, Edit7 "7". Left and Top are not
// part of them (the window stays where it is); here they hold the initial ones.
WindowSettings BuiltInDefaultSettings();

// The INI section that holds the fifteen keys.
inline constexpr const char* kSettingsSection = "Settings";

// What LoadSettings and SaveSettings need from the window.
class SettingsControls {
public:
    virtual ~SettingsControls() = default;
    // The fifteen values and the extras as the controls hold them now (the date
    // text as the masked field shows it, the window's outer top-left corner).
    virtual WindowSettings ReadControls() = 0;
    // Sets the thirteen display values and the extras (not Left/Top); the date
    // field fits its text to its mask and is enabled exactly when CheckBox1 is
    // checked. Check boxes whose state changes run their click handlers.
    virtual void ApplyDisplayValues(const WindowSettings& values) = 0;
    // Label3 and ShapeFullTrack enabled exactly when CheckBox2 is checked.
    virtual void UpdateFullTrackControls() = 0;
    virtual void MoveWindow(int32_t left, int32_t top) = 0;
};

// SettingsControls without a window: the values live in memory. The console
// front end converts with it; tests load and save through it.
class MemorySettingsControls : public SettingsControls {
public:
    explicit MemorySettingsControls(WindowSettings values = InitialWindowSettings())
        : values_(std::move(values)) {}
    WindowSettings ReadControls() override { return values_; }
    // The date is fitted to the date field's mask, as the window's field does.
    void ApplyDisplayValues(const WindowSettings& values) override;
    void UpdateFullTrackControls() override { fullTrackEnabled_ = values_.CheckBox2; }
    void MoveWindow(int32_t left, int32_t top) override {
        values_.Left = left;
        values_.Top = top;
    }

    const WindowSettings& values() const { return values_; }
    bool dateEnabled() const { return dateEnabled_; }
    bool fullTrackEnabled() const { return fullTrackEnabled_; }

private:
    WindowSettings values_;
    bool dateEnabled_ = true;
    bool fullTrackEnabled_ = true;
};

// "Unable to write to <path>": a settings file could not be written.
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const std::string& path) : std::runtime_error("Unable to write to " + path) {}
};

// `programDirectory` (with its final separator) followed by the executable's
// name with its extension replaced by ".ini".
std::string DefaultSettingsPath(const std::string& programDirectory, const std::string& executableName);

// The settings file the window loads at start and saves to by default. While the
// program's directory is writable (a build tree, a portable copy) it is the file
// beside the program above. An installed program keeps it in the user's
// configuration directory: $XDG_CONFIG_HOME/tervoconverter/tervoconverter.ini, or
// $HOME/.config/tervoconverter/tervoconverter.ini when XDG_CONFIG_HOME is unset,
// empty or relative. Without an absolute HOME either, the file beside the program.
std::string DefaultSettingsPath(Platform& platform, const std::string& executableName);

// Reads the file at `path` into the controls, or applies the built-in defaults
// when no regular file is there; returns the new baseline (the thirteen display
// values and the extras read back from the controls; Left/Top as the controls
// hold them). A key that is missing, or a number or check state that cannot be
// read as an integer, keeps the control's current value; a text key present with
// an empty value empties its field. The keys of ExtraKeys() are read from
// [Extras] after them alike: a value ParseExtraValue refuses keeps the current
// one, an empty value means "not asked for"; without a file no extra is asked
// for. UpdateFullTrackControls runs after either branch, so "All waypoints"
// never stays enabled while "Use all the waypoints" is off.
WindowSettings LoadSettings(const std::string& path, SettingsControls& controls);

// The settings of a command line: the file at `path` read as LoadSettings reads
// it (nothing: the built-in settings), with a warning on `err` when `path`
// names no file, and the extras asked for by `options` over the file's.
WindowSettings LoadCommandLineSettings(const std::optional<std::string>& path, const Extras& options,
                                       std::FILE* err);

// Resolves `place` (empty: `defaultPath`; with a directory part: unchanged; a bare
// name: behind `directory`, ".ini" added when it has no extension) and writes the
// fifteen values of the controls there, then the extras into [Extras]: each one
// asked for, and each one the file already holds (written empty when it is no
// longer asked for), so a file without extras keeps its bytes. The default
// file's missing directories are made first (mode 0700): a user's configuration
// directory may not exist yet. Throws SettingsWriteError with the resolved path
// when a key cannot be written; keys written before stay. Returns the resolved
// path.
std::string SaveSettings(const std::string& place, SettingsControls& controls, const std::string& directory,
                         const std::string& defaultPath);

// The place resolution of SaveSettings alone.
std::string ResolveSettingsPlace(const std::string& place, const std::string& directory,
                                 const std::string& defaultPath);

// The closing dialogue's check: true when any of the thirteen display values or
// the extras differ from the baseline (Edit3/Edit4/Edit7 with case, the date
// without, the window position not at all).
bool SettingsChanged(const WindowSettings& current, const WindowSettings& baseline);

}  // namespace tervo
