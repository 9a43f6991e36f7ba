#include "profiles/profile_store.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    save_result save(const std::string& name) {
        return save_profile(*files, table, ui, {name, "c", "", "", "", "", "", "", "1"});
    }
};

TEST_F(store_fixture, load_reads_raw_lines_in_file_order) {
    const struct {
        const char* bytes;  // nullptr: no file
        std::vector<std::string> lines;
    } cases[] = {
        {nullptr, {""}},
        {"", {""}},
        {"a,1\r\nb,2\r\nc,3\r\n", {"a,1", "b,2", "c,3"}},
        {"a\r\nb", {"a", "b"}},  // no line end after the last line
        {"a\r\n\r\nx\r\n", {"a", "", "x"}},
        {"a\nb\n", {"a", "b"}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove("profile.dat");
        if (c.bytes != nullptr) {
            write_bytes("profile.dat", c.bytes);
        }
        table.no_profiles = false;
        ASSERT_TRUE(load());
        EXPECT_EQ(table.profile_lines, c.lines);
        EXPECT_EQ(table.no_profiles, c.lines == std::vector<std::string>{""});
        EXPECT_EQ(std::filesystem::exists("profile.dat"), c.bytes != nullptr);  // never created
    }
}

// A file component whose read stream fails after two lines.
struct failing_files : host::file_system {
    struct stream : host::text_stream {
        int left = 2;
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
        return std::make_unique<stream>();
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

TEST_F(store_fixture, save_appends_or_overwrites_the_first_exact_match) {
    const struct {
        const char* before;  // nullptr: no file
        const char* name;
        const char* after;
        bool asked;
    } cases[] = {
        {nullptr, "A", "A,c,,,,,,,1\r\n", false},
        {"Office,1\r\noffice,2\r\nOffice,3\r\n", "Office",
         "Office,c,,,,,,,1\r\noffice,2\r\nOffice,3\r\n", true},
        {"Office,1\r\n", "OFFICE", "Office,1\r\nOFFICE,c,,,,,,,1\r\n", false},
        {"Office ,1\r\n", "Office", "Office ,1\r\nOffice,c,,,,,,,1\r\n", false},
        // Blank and undecodable lines the save does not touch stay byte for byte.
        {"\r\nA,old\r\n\xff\xfe,raw\r\n", "A", "\r\nA,c,,,,,,,1\r\n\xff\xfe,raw\r\n", true},
        // A hand-edited last line without a line end is not glued to the new line.
        {"A,1", "B", "A,1\r\nB,c,,,,,,,1\r\n", false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove("profile.dat");
        if (c.before != nullptr) {
            write_bytes("profile.dat", c.before);
        }
        ASSERT_TRUE(load());
        ui.messages.clear();
        EXPECT_EQ(save(c.name), save_result::saved);
        EXPECT_EQ(read_bytes("profile.dat"), c.after);
        EXPECT_EQ(ui.messages.size(), c.asked ? 1u : 0u) << c.name;
    }
}

TEST_F(store_fixture, rewrites_keep_lines_another_copy_added_since_the_load) {
    write_bytes("profile.dat", "A,1\r\nB,2\r\n");
    ASSERT_TRUE(load());
    auto other = host::create_file_system();
    auto stream = other->OpenTextFile("profile.dat", host::for_appending);
    stream->WriteLine("C,3");
    stream->Close();
    EXPECT_EQ(save("B"), save_result::saved);
    EXPECT_TRUE(delete_profile(*files, table, ui, "A"));
    EXPECT_EQ(read_bytes("profile.dat"), "B,c,,,,,,,1\r\nC,3\r\n");
    EXPECT_EQ(table.profile_lines[0], "");
}

TEST_F(store_fixture, after_a_failed_load_save_appends_and_delete_finds_nothing) {
    write_bytes("profile.dat", "A,old\r\n");
    table.profile_lines = {"A,old"};
    table.no_profiles = true;
    EXPECT_EQ(save("A"), save_result::saved);
    EXPECT_EQ(read_bytes("profile.dat"), "A,old\r\nA,c,,,,,,,1\r\n");
    EXPECT_FALSE(delete_profile(*files, table, ui, "A"));
    EXPECT_EQ(ui.messages.back().text, "このプロファイルはデータベースに存在しません。");
}

TEST_F(store_fixture, a_rewrite_of_a_vanished_file_fails) {
    write_bytes("profile.dat", "A,1\r\n");
    ASSERT_TRUE(load());
    std::filesystem::remove("profile.dat");
    EXPECT_EQ(save("A"), save_result::failed);
    EXPECT_FALSE(delete_profile(*files, table, ui, "A"));
    EXPECT_EQ(ui.messages.back().title, "エラー(53)");
}

}  // namespace
}  // namespace norvane
