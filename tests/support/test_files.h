// Temporary directories and whole-file helpers for tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/platform.h"

namespace tervo::testing {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes. path() ends with "/".
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in `directory`, sorted.
std::vector<std::string> Listing(const std::string& directory);

// A FILE* reading the given bytes (closed by the caller with fclose).
std::FILE* MemoryInput(const std::string& bytes);

// The platform tests use: today 2024-05-17, every file written 2024-05-17 10:20:30.
class TestPlatform : public FixedPlatform {
public:
    explicit TestPlatform(std::string programDirectory = "/nonexistent/")
        : FixedPlatform({2024, 5, 17}, {2024, 5, 17, 10, 20, 30}, std::move(programDirectory)) {}
};

// The directory of our own test data files, with its final separator.
std::string TestDataDir();
// The folder of real receiver logs recorded by others, "" when it is absent.
std::string SharedTestDataDir();

}  // namespace tervo::testing

namespace tervo::testing {

// Switches LC_ALL to a locale whose decimal separator is a comma (compiling
// de_DE.UTF-8 into a temporary directory when it is not installed). Returns
// false when no such locale can be had. RestoreCLocale() switches back.
bool UseCommaLocale();
void RestoreCLocale();

}  // namespace tervo::testing
