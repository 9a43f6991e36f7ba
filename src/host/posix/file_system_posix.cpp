// The file component on this host: text files in code page 932 with CR LF line ends,
// advisory locks so that running copies of the program never interleave their writes, and
// changes that are all or nothing: a stream collects what is written and close puts it in
// the file at once, an append cut short is cut back off, and a rewrite replaces the file as
// a whole, so a rewrite that stops half way leaves the old file as it was.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "host/host.h"
#include "host/platform.h"

namespace norvane::host {
namespace {

// How often an open tries again when another copy of the program replaced the file between
// the open and the lock.
constexpr int lock_attempts = 8;

// How long an open waits for a lock that another copy of the program holds for a moment.
constexpr auto lock_wait = std::chrono::milliseconds(1000);
constexpr auto lock_poll = std::chrono::milliseconds(1);

// What the program says when it may not read a file (70 is otherwise "書き込みできません。").
const char* const read_denied_text = "読み込みできません。";

[[noreturn]] void fail(int number) {
    throw host_error(number);
}

// The program's error number for a failed system call.
int error_number_for(int err) {
    switch (err) {
        case ENOENT:
            return file_not_found;
        case EACCES:
        case EPERM:
        case EROFS:
        case EWOULDBLOCK:
        case EBUSY:
        case ETXTBSY:
            return permission_denied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return disk_full;
        default:
            return path_file_access_error;
    }
}

[[noreturn]] void fail_with_errno(int err) {
    fail(error_number_for(err));
}

// No write permission bit at all: read-only for every user, the superuser included, as the
// read-only attribute is on the platform the program was made for.
bool read_only(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void check_name(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        fail(path_file_access_error);
    }
}

class descriptor {
  public:
    descriptor() = default;
    explicit descriptor(int fd) : fd_(fd) {}
    ~descriptor() { reset(); }
    descriptor(descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    descriptor& operator=(descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;

    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    // Closes the descriptor; 0 or the error of the close.
    int close_checked() {
        const int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

  private:
    int fd_ = -1;
};

// The whole content of the file from its start, in as few reads as its size allows.
std::string read_all(int fd) {
    struct stat st {};
    std::string data(::fstat(fd, &st) == 0 && st.st_size > 0 ? std::size_t(st.st_size) + 1 : 16384,
                     '\0');
    std::size_t size = 0;
    for (;;) {
        if (size == data.size()) {
            data.resize(data.size() * 2);
        }
        const ssize_t n =
            ::pread(fd, data.data() + size, data.size() - size, static_cast<off_t>(size));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail_with_errno(errno);
        }
        if (n == 0) {
            data.resize(size);
            return data;
        }
        size += static_cast<std::size_t>(n);
    }
}

// Takes the lock, waiting a little while another stream holds it; 0 or the error.
int take_lock(int fd, int lock) {
    const auto deadline = std::chrono::steady_clock::now() + lock_wait;
    for (;;) {
        if (::flock(fd, lock | LOCK_NB) == 0) {
            return 0;
        }
        const int err = errno;
        if (err != EINTR && (err != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline)) {
            return err;
        }
        if (err == EWOULDBLOCK) {
            std::this_thread::sleep_for(lock_poll);
        }
    }
}

struct locked_file {
    descriptor fd;
    struct stat st {};
    bool created = false;
};

// Opens the file and takes the lock: a lock that another stream holds beyond the short wait
// fails with 70, as a file in use does on the platform the program was made for. A rewrite
// replaces the file by another one, so the locked file is checked to still be the one under
// the name, and opened again when it is not.
locked_file open_locked(const std::string& name, int flags, bool create, int lock) {
    flags |= O_CLOEXEC | O_NONBLOCK;  // a FIFO under the name must not block the open
    for (int attempt = 0; attempt < lock_attempts; ++attempt) {
        locked_file file;
        int fd = ::open(name.c_str(), flags);
        if (fd < 0 && errno == ENOENT && create) {
            fd = ::open(name.c_str(), flags | O_CREAT | O_EXCL, 0666);
            if (fd < 0 && errno == EEXIST) {
                continue;  // created by someone else meanwhile
            }
            if (fd < 0 && errno == ENOENT) {
                fail(path_file_access_error);  // the folder is missing
            }
            file.created = fd >= 0;
        }
        if (fd < 0 && errno == EACCES && (flags & O_ACCMODE) == O_RDONLY) {
            throw host_error(permission_denied, read_denied_text);
        }
        if (fd < 0) {
            fail_with_errno(errno);
        }
        file.fd = descriptor(fd);
        if (::fstat(fd, &file.st) != 0) {
            fail_with_errno(errno);
        }
        if (!S_ISREG(file.st.st_mode)) {
            fail(path_file_access_error);
        }
        if (const int err = take_lock(fd, lock); err != 0) {
            fail(err == EWOULDBLOCK ? permission_denied : error_number_for(err));
        }
        struct stat on_disk {};
        if (::stat(name.c_str(), &on_disk) == 0 && same_file(file.st, on_disk)) {
            if (::fstat(fd, &file.st) != 0) {
                fail_with_errno(errno);
            }
            return file;
        }
    }
    fail(permission_denied);
}

// The path a rewrite replaces: the file a symbolic link points to rather than the link.
std::string rewrite_target(const std::string& name) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return name;
    }
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (resolved == nullptr) {
        fail_with_errno(errno);
    }
    std::string target = resolved;
    std::free(resolved);
    return target;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename of a rewrite last through a power loss; a failure here changes nothing
// the program could act on.
void sync_folder(const std::string& path) {
    const descriptor folder(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
}

// The name a rewrite of path gives its new content until it replaces the file, with six
// characters of mkostemp's in place of the X.
std::string temp_pattern(const std::string& path) {
    const std::size_t base = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    return path.substr(0, base) + "." + path.substr(base) + ".XXXXXX";
}

// Removes what rewrites of path left behind when they were interrupted (killed, or the
// machine stopped) before they could replace the file. Called under the file's exclusive
// lock: every copy of the program takes it before it makes a new content file and keeps it
// until that file is renamed, so any such file there now is a leftover.
void clear_leftovers(const std::string& path) {
    const std::string pattern = temp_pattern(path);
    const std::size_t base = pattern.rfind('/') == std::string::npos ? 0 : pattern.rfind('/') + 1;
    const std::string prefix = pattern.substr(base, pattern.size() - 6 - base);
    DIR* folder = ::opendir(folder_of(path).c_str());
    if (folder == nullptr) {
        return;
    }
    const int folder_fd = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        bool generated = true;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            generated =
                generated && ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'));
        }
        struct stat st {};
        if (generated && ::fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode)) {
            ::unlinkat(folder_fd, name.c_str(), 0);  // a failure keeps it for a later write
        }
    }
    ::closedir(folder);
}

// Writes all of data at offset (or at the end for an appending descriptor, offset -1);
// 0 or the error that stopped it.
int write_all(int fd, const std::string& data, off_t offset = -1) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = offset < 0 ? ::write(fd, data.data() + done, data.size() - done)
                                     : ::pwrite(fd, data.data() + done, data.size() - done,
                                                offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
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

class posix_text_stream final : public text_stream {
  public:
    // A reading or appending stream on a locked file.
    posix_text_stream(iomode mode, descriptor file) : mode_(mode), file_(std::move(file)) {}

    // A rewriting stream: the locked old file, and where the new content goes: a new file
    // beside it (temp_name given), or, in a folder the program may not write to, the old
    // file itself, through a descriptor open for writing.
    posix_text_stream(descriptor file, std::string target, descriptor out, std::string temp_name)
        : mode_(for_writing),
          file_(std::move(file)),
          target_(std::move(target)),
          out_(std::move(out)),
          temp_name_(std::move(temp_name)) {}

    posix_text_stream(const posix_text_stream&) = delete;
    posix_text_stream& operator=(const posix_text_stream&) = delete;

    // Dropping a stream closes it. A stream dropped while a failure is on its way keeps the
    // old file: its new content is most likely incomplete.
    ~posix_text_stream() override {
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

    // The first line written begins with a line break.
    void start_on_new_line() { pending_line_break_ = true; }

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

    // After a failed write, close only releases the file (the failure has been reported).
    void close() override {
        if (closed_) {
            return;
        }
        closed_ = true;
        if (mode_ == for_writing) {
            replace_file();
        } else if (mode_ == for_appending) {
            append_all();
        } else {
            file_.reset();
        }
    }

  private:
    // Marks the stream failed when a write, or any operation of a rewrite, throws: a stream
    // whose program met a failure half way must not change the file.
    class failure_guard {
      public:
        failure_guard(posix_text_stream& stream, bool writing)
            : stream_(stream), applies_(writing || stream.mode_ == for_writing) {}
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
        posix_text_stream& stream_;
        bool applies_;
        int uncaught_ = std::uncaught_exceptions();
    };

    // Once a write has failed the stream writes nothing more, and close changes nothing.
    template <class adding>
    void add_line(adding&& add) {
        if (closed_ || mode_ == for_reading) {
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

    void append_line(const std::string& bytes) {
        if (pending_line_break_) {
            pending_ += "\r\n";
            pending_line_break_ = false;
        }
        pending_ += bytes;
        pending_ += "\r\n";
    }

    // The file as it stands on disk, read once under the stream's lock.
    void load() {
        if (closed_ || mode_ == for_appending) {
            fail(bad_file_mode);
        }
        if (!loaded_) {
            data_ = read_all(file_.get());
            loaded_ = true;
        }
    }

    // Adds every line written, in one write at the end of the file. Whatever part of it a
    // failure lets through (a full disk half way) is cut off again.
    void append_all() {
        struct stat before {};
        int err = failed_ ? 0 : (::fstat(file_.get(), &before) != 0 ? errno : 0);
        if (!failed_ && err == 0 && !pending_.empty()) {
            err = write_all(file_.get(), pending_);
            if (err == 0 && ::fsync(file_.get()) != 0) {
                err = errno;
            }
            if (err != 0 && ::ftruncate(file_.get(), before.st_size) == 0) {
                ::fsync(file_.get());
            }
        }
        file_.reset();  // after a flushed write a failing close loses nothing
        if (err != 0) {
            fail_with_errno(err);
        }
    }

    // Puts the new content in the old file's place.
    void replace_file() {
        if (failed_) {
            discard_new_content();
            return;
        }
        if (temp_name_.empty()) {
            rewrite_in_place();
            return;
        }
        // Flushed to disk, with the old file's permission bits and owner, renamed over it
        // while the lock is still held.
        int err = write_all(out_.get(), pending_);
        if (err == 0 && ::fsync(out_.get()) != 0) {
            err = errno;
        }
        struct stat old {};
        if (err == 0 && ::fstat(file_.get(), &old) == 0) {
            // Giving the file away takes the superuser; otherwise the group alone may do.
            if (::fchown(out_.get(), old.st_uid, old.st_gid) != 0 &&
                ::fchown(out_.get(), static_cast<uid_t>(-1), old.st_gid) != 0) {
                // The new file stays the writer's own.
            }
            if (::fchmod(out_.get(), old.st_mode & 07777) != 0) {
                err = errno;
            }
        }
        if (err == 0 && ::rename(temp_name_.c_str(), target_.c_str()) != 0) {
            err = errno;
            // A folder open to all with the sticky bit lets the program make files but not
            // replace another user's: the content goes into the file itself.
            if (err == EPERM || err == EACCES) {
                descriptor in_place(::open(target_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
                if (in_place.get() >= 0) {
                    out_.reset();
                    ::unlink(temp_name_.c_str());
                    temp_name_.clear();
                    out_ = std::move(in_place);
                    rewrite_in_place();
                    return;
                }
            }
        }
        if (err != 0) {
            discard_new_content();
            fail_with_errno(err);
        }
        temp_name_.clear();
        out_.reset();
        sync_folder(target_);
        file_.reset();
    }

    // A folder the program may not write to holds no new file: the new content, complete
    // and checked, is written over the old one in the file itself. The room is taken first,
    // so a full disk stops it before any byte changed; a failure after that puts the old
    // content back as far as the disk lets it.
    void rewrite_in_place() {
        if (!loaded_) {
            data_ = read_all(file_.get());
            loaded_ = true;
        }
        const off_t new_size = static_cast<off_t>(pending_.size());
        int err = 0;
        if (new_size > static_cast<off_t>(data_.size())) {
            err = ::posix_fallocate(out_.get(), 0, new_size);
            if (err == EOPNOTSUPP || err == EINVAL) {
                err = 0;  // a file system without it: the write finds out
            }
        }
        bool touched = false;
        if (err == 0) {
            touched = true;
            err = write_all(out_.get(), pending_, 0);
        }
        if (err == 0 && ::ftruncate(out_.get(), new_size) != 0) {
            err = errno;
        }
        if (err == 0 && ::fsync(out_.get()) != 0) {
            err = errno;
        }
        // Putting the old content back is all that can be done after a failure; the failure
        // reported is the first one, whatever the restoring calls answer.
        bool restored = false;
        if (err != 0 && touched) {
            restored = write_all(out_.get(), data_, 0) == 0 &&
                       ::ftruncate(out_.get(), static_cast<off_t>(data_.size())) == 0 &&
                       ::fsync(out_.get()) == 0;
        } else if (err != 0) {
            restored =
                ::ftruncate(out_.get(), static_cast<off_t>(data_.size())) == 0;  // the room taken
        }
        static_cast<void>(restored);
        out_.reset();
        file_.reset();
        if (err != 0) {
            fail_with_errno(err);
        }
    }

    void discard_new_content() noexcept {
        out_.reset();
        if (!temp_name_.empty()) {
            ::unlink(temp_name_.c_str());
            temp_name_.clear();
        }
        file_.reset();
    }

    iomode mode_;
    descriptor file_;        // the file under its name, holding the stream's lock
    std::string target_;     // rewriting: the path the new content goes to
    descriptor out_;         // rewriting: the new content's file, or the old file to write
    std::string temp_name_;  // rewriting: the new content's name until it replaces the file
    std::string data_;       // reading: the file's bytes
    std::size_t next_ = 0;   // reading: where the next line starts
    std::string pending_;    // writing: the bytes close puts in the file
    bool loaded_ = false;
    bool closed_ = false;
    bool pending_line_break_ = false;
    bool failed_ = false;
    int failure_ = 0;  // the number a failed stream answers further writes with
    int uncaught_at_open_ = std::uncaught_exceptions();
};

// A new file beside the target, for the new content of a rewrite; no descriptor when the
// folder does not let the program make one.
std::pair<descriptor, std::string> create_temp_beside(const std::string& target) {
    const std::string name = temp_pattern(target);
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        return {};
    }
    if (fd < 0) {
        fail(errno == EEXIST ? path_file_access_error : error_number_for(errno));
    }
    return {descriptor(fd), std::string(pattern.data())};
}

// Whether a non-empty file's last byte ends a line (CR or LF). When it cannot be read, the
// file is taken as it is.
bool ends_with_line_break(const std::string& name, const struct stat& st) {
    descriptor reader(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    char last = '\n';
    if (reader.get() >= 0 && ::pread(reader.get(), &last, 1, st.st_size - 1) != 1) {
        last = '\n';
    }
    return last == '\n' || last == '\r';
}

class posix_file_system final : public file_system {
  public:
    bool file_exists(const std::string& name) override {
        struct stat st {};
        return !name.empty() && name.find('\0') == std::string::npos &&
               ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    std::unique_ptr<text_stream> open_text_file(const std::string& name, iomode mode,
                                                bool create) override {
        check_name(name);
        switch (mode) {
            case for_reading: {
                locked_file file = open_locked(name, O_RDONLY, create, LOCK_SH);
                return std::make_unique<posix_text_stream>(for_reading, std::move(file.fd));
            }
            case for_appending: {
                locked_file file = open_locked(name, O_WRONLY | O_APPEND, create, LOCK_EX);
                if (!file.created && read_only(file.st)) {
                    fail(permission_denied);
                }
                clear_leftovers(rewrite_target(name));
                auto stream =
                    std::make_unique<posix_text_stream>(for_appending, std::move(file.fd));
                // A hand-edited file whose last line has no line end: the first new line
                // must not be glued onto it.
                if (!file.created && file.st.st_size > 0 && !ends_with_line_break(name, file.st)) {
                    stream->start_on_new_line();
                }
                return stream;
            }
            case for_writing:
                return open_rewrite(name, create);
        }
        fail(bad_file_mode);
    }

    void delete_file(const std::string& name) override {
        check_name(name);
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) {
            fail_with_errno(errno);
        }
        if (S_ISDIR(st.st_mode)) {
            fail(path_file_access_error);
        }
        descriptor held;  // keeps the lock until the name is gone
        if (S_ISREG(st.st_mode)) {
            if (read_only(st)) {
                fail(permission_denied);
            }
            // A file a stream holds open cannot be deleted.
            held = descriptor(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
            if (held.get() >= 0 && take_lock(held.get(), LOCK_EX) != 0) {
                fail(permission_denied);
            }
        }
        if (::unlink(name.c_str()) != 0) {
            fail_with_errno(errno);
        }
    }

    bool can_store(const std::string& text) override { return representable_in_cp932(text); }
    std::string text_of(const std::string& line_bytes) override { return from_cp932(line_bytes); }
    std::string bytes_of(const std::string& text) override { return to_cp932(text); }

  private:
    // The old file stays locked, and readable through the stream, until close puts the new
    // content in its place.
    static std::unique_ptr<text_stream> open_rewrite(const std::string& name, bool create) {
        locked_file file = open_locked(name, O_RDONLY, create, LOCK_EX);
        if (!file.created) {
            if (read_only(file.st)) {
                fail(permission_denied);
            }
            // Replacing the file needs only the folder's permission; the file's own decides.
            if (::access(name.c_str(), W_OK) != 0) {
                fail_with_errno(errno);
            }
        }
        std::string target = rewrite_target(name);
        clear_leftovers(target);
        auto [out, temp_name] = create_temp_beside(target);
        if (out.get() < 0) {
            // Read and write: where the file system cannot reserve room, the C library tries by
            // reading and writing single bytes.
            out = descriptor(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
            if (out.get() < 0) {
                fail_with_errno(errno);
            }
        }
        return std::make_unique<posix_text_stream>(std::move(file.fd), std::move(target),
                                                   std::move(out), std::move(temp_name));
    }
};

}  // namespace

std::unique_ptr<file_system> create_file_system() {
    for (const auto& [to, from] : {std::pair{"CP932", "UTF-8"}, std::pair{"UTF-8", "CP932"}}) {
        const iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) {
            fail(cannot_create_component);
        }
        iconv_close(cd);
    }
    return std::make_unique<posix_file_system>();
}

}  // namespace norvane::host
