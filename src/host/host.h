// The host layer: what the program needs from the operating system, said as the tasks it
// needs done (read and write its text files, run a command script hidden and wait for it,
// open an address, tell the platform and version). The program's own code talks only to
// these interfaces; each platform side (src/host/<platform>/) implements them, and the
// program's entry point picks the side (host/platform.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace norvane::host {

// Error numbers as the program shows them in titles such as エラー(70).
enum error_number : int {
    type_mismatch = 13,
    bad_file_mode = 54,
    file_not_found = 53,
    disk_full = 61,
    input_past_end = 62,
    permission_denied = 70,
    path_file_access_error = 75,
    cannot_create_component = 429,
    // The program's own, never shown in a title: a file that other users could have put under
    // its name (a symbolic link, a file of several names, not a plain file, in a folder open
    // to others) is not changed; and a file changed on disk by someone who does not take the
    // lock while a change held it.
    others_may_change = 1001,
    changed_meanwhile = 1002,
};

// The one failure type of the host layer: a number and a description worded as the
// platform words it for this Japanese program.
class host_error : public std::runtime_error {
  public:
    host_error(int number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    // The standard description for one of the numbers above.
    explicit host_error(int number);

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

  private:
    int number_;
    std::string description_;
};

// The standard Japanese description of an error number ("" for an unknown number).
std::string describe_error(int number);

// ---------------------------------------------------------------------------------------
// The platform and version the program runs on. A query that fails answers all zeros.
struct os_version {
    std::uint32_t platform_id = 0;  // 0 Win32s, 1 the 95 family, 2 the NT family
    std::uint32_t major_version = 0;
    std::uint32_t minor_version = 0;
    std::uint32_t build_number = 0;
};

// ---------------------------------------------------------------------------------------
// The file component. Texts in memory are UTF-8; on disk they are code page 932 with CR LF
// line ends and no byte-order mark, the same bytes on every platform.
enum iomode : int { for_reading = 1, for_writing = 2, for_appending = 8 };

class text_stream {
  public:
    virtual ~text_stream() = default;  // dropping a stream closes its file

    // Reading streams (iomode 1). A rewriting stream (iomode 2) reads the file as it stands
    // on disk, under the stream's lock, until close replaces it.
    virtual bool at_end_of_stream() = 0;
    virtual std::string read_line() = 0;
    // The next line as the file holds it, without its line end and undecoded: written back
    // with write_line_bytes it keeps every byte it had.
    virtual std::string read_line_bytes() = 0;
    // The rest of the file as one block of bytes, line ends and all, leaving the stream at its
    // end: the lines read_line_bytes would give, each ended by the line end it has in the file
    // (CR LF, LF or CR; the last one may have none).
    virtual std::string read_rest_bytes() {
        std::string rest;
        while (!at_end_of_stream()) {
            rest += read_line_bytes();
            rest += "\r\n";
        }
        return rest;
    }

    // Writing and appending streams: the text followed by CR LF. Nothing reaches the file
    // before close, so a text that cannot be written stops the stream before any byte does.
    virtual void write_line(const std::string& text) = 0;
    // The bytes of one line (as read_line_bytes gives them) followed by CR LF.
    virtual void write_line_bytes(const std::string& bytes) = 0;
    // Several lines at once, as write_line_bytes writes them one by one: every line of the
    // block ends in CR LF, and no line holds a CR or LF of its own.
    virtual void write_lines_bytes(std::string block) {
        std::size_t start = 0;
        while (start < block.size()) {
            const std::size_t end = block.find("\r\n", start);
            if (end == std::string::npos) {
                throw host_error(path_file_access_error);  // a line without its end
            }
            write_line_bytes(block.substr(start, end - start));
            start = end + 2;
        }
    }

    // Many lines at once without copying them: count lines, line(i) giving the bytes of line i
    // (as read_line_bytes gives them), each written followed by CR LF. The lines must stay as
    // they are until close, which reads them.
    virtual void write_lines_bytes(std::size_t count,
                                   std::function<std::string_view(std::size_t)> line) {
        for (std::size_t i = 0; i < count; ++i) {
            write_line_bytes(std::string(line(i)));
        }
    }

    // A rewriting stream (iomode 2) that has read nothing: whether the file holds exactly
    // these lines, each followed by CR LF, as they would be written (count lines, line(i)
    // giving line i's bytes), compared a piece at a time under the lock without keeping the
    // file; close then changes the file only if it has not changed since. False for any other
    // stream, and where the stream cannot tell; the stream may then still be read.
    virtual bool holds_lines(std::size_t count,
                             const std::function<std::string_view(std::size_t)>& line) {
        static_cast<void>(count);
        static_cast<void>(line);
        return false;
    }

    // A rewriting stream (iomode 2), before any line is written: close adds the lines written
    // after the file's content, as an append does, instead of replacing the content; with no
    // line written it leaves the file as it is. The file stays locked from the open to the
    // close, so what was read decides what is added.
    virtual void append_on_close() { throw host_error(bad_file_mode); }

    // Completes the file and closes it, all or nothing: an append adds every line written
    // or none, a rewrite replaces the old content with the new one as a whole. A failure
    // leaves the file as it was before the stream was opened.
    virtual void close() = 0;
};

// A byte that the file component could not decode is carried in a text as the private code
// point U+10FE00 + byte (UTF-8 F4 8F B8..BB xx) and written back as that byte. True when the
// text holds such a byte.
inline bool holds_undecodable_bytes(const std::string& text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto second = static_cast<unsigned char>(text[i + 1]);
        const auto third = static_cast<unsigned char>(text[i + 2]);
        if (lead == 0xF4 && second == 0x8F && third >= 0xB8 && third <= 0xBB) {
            return true;
        }
    }
    return false;
}

// A command script the program made and holds from its write to the end of its run. Dropping
// it lets the file go and leaves it in its folder.
class command_script {
  public:
    virtual ~command_script() = default;
    // Its name, as the program gave it (relative to the current folder).
    virtual const std::string& name() const = 0;
    // The open file as the platform knows it, for a command interpreter that reads the script
    // through it rather than by name: a file descriptor on Linux; -1 where there is none.
    virtual std::intptr_t descriptor() const = 0;
    // Removes the script's name, when that still leads to the file the program made (another
    // file put under the name meanwhile is left alone), and lets the file go.
    virtual void remove() = 0;
};

class file_system {
  public:
    virtual ~file_system() = default;
    virtual bool file_exists(const std::string& name) = 0;
    virtual std::unique_ptr<text_stream> open_text_file(const std::string& name, iomode mode,
                                                        bool create = false) = 0;
    virtual void delete_file(const std::string& name) = 0;
    // True when a text can be written to a file and read back as itself.
    virtual bool can_store(const std::string& text) = 0;
    // The text of a line's bytes, as read_line gives it.
    virtual std::string text_of(const std::string& line_bytes) = 0;
    // The bytes write_line writes for a text (without the line end); throws as write_line
    // does for a text that would not read back as itself.
    virtual std::string bytes_of(const std::string& text) = 0;

    // A command script with these lines (each followed by CR LF), in the code page the
    // platform's command interpreter reads scripts in (code page 932 on the systems the program
    // targets; a console code page of another system where it is not). The script is the
    // program's alone from its write to its run: a leftover file of that name is removed first
    // (a symbolic link itself, never the file it names), then the script is made anew, only
    // where the name is free, written, and held until the object is dropped, so that no one
    // else's content is run under its name. No script (nullptr) when the name cannot be had: a
    // leftover that cannot be removed (a folder, a file in use, another user's in a folder
    // with the sticky bit), a name taken again before the script was made, or a script that
    // could not be held as it was written. Any other failure throws host_error.
    virtual std::unique_ptr<command_script> create_command_script(
        const std::string& name, const std::vector<std::string>& lines) = 0;
    // True when a text can be written into a command script and read by the command
    // interpreter as itself.
    virtual bool can_store_in_command_script(const std::string& text) { return can_store(text); }
};

// ---------------------------------------------------------------------------------------
// Window handles pass through the core as plain numbers; 0 is no window.
using window_handle = std::uintptr_t;

// The end of a command script's run.
struct script_run {
    enum class status {
        finished,     // the script ran to its end; exit_status holds its exit status
        not_started,  // the command interpreter could not be started
        wait_failed,  // it started, but its end could not be waited for
    };
    status result = status::not_started;
    int exit_status = 0;
    // A short reason text for a failed run, where the platform gives one ("" otherwise).
    std::string reason;
};

class shell {
  public:
    virtual ~shell() = default;
    // Runs a command script the program made and holds (file_system::create_command_script)
    // with the platform's command interpreter, in a hidden window owned by owner, and waits
    // for its end without a time limit. The interpreter runs the file the script holds, never
    // another one put under its name.
    virtual script_run run_script(command_script& script, window_handle owner) = 0;
    // Opens a web address, or a mail address given as "mailto:...", with the desktop's
    // handler for it, without waiting. False when nothing could be started.
    virtual bool open_address(const std::string& target, window_handle owner) = 0;
};

// ---------------------------------------------------------------------------------------
// The IPv4 settings a network connection has now, as the system applies them.
struct ipv4_settings {
    enum class lookup {
        found,      // the connection exists; the fields below are its settings
        not_found,  // no connection of that name
        unknown,    // the settings could not be read; reason says why
    };
    struct address {
        std::string ip;    // dotted, as 192.168.0.10
        std::string mask;  // dotted, as 255.255.255.0
        bool operator==(const address&) const = default;
    };
    lookup result = lookup::unknown;
    std::string reason;
    bool dhcp = false;               // the address is obtained by DHCP
    std::vector<address> addresses;  // empty while the connection is not in use
    std::string gateway;             // "" when there is none
    std::vector<std::string> dns;    // in the order the system asks them
    // The connection has no link (cable out, no wireless network, no carrier): the fields are
    // the configuration the system has stored for it, which takes effect when it connects.
    bool not_connected = false;
};

class network_settings {
  public:
    virtual ~network_settings() = default;
    virtual ipv4_settings read_ipv4(const std::string& connection_name) = 0;
};

// ---------------------------------------------------------------------------------------
// Waiting on the program's one thread, for a change the system makes in its own time.
class waiter {
  public:
    virtual ~waiter() = default;
    // Milliseconds on a clock that only goes forward, from an arbitrary start.
    virtual std::uint64_t milliseconds() = 0;
    // Blocks the calling thread for about that many milliseconds.
    virtual void pause(unsigned milliseconds) = 0;
};

}  // namespace norvane::host
