#include "support/whole_conversion.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tervo::testing {

ConversionSettings CheckedFileSettings(const std::string& input, const std::string& inputName,
                                       const TempDir& dir, LogFormat format) {
    ConversionSettings s;
    s.InputPath = input;
    s.InputName = inputName;
    s.OutputPath = dir.File("previous.kmz");
    s.OutputName = "t.kmz";
    s.Format = format;
    s.ShapeRightPoint = 0x00FF00;
    s.ShapeIncorPoint = 0x0000FF;
    s.ShapeDTrack = 0xFF0000;
    s.ShapeStyleTrack = 0x0000FF;
    s.ShapeFullTrack = 0x808080;
    s.Edit3 = "4";
    s.Edit7 = "2";
    s.Edit4 = "0.7";
    s.MaskEdit1 = "2000-01-01";
    return s;
}

bool MatchesCheckedFile(const std::string& document, const std::string& expectedPath) {
    const char* rebuild = std::getenv("TERVO_REBUILD_EXPECTED");
    if (rebuild != nullptr && std::string(rebuild) == "1") {
        WriteFile(expectedPath, document);
        return false;
    }
    EXPECT_FALSE(document.empty()) << expectedPath;
    EXPECT_EQ(document, ReadFile(expectedPath)) << expectedPath;
    return true;
}

}  // namespace tervo::testing
