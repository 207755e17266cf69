#include "app/ini.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/test_files.h"

namespace tervo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(IniRead, FindsValuesByTheFileRules) {
    struct Row {
        const char* legend;
        std::string text;
        std::optional<std::string> expected;  // the value of Settings/Edit3
    };
    const Row rows[] = {
        {"section matched with case would miss it", "[settings]\r\nEdit3=8\r\n", "8"},
        {"key matched with case would miss it", "[Settings]\r\nEDIT3=8\r\n", "8"},
        {"blanks around names and value kept", "[ Settings ]\r\n  Edit3 \t=  8 \t\r\n", "8"},
        {"LF-only lines not split", "[Settings]\nEdit4=1\nEdit3=8\n", "8"},
        {"double quotes not stripped", "[Settings]\r\nEdit3=\" 8 \"\r\n", " 8 "},
        {"single quotes not stripped", "[Settings]\r\nEdit3='8'\r\n", "8"},
        {"more than one pair of quotes stripped", "[Settings]\r\nEdit3=\"\"8\"\"\r\n", "\"8\""},
        {"a present empty value taken as missing", "[Settings]\r\nEdit3=\r\n", ""},
        {"the key of another section taken", "[Other]\r\nEdit3=8\r\n[Settings]\r\nEdit4=1\r\n", std::nullopt},
        {"a comment taken as a key", "[Settings]\r\n;Edit3=8\r\n", std::nullopt},
        {"a later duplicate wins", "[Settings]\r\nEdit3=8\r\nEdit3=9\r\n", "8"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IniDocument(row.text).Value("Settings", "Edit3"), row.expected) << row.legend;
    }
}

TEST(IniRead, ReturnsAtMost2047CharactersOfAValue) {
    const IniDocument document("[Settings]\r\nEdit3=" + std::string(3000, 'a') + "\r\n");
    EXPECT_EQ(document.Value("Settings", "Edit3"), std::string(kIniValueLimit, 'a'));
}

TEST(IniRead, ParsesIntegersOnlyInTheirTwoForms) {
    struct Row {
        const char* legend;
        const char* text;
        std::optional<int32_t> expected;
    };
    const Row rows[] = {
        {"0X hex or mixed-case digits not read", "0XfF", 255},
        {"plus sign rejected", "+7", 7},
        {"the lowest 32-bit value rejected", "-2147483648", INT32_MIN},
        {"eight hex digits not taken as 32 bits", "$FFFFFFFF", -1},
        {"the empty text read as 0", "", std::nullopt},
        {"a bare hex prefix read as 0", "0x", std::nullopt},
        {"a bare sign read as 0", "-", std::nullopt},
        {"trailing letters ignored", "12abc", std::nullopt},
        {"decimal overflow wrapped", "2147483648", std::nullopt},
        {"hex overflow wrapped", "$100000000", std::nullopt},
        {"a decimal point ignored", "1.5", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseIniInteger(row.text), row.expected) << row.legend;
    }
}

TEST(IniWrite, ChangesOnlyItsKey) {
    struct Row {
        const char* legend;
        std::optional<std::string> before;  // nothing: no file
        const char* key;
        const char* value;
        std::string after;
    };
    const Row rows[] = {
        {"a present key not replaced where it stands", "[Settings]\r\nA=1\r\nB=2\r\n", "A", "9",
         "[Settings]\r\nA=9\r\nB=2\r\n"},
        {"a missing key not added at the end of its section", "[Settings]\r\nA=1\r\n\r\n[Other]\r\nX=1\r\n",
         "B", "2", "[Settings]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nX=1\r\n"},
        {"a missing section not added at the end", "; mine\r\n[Other]\r\nX=1\r\n", "B", "2",
         "; mine\r\n[Other]\r\nX=1\r\n[Settings]\r\nB=2\r\n"},
        {"a last line without line end joined to the new one", "[Other]\r\nX=1", "B", "2",
         "[Other]\r\nX=1\r\n[Settings]\r\nB=2\r\n"},
        {"a missing file not created", std::nullopt, "B", "2", "[Settings]\r\nB=2\r\n"},
        {"LF-only lines rewritten or new lines not CR LF", "[Settings]\nA=1\n", "B", "2",
         "[Settings]\nA=1\nB=2\r\n"},
        {"a key in a same-named key of another section replaced", "[Other]\r\nB=1\r\n[Settings]\r\n", "B",
         "2", "[Other]\r\nB=1\r\n[Settings]\r\nB=2\r\n"},
        {"a line break in a value let it write a key of its own", "[Settings]\r\n", "A", "x\r\nEvil=1",
         "[Settings]\r\nA=x\r\n"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string path = dir.File("a.ini");
        if (row.before) {
            WriteFile(path, *row.before);
        }
        ASSERT_TRUE(WriteIniValue(path, "Settings", row.key, row.value)) << row.legend;
        EXPECT_EQ(ReadFile(path), row.after) << row.legend;
    }
}

TEST(IniWrite, ValuesReadBackAsWritten) {
    // Blanks at the ends and enclosing quotes would be lost by the reader's rules.
    for (const char* value : {"plain", " 5 ", "\"q\"", "'", "", "a\"b"}) {
        IniDocument document;
        document.SetValue("Settings", "Edit3", value);
        EXPECT_EQ(IniDocument(document.Text()).Value("Settings", "Edit3"), value)
            << "value [" << value << "]";
    }
}

}  // namespace
}  // namespace tervo
