// The file component on this host: text files in code page 932 with CR LF line ends,
// advisory locks so that running copies of the program never interleave their writes, and
// rewrites that replace a file as a whole, so a rewrite that stops half way leaves the old
// file as it was.
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
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

// Writes all of data; 0 or the error that stopped it.
int write_all(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
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

// The whole content of the file from its start.
std::string read_all(int fd) {
    std::string data;
    char buffer[16384];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail_with_errno(errno);
        }
        if (n == 0) {
            return data;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

// Lines end at CR LF, LF or CR; a last line without a line end is a line too. Safe on UTF-8,
// where no byte of a longer character is an ASCII byte.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

struct locked_file {
    descriptor fd;
    struct stat st {};
    bool created = false;
};

// Opens the file and takes the lock without waiting: a lock held by another stream fails with
// 70 at once, as a file in use does on the platform the program was made for. A rewrite
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
        if (::flock(fd, lock | LOCK_NB) != 0) {
            fail(errno == EWOULDBLOCK ? permission_denied : error_number_for(errno));
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

class posix_text_stream final : public text_stream {
  public:
    // A reading or appending stream on a locked file.
    posix_text_stream(iomode mode, descriptor file) : mode_(mode), file_(std::move(file)) {}

    // A rewriting stream: the locked old file, and the new content's file beside it.
    posix_text_stream(descriptor file, std::string target, descriptor temp, std::string temp_name)
        : mode_(for_writing),
          file_(std::move(file)),
          target_(std::move(target)),
          temp_(std::move(temp)),
          temp_name_(std::move(temp_name)) {}

    posix_text_stream(const posix_text_stream&) = delete;
    posix_text_stream& operator=(const posix_text_stream&) = delete;

    // Dropping a stream closes it. A rewrite dropped while a failure is on its way keeps the
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
        return next_line_ >= lines_.size();
    }

    std::string read_line() override {
        const failure_guard guard(*this, false);
        load();
        if (next_line_ >= lines_.size()) {
            fail(input_past_end);
        }
        return std::move(lines_[next_line_++]);
    }

    // The first line written begins with a line break.
    void start_on_new_line() { pending_line_break_ = true; }

    // Once a write has failed the stream writes nothing more, and a rewrite keeps the old file.
    void write_line(const std::string& text) override {
        if (closed_ || mode_ == for_reading) {
            fail(bad_file_mode);
        }
        if (failed_) {
            fail(failure_);
        }
        const failure_guard guard(*this, true);
        try {
            const std::string bytes = (pending_line_break_ ? "\r\n" : "") + to_cp932(text) + "\r\n";
            const int err = write_all(mode_ == for_writing ? temp_.get() : file_.get(), bytes);
            if (err != 0) {
                fail_with_errno(err);
            }
            pending_line_break_ = false;
        } catch (const host_error& error) {
            failure_ = error.number();
            throw;
        }
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
            int err = ::fsync(file_.get()) != 0 ? errno : 0;
            const int close_err = file_.close_checked();
            if (err == 0) {
                err = close_err;
            }
            if (err != 0 && !failed_) {
                fail_with_errno(err);
            }
        } else {
            file_.reset();
        }
    }

  private:
    // Marks the stream failed when a write, or any operation of a rewrite, throws: a rewrite
    // whose program met a failure half way must not replace the old file.
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

    // The lines of the file as it stands on disk, read once under the stream's lock.
    void load() {
        if (closed_ || mode_ == for_appending) {
            fail(bad_file_mode);
        }
        if (!loaded_) {
            lines_ = split_lines(from_cp932(read_all(file_.get())));
            loaded_ = true;
        }
    }

    // Puts the new content in the old file's place: flushed to disk, with the old file's
    // permission bits and owner, renamed over it while the lock is still held.
    void replace_file() {
        if (failed_) {
            discard_new_content();
            return;
        }
        int err = ::fsync(temp_.get()) != 0 ? errno : 0;
        struct stat old {};
        if (err == 0 && ::fstat(file_.get(), &old) == 0) {
            // Giving the file away takes the superuser; otherwise the group alone may do.
            if (::fchown(temp_.get(), old.st_uid, old.st_gid) != 0 &&
                ::fchown(temp_.get(), static_cast<uid_t>(-1), old.st_gid) != 0) {
                // The new file stays the writer's own.
            }
            if (::fchmod(temp_.get(), old.st_mode & 07777) != 0) {
                err = errno;
            }
        }
        if (err == 0 && ::rename(temp_name_.c_str(), target_.c_str()) != 0) {
            err = errno;
        }
        if (err != 0) {
            discard_new_content();
            fail_with_errno(err);
        }
        temp_name_.clear();
        temp_.reset();
        sync_folder(target_);
        file_.reset();
    }

    void discard_new_content() noexcept {
        temp_.reset();
        if (!temp_name_.empty()) {
            ::unlink(temp_name_.c_str());
            temp_name_.clear();
        }
        file_.reset();
    }

    iomode mode_;
    descriptor file_;        // the file under its name, holding the stream's lock
    std::string target_;     // rewriting: the path the new content is renamed to
    descriptor temp_;        // rewriting: the new content
    std::string temp_name_;  // rewriting: its name until it replaces the file
    std::vector<std::string> lines_;
    std::size_t next_line_ = 0;
    bool loaded_ = false;
    bool closed_ = false;
    bool pending_line_break_ = false;
    bool failed_ = false;
    int failure_ = 0;  // the number a failed stream answers further writes with
    int uncaught_at_open_ = std::uncaught_exceptions();
};

// A new file beside the target, for the new content of a rewrite.
std::pair<descriptor, std::string> create_temp_beside(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(0, base) + "." + target.substr(base) + ".XXXXXX";
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
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
            if (held.get() >= 0 && ::flock(held.get(), LOCK_EX | LOCK_NB) != 0) {
                fail(permission_denied);
            }
        }
        if (::unlink(name.c_str()) != 0) {
            fail_with_errno(errno);
        }
    }

    bool can_store(const std::string& text) override { return representable_in_cp932(text); }

  private:
    // The old file stays locked, and readable through the stream, until close renames the
    // new content over it.
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
        auto [temp, temp_name] = create_temp_beside(target);
        return std::make_unique<posix_text_stream>(std::move(file.fd), std::move(target),
                                                   std::move(temp), std::move(temp_name));
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
