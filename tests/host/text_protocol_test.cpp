// The file component's protocol, over a port of the test's own that keeps its files in memory
// and fails any call on demand: every change all or nothing whichever call fails, the
// leftovers of a rewrite cleared by the file's own name under its lock, the lock waited for
// until a deadline, and the rewrite in place where the folder takes no new file. The real
// ports have their own tests (tests/host/posix, tests/host/win32, tests/reliability).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/file_port.h"
#include "host/host.h"
#include "support/file_checks.h"

namespace norvane::host {
namespace {

using testing::error_of;

// The files of one folder, the locks on them, and what the test makes happen.
struct memory_disk {
    std::map<std::string, std::string> files;
    std::map<std::string, int> locks;  // > 0 readers, -1 a writer
    bool takes_new_files = true;
    bool replaces = true;
    int busy_opens = 0;     // so many opens find the file held by another stream
    int swapped_opens = 0;  // so many opens find the name moved to another file
    int fail_at = 0;        // the call that fails (0: none), with this number
    int error = disk_full;
    int calls = 0;
    std::uint64_t clock = 0;        // milliseconds; a pause takes 2
    bool cleared_unlocked = false;  // a leftover was removed without the file's lock
    bool open_to_others = false;
    std::map<std::string, int> versions;  // each write makes a file's content a new version
    std::function<void()> after_read;     // what another program does once the file was read
    std::set<std::string> fixed;          // names that cannot be removed (a folder, a file in use)
    bool taken_again = false;             // another process takes a new file's name just before it
    bool hold_refused = false;            // a made file cannot be kept for reading
    std::string slipped_in;               // what another process writes into a made file before it
                                          // is kept for reading

    std::set<int> fail_on;  // more calls that fail, with the same number

    bool fails(int call) const { return call == fail_at || fail_on.count(call) != 0; }
    void call() {
        if (fails(++calls)) {
            throw host_error(error);
        }
    }
};

class memory_file final : public port_file {
  public:
    memory_file(memory_disk& disk, std::string name, int lock)
        : disk_(disk), name_(std::move(name)), lock_(lock) {
        disk_.locks[name_] += lock_;
    }
    ~memory_file() override { disk_.locks[name_] -= lock_; }
    memory_file(const memory_file&) = delete;
    memory_file& operator=(const memory_file&) = delete;

    file_facts facts() override {
        disk_.call();
        file_facts facts;
        facts.size = bytes().size();
        facts.modified = disk_.versions[current_name()];
        return facts;
    }
    std::string read_at(std::uint64_t offset, std::size_t size) override {
        disk_.call();
        const auto at = static_cast<std::size_t>(offset);
        std::string read = at >= bytes().size() ? "" : bytes().substr(at, size);
        if (read.empty() && disk_.after_read) {
            std::exchange(disk_.after_read, nullptr)();
        }
        return read;
    }
    // A failing write gets half way, as on a disk that fills up.
    void write_at(std::uint64_t offset, const std::string& data) override {
        const auto at = static_cast<std::size_t>(offset);
        const bool fails = disk_.fails(disk_.calls + 1);
        const std::string written = fails ? data.substr(0, data.size() / 2) : data;
        if (bytes().size() < at + written.size()) {
            bytes().resize(at + written.size());
        }
        bytes().replace(at, written.size(), written);
        ++disk_.versions[current_name()];
        disk_.call();
    }
    void truncate(std::uint64_t size) override {
        disk_.call();
        bytes().resize(static_cast<std::size_t>(size));
        ++disk_.versions[current_name()];
    }
    void grow(std::uint64_t size) override { truncate(size); }
    void flush() override { disk_.call(); }
    std::intptr_t descriptor() const override { return -1; }
    bool keep_for_reading() override {
        disk_.call();
        if (!disk_.slipped_in.empty()) {
            bytes() = disk_.slipped_in;
        }
        return !disk_.hold_refused;
    }

    std::string name_now;  // the name the file has after a replacement

  private:
    const std::string& current_name() const { return name_now.empty() ? name_ : name_now; }
    std::string& bytes() { return disk_.files[current_name()]; }
    memory_disk& disk_;
    std::string name_;
    int lock_;
};

class memory_folder final : public port_folder {
  public:
    explicit memory_folder(memory_disk& disk) : disk_(disk) {}

    bool holds_file(const std::string& name) override { return disk_.files.count(name) != 0; }

    bool open_to_others() override { return disk_.open_to_others; }

    opened_file open(const std::string& name, file_lock lock, bool, bool create, bool) override {
        disk_.call();
        opened_file opened;
        const int held = disk_.locks[name];
        if (disk_.busy_opens > 0 || held < 0 || (held > 0 && lock == file_lock::exclusive)) {
            --disk_.busy_opens;
            return opened;
        }
        if (!holds_file(name)) {
            if (!create) {
                throw host_error(file_not_found);
            }
            disk_.files[name];
            opened.created = true;
        }
        opened.file =
            std::make_unique<memory_file>(disk_, name, lock == file_lock::shared ? 1 : -1);
        return opened;
    }

    bool still_names(const std::string&, port_file&, bool) override {
        disk_.call();
        return disk_.swapped_opens-- <= 0;
    }

    std::unique_ptr<port_file> create_new(const std::string& name, bool& taken) override {
        disk_.call();
        if (std::exchange(disk_.taken_again, false)) {
            disk_.files[name] = "someone else's";
        }
        taken = holds_file(name);
        if (taken || !disk_.takes_new_files) {
            return nullptr;
        }
        disk_.files[name];
        return std::make_unique<memory_file>(disk_, name, 0);
    }

    bool replace(const std::string& from, const std::string& to, port_file&,
                 port_file& replacement) override {
        disk_.call();
        if (!disk_.replaces) {
            return false;
        }
        disk_.files[to] = disk_.files[from];
        disk_.files.erase(from);
        static_cast<memory_file&>(replacement).name_now = to;
        return true;
    }

    void remove(const std::string& name, std::unique_ptr<port_file>) override {
        disk_.call();
        if (disk_.fixed.count(name) != 0) {
            throw host_error(permission_denied);
        }
        if (disk_.files.count(name) == 0) {
            throw host_error(file_not_found);
        }
        disk_.cleared_unlocked = disk_.cleared_unlocked || disk_.locks["profile.dat"] >= 0;
        disk_.files.erase(name);
    }

    std::vector<std::string> names() override {
        disk_.call();
        std::vector<std::string> found;
        for (const auto& [name, bytes] : disk_.files) {
            found.push_back(name);
        }
        return found;
    }

    void sync() override {}

  private:
    memory_disk& disk_;
};

class memory_port final : public file_port {
  public:
    explicit memory_port(memory_disk& disk) : disk_(disk) {}
    std::uint64_t milliseconds() override { return disk_.clock; }
    void pause() override { disk_.clock += 2; }
    std::unique_ptr<port_folder> open_folder(const std::string& name, std::string& leaf,
                                             bool) override {
        leaf = name;
        return std::make_unique<memory_folder>(disk_);
    }

  private:
    memory_disk& disk_;
};

const std::string old_content = "A,1\r\nB,2\r\nC,3";  // a last line without its line end
const std::string leftover = ".profile.dat.a1B2c3";

// The changes the program makes, with the content each leaves when it succeeds.
struct change {
    const char* name;
    bool takes_new_files;
    bool replaces;
    std::string after;
    std::function<void(file_system&)> run;
};

void rewrite(file_system& files) {
    auto stream = files.open_text_file("profile.dat", for_writing);
    while (!stream->at_end_of_stream()) {
        const std::string line = stream->read_line();
        if (line != "B,2") {
            stream->write_line(line == "C,3" ? "C,a longer line than before" : line);
        }
    }
    stream->close();
}

const std::string rewritten = "A,1\r\nC,a longer line than before\r\n";

// The same rewrite decided from lines the file was compared with, not read, its new lines
// given to stay where they are.
const std::vector<std::string> old_lines = {"A,1", "B,2", "C,3"};
const auto old_line = [](std::size_t i) { return std::string_view(old_lines[i]); };

void rewrite_from_lines(file_system& files) {
    const std::vector<std::string> lines = {"A,1", "C,a longer line than before"};
    auto stream = files.open_text_file("profile.dat", for_writing);
    if (stream->holds_lines(old_lines.size(), old_line)) {
        throw host_error(type_mismatch);  // the last line has no line end
    }
    stream->write_lines_bytes(lines.size(),
                              [&](std::size_t i) { return std::string_view(lines[i]); });
    stream->close();
}

const change changes[] = {
    {"append", true, true, old_content + "\r\nD,4\r\n",
     [](file_system& files) {
         auto stream = files.open_text_file("profile.dat", for_appending, true);
         stream->write_line("D,4");
         stream->close();
     }},
    {"append to a rewriting stream that read nothing", true, true, old_content + "\r\nD,4\r\n",
     [](file_system& files) {
         auto stream = files.open_text_file("profile.dat", for_writing);
         if (stream->holds_lines(old_lines.size(), old_line)) {
             throw host_error(type_mismatch);
         }
         stream->append_on_close();
         stream->write_line("D,4");
         stream->close();
     }},
    {"rewrite", true, true, rewritten, rewrite},
    {"rewrite from lines", true, true, rewritten, rewrite_from_lines},
    {"rewrite from lines in a folder that takes no new file", false, true, rewritten,
     rewrite_from_lines},
    {"rewrite in a folder that takes no new file", false, true, rewritten, rewrite},
    {"rewrite in a folder that replaces no file", true, false, rewritten, rewrite},
    {"delete", true, true, "", [](file_system& files) { files.delete_file("profile.dat"); }},
};

// Every change with its 1st, 2nd, ... call failing, until one runs without a failure: the
// file then holds exactly the old content after a failure, or the new one after a success.
// The run without a failure has also removed the new content that a stopped rewrite of this
// file left, under the file's lock, and kept every other file, whatever its name looks like.
TEST(text_protocol, every_call_failing_in_turn_leaves_the_old_content_or_the_new) {
    const std::map<std::string, std::string> kept = {
        {".profile.dat.a1B2c", "k"},  {".profile.dat.a1B2c3d", "k"}, {".other.dat.a1B2c3", "k"},
        {".profile.dat.a-B2c3", "k"}, {"nrv1A2B.tmp", "k"},          {"profile.dat.a1B2c3", "k"}};
    for (const change& c : changes) {
        for (int nth = 1;; ++nth) {
            memory_disk disk;
            disk.files = kept;
            disk.files["profile.dat"] = old_content;
            disk.files.emplace(leftover, "x");  // GCC 12 misreads the assignment of a literal here
            disk.takes_new_files = c.takes_new_files;
            disk.replaces = c.replaces;
            disk.fail_at = nth;
            disk.error = nth % 2 == 0 ? disk_full : path_file_access_error;
            const auto files = make_file_system(std::make_unique<memory_port>(disk));
            bool failed = false;
            try {
                c.run(*files);
            } catch (const host_error& error) {
                failed = true;
                EXPECT_EQ(error.number(), disk.error) << c.name << " " << nth;
            }
            const bool deleted = disk.files.count("profile.dat") == 0;
            EXPECT_EQ(deleted ? "" : disk.files["profile.dat"], failed ? old_content : c.after)
                << c.name << " with call " << nth << " failing";
            if (disk.calls < nth) {
                EXPECT_EQ(disk.files.count(leftover), deleted ? 1u : 0u) << c.name;
                disk.files.erase("profile.dat");
                disk.files.erase(leftover);
                EXPECT_EQ(disk.files, kept) << c.name;
                EXPECT_FALSE(disk.cleared_unlocked) << c.name;
                EXPECT_GT(nth, 3) << c.name;
                break;
            }
        }
    }
}

// Another stream's lock is waited for up to about a second, then 70; a file replaced between
// its open and its lock is opened again, up to eight times.
TEST(text_protocol, a_lock_is_waited_for_until_a_deadline) {
    const std::tuple<int, int, int, std::uint64_t> rows[] = {
        // busy opens, swapped opens, error, milliseconds waited
        {20, 0, 0, 40},
        {1 << 30, 0, 70, 1000},
        {0, 7, 0, 0},
        {0, 8, 70, 0},
    };
    for (const auto& [busy, swapped, error, waited] : rows) {
        memory_disk disk;
        disk.files = {{"profile.dat", old_content}};
        disk.busy_opens = busy;
        disk.swapped_opens = swapped;
        const auto files = make_file_system(std::make_unique<memory_port>(disk));
        int number = 0;
        try {
            files->open_text_file("profile.dat", for_reading)->close();
        } catch (const host_error& failure) {
            number = failure.number();
        }
        EXPECT_EQ(number, error) << busy << " " << swapped;
        EXPECT_EQ(disk.clock, waited) << busy << " " << swapped;
    }
}

// A program that writes the file without taking the lock, between the rewrite's read and its
// replacement: the rewrite (or the append after reading) fails with changed_meanwhile and
// leaves that program's content, so that the caller reads it again. Without such a writer the
// same change goes through.
TEST(text_protocol, a_write_without_the_lock_after_the_read_is_not_undone) {
    const std::string theirs = "A,1\r\nB,2\r\nC,3\r\nX,their line\r\n";
    for (const bool appending : {false, true}) {
        for (const bool writer : {true, false}) {
            memory_disk disk;
            disk.files = {{"profile.dat", "A,1\r\nB,2\r\nC,3\r\n"}};
            if (writer) {
                disk.after_read = [&] {
                    disk.files["profile.dat"] = theirs;
                    ++disk.versions["profile.dat"];
                };
            }
            const auto files = make_file_system(std::make_unique<memory_port>(disk));
            const int number = error_of([&] {
                auto stream = files->open_text_file("profile.dat", for_writing);
                if (appending) {
                    stream->append_on_close();
                }
                while (!stream->at_end_of_stream()) {
                    stream->read_line();
                }
                stream->write_line("D,4");
                stream->close();
            });
            EXPECT_EQ(number, writer ? changed_meanwhile : 0) << appending;
            EXPECT_EQ(disk.files["profile.dat"],
                      writer ? theirs : (appending ? "A,1\r\nB,2\r\nC,3\r\nD,4\r\n" : "D,4\r\n"))
                << appending << writer;
            EXPECT_EQ(disk.files.size(), 1u);  // no new content left beside it
        }
    }
}

// The same for a change that compared the file with lines instead of reading it: a write
// without the lock after the compare fails it, whether it rewrites from lines or appends.
TEST(text_protocol, a_write_without_the_lock_after_a_compare_is_not_undone) {
    const std::string theirs = "A,1\r\nB,9\r\nC,3\r\n";  // the same size
    const std::vector<std::string> lines = {"A,1", "D,4"};
    for (const bool appending : {false, true}) {
        for (const bool writer : {true, false}) {
            memory_disk disk;
            disk.files = {{"profile.dat", "A,1\r\nB,2\r\nC,3\r\n"}};
            const auto files = make_file_system(std::make_unique<memory_port>(disk));
            const int number = error_of([&] {
                auto stream = files->open_text_file("profile.dat", for_writing);
                EXPECT_TRUE(stream->holds_lines(3, old_line));
                if (writer) {
                    disk.files["profile.dat"] = theirs;
                    ++disk.versions["profile.dat"];
                }
                if (appending) {
                    stream->append_on_close();
                    stream->write_line("D,4");
                } else {
                    stream->write_lines_bytes(
                        lines.size(), [&](std::size_t i) { return std::string_view(lines[i]); });
                }
                stream->close();
            });
            EXPECT_EQ(number, writer ? changed_meanwhile : 0) << appending;
            EXPECT_EQ(
                disk.files["profile.dat"],
                writer ? theirs : (appending ? "A,1\r\nB,2\r\nC,3\r\nD,4\r\n" : "A,1\r\nD,4\r\n"))
                << appending << writer;
            EXPECT_EQ(disk.files.size(), 1u);
        }
    }
}

// A rewriting stream that has read nothing compares the file a piece at a time: the same lines
// each ended by CR LF, nothing more or less, across the pieces' borders too. Comparing changes
// nothing. A stream that has read the file does not compare.
TEST(text_protocol, a_file_holds_lines_only_as_they_would_be_written) {
    std::vector<std::string> many;  // some 600 KB, over several pieces
    std::string many_bytes;
    for (int i = 0; i < 600; ++i) {
        many.push_back(std::to_string(i) + "," + std::string(997, static_cast<char>('a' + i % 26)));
        many_bytes += many.back() + "\r\n";
    }
    std::string changed_at_border = many_bytes;
    changed_at_border[256 * 1024] ^= 1;
    const struct {
        std::string content;
        std::vector<std::string> lines;
        bool holds;
    } rows[] = {
        {"A,1\r\nB,2\r\n", {"A,1", "B,2"}, true},
        {"", {}, true},
        {"\r\n", {""}, true},
        {"A,1\nB,2\n", {"A,1", "B,2"}, false},
        {"A,1\n\nB,2\r\n", {"A,1", "B,2"}, false},  // the same size
        {"A,1\r\nB,2", {"A,1", "B,2"}, false},
        {"A,1\r\nB,2\r\nC", {"A,1", "B,2"}, false},
        {"A,1\r\n", {"A,1", "B,2"}, false},
        {"A,1\r\n", {}, false},
        {many_bytes, many, true},
        {changed_at_border, many, false},
        {many_bytes + "x", many, false},
    };
    for (const auto& row : rows) {
        for (const bool read_first : {false, true}) {
            memory_disk disk;
            disk.files = {{"profile.dat", row.content}};
            const auto files = make_file_system(std::make_unique<memory_port>(disk));
            auto stream = files->open_text_file("profile.dat", for_writing);
            if (read_first) {
                stream->at_end_of_stream();
            }
            EXPECT_EQ(
                stream->holds_lines(row.lines.size(),
                                    [&](std::size_t i) { return std::string_view(row.lines[i]); }),
                row.holds && !read_first)
                << row.content.substr(0, 20) << " " << row.content.size() << " " << read_first;
            stream->append_on_close();
            stream->close();
            EXPECT_EQ(disk.files["profile.dat"], row.content);
        }
    }
}

// Lines given to stay in place are checked before anything is written: one that holds a line
// end of its own stops the stream, and close leaves the file as it was. Lines written after
// them follow them.
TEST(text_protocol, lines_given_in_place_are_whole_lines_and_others_may_follow) {
    const struct {
        std::vector<std::string> lines;
        const char* then;  // a line written after them, or nullptr
        int error;
        std::string after;
    } rows[] = {
        {{"A,1", "B\r\n,2"}, nullptr, path_file_access_error, old_content},
        {{"A,1", "B\n"}, nullptr, path_file_access_error, old_content},
        {{"A,1", "B,2"}, "E,5", 0, "A,1\r\nB,2\r\nE,5\r\n"},
        {{}, nullptr, 0, ""},
    };
    for (const auto& row : rows) {
        memory_disk disk;
        disk.files = {{"profile.dat", old_content}};
        const auto files = make_file_system(std::make_unique<memory_port>(disk));
        const int number = error_of([&] {
            auto stream = files->open_text_file("profile.dat", for_writing);
            stream->write_lines_bytes(
                row.lines.size(), [&](std::size_t i) { return std::string_view(row.lines[i]); });
            if (row.then != nullptr) {
                stream->write_line(row.then);
            }
            stream->close();
        });
        EXPECT_EQ(number, row.error) << row.after;
        EXPECT_EQ(disk.files["profile.dat"], row.after);
    }
}

// An append whose lines were written whole, but whose flush and then cut-back failed, has put
// them in the file for every reader: it is not reported as failed. One written in part is.
TEST(text_protocol, an_append_reports_what_the_file_holds) {
    // The calls of the close: the file's size (1), the write (2), the flush (3), the cut-back
    // (4) and its flush (5), then the checks of what the file holds; after a failed write the
    // cut-back is the third.
    const struct {
        std::set<int> failing;
        int error;
        std::string after;
    } rows[] = {
        {{3, 4}, 0, "A,1\r\nD,4\r\n"},
        {{3, 5}, disk_full, "A,1\r\n"},
        {{2, 3}, disk_full, "A,1\r\nD,"},  // the write fails half way, then the cut-back
    };
    for (const auto& row : rows) {
        memory_disk disk;
        disk.files = {{"profile.dat", "A,1\r\n"}};
        const auto files = make_file_system(std::make_unique<memory_port>(disk));
        auto stream = files->open_text_file("profile.dat", for_appending);
        stream->write_line("D,4");
        disk.calls = 0;
        disk.fail_on = row.failing;
        EXPECT_EQ(error_of([&] { stream->close(); }), row.error) << row.after;
        EXPECT_EQ(disk.files["profile.dat"], row.after);
    }
}

// A command script with every call failing in turn: a leftover that could not be removed keeps
// its name untouched and gives no script; a failure after that leaves no half-made script
// behind (a script whose removal after its run failed stays whole, for the next one to clear);
// without a failure the leftover is gone and the script held its lines alone.
TEST(text_protocol, a_command_script_is_made_whole_or_not_at_all_whichever_call_fails) {
    const std::string lines = "@echo off\r\nnetsh x\r\n";
    for (int nth = 1;; ++nth) {
        memory_disk disk;
        disk.files = {{"cmd_tmp.cmd", "leftover"}, {"profile.dat", old_content}};
        disk.fail_at = nth;
        disk.error = nth % 2 == 0 ? disk_full : path_file_access_error;
        const auto files = make_file_system(std::make_unique<memory_port>(disk));
        bool made = false;
        int number = 0;
        std::string held;  // the script's content while it was held
        try {
            const auto script =
                files->create_command_script("cmd_tmp.cmd", {"@echo off", "netsh x"});
            made = script != nullptr;
            if (script) {
                held = disk.files.at("cmd_tmp.cmd");
                script->remove();
            }
        } catch (const host_error& error) {
            number = error.number();
        }
        const auto left = disk.files.find("cmd_tmp.cmd");
        const std::string under_name = left == disk.files.end() ? "(none)" : left->second;
        if (!made && number == 0) {
            EXPECT_EQ(under_name, "leftover") << nth;
        } else if (number != 0) {
            EXPECT_EQ(number, disk.error) << nth;
            EXPECT_EQ(under_name, made ? lines : "(none)") << nth;
        } else {
            EXPECT_EQ(held, lines) << nth;
            EXPECT_EQ(under_name, "(none)") << nth;
        }
        EXPECT_EQ(disk.files.at("profile.dat"), old_content) << nth;
        if (disk.calls < nth) {
            EXPECT_TRUE(made);
            EXPECT_GT(nth, 5);
            break;
        }
    }
}

// The script's name cannot be had, or what was made is not only the program's: no script,
// and what lies under the name is left for the user to see. A folder that takes no file is a
// file failure (70).
TEST(text_protocol, a_script_that_cannot_be_the_programs_own_is_not_given) {
    const std::string lines = "@echo off\r\n";
    const struct {
        const char* what;
        std::function<void(memory_disk&)> set;
        std::string left;  // under the name afterwards
        int error;
    } rows[] = {
        {"a leftover that cannot be removed", [](memory_disk& d) { d.fixed.insert("cmd_tmp.cmd"); },
         "leftover", 0},
        {"the name taken again before the script is made",
         [](memory_disk& d) { d.taken_again = true; }, "someone else's", 0},
        {"the script cannot be held", [](memory_disk& d) { d.hold_refused = true; }, lines, 0},
        {"written into before it was held", [](memory_disk& d) { d.slipped_in = "netsh y\r\n"; },
         "netsh y\r\n", 0},
        {"a folder that takes no new file", [](memory_disk& d) { d.takes_new_files = false; },
         "(none)", permission_denied},
    };
    for (const auto& row : rows) {
        memory_disk disk;
        disk.files.emplace("cmd_tmp.cmd", "leftover");
        row.set(disk);
        const auto files = make_file_system(std::make_unique<memory_port>(disk));
        int number = 0;
        try {
            EXPECT_FALSE(files->create_command_script("cmd_tmp.cmd", {"@echo off"})) << row.what;
        } catch (const host_error& error) {
            number = error.number();
        }
        EXPECT_EQ(number, row.error) << row.what;
        const auto left = disk.files.find("cmd_tmp.cmd");
        EXPECT_EQ(left == disk.files.end() ? "(none)" : left->second, row.left) << row.what;
    }
}

}  // namespace
}  // namespace norvane::host
