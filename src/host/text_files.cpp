// The file component, written once over each platform's port (host/file_port.h): text files
// in code page 932 with CR LF line ends, locks that keep running copies of the program from
// interleaving their changes, and changes that are all or nothing. A stream collects what is
// written and close puts it in the file at once: an append cut short is cut back off, and a
// rewrite writes a new file beside the old one and replaces the old one with it as a whole,
// or, where the folder takes no new file, writes over the old one in place and puts the old
// content back when that fails.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "host/file_port.h"
#include "host/host.h"

namespace norvane::host {

std::string file_port::script_bytes(const std::string& text) {
    return to_cp932(text);
}

bool file_port::script_can_hold(const std::string& text) {
    return representable_in_cp932(text);
}

namespace {

// How long (milliseconds) an open waits for a lock that another copy holds for a moment.
constexpr std::uint64_t lock_wait = 1000;

// How often an open tries again when another copy replaced the file between open and lock.
constexpr int lock_attempts = 8;

// What the program says when it may not read a file (70 is otherwise "書き込みできません。").
const char* const read_denied_text = "読み込みできません。";

[[noreturn]] void fail(int number) {
    throw host_error(number);
}

void check_name(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        fail(path_file_access_error);
    }
}

// Opens the file and takes its lock, waiting up to lock_wait for another stream to let it go;
// a lock held longer fails with 70, as a file in use does on Windows. A rewrite replaces the
// file by another one, so the locked file is checked to still be the one under the name.
opened_file open_locked(file_port& port, port_folder& folder, const std::string& name,
                        file_lock lock, bool writing, bool create, bool follow_link = true) {
    const std::uint64_t deadline = port.milliseconds() + lock_wait;
    for (int replaced = 0; replaced < lock_attempts;) {
        opened_file opened;
        try {
            opened = folder.open(name, lock, writing, create, follow_link);
        } catch (const host_error& error) {
            if (error.number() == permission_denied && !writing) {
                throw host_error(permission_denied, read_denied_text);
            }
            throw;
        }
        if (opened.not_plain_file) {
            fail(others_may_change);
        }
        if (!opened.file) {
            if (port.milliseconds() >= deadline) {
                fail(permission_denied);
            }
            port.pause();
            continue;
        }
        if (!opened.file->facts().regular) {
            fail(follow_link ? path_file_access_error : others_may_change);
        }
        if (folder.still_names(name, *opened.file, follow_link)) {
            return opened;
        }
        ++replaced;
    }
    fail(permission_denied);
}

// The whole content of a file from its start.
std::string read_all(port_file& file) {
    const std::uint64_t size = file.facts().size;
    std::string data;
    for (;;) {
        const std::size_t want = data.size() < size ? std::size_t(size - data.size()) + 1 : 65536;
        std::string chunk = file.read_at(data.size(), want);
        if (chunk.empty()) {
            return data;
        }
        if (data.empty()) {
            data = std::move(chunk);  // the whole file, as a rule: not copied again
        } else {
            data += chunk;
        }
    }
}

// A rewrite's new content lies beside the file as "." + its name + "." + six letters or
// digits until it replaces the file; these names are those of no other file.
bool is_new_content_of(const std::string& entry, const std::string& name) {
    const std::string prefix = "." + name + ".";
    if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < entry.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(entry[i]);
        if (!((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))) {
            return false;
        }
    }
    return true;
}

// Removes what rewrites of the file left when they were stopped (killed, or the machine went
// down) before they replaced it. Called under the file's exclusive lock: a rewrite takes it
// before it makes its new content and keeps it until that replaced the file, so whatever new
// content of this file's is there now is a leftover. What cannot be removed now is kept for a
// later change.
void clear_leftovers(port_folder& folder, const std::string& name) {
    try {
        for (const std::string& entry : folder.names()) {
            if (is_new_content_of(entry, name)) {
                try {
                    folder.remove(entry, nullptr);
                } catch (const host_error&) {
                }
            }
        }
    } catch (const host_error&) {
    }
}

// Six letters and digits; which ones matters little, as a name already taken is tried again.
std::string six_characters(std::uint64_t seed) {
    static std::uint64_t state = seed ^ reinterpret_cast<std::uintptr_t>(&state);
    const char* const alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string text;
    for (int i = 0; i < 6; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        text += alphabet[state % 62];
    }
    return text;
}

// A new file beside the file for a rewrite's new content, and its name; no file when the
// folder takes none.
std::unique_ptr<port_file> create_new_content(file_port& port, port_folder& folder,
                                              const std::string& name, std::string& made) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = "." + name + "." + six_characters(port.milliseconds());
        bool taken = false;
        auto file = folder.create_new(candidate, taken);
        if (file) {
            made = candidate;
            return file;
        }
        if (!taken) {
            return nullptr;
        }
    }
    fail(path_file_access_error);
}

// The length of the line end at data[pos] (CR LF, LF or CR), or 0.
std::size_t line_end_at(const std::string& data, std::size_t pos) {
    if (data[pos] == '\n') {
        return 1;
    }
    if (data[pos] != '\r') {
        return 0;
    }
    return pos + 1 < data.size() && data[pos + 1] == '\n' ? 2 : 1;
}

// Whether a block is lines each ended by CR LF, without a CR or LF of their own.
bool is_whole_lines(const std::string& block) {
    const char* const data = block.data();
    const std::size_t size = block.size();
    std::size_t line_ends = 0;
    for (const void* at = std::memchr(data, '\r', size); at != nullptr;) {
        const auto cr = static_cast<std::size_t>(static_cast<const char*>(at) - data);
        if (cr + 1 >= size || data[cr + 1] != '\n') {
            return false;
        }
        ++line_ends;
        at = std::memchr(data + cr + 2, '\r', size - cr - 2);
    }
    std::size_t feeds = 0;
    for (const void* at = std::memchr(data, '\n', size); at != nullptr;) {
        const auto lf = static_cast<std::size_t>(static_cast<const char*>(at) - data);
        ++feeds;
        at = std::memchr(data + lf + 1, '\n', size - lf - 1);
    }
    // Every CR is followed by an LF; as many LFs as CRs leaves none alone; and the block ends
    // with a line end.
    return feeds == line_ends && (size == 0 || data[size - 1] == '\n');
}

enum class stream_kind { reading, appending, rewriting };

// How much of a file is compared, or of a rewrite's content given as lines put together, at a
// time.
constexpr std::size_t chunk_size = 256 * 1024;

class port_stream final : public text_stream {
  public:
    // follow_link: whether the name was opened through a symbolic link, if it is one (a change
    // in a folder open to others never is).
    port_stream(stream_kind kind, file_port& port, std::unique_ptr<port_folder> folder,
                std::string name, std::unique_ptr<port_file> file, bool follow_link = true)
        : kind_(kind),
          port_(port),
          folder_(std::move(folder)),
          name_(std::move(name)),
          file_(std::move(file)),
          follow_link_(follow_link) {}

    port_stream(const port_stream&) = delete;
    port_stream& operator=(const port_stream&) = delete;

    // Dropping a stream closes it. A stream dropped while a failure is on its way keeps the
    // old file: its new content is most likely incomplete.
    ~port_stream() override {
        if (closed_) {
            return;
        }
        if (std::uncaught_exceptions() > uncaught_at_open_) {
            failed_ = true;
        }
        try {
            close();
        } catch (...) {
            // The stream is gone; there is no one left to tell.
        }
    }

    bool at_end_of_stream() override {
        const failure_guard guard(*this, false);
        load();
        return next_ >= data_.size();
    }

    std::string read_line() override { return from_cp932(read_line_bytes()); }

    std::string read_line_bytes() override {
        const failure_guard guard(*this, false);
        load();
        if (next_ >= data_.size()) {
            fail(input_past_end);
        }
        std::size_t end = next_;
        while (end < data_.size() && data_[end] != '\r' && data_[end] != '\n') {
            ++end;  // faster than two searches: lines are short
        }
        std::string line = data_.substr(next_, end - next_);
        next_ = end < data_.size() ? end + line_end_at(data_, end) : end;
        return line;
    }

    // A stream that has read nothing gives its content away rather than copy it (a rewrite in
    // place reads it again to have it to put back).
    std::string read_rest_bytes() override {
        const failure_guard guard(*this, false);
        load();
        std::string rest;
        if (next_ == 0) {
            rest = std::move(data_);
            data_.clear();
            given_away_ = true;
        } else if (next_ < data_.size()) {
            rest = data_.substr(next_);
        }
        next_ = data_.size();
        return rest;
    }

    // The first line written begins with a line break.
    void start_on_new_line() { pending_line_break_ = true; }

    bool holds_lines(std::size_t count,
                     const std::function<std::string_view(std::size_t)>& line) override {
        if (closed_ || kind_ != stream_kind::rewriting || loaded_) {
            return false;  // only a change that has read nothing compares
        }
        const failure_guard guard(*this, false);
        if (!facts_noted_) {
            read_facts_ = file_->facts();  // what close checks the file against
            facts_noted_ = true;
        }
        std::uint64_t size = 0;  // a file of another size is told without reading it
        for (std::size_t i = 0; i < count; ++i) {
            size += line(i).size() + 2;
        }
        if (size != read_facts_.size) {
            return false;
        }
        std::uint64_t offset = 0;
        std::string chunk;
        std::size_t chunk_at = 0;  // where the next byte of the lines is looked for in chunk
        const auto next_bytes = [&](std::string_view bytes) {
            while (!bytes.empty()) {
                if (chunk_at == chunk.size()) {
                    if (offset >= read_facts_.size) {
                        return false;
                    }
                    chunk = file_->read_at(offset, chunk_size);
                    offset += chunk.size();
                    chunk_at = 0;
                    if (chunk.empty()) {
                        return false;
                    }
                }
                const std::size_t n = std::min(bytes.size(), chunk.size() - chunk_at);
                if (chunk.compare(chunk_at, n, bytes.data(), n) != 0) {
                    return false;
                }
                chunk_at += n;
                bytes.remove_prefix(n);
            }
            return true;
        };
        for (std::size_t i = 0; i < count; ++i) {
            if (!next_bytes(line(i)) || !next_bytes("\r\n")) {
                return false;
            }
        }
        return chunk_at == chunk.size() && offset == read_facts_.size;
    }

    void write_line(const std::string& text) override {
        add_line([&] { append_line(to_cp932(text)); });
    }

    void write_line_bytes(const std::string& bytes) override {
        add_line([&] {
            if (bytes.find('\r') != std::string::npos || bytes.find('\n') != std::string::npos) {
                fail(path_file_access_error);  // that would be more than one line
            }
            append_line(bytes);
        });
    }

    void write_lines_bytes(std::string block) override {
        add_line([&] {
            if (!is_whole_lines(block)) {
                fail(path_file_access_error);
            }
            if (block.empty()) {
                return;
            }
            copy_source();
            if (pending_.empty() && !pending_line_break_) {
                pending_ = std::move(block);  // a rewrite's whole content, as a rule
            } else {
                if (std::exchange(pending_line_break_, false)) {
                    pending_ += "\r\n";
                }
                pending_ += block;
            }
        });
    }

    // A rewrite's whole content as lines that stay where they are: close writes them a chunk
    // at a time, so that the content is never copied whole. Otherwise they are added as
    // write_line_bytes adds them.
    void write_lines_bytes(std::size_t count,
                           std::function<std::string_view(std::size_t)> line) override {
        add_line([&] {
            std::size_t size = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const std::string_view bytes = line(i);
                // Two searches for one character each: a search for either of two characters
                // looks for each byte of the line among them.
                if (bytes.find('\r') != std::string_view::npos ||
                    bytes.find('\n') != std::string_view::npos) {
                    fail(path_file_access_error);  // that would be more than one line
                }
                size += bytes.size() + 2;
            }
            if (kind_ == stream_kind::rewriting && !append_instead_ && pending_.empty() &&
                !pending_line_break_ && source_size_ == 0) {
                source_ = std::move(line);
                source_count_ = count;
                source_size_ = size;
                return;
            }
            for (std::size_t i = 0; i < count; ++i) {
                append_line(std::string(line(i)));
            }
        });
    }

    // A rewriting stream may add its lines after the content instead of replacing it; with
    // no line written, close then leaves the file as it is. Only the file's last byte is read
    // for it, when nothing else was.
    void append_on_close() override {
        if (closed_ || kind_ != stream_kind::rewriting || !pending_.empty() || source_size_ != 0) {
            fail(bad_file_mode);
        }
        const failure_guard guard(*this, true);
        if (!loaded_) {
            if (!facts_noted_) {
                read_facts_ = file_->facts();
                facts_noted_ = true;
            }
            if (read_facts_.size > 0) {
                const std::string last = file_->read_at(read_facts_.size - 1, 1);
                open_last_line_ = last != "\n" && last != "\r";
            }
        }
        append_instead_ = true;
        // A hand-edited file whose last line has no line end: the first new line must not be
        // glued onto it.
        pending_line_break_ = open_last_line_;
    }

    // After a failed write, close only releases the file (the failure has been reported).
    void close() override {
        if (closed_) {
            return;
        }
        closed_ = true;
        if (kind_ == stream_kind::rewriting) {
            if (append_instead_) {
                append_all();
            } else {
                replace_file();
            }
        } else if (kind_ == stream_kind::appending) {
            append_all();
        } else {
            release();
        }
    }

  private:
    // Marks the stream failed when a write, or any operation of a rewrite, throws: a stream
    // whose program met a failure half way must not change the file.
    class failure_guard {
      public:
        failure_guard(port_stream& stream, bool writing)
            : stream_(stream), applies_(writing || stream.kind_ == stream_kind::rewriting) {}
        ~failure_guard() {
            if (applies_ && std::uncaught_exceptions() > uncaught_) {
                stream_.failed_ = true;
                if (stream_.failure_ == 0) {
                    stream_.failure_ = path_file_access_error;
                }
            }
        }
        failure_guard(const failure_guard&) = delete;
        failure_guard& operator=(const failure_guard&) = delete;

      private:
        port_stream& stream_;
        bool applies_;
        int uncaught_ = std::uncaught_exceptions();
    };

    // Once a write has failed the stream writes nothing more, and close changes nothing.
    template <class adding>
    void add_line(adding&& add) {
        if (closed_ || kind_ == stream_kind::reading) {
            fail(bad_file_mode);
        }
        if (failed_) {
            fail(failure_);
        }
        const failure_guard guard(*this, true);
        try {
            add();
        } catch (const host_error& error) {
            failure_ = error.number();
            throw;
        }
    }

    // Lines given to stay where they are become bytes of the stream's own when more follow.
    void copy_source() {
        if (source_size_ == 0) {
            return;
        }
        pending_.reserve(source_size_);
        for (std::size_t i = 0; i < source_count_; ++i) {
            pending_ += source_(i);
            pending_ += "\r\n";
        }
        source_ = nullptr;
        source_count_ = 0;
        source_size_ = 0;
    }

    void append_line(const std::string& bytes) {
        copy_source();
        if (std::exchange(pending_line_break_, false)) {
            pending_ += "\r\n";
        }
        pending_ += bytes;
        pending_ += "\r\n";
    }

    // The file as it stands on disk, read once under the stream's lock. A rewrite notes what
    // the file was when it read it.
    void load() {
        if (closed_ || kind_ == stream_kind::appending) {
            fail(bad_file_mode);
        }
        if (!loaded_) {
            if (kind_ == stream_kind::rewriting) {
                read_facts_ = file_->facts();
            }
            data_ = read_all(*file_);
            loaded_ = true;
            open_last_line_ = !data_.empty() && data_.back() != '\n' && data_.back() != '\r';
        }
    }

    // A program that writes the file without taking the lock (an editor, "cat >") cannot be
    // kept out, but its change since the stream read the file is not silently undone: just
    // before the file is changed, what was opened is asked again, and a change of its size,
    // its time or its identity, or a name that leads elsewhere now, fails the stream with
    // changed_meanwhile and leaves the file alone, so that the caller reads it again.
    void check_unchanged() {
        if (!loaded_ && !facts_noted_) {
            return;
        }
        if (!file_->facts().same_as(read_facts_) ||
            !folder_->still_names(name_, *file_, follow_link_)) {
            failed_ = true;
            fail(changed_meanwhile);
        }
    }

    // Adds every line written, in one write at the end of the file. Whatever part of it a
    // failure lets through (a full disk half way) is cut off again.
    void append_all() {
        if (failed_ || pending_.empty()) {
            release();
            return;
        }
        std::uint64_t end = 0;
        try {
            check_unchanged();
            end = file_->facts().size;
        } catch (const host_error&) {
            release();
            throw;
        }
        bool written = false;
        try {
            file_->write_at(end, pending_);
            written = true;
            file_->flush();
        } catch (const host_error&) {
            bool cut_back = false;
            try {
                file_->truncate(end);
                cut_back = true;
                file_->flush();
            } catch (const host_error&) {
                // The failure reported is the first one.
            }
            // Written whole but neither flushed nor cut back: the lines are in the file, and
            // every reader sees them, so the append is not reported as failed.
            if (written && !cut_back && holds_whole_append(end)) {
                release();
                return;
            }
            release();
            throw;
        }
        release();
    }

    bool holds_whole_append(std::uint64_t end) noexcept {
        try {
            return file_->facts().size == end + pending_.size() &&
                   file_->read_at(end, pending_.size()) == pending_;
        } catch (const host_error&) {
            return false;
        }
    }

    // Puts the new content in the old file's place: flushed to disk in a file of its own,
    // which then replaces the old one while the lock is still held.
    void replace_file() {
        if (failed_) {
            release();
            return;
        }
        try {
            new_content_ = create_new_content(port_, *folder_, name_, new_name_);
        } catch (const host_error&) {
            release();
            throw;
        }
        if (!new_content_) {
            rewrite_in_place();
            return;
        }
        try {
            write_content(*new_content_);
            new_content_->flush();
            check_unchanged();
            if (!folder_->replace(new_name_, name_, *file_, *new_content_)) {
                // A folder open to all with the sticky bit lets the program make files but not
                // replace another user's: the content goes into the file itself.
                discard_new_content(false);
                rewrite_in_place();
                return;
            }
        } catch (const host_error&) {
            discard_new_content();
            throw;
        }
        new_name_.clear();
        new_content_.reset();
        folder_->sync();
        release();
    }

    // A folder that takes no new file: the new content, complete and checked, is written over
    // the old one in the file itself. The room is taken first, so a full disk stops it before
    // any byte changed; a failure after that puts the old content back as far as the disk
    // lets it.
    void rewrite_in_place() {
        bool touched = false;
        try {
            check_unchanged();
            if (!loaded_ || given_away_) {
                data_ = read_all(*file_);  // unchanged since it was read, as just checked
                loaded_ = true;
                given_away_ = false;
            }
        } catch (const host_error&) {
            release();
            throw;
        }
        try {
            const std::size_t size = content_size();
            if (size > data_.size()) {
                file_->grow(size);
            }
            touched = true;
            write_content(*file_);
            file_->truncate(size);
            file_->flush();
        } catch (const host_error&) {
            try {
                if (touched) {
                    file_->write_at(0, data_);
                }
                file_->truncate(data_.size());
                file_->flush();
            } catch (const host_error&) {
                // The failure reported is the first one.
            }
            release();
            throw;
        }
        release();
    }

    std::size_t content_size() const { return source_size_ != 0 ? source_size_ : pending_.size(); }

    // A rewrite's new content from the start of the file.
    void write_content(port_file& file) {
        if (source_size_ == 0) {
            file.write_at(0, pending_);
            return;
        }
        std::string chunk;
        chunk.reserve(chunk_size);
        std::uint64_t offset = 0;
        for (std::size_t i = 0; i < source_count_; ++i) {
            const std::string_view line = source_(i);
            if (!chunk.empty() && chunk.size() + line.size() + 2 > chunk_size) {
                file.write_at(offset, chunk);
                offset += chunk.size();
                chunk.clear();
            }
            chunk += line;
            chunk += "\r\n";
        }
        if (!chunk.empty()) {
            file.write_at(offset, chunk);
        }
    }

    void discard_new_content(bool release_file = true) noexcept {
        new_content_.reset();
        if (!new_name_.empty()) {
            try {
                folder_->remove(std::exchange(new_name_, ""), nullptr);
            } catch (const host_error&) {
                // Cleared as a leftover by a later write.
            }
        }
        if (release_file) {
            release();
        }
    }

    void release() noexcept {
        file_.reset();
        folder_.reset();
    }

    stream_kind kind_;
    file_port& port_;
    std::unique_ptr<port_folder> folder_;
    std::string name_;                        // the file's name in its folder
    std::unique_ptr<port_file> file_;         // the file, holding the stream's lock
    bool follow_link_;                        // the name was opened through a link, if any
    bool append_instead_ = false;             // rewriting: close appends instead
    file_facts read_facts_;                   // rewriting: the file when it was read
    std::unique_ptr<port_file> new_content_;  // rewriting: the new content's own file
    std::string new_name_;                    // rewriting: its name until it replaces the file
    std::string data_;                        // reading: the file's bytes (or what is left)
    std::size_t next_ = 0;                    // reading: where the next line starts
    std::string pending_;                     // writing: the bytes close puts in the file
    // rewriting: or the lines close puts in the file, each with CR LF, and their size
    std::function<std::string_view(std::size_t)> source_;
    std::size_t source_count_ = 0;
    std::size_t source_size_ = 0;
    bool loaded_ = false;
    bool facts_noted_ = false;     // rewriting: read_facts_ taken before a compare, nothing read
    bool given_away_ = false;      // read_rest_bytes took data_
    bool open_last_line_ = false;  // the file's last line has no line end
    bool closed_ = false;
    bool pending_line_break_ = false;
    bool failed_ = false;
    int failure_ = 0;  // the number a failed stream answers further writes with
    int uncaught_at_open_ = std::uncaught_exceptions();
};

class port_file_system final : public file_system {
  public:
    explicit port_file_system(std::unique_ptr<file_port> port) : port_(std::move(port)) {}

    bool file_exists(const std::string& name) override {
        if (name.empty() || name.find('\0') != std::string::npos) {
            return false;
        }
        std::string leaf;
        const auto folder = port_->open_folder(name, leaf, true);
        return folder && folder->holds_file(leaf);
    }

    std::unique_ptr<text_stream> open_text_file(const std::string& name, iomode mode,
                                                bool create) override {
        check_name(name);
        switch (mode) {
            case for_reading: {
                std::string leaf;
                auto folder = folder_of(name, leaf, create);
                opened_file opened =
                    open_locked(*port_, *folder, leaf, file_lock::shared, false, create);
                return std::make_unique<port_stream>(
                    stream_kind::reading, *port_, std::move(folder), leaf, std::move(opened.file));
            }
            case for_appending:
                return open_append(name, create);
            case for_writing:
                return open_rewrite(name, create);
        }
        fail(bad_file_mode);
    }

    std::unique_ptr<command_script> create_command_script(
        const std::string& name, const std::vector<std::string>& lines) override;

    // The file is held under its exclusive lock until its name is gone: a file that a stream
    // holds open is not deleted. A symbolic link is removed itself, never the file it names.
    void delete_file(const std::string& name) override {
        check_name(name);
        std::string leaf;
        auto folder = folder_of(name, leaf, false, false);
        opened_file opened = open_locked(*port_, *folder, leaf, file_lock::exclusive, false, false);
        if (opened.file->facts().read_only) {
            fail(permission_denied);
        }
        folder->remove(leaf, std::move(opened.file));
    }

    bool can_store(const std::string& text) override { return representable_in_cp932(text); }
    std::string text_of(const std::string& line_bytes) override { return from_cp932(line_bytes); }
    std::string bytes_of(const std::string& text) override { return to_cp932(text); }
    bool can_store_in_command_script(const std::string& text) override {
        return port_->script_can_hold(text);
    }

  private:
    // The folder of a name: a missing one holds no file (53), nor can one be made there (75).
    std::unique_ptr<port_folder> folder_of(const std::string& name, std::string& leaf, bool create,
                                           bool follow_link = true) {
        auto folder = port_->open_folder(name, leaf, follow_link);
        if (!folder) {
            fail(create ? path_file_access_error : file_not_found);
        }
        return folder;
    }

    // A file that may not be changed (read-only attribute, or no write permission bit at
    // all, which binds the superuser too) refuses a change with 70. In a folder open to others
    // another user may have put anything under the name: a symbolic link to a file of someone
    // else's, a second name of such a file, a pipe. There only a plain file of one name, opened
    // without following a link, is changed; anything else fails with others_may_change.
    opened_file open_for_change(port_folder& folder, const std::string& leaf, bool create,
                                bool& follow_link) {
        follow_link = !folder.open_to_others();
        opened_file opened =
            open_locked(*port_, folder, leaf, file_lock::exclusive, true, create, follow_link);
        const file_facts facts = opened.file->facts();
        if (!follow_link && facts.links > 1) {
            fail(others_may_change);
        }
        if (!opened.created && facts.read_only) {
            fail(permission_denied);
        }
        clear_leftovers(folder, leaf);
        return opened;
    }

    std::unique_ptr<text_stream> open_append(const std::string& name, bool create) {
        std::string leaf;
        auto folder = folder_of(name, leaf, create);
        bool follow_link = true;
        opened_file opened = open_for_change(*folder, leaf, create, follow_link);
        // A hand-edited file whose last line has no line end: the first new line must not be
        // glued onto it. A last byte that cannot be read stops the append.
        bool line_break_first = false;
        if (const std::uint64_t size = opened.file->facts().size; size > 0) {
            const std::string last = opened.file->read_at(size - 1, 1);
            line_break_first = last != "\n" && last != "\r";
        }
        auto stream =
            std::make_unique<port_stream>(stream_kind::appending, *port_, std::move(folder), leaf,
                                          std::move(opened.file), follow_link);
        if (line_break_first) {
            stream->start_on_new_line();
        }
        return stream;
    }

    // The old file stays locked, and readable through the stream, until close puts the new
    // content in its place (or adds to it, after append_on_close).
    std::unique_ptr<text_stream> open_rewrite(const std::string& name, bool create) {
        std::string leaf;
        auto folder = folder_of(name, leaf, create);
        bool follow_link = true;
        opened_file opened = open_for_change(*folder, leaf, create, follow_link);
        return std::make_unique<port_stream>(stream_kind::rewriting, *port_, std::move(folder),
                                             leaf, std::move(opened.file), follow_link);
    }

    std::unique_ptr<file_port> port_;
};

// --- command scripts ----------------------------------------------------------------------

// A script the program made, held open from its write to the end of its run.
class port_command_script final : public command_script {
  public:
    port_command_script(std::unique_ptr<port_folder> folder, std::string leaf, std::string name,
                        std::unique_ptr<port_file> file)
        : folder_(std::move(folder)),
          leaf_(std::move(leaf)),
          name_(std::move(name)),
          file_(std::move(file)) {}

    const std::string& name() const override { return name_; }

    std::intptr_t descriptor() const override { return file_ ? file_->descriptor() : -1; }

    void remove() override {
        if (!file_) {
            return;
        }
        std::unique_ptr<port_file> file = std::move(file_);
        if (folder_->still_names(leaf_, *file, false)) {
            folder_->remove(leaf_, std::move(file));
        }
    }

  private:
    std::unique_ptr<port_folder> folder_;
    std::string leaf_;  // the name in its folder
    std::string name_;  // the name as the program gave it
    std::unique_ptr<port_file> file_;
};

// Whatever lies under the script's name is removed by that name: a symbolic link or a pipe
// itself, a file another copy of the program left. Only what cannot be removed (a folder, a
// file in use or, in a folder with the sticky bit, another user's) keeps the name.
bool clear_script_name(port_folder& folder, const std::string& leaf) {
    try {
        folder.remove(leaf, nullptr);
    } catch (const host_error& error) {
        return error.number() == file_not_found;
    }
    return true;
}

// The script is made only where its name is free, so a file someone else put there between
// the removal and the making is never written to; it is written, flushed, held for reading and
// checked to hold exactly what was written. A failure on the way removes what was made.
std::unique_ptr<command_script> port_file_system::create_command_script(
    const std::string& name, const std::vector<std::string>& lines) {
    check_name(name);
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += port_->script_bytes(line);
        bytes += "\r\n";
    }
    std::string leaf;
    auto folder = folder_of(name, leaf, true, false);
    if (!clear_script_name(*folder, leaf)) {
        return nullptr;
    }
    bool taken = false;
    std::unique_ptr<port_file> file = folder->create_new(leaf, taken);
    if (!file) {
        if (taken) {
            return nullptr;
        }
        fail(permission_denied);  // the folder lets the program make no file
    }
    try {
        file->write_at(0, bytes);
        file->flush();
        if (file->keep_for_reading() && read_all(*file) == bytes) {
            return std::make_unique<port_command_script>(std::move(folder), leaf, name,
                                                         std::move(file));
        }
    } catch (const host_error&) {
        try {
            if (folder->still_names(leaf, *file, false)) {
                folder->remove(leaf, std::move(file));
            }
        } catch (const host_error&) {
            // Removed as a leftover by the next script.
        }
        throw;
    }
    // Another file under the name, or this one changed before it was held: it is not run, and
    // what lies under the name is left for the user to look at.
    return nullptr;
}

}  // namespace

std::unique_ptr<file_system> make_file_system(std::unique_ptr<file_port> port) {
    return std::make_unique<port_file_system>(std::move(port));
}

}  // namespace norvane::host
