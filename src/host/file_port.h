// The small per-platform part of the file component. The text streams, their all-or-nothing
// changes, the lock wait, the clearing of leftovers and the rewrite in place are written once
// (host/text_files.cpp) over this port; each platform side gives the few calls below. Every
// file is reached through the folder it lies in, held open: files are opened, made, replaced
// and removed by their name in that folder, and what was opened is asked about itself.
// A failing call throws host_error with the program's number for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"

namespace norvane::host {

// What a file that was opened is (fstat of the open file, not of its name).
struct file_facts {
    bool regular = true;     // a plain file: not a folder, device or pipe
    bool read_only = false;  // no one may change it (no write bit, or the read-only attribute)
    std::uint64_t size = 0;
    std::uint32_t links = 1;    // the names it has (hard links)
    std::uint64_t device = 0;   // which file it is: its device or volume,
    std::uint64_t index = 0;    // and its number there (inode, file index)
    std::int64_t modified = 0;  // when its content last changed, in the platform's units

    // The same file with the same content as far as the system tells: no write since.
    bool same_as(const file_facts& other) const {
        return size == other.size && device == other.device && index == other.index &&
               modified == other.modified;
    }
};

// One open file. Dropping it closes it and lets its lock go.
class port_file {
  public:
    virtual ~port_file() = default;
    virtual file_facts facts() = 0;
    // Up to size bytes from offset; fewer only at the end of the file.
    virtual std::string read_at(std::uint64_t offset, std::size_t size) = 0;
    virtual void write_at(std::uint64_t offset, const std::string& bytes) = 0;
    virtual void truncate(std::uint64_t size) = 0;
    // Makes the file size bytes long with the room on disk taken, where the platform can.
    virtual void grow(std::uint64_t size) = 0;
    virtual void flush() = 0;
    // The platform's number for the open file, which a program the host starts can be given
    // (a file descriptor); -1 where the platform hands programs no open files.
    virtual std::intptr_t descriptor() const = 0;
    // Keeps a file the program made and wrote open for reading only, so that while it is held
    // no one else can write, rename or delete it and a command interpreter can still open it to
    // read it (where the platform has share modes: reopened sharing reading alone). False when
    // it cannot be held so, or the name now leads to another file.
    virtual bool keep_for_reading() = 0;
};

enum class file_lock { shared, exclusive };

// What an open gives: the file, or no file when another stream holds its lock.
struct opened_file {
    std::unique_ptr<port_file> file;
    bool created = false;  // the open made the file
    // No file: without following links, the name was found to be a symbolic link or a folder.
    bool not_plain_file = false;
};

// A folder held open, and the files in it by their names (without any folder part).
class port_folder {
  public:
    virtual ~port_folder() = default;
    virtual bool holds_file(const std::string& name) = 0;
    // Whether users other than its owner may make, remove or rename names in the folder (its
    // permissions let them, or another user owns it), so that what a name leads to may change
    // under the program's hands.
    virtual bool open_to_others() = 0;
    // Opens for reading, and for writing too when writing is set, and takes the lock without
    // waiting. create makes a missing file. Without follow_link, a symbolic link or a folder
    // under the name is not opened (not_plain_file set in the answer).
    virtual opened_file open(const std::string& name, file_lock lock, bool writing, bool create,
                             bool follow_link) = 0;
    // Whether the name still leads to the file that was opened under it (through a symbolic
    // link only with follow_link).
    virtual bool still_names(const std::string& name, port_file& file, bool follow_link) = 0;
    // A new file of that name, made only if the name is free. No file when the name is taken
    // (taken set) or the folder lets the program make no file (taken clear).
    virtual std::unique_ptr<port_file> create_new(const std::string& name, bool& taken) = 0;
    // Puts the file named from (open as replacement, flushed) in the place of the file named
    // to (open as old, under its lock), with the old one's owner and permissions where the
    // platform keeps them. False when the folder refuses to replace another user's file.
    virtual bool replace(const std::string& from, const std::string& to, port_file& old,
                         port_file& replacement) = 0;
    // Removes the name; held, when given, is that file, open under its exclusive lock.
    virtual void remove(const std::string& name, std::unique_ptr<port_file> held) = 0;
    virtual std::vector<std::string> names() = 0;
    // Makes a replacement last through a power loss, where the platform needs it.
    virtual void sync() = 0;
};

class file_port {
  public:
    virtual ~file_port() = default;
    // The folder a name lies in, and the name within it (leaf); no folder when it is missing.
    // With follow_link, a symbolic link under the name in a folder that is not open to others
    // stands for the file it points to: the answer is that file's folder and name, found
    // through the folders held open, never by the name again.
    virtual std::unique_ptr<port_folder> open_folder(const std::string& name, std::string& leaf,
                                                     bool follow_link) = 0;
    // A steady clock in milliseconds, and a pause of a few of them, for the lock wait.
    virtual std::uint64_t milliseconds() = 0;
    virtual void pause() = 0;
    // The bytes of a command script's line, in the code page its interpreter reads.
    virtual std::string script_bytes(const std::string& text);
    virtual bool script_can_hold(const std::string& text);
};

// The file component over a port.
std::unique_ptr<file_system> make_file_system(std::unique_ptr<file_port> port);

}  // namespace norvane::host
