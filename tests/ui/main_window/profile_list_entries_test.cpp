// The profile list's entries as the views read them from the profile table.
#include "ui/main_window/profile_list_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvane {
namespace {

std::vector<std::string> names(const profile_list_entries& entries) {
    std::vector<std::string> result;
    for (int i = 0; i < entries.count(); ++i) {
        result.emplace_back(entries.name(i));
    }
    return result;
}

TEST(profile_list_entries, one_entry_per_profile_named_by_the_text_before_the_first_comma) {
    const struct {
        const char* what;
        std::vector<std::string> lines;
        bool no_profiles;
        std::vector<std::string> expected;
    } cases[] = {
        {"file order", {"B,c,,,,,,,1", "A,c,,,,,,,1"}, false, {"B", "A"}},
        {"blank lines are no profile", {"", "A,c", "", "", "B,c"}, false, {"A", "B"}},
        {"a line without a comma is its own name", {"only a name"}, false, {"only a name"}},
        {"a line starting with a comma has an empty name", {",c,,,,,,,1", "A"}, false, {"", "A"}},
        {"the same name twice stays twice", {"A,1", "A,2"}, false, {"A", "A"}},
        {"no profiles: the table's empty entry is none", {""}, true, {}},
        {"a table said to hold none shows none", {"A,c"}, true, {}},
    };
    for (const auto& c : cases) {
        profile_table table;
        table.profile_lines = c.lines;
        table.no_profiles = c.no_profiles;
        profile_list_entries entries;
        entries.take(table);
        EXPECT_EQ(names(entries), c.expected) << c.what;
    }
}

TEST(profile_list_entries, read_the_table_as_it_is_and_never_past_its_end) {
    profile_table table;
    table.profile_lines = {"A,c", "B,c", "C,c"};
    table.no_profiles = false;
    profile_list_entries entries;
    EXPECT_EQ(entries.count(), 0);
    EXPECT_EQ(entries.name(0), "");  // nothing taken yet
    entries.take(table);
    EXPECT_EQ(entries.name(-1), "");
    EXPECT_EQ(entries.name(3), "");
    // A line changed in place shows at once; lines gone since take read as empty names until
    // the entries are taken again.
    table.profile_lines.set(0, "A2,c");
    table.profile_lines.resize(2);
    EXPECT_EQ(names(entries), (std::vector<std::string>{"A2", "B", ""}));
    entries.take(table);
    EXPECT_EQ(names(entries), (std::vector<std::string>{"A2", "B"}));
}

}  // namespace
}  // namespace norvane
