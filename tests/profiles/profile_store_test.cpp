#include "profiles/profile_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "host/cp932.h"
#include "host/platform.h"
#include "support/counted_files.h"
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
        {"a\nb\rc\r\n\n", {"a", "b", "c", ""}},  // any line end, as the file component reads
        {"a\r\r\nb\r", {"a", "", "b"}},
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

// A failed reload leaves the table as the last load left it, texts and bytes alike, so that
// the list the window shows stays what it was.
TEST_F(store_fixture, a_load_that_fails_leaves_the_table_as_it_was) {
    write_bytes("profile.dat", "line0,x\r\nA,1\r\nline1,y\r\n");
    ASSERT_TRUE(load());
    const profile_table before = table;
    failing_files broken;
    EXPECT_FALSE(load_profiles(broken, table, error));
    EXPECT_EQ(table.profile_lines, before.profile_lines);
    EXPECT_EQ(table.line_bytes, before.line_bytes);
    EXPECT_FALSE(table.no_profiles);
    EXPECT_EQ(error, host::describe_error(75) + "(75)");
}

// The same when the lines read before the failure are those the table holds: the load keeps
// their texts, and still gives nothing back changed.
TEST_F(store_fixture, a_load_that_fails_after_lines_the_table_holds_leaves_it_as_it_was) {
    for (const char* bytes : {"line1\r\nline0\r\nA,1\r\n", "X\r\nline1\r\nline0\r\n"}) {
        write_bytes("profile.dat", bytes);
        ASSERT_TRUE(load());
        const profile_table before = table;
        failing_files broken;
        EXPECT_FALSE(load_profiles(broken, table, error));
        EXPECT_EQ(table.profile_lines, before.profile_lines) << bytes;
        EXPECT_EQ(table.line_bytes, before.line_bytes) << bytes;
        EXPECT_FALSE(table.no_profiles);
    }
}

// The real file component, counting the lines it decodes.
struct counting_files : host::file_system {
    std::unique_ptr<host::file_system> real = host::create_file_system();
    int decoded = 0;
    bool file_exists(const std::string& name) override { return real->file_exists(name); }
    std::unique_ptr<host::text_stream> open_text_file(const std::string& name, host::iomode mode,
                                                      bool create) override {
        return real->open_text_file(name, mode, create);
    }
    void delete_file(const std::string& name) override { real->delete_file(name); }
    std::unique_ptr<host::command_script> create_command_script(
        const std::string& name, const std::vector<std::string>& lines) override {
        return real->create_command_script(name, lines);
    }
    bool can_store(const std::string& text) override { return real->can_store(text); }
    std::string text_of(const std::string& bytes) override {
        ++decoded;
        return real->text_of(bytes);
    }
    std::string bytes_of(const std::string& text) override { return real->bytes_of(text); }
};

// A reload after the file changed gives what a load from nothing gives, texts, bytes and all,
// and decodes only the lines the table does not hold at their place or the next.
TEST_F(store_fixture, a_reload_gives_what_a_fresh_load_gives_and_decodes_only_new_lines) {
    const std::string home = host::to_cp932("自宅,1");
    const struct {
        std::string before, after;
        int decoded;
    } cases[] = {
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nb\r\nc\r\nd\r\n", 0},
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nc\r\nd\r\n", 0},            // one deleted
        {"a\r\nb\r\nc\r\nd\r\n", "b\r\nc\r\nd\r\n", 0},            // the first deleted
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nX\r\nc\r\nd\r\n", 1},       // one saved over
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nb\r\nc\r\nd\r\ne\r\n", 1},  // one appended
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nb\r\n", 0},                 // the end cut off
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nd\r\n", 1},                 // two deleted: d is new
        {"a\r\nb\r\nc\r\nd\r\n", "a\r\nX\r\nb\r\nc\r\n", 3},       // one inserted by hand
        {"a\r\nb\r\nc\r\nd\r\n", "", 0},
        {"", "a\r\nb\r\n", 2},
        {"a\r\na\r\nb\r\na\r\n", "a\r\nb\r\na\r\n", 0},   // repeated lines
        {"a\r\n\r\nb\r\n\r\n", "\r\nb\r\n\r\nc\r\n", 1},  // blank lines
        {home + "\r\n\x81\r\n\xFF,x\r\n", "\x81\r\n\xFF,x\r\n" + home + "\r\n", 1},
    };
    for (const auto& c : cases) {
        write_bytes("profile.dat", c.before);
        table = profile_table{};
        ASSERT_TRUE(load());
        write_bytes("profile.dat", c.after);
        counting_files counting;
        ASSERT_TRUE(load_profiles(counting, table, error));
        profile_table fresh;
        ASSERT_TRUE(load_profiles(*files, fresh, error));
        EXPECT_EQ(table.profile_lines, fresh.profile_lines) << c.after;
        EXPECT_EQ(table.line_bytes, fresh.line_bytes) << c.after;
        EXPECT_EQ(table.no_profiles, fresh.no_profiles) << c.after;
        EXPECT_EQ(counting.decoded, c.decoded) << c.after;
    }
}

// Command after command, with another copy's changes and long lines between them, the table
// reloaded after each gives what a load from nothing gives: texts moved in place, new ones
// added, old ones dropped as they pile up.
// Commands in a row, by the program (the file is compared with the table, which then answers
// for it and takes the change itself) and by one whose file component cannot compare (the
// file is read, and loaded again after the change): after each, both files hold the same bytes
// and the table is what a load from nothing gives. A file the table answered for was not read
// into memory.
TEST_F(store_fixture, commands_in_a_row_leave_the_table_as_a_load_from_nothing_gives) {
    const std::string home = host::to_cp932("自宅");
    const std::string long_name(40000, 'L');
    const struct {
        const char* command;  // "save", "delete", or "other" (another copy appends the name)
        std::string name;
    } steps[] = {
        {"save", "自宅"},    {"save", "D"},         {"delete", "A"},     {"other", "E"},
        {"save", "E"},       {"delete", "B"},       {"save", long_name}, {"save", long_name},
        {"save", long_name}, {"save", long_name},   {"save", long_name}, {"delete", "自宅"},
        {"other", "F"},      {"delete", long_name}, {"save", "C"},       {"delete", "C"},
        {"delete", "D"},     {"delete", "E"},       {"delete", "F"},     {"save", "G"},
        {"delete", "G"},     {"save", "H"},         {"save", "I"},
    };
    std::vector<std::string> read_path_files;  // the file after each step, read and loaded
    for (const bool compares : {false, true}) {
        auto owned = std::make_unique<testing::counted_files>();
        testing::counted_files& counting = *owned;
        counting.tells = compares;
        files = std::move(owned);
        write_bytes("profile.dat", "A,1\n\r\n" + home + ",2\rB,3\r\n\x81\xFF,raw\r\nC,4");
        ASSERT_TRUE(load());
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            const auto& step = steps[i];
            const std::string command = step.command;
            const std::string label =
                command + " " + step.name.substr(0, 8) + (compares ? " compared" : "");
            const int reads_before = counting.reads;
            bool current = false;
            if (command == "other") {
                auto other = host::create_file_system();
                auto stream = other->open_text_file("profile.dat", host::for_appending);
                stream->write_line(step.name + ",x");
                stream->close();
            } else {
                const profile_record record{step.name, "c", "", "", "", "", "", "", "1"};
                store_result result = command == "delete"
                                          ? delete_profile(*files, table, step.name)
                                          : save_profile(*files, table, record, false);
                if (result.result == store_result::status::needs_consent) {
                    result = save_profile(*files, table, record, true);
                }
                EXPECT_EQ(result.result, store_result::status::done) << label;
                current = result.table_current;
            }
            if (command != "other") {
                // The hand-edited file's mixed line ends are not what the program writes: the
                // first command reads it. Every later file is all the program's writing.
                EXPECT_EQ(current, compares && i > 0) << label;
            }
            if (current) {
                EXPECT_EQ(counting.reads, reads_before) << label;
            } else {
                ASSERT_TRUE(load()) << label;
            }
            if (compares) {
                EXPECT_EQ(read_bytes("profile.dat"), read_path_files[i]) << label;
            } else {
                read_path_files.push_back(read_bytes("profile.dat"));
            }
            profile_table fresh;
            const auto plain = host::create_file_system();
            ASSERT_TRUE(load_profiles(*plain, fresh, error));
            EXPECT_EQ(table.profile_lines, fresh.profile_lines) << label;
            EXPECT_EQ(table.line_bytes, fresh.line_bytes) << label;
            EXPECT_EQ(table.no_profiles, fresh.no_profiles) << label;
        }
        EXPECT_EQ(table.profile_lines, (std::vector<std::string>{host::from_cp932("\x81\xFF,raw"),
                                                                 "H,c,,,,,,,1", "I,c,,,,,,,1"}));
    }
}

// A file changed after the load by a program that takes no lock, however it was changed (the
// same size, in place or by another file): the command reads it and keeps the change, whether
// it appends, writes over a line or deletes one, and the table is loaded again.
TEST_F(store_fixture, a_file_changed_since_the_load_is_read_again) {
    const std::string before = "A,1\r\nB,2\r\n";
    const std::string theirs = "A,9\r\nB,2\r\n";  // the same size
    const struct {
        const char* how;
        std::function<void()> change;
    } changes[] = {
        {"in place",
         [&] {
             std::ofstream("profile.dat", std::ios::binary | std::ios::in | std::ios::out)
                 << theirs;
         }},
        {"by another file",
         [&] {
             write_bytes("profile.new", theirs);
             std::filesystem::rename("profile.new", "profile.dat");
         }},
    };
    const struct {
        const char* command;
        std::string after;
    } commands[] = {
        {"save N", theirs + "N,c,,,,,,,1\r\n"},
        {"save B", "A,9\r\nB,c,,,,,,,1\r\n"},
        {"delete B", "A,9\r\n"},
    };
    for (const auto& change : changes) {
        for (const auto& command : commands) {
            const std::string label = std::string(change.how) + ", " + command.command;
            write_bytes("profile.dat", before);
            ASSERT_TRUE(load());
            change.change();
            const std::string name(1, command.command[std::strlen(command.command) - 1]);
            const profile_record record{name, "c", "", "", "", "", "", "", "1"};
            const store_result result = command.command[0] == 'd'
                                            ? delete_profile(*files, table, name)
                                            : save_profile(*files, table, record, true);
            EXPECT_EQ(result.result, store_result::status::done) << label;
            EXPECT_FALSE(result.table_current) << label;
            EXPECT_EQ(read_bytes("profile.dat"), command.after) << label;
        }
    }
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

// Whether a name exists is decided from the file under the change's lock, whatever the table
// says: a table that a failed load left empty, or one behind another copy's changes, neither
// doubles a profile nor reports a present one missing; a name that another copy removed while
// the question was open is appended after OK.
TEST_F(store_fixture, save_and_delete_decide_from_the_file_not_the_table) {
    const struct {
        const char* file;     // nullptr: no file
        const char* table;    // what the last load read, nullptr: a failed load (no profiles)
        const char* command;  // "save", "delete", or "save, A removed while asking"
        const char* after;    // nullptr: no file
        store_result::status result;
        bool asked;
    } cases[] = {
        {"A,old\r\n", nullptr, "save", "A,c,,,,,,,1\r\n", store_result::status::done, true},
        {"A,old\r\n", nullptr, "delete", "", store_result::status::done, false},
        {"B,1\r\nA,old\r\n", "B,1\r\n", "save", "B,1\r\nA,c,,,,,,,1\r\n",
         store_result::status::done, true},
        {"B,1\r\n", "A,1\r\nB,1\r\n", "save", "B,1\r\nA,c,,,,,,,1\r\n", store_result::status::done,
         false},
        {"B,1\r\n", "A,1\r\nB,1\r\n", "delete", "B,1\r\n", store_result::status::not_found, false},
        {nullptr, "A,1\r\n", "delete", nullptr, store_result::status::not_found, false},
        {nullptr, "A,1\r\n", "save", "A,c,,,,,,,1\r\n", store_result::status::done, false},
        {"B,1\r\nA,old\r\nC,3\r\n", "B,1\r\nA,old\r\nC,3\r\n", "save, A removed while asking",
         "B,1\r\nC,3\r\nA,c,,,,,,,1\r\n", store_result::status::done, true},
    };
    for (const auto& c : cases) {
        const std::string command = c.command;
        const std::string label = command + " in " + (c.file != nullptr ? c.file : "(no file)");
        std::filesystem::remove("profile.dat");
        write_bytes("profile.dat", c.table != nullptr ? c.table : "");
        ASSERT_TRUE(load());
        if (c.table == nullptr) {
            table = profile_table{};  // what a failed first load leaves
        }
        std::filesystem::remove("profile.dat");
        if (c.file != nullptr) {
            write_bytes("profile.dat", c.file);
        }
        store_result::status result{};
        if (command == "delete") {
            result = remove("A");
            asked = false;
        } else {
            const profile_record record{"A", "c", "", "", "", "", "", "", "1"};
            const auto first = save_profile(*files, table, record, false);
            asked = first.result == store_result::status::needs_consent;
            if (asked && command != "save") {
                write_bytes("profile.dat", "B,1\r\nC,3\r\n");  // another copy deleted A
            }
            result = asked ? save_profile(*files, table, record, true).result : first.result;
        }
        EXPECT_EQ(result, c.result) << label;
        EXPECT_EQ(asked, c.asked) << label;
        EXPECT_EQ(std::filesystem::exists("profile.dat"), c.after != nullptr) << label;
        if (c.after != nullptr) {
            EXPECT_EQ(read_bytes("profile.dat"), c.after) << label;
        }
    }
}

// A file in another encoding loads (as nonsense) but is never rewritten: its byte-order mark
// or a NUL byte tells it. A code page 932 file with bytes that do not decode is changed as
// usual.
TEST_F(store_fixture, a_file_in_another_encoding_is_not_changed) {
    using namespace std::string_literals;
    const struct {
        std::string bytes;
        bool changed;
    } cases[] = {
        {"\xFF\xFE"
         "A\0,\0"
         "1\0\r\0\n\0"s,
         false},
        {"\xFE\xFF"
         "\0A\0,\0"
         "1\0\r\0\n"s,
         false},
        {"\xEF\xBB\xBF"
         "A,1\r\n"s,
         false},
        {"A,1\r\nB\0,2\r\n"s, false},
        {"\xFF\xFD,raw\r\nA,1\r\n"s, true},
    };
    for (const auto& c : cases) {
        for (const bool deleting : {false, true}) {
            write_bytes("profile.dat", c.bytes);
            ASSERT_TRUE(load());
            const auto result = deleting ? remove("A") : save("A");
            EXPECT_EQ(result,
                      c.changed ? store_result::status::done : store_result::status::not_shift_jis)
                << deleting << " " << c.bytes.size();
            EXPECT_EQ(read_bytes("profile.dat") == c.bytes, !c.changed) << deleting;
        }
    }
}

}  // namespace
}  // namespace norvane
