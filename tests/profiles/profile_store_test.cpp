#include "profiles/profile_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/cp932.h"
#include "host/platform.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using testing::read_bytes;
using testing::write_bytes;

struct store_fixture : ::testing::Test {
    testing::temp_dir dir;
    std::unique_ptr<host::file_system> files = host::create_file_system();
    profile_table table;
    std::string error;

    bool load() { return load_profiles(*files, table, error); }
    // Saves a profile of that name, agreeing to overwrite only when asked to.
    store_result::status save(const std::string& name, bool agree = true) {
        const profile_record record{name, "c", "", "", "", "", "", "", "1"};
        const auto first = save_profile(*files, table, record, false);
        asked = first.result == store_result::status::needs_consent;
        if (!asked || !agree) {
            return first.result;
        }
        return save_profile(*files, table, record, true).result;
    }
    store_result::status remove(const std::string& name) {
        return delete_profile(*files, table, name).result;
    }
    bool asked = false;
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
        bool at_end_of_stream() override { return false; }
        std::string read_line() override { return read_line_bytes(); }
        std::string read_line_bytes() override {
            if (left-- == 0) {
                throw host::host_error(host::path_file_access_error);
            }
            return "line" + std::to_string(left);
        }
        void write_line(const std::string&) override {}
        void write_line_bytes(const std::string&) override {}
        void close() override {}
    };
    bool file_exists(const std::string&) override { return true; }
    std::unique_ptr<host::text_stream> open_text_file(const std::string&, host::iomode,
                                                      bool) override {
        return std::make_unique<stream>();
    }
    void delete_file(const std::string&) override {}
    std::unique_ptr<host::command_script> create_command_script(
        const std::string&, const std::vector<std::string>&) override {
        return nullptr;
    }
    bool can_store(const std::string&) override { return true; }
    std::string text_of(const std::string& bytes) override { return bytes; }
    std::string bytes_of(const std::string& text) override { return text; }
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
        EXPECT_EQ(save(c.name), store_result::status::done);
        EXPECT_EQ(read_bytes("profile.dat"), c.after);
        EXPECT_EQ(asked, c.asked) << c.name;
    }
}

// A rewrite keeps lines another copy added since the load, and every line it does not change
// keeps its bytes: characters with two codes (87 90 and 81 E0 are both ≒) and a byte that
// does not decode before one of them, which would read back as another text if encoded again.
// After another copy changed the file, names are found by their decoded text. The reload that
// follows gives the same table as a load from nothing.
TEST_F(store_fixture, rewrites_keep_other_lines_byte_for_byte_and_the_reload_follows) {
    const std::string odd = "\x87\x90,nec\r\n\x81\xFA\x54,odd\r\n\xED\x40\xFA\x54,ibm\r\n";
    write_bytes("profile.dat", "A,1\r\n" + odd + host::to_cp932("自宅,2\r\n"));
    ASSERT_TRUE(load());
    auto other = host::create_file_system();
    auto stream = other->open_text_file("profile.dat", host::for_appending);
    stream->write_line("C,3");
    stream->close();
    EXPECT_EQ(save("自宅"), store_result::status::done);
    EXPECT_EQ(table.profile_lines[0], "A,1");
    EXPECT_EQ(remove("A"), store_result::status::done);
    EXPECT_EQ(read_bytes("profile.dat"), odd + host::to_cp932("自宅,c,,,,,,,1\r\n") + "C,3\r\n");
    EXPECT_EQ(table.profile_lines[0], "");
    for (const char* name : {"C", "D", "\u2252"}) {  // the last, a line of another copy, a new one
        ASSERT_TRUE(load());
        const bool found = find_profile(table, name) >= 0;
        EXPECT_EQ(found ? remove(name) : save(name), store_result::status::done) << name;
        profile_table fresh;
        ASSERT_TRUE(load());
        ASSERT_TRUE(load_profiles(*files, fresh, error));
        EXPECT_EQ(table.profile_lines, fresh.profile_lines) << name;
    }
}

TEST_F(store_fixture, after_a_failed_load_save_appends_and_delete_finds_nothing) {
    write_bytes("profile.dat", "A,old\r\n");
    table.profile_lines = {"A,old"};
    table.no_profiles = true;
    EXPECT_EQ(save("A"), store_result::status::done);
    EXPECT_FALSE(asked);
    EXPECT_EQ(read_bytes("profile.dat"), "A,old\r\nA,c,,,,,,,1\r\n");
    EXPECT_EQ(remove("A"), store_result::status::not_found);
}

TEST_F(store_fixture, a_rewrite_of_a_vanished_file_fails) {
    write_bytes("profile.dat", "A,1\r\n");
    ASSERT_TRUE(load());
    std::filesystem::remove("profile.dat");
    EXPECT_EQ(save("A"), store_result::status::failed);
    const auto deleted = delete_profile(*files, table, "A");
    EXPECT_EQ(deleted.result, store_result::status::failed);
    EXPECT_EQ(deleted.error_number, 53);
    EXPECT_EQ(deleted.error_description, host::describe_error(53));
}

}  // namespace
}  // namespace norvane
