// The three file fields of the window (input Edit1, output Edit6, settings Edit2)
// each keep a visible text and a full path (shown as the tooltip). These are the
// rules that keep the two in step, as plain functions the window calls.
#pragma once

#include <string>

namespace tervo {

struct FileField {
    std::string text;
    std::string fullPath;
};

// Edit1Change: the full path becomes the directory part of the previous full path
// (the program's directory when it has none) followed by the new text. Returns
// whether Run is enabled (the text is not empty).
bool Edit1Change(FileField& edit1, const std::string& newText, const std::string& programDirectory);

// Edit2Change: the full path becomes the text.
void Edit2Change(FileField& edit2, const std::string& newText);

// A chosen or dropped input file: Edit1 shows its name with `path` as full path,
// and Edit6 proposes the same path with ".kmz" appended behind the whole name.
void SetInputFile(FileField& edit1, FileField& edit6, const std::string& path, const std::string& programDirectory);

// A chosen output file: full path exactly as chosen, text its file-name part.
void SetOutputFile(FileField& edit6, const std::string& path);

}  // namespace tervo
