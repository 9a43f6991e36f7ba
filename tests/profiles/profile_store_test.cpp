#include "profiles/profile_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/cp932.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using testing::read_bytes;
using testing::write_bytes;

struct store_fixture : ::testing::Test {
    testing::temp_dir dir;
    testing::scripted_ui ui;
    std::unique_ptr<host::file_system> files = host::create_file_system();
    profile_table table;
    std::string error;

    bool load() { return load_profiles(*files, table, error); }
};

TEST_F(store_fixture, load_reads_raw_lines_in_file_order) {
    const struct {
        const char* what;
        const char* bytes;  // nullptr: no file
        std::vector<std::string> lines;
        bool no_profiles;
    } cases[] = {
        {"missing", nullptr, {""}, true},
        {"empty", "", {""}, true},
        {"three", "a,1\r\nb,2\r\nc,3\r\n", {"a,1", "b,2", "c,3"}, false},
        {"no final line end", "a\r\nb", {"a", "b"}, false},
        {"blank and odd lines kept", "a\r\n\r\nx\r\n", {"a", "", "x"}, false},
        {"unix line ends", "a\nb\n", {"a", "b"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove("profile.dat");
        if (c.bytes != nullptr) {
            write_bytes("profile.dat", c.bytes);
        }
        table.no_profiles = !c.no_profiles;
        ASSERT_TRUE(load());
        EXPECT_EQ(table.profile_lines, c.lines);
        EXPECT_EQ(table.no_profiles, c.no_profiles);
        EXPECT_EQ(std::filesystem::exists("profile.dat"), c.bytes != nullptr);
    }
    EXPECT_EQ(error, "");
}

// A file component whose read stream fails after a number of lines.
struct failing_files : host::file_system {
    struct stream : host::text_stream {
        int left;
        explicit stream(int lines) : left(lines) {}
        bool AtEndOfStream() override { return false; }
        std::string ReadLine() override {
            if (left-- == 0) {
                throw host::host_error(host::path_file_access_error);
            }
            return "line" + std::to_string(left);
        }
        void WriteLine(const std::string&) override {}
        void Close() override {}
    };
    bool FileExists(const std::string&) override { return true; }
    std::unique_ptr<host::text_stream> OpenTextFile(const std::string&, host::iomode,
                                                    bool) override {
        return std::make_unique<stream>(2);
    }
    void DeleteFile(const std::string&) override {}
};

TEST_F(store_fixture, a_load_that_fails_keeps_what_it_read_and_reports_no_profiles) {
    failing_files broken;
    EXPECT_FALSE(load_profiles(broken, table, error));
    EXPECT_EQ(table.profile_lines, (std::vector<std::string>{"line1", "line0"}));
    EXPECT_TRUE(table.no_profiles);
    EXPECT_EQ(error, host::describe_error(75) + "(75)");
}

TEST_F(store_fixture, a_locked_file_fails_the_load_with_its_number) {
    write_bytes("profile.dat", "a\r\n");
    auto writer = files->OpenTextFile("profile.dat", host::for_appending, true);
    EXPECT_FALSE(load());
    EXPECT_TRUE(error.ends_with("(70)")) << error;
}

TEST_F(store_fixture, save_finds_names_exactly_and_overwrites_only_the_first) {
    write_bytes("profile.dat", "Office,1\r\noffice,2\r\nOffice,3\r\nOffice ,4\r\n");
    ASSERT_TRUE(load());
    profile_record record{"Office", "c", "", "", "", "", "", "", "1"};
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::saved);
    EXPECT_EQ(read_bytes("profile.dat"),
              "Office,c,,,,,,,1\r\noffice,2\r\nOffice,3\r\nOffice ,4\r\n");
    EXPECT_EQ(ui.messages.size(), 1u);

    record.profile_name = "OFFICE";  // no question: a new profile
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::saved);
    EXPECT_TRUE(read_bytes("profile.dat").ends_with("Office ,4\r\nOFFICE,c,,,,,,,1\r\n"));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(store_fixture, save_creates_the_file_and_keeps_blank_lines_on_overwrite) {
    ASSERT_TRUE(load());
    profile_record record{"A", "c", "", "", "", "", "", "", "1"};
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::saved);
    EXPECT_EQ(read_bytes("profile.dat"), "A,c,,,,,,,1\r\n");

    write_bytes("profile.dat", "\r\nA,old\r\n\xff\xfe,raw\r\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::saved);
    // Lines the save does not touch are written back byte for byte.
    EXPECT_EQ(read_bytes("profile.dat"), "\r\nA,c,,,,,,,1\r\n\xff\xfe,raw\r\n");
}

TEST_F(store_fixture, an_append_starts_on_its_own_line_after_a_hand_edited_last_line) {
    write_bytes("profile.dat", "A,1");
    ASSERT_TRUE(load());
    profile_record record{"B", "c", "", "", "", "", "", "", "1"};
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::saved);
    EXPECT_EQ(read_bytes("profile.dat"), "A,1\r\nB,c,,,,,,,1\r\n");
}

TEST_F(store_fixture, after_a_failed_load_save_appends_and_delete_finds_nothing) {
    write_bytes("profile.dat", "A,old\r\n");
    table.profile_lines = {"A,old"};
    table.no_profiles = true;
    profile_record record{"A", "c", "", "", "", "", "", "", "1"};
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::saved);
    EXPECT_EQ(read_bytes("profile.dat"), "A,old\r\nA,c,,,,,,,1\r\n");
    EXPECT_FALSE(delete_profile(*files, table, ui, "A"));
    EXPECT_EQ(ui.messages.back().text, "このプロファイルはデータベースに存在しません。");
}

TEST_F(store_fixture, delete_applies_to_the_file_as_it_is_now) {
    write_bytes("profile.dat", "A,1\r\nB,2\r\n");
    ASSERT_TRUE(load());
    {
        auto other = files->OpenTextFile("profile.dat", host::for_appending, true);
        other->WriteLine("C,3");
        other->Close();
    }
    EXPECT_TRUE(delete_profile(*files, table, ui, "A"));
    EXPECT_EQ(read_bytes("profile.dat"), "B,2\r\nC,3\r\n");
    EXPECT_EQ(table.profile_lines[0], "");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(store_fixture, a_rewrite_of_a_vanished_file_fails) {
    write_bytes("profile.dat", "A,1\r\n");
    ASSERT_TRUE(load());
    std::filesystem::remove("profile.dat");
    profile_record record{"A", "c", "", "", "", "", "", "", "1"};
    EXPECT_EQ(save_profile(*files, table, ui, record), save_result::failed);
    EXPECT_FALSE(delete_profile(*files, table, ui, "A"));
    EXPECT_EQ(ui.messages.back().title, "エラー(53)");
}

}  // namespace
}  // namespace norvane
