#include "app/file_fields.h"

#include "core/paths.h"

namespace tervo {

bool Edit1Change(FileField& edit1, const std::string& newText, const std::string& programDirectory) {
    if (!newText.empty() && newText.front() == '/') {
        // Put behind a directory, an absolute name would name no file at all.
        edit1.fullPath = newText;
    } else {
        std::string directory = DirectoryPart(edit1.fullPath);
        edit1.fullPath =
            directory.empty() ? edit1.fullPath + programDirectory + newText : directory + newText;
    }
    edit1.text = newText;
    return !edit1.text.empty();
}

bool RunEnabled(const std::string& inputText, const std::string& outputText) {
    return !inputText.empty() && !FileNamePart(outputText).empty();
}

void Edit2Change(FileField& edit2, const std::string& newText) {
    edit2.text = newText;
    edit2.fullPath = newText;
}

std::string ProposedOutputPath(const std::string& inputPath) { return inputPath + ".kmz"; }

void SetInputFile(FileField& edit1, FileField& edit6, const std::string& path,
                  const std::string& programDirectory) {
    Edit1Change(edit1, "", programDirectory);
    Edit1Change(edit1, FileNamePart(path), programDirectory);
    edit1.fullPath = path;
    SetOutputFile(edit6, ProposedOutputPath(path));
}

void SetOutputFile(FileField& edit6, const std::string& path) {
    edit6.fullPath = path;
    edit6.text = FileNamePart(path);
}

void SetSettingsFile(FileField& edit2, const std::string& path) {
    Edit2Change(edit2, "");
    Edit2Change(edit2, FileNamePart(path));
    edit2.fullPath = path;
}

ConversionSettings MakeConversionSettings(const WindowSettings& values, const FileField& edit1,
                                          const FileField& edit6, std::optional<LogFormat> format,
                                          bool interactive) {
    ConversionSettings settings;
    settings.InputPath = edit1.fullPath;
    settings.InputName = edit1.text;
    if (!edit6.text.empty() && edit6.text.front() == '/') {
        // Put behind the kept directory, an absolute name would name no file at all.
        settings.OutputName = FileNamePart(edit6.text);
        settings.OutputPath = edit6.text;
    } else {
        settings.OutputName = edit6.text;
        settings.OutputPath = edit6.fullPath;
    }
    settings.Format = format;
    settings.ShapeRightPoint = values.ShapeRightPoint;
    settings.ShapeIncorPoint = values.ShapeIncorPoint;
    settings.ShapeDTrack = values.ShapeDTrack;
    settings.ShapeStyleTrack = values.ShapeStyleTrack;
    settings.ShapeFullTrack = values.ShapeFullTrack;
    settings.Edit3 = values.Edit3;
    settings.Edit7 = values.Edit7;
    settings.Edit4 = values.Edit4;
    settings.CheckBox1 = values.CheckBox1;
    settings.MaskEdit1 = values.MaskEdit1;
    settings.CheckBox2 = values.CheckBox2;
    settings.CheckBox3 = values.CheckBox3;
    settings.CheckBox4 = values.CheckBox4;
    settings.Extras = values.Extras;
    settings.Interactive = interactive;
    return settings;
}

}  // namespace tervo
