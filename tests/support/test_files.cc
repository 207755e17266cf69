#include "support/test_files.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tervo::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tervo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may have made entries read-only; give the owner write access back first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::FILE* MemoryInput(const std::string& bytes) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

std::string TestDataDir() { return std::string(TERVO_TEST_DATA_DIR) + "/"; }

std::string SharedTestDataDir() {
    std::string dir = TERVO_SHARED_TESTDATA_DIR;
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return "";
    }
    return dir + "/";
}

}  // namespace tervo::testing

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace tervo::testing {

bool UseCommaLocale() {
    auto hasComma = [] {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        return std::string(text) == "1,5";
    };
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr && hasComma()) {
        return true;
    }
    static std::string compiled;
    if (compiled.empty()) {
        std::string dir = (std::filesystem::temp_directory_path() / "tervo-locale").string();
        std::filesystem::create_directories(dir);
        std::string command = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 && !FileExists(dir + "/de_DE.UTF-8")) {
            return false;
        }
        compiled = dir;
    }
    setenv("LOCPATH", compiled.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr && hasComma();
}

void RestoreCLocale() { std::setlocale(LC_ALL, "C"); }

std::vector<std::string> Listing(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tervo::testing
