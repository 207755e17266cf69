// Path helpers shared by the run, the container writer and the settings code.
// Paths are POSIX paths: '/' is the only separator.
#pragma once

#include <string>

namespace tervo {

// The directory part of `path` including its final separator ("" when none).
std::string DirectoryPart(const std::string& path);
// The part of `path` after its last separator.
std::string FileNamePart(const std::string& path);
// `name` with the part from the last full stop of its file name replaced by
// `extension` (appended when the file name has no full stop).
std::string ChangeFileExtension(const std::string& name, const std::string& extension);
// `directory` without its final separator, unless it is "/" itself.
std::string WithoutFinalSeparator(const std::string& directory);
// `path` made absolute against `directory` (with or without its final
// separator); an absolute path stays as it is.
std::string AbsoluteFrom(const std::string& path, const std::string& directory);
// The process's current directory, without a final separator (but "/").
// Throws std::system_error when it cannot be told.
std::string CurrentDirectory();
// Whether `path` names a regular file (through links).
bool IsRegularFile(const std::string& path);

}  // namespace tervo
