// The three file fields of the window (input Edit1, output Edit6, settings Edit2)
// each keep a visible text and a full path (shown as the tooltip). These are the
// rules that keep the two in step, as plain functions the window calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/settings.h"
#include "run/conversion.h"

namespace tervo {

struct FileField {
    std::string text;
    std::string fullPath;
};

// Edit1Change: the full path becomes the directory part of the previous full path
// (the program's directory when it has none) followed by the new text; a text
// that is an absolute path is the full path itself. Returns whether the field
// holds a name (the text is not empty); Run also needs the output (RunEnabled).
bool Edit1Change(FileField& edit1, const std::string& newText, const std::string& programDirectory);

// Whether Run is enabled for these texts of the input (Edit1) and output (Edit6)
// fields: both hold a name. The output's must name a file, not only a directory
// ("/data/out/"), or the run would convert the whole log and then fail to
// create the container.
bool RunEnabled(const std::string& inputText, const std::string& outputText);

// Edit2Change: the full path becomes the text.
void Edit2Change(FileField& edit2, const std::string& newText);

// The output proposed for an input file: its whole path with ".kmz" behind it
// (the input's own extension stays in front).
std::string ProposedOutputPath(const std::string& inputPath);

// A chosen or dropped input file: Edit1 shows its name with `path` as full path,
// and Edit6 proposes the same path with ".kmz" appended behind the whole name.
// Run is enabled afterwards.
void SetInputFile(FileField& edit1, FileField& edit6, const std::string& path,
                  const std::string& programDirectory);

// A chosen output file: full path exactly as chosen, text its file-name part.
void SetOutputFile(FileField& edit6, const std::string& path);

// A chosen settings file: Edit2 shows its name, its full path is `path`.
void SetSettingsFile(FileField& edit2, const std::string& path);

// What the window hands to RunConversion: the input and output fields, the
// format (LogFormatOfIndex of the window's choice), the thirteen display values and the extras as they
// were asked for. An output text that is an absolute path is used as it stands
// (its directory and name), whatever full path the field kept; any other text is
// a name in the directory of the field's full path (the program's directory when
// it has none).
ConversionSettings MakeConversionSettings(const WindowSettings& values, const FileField& edit1,
                                          const FileField& edit6, std::optional<LogFormat> format,
                                          bool interactive);

}  // namespace tervo
