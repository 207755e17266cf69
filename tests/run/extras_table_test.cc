#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "run/extras.h"

namespace tervo {
namespace {

// Rows added to the table keep what the help, the settings file and the dialog
// rely on: a start the key itself accepts, and the rows of a group together.
TEST(ExtraKeys, EachStartIsAValueOfItsKeyAndEachGroupsRowsLieTogether) {
    size_t lastGroup = 0;
    size_t listed = 0;
    for (const ExtraKey& key : ExtraKeys()) {
        // A start outside the range, a fractional count or a choice past the
        // last would be refused when read back from the settings file.
        EXPECT_EQ(ParseExtraValue(key, ExtraValueText(key, key.Start)), key.Start) << key.Option;
        const auto groups = ExtraGroups();
        const auto at = std::find_if(groups.begin(), groups.end(), [&key](const ExtraGroupTitle& group) {
            return group.Group == key.Group;
        });
        ASSERT_NE(at, groups.end()) << key.Option << " in a group without a title";
        const auto index = static_cast<size_t>(at - groups.begin());
        EXPECT_GE(index, lastGroup) << key.Option << " apart from its group or before an earlier one";
        lastGroup = index;
    }
    for (const ExtraGroupTitle& group : ExtraGroups()) {
        listed += ExtraKeysOf(group.Group).size();
    }
    EXPECT_EQ(listed, ExtraKeys().size()) << "a row the groups do not list";
}

TEST(ExtraKeys, ATickedFieldStartsAtAUsefulValueUnderItsGroupsTitle) {
    struct Row {
        const char* legend;
        const char* option;
        const char* title;
        double start;
    };
    const Row rows[] = {
        {"the budget at the range's end of 2", "--max-placemarks", "Long logs in a globe viewer", 100},
        {"a gap of 0.1 s that cuts a 10 Hz log at every epoch", "--split-gap",
         "A KMZ file per piece of the log", 300},
        {"a tolerance of 0 that keeps every fix", "--line-tolerance", "Long logs in a globe viewer", 5},
        {"thinning by 0 s that keeps every placemark", "--thin-seconds", "Long logs in a globe viewer", 10},
        {"the viewer preset outside its group", "--viewer", "Long logs in a globe viewer", 1},
        {"the plots outside the report", "--plots", "The report (summary, plots)", 1},
        {"the window's summary outside the report", "--show-summary", "The report (summary, plots)", 1},
        {"colour-by outside the colours", "--colour-by", "Colours", 0},
        {"the ZDA dates outside their group", "--date-from-zda", "Dates", 1},
    };
    for (const Row& row : rows) {
        const auto groups = ExtraGroups();
        const auto group = std::find_if(groups.begin(), groups.end(), [&row](const ExtraGroupTitle& group) {
            return std::string(group.Title) == row.title;
        });
        ASSERT_NE(group, groups.end()) << row.legend;
        const auto keys = ExtraKeysOf(group->Group);
        const auto key = std::find_if(keys.begin(), keys.end(), [&row](const ExtraKey& key) {
            return std::string(key.Option) == row.option;
        });
        ASSERT_NE(key, keys.end()) << row.legend;
        EXPECT_EQ(key->Start, row.start) << row.legend;
    }
}

}  // namespace
}  // namespace tervo
