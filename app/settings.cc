#include "app/settings.h"

#include <sys/stat.h>

#include "app/field_values.h"
#include "app/ini.h"
#include "core/paths.h"

namespace tervo {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class SettingsReader {
public:
    explicit SettingsReader(const IniDocument& document) : document_(document) {}

    void Read(const char* key, bool& value) const {
        if (std::optional<int32_t> number = document_.Integer(kSettingsSection, key)) {
            value = *number != 0;
        }
    }
    void Read(const char* key, int32_t& value) const {
        if (std::optional<int32_t> number = document_.Integer(kSettingsSection, key)) {
            value = *number;
        }
    }
    void Read(const char* key, std::string& value) const {
        if (std::optional<std::string> text = document_.Value(kSettingsSection, key)) {
            value = *text;
        }
    }

private:
    const IniDocument& document_;
};

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
        const SettingsReader reader(document);
        WindowSettings values = controls.ReadControls();
        reader.Read("CheckBox1", values.CheckBox1);
        reader.Read("MaskEdit1", values.MaskEdit1);
        reader.Read("ShapeStyleTrack", values.ShapeStyleTrack);
        reader.Read("ShapeFullTrack", values.ShapeFullTrack);
        reader.Read("Edit3", values.Edit3);
        reader.Read("CheckBox3", values.CheckBox3);
        reader.Read("CheckBox4", values.CheckBox4);
        reader.Read("ShapeRightPoint", values.ShapeRightPoint);
        reader.Read("ShapeIncorPoint", values.ShapeIncorPoint);
        reader.Read("CheckBox2", values.CheckBox2);
        reader.Read("Edit4", values.Edit4);
        reader.Read("Edit7", values.Edit7);
        reader.Read("ShapeDTrack", values.ShapeDTrack);
        controls.ApplyDisplayValues(values);
        controls.UpdateFullTrackControls();
        reader.Read("Left", values.Left);
        reader.Read("Top", values.Top);
        controls.MoveWindow(values.Left, values.Top);
    }
    return controls.ReadControls();
}

std::string ResolveSettingsPlace(const std::string& place, const std::string& programDirectory,
                                 const std::string& defaultPath) {
    if (place.empty()) {
        return defaultPath;
    }
    if (!DirectoryPart(place).empty()) {
        return place;
    }
    std::string path = programDirectory + place;
    if (place.find('.') == std::string::npos) {
        path += ".ini";
    }
    return path;
}

std::string SaveSettings(const std::string& place, SettingsControls& controls,
                         const std::string& programDirectory, const std::string& defaultPath) {
    const std::string path = ResolveSettingsPlace(place, programDirectory, defaultPath);
    const WindowSettings values = controls.ReadControls();
    // Key by key, each a write of the file: a failure leaves the keys before it.
    auto write = [&path](const char* key, const std::string& value) {
        if (!WriteIniValue(path, kSettingsSection, key, value)) {
            throw SettingsWriteError(path);
        }
    };
    auto flag = [](bool checked) { return std::string(checked ? "1" : "0"); };
    write("CheckBox1", flag(values.CheckBox1));
    write("MaskEdit1", values.MaskEdit1);
    write("ShapeStyleTrack", std::to_string(values.ShapeStyleTrack));
    write("ShapeFullTrack", std::to_string(values.ShapeFullTrack));
    write("Edit3", values.Edit3);
    write("CheckBox2", flag(values.CheckBox2));
    write("CheckBox4", flag(values.CheckBox4));
    write("ShapeRightPoint", std::to_string(values.ShapeRightPoint));
    write("ShapeIncorPoint", std::to_string(values.ShapeIncorPoint));
    write("CheckBox3", flag(values.CheckBox3));
    write("Edit4", values.Edit4);
    write("ShapeDTrack", std::to_string(values.ShapeDTrack));
    write("Edit7", values.Edit7);
    write("Left", std::to_string(values.Left));
    write("Top", std::to_string(values.Top));
    return path;
}

bool SettingsChanged(const WindowSettings& current, const WindowSettings& baseline) {
    return current.CheckBox1 != baseline.CheckBox1 || !EqualNoCase(current.MaskEdit1, baseline.MaskEdit1) ||
           current.ShapeStyleTrack != baseline.ShapeStyleTrack ||
           current.ShapeFullTrack != baseline.ShapeFullTrack || current.Edit3 != baseline.Edit3 ||
           current.CheckBox2 != baseline.CheckBox2 || current.CheckBox4 != baseline.CheckBox4 ||
           current.ShapeRightPoint != baseline.ShapeRightPoint ||
           current.ShapeIncorPoint != baseline.ShapeIncorPoint || current.CheckBox3 != baseline.CheckBox3 ||
           current.Edit4 != baseline.Edit4 || current.ShapeDTrack != baseline.ShapeDTrack ||
           current.Edit7 != baseline.Edit7;
}

}  // namespace tervo
