// The file component's port on Linux: files reached through their folder's descriptor
// (openat, fstatat, renameat, unlinkat), advisory locks (flock) taken without waiting, and a
// replacement that keeps the old file's owner and permission bits.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/file_port.h"
#include "host/host.h"
#include "host/large_buffer.h"
#include "host/platform.h"

namespace norvane::host {
namespace {

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
    throw host_error(error_number_for(err));
}

class posix_file final : public port_file {
  public:
    explicit posix_file(int fd) : fd_(fd) {}
    ~posix_file() override { ::close(fd_); }
    posix_file(const posix_file&) = delete;
    posix_file& operator=(const posix_file&) = delete;

    int fd() const { return fd_; }

    struct stat status() {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            fail_with_errno(errno);
        }
        return st;
    }

    file_facts facts() override {
        const struct stat st = status();
        // No write permission bit at all: read-only for every user, the superuser included, as
        // the read-only attribute is on Windows.
        file_facts facts;
        facts.regular = S_ISREG(st.st_mode);
        facts.read_only = (st.st_mode & 0222) == 0;
        facts.size = std::uint64_t(st.st_size);
        facts.links = std::uint32_t(st.st_nlink);
        facts.device = std::uint64_t(st.st_dev);
        facts.index = std::uint64_t(st.st_ino);
        // The status change time: every write moves it, and no program can set it back.
        facts.modified = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        return facts;
    }

    std::string read_at(std::uint64_t offset, std::size_t size) override {
        std::string data;
        reserve_large(data, size);  // the whole file, as a rule
        data.resize(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd_, data.data() + done, size - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                fail_with_errno(errno);
            }
            if (n == 0) {
                break;
            }
            done += std::size_t(n);
        }
        data.resize(done);
        return data;
    }

    void write_at(std::uint64_t offset, const std::string& bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(fd_, bytes.data() + done, bytes.size() - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                fail_with_errno(n < 0 ? errno : EIO);
            }
            done += std::size_t(n);
        }
    }

    void truncate(std::uint64_t size) override {
        if (::ftruncate(fd_, off_t(size)) != 0) {
            fail_with_errno(errno);
        }
    }

    // A file system without it lets the write find out.
    void grow(std::uint64_t size) override {
        const int err = ::posix_fallocate(fd_, 0, off_t(size));
        if (err != 0 && err != EOPNOTSUPP && err != EINVAL) {
            fail_with_errno(err);
        }
    }

    void flush() override {
        if (::fsync(fd_) != 0) {
            fail_with_errno(errno);
        }
    }

    std::intptr_t descriptor() const override { return fd_; }

    // A file made with mode 0600 is no one else's to write, and what runs is read through this
    // descriptor, whatever the name leads to meanwhile: there is nothing more to hold.
    bool keep_for_reading() override { return true; }

  private:
    int fd_;
};

posix_file& own(port_file& file) {
    return static_cast<posix_file&>(file);
}

class posix_folder final : public port_folder {
  public:
    explicit posix_folder(int fd) : fd_(fd) {}
    ~posix_folder() override { ::close(fd_); }
    posix_folder(const posix_folder&) = delete;
    posix_folder& operator=(const posix_folder&) = delete;

    bool open_to_others() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            return true;
        }
        return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
               (st.st_uid != ::geteuid() && st.st_uid != 0);
    }

    bool holds_file(const std::string& name) override {
        struct stat st {};
        return ::fstatat(fd_, name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode);
    }

    // Non-blocking, so that a FIFO under the name does not hang the open.
    opened_file open(const std::string& name, file_lock lock, bool writing, bool create,
                     bool follow_link) override {
        const int flags =
            (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | (follow_link ? 0 : O_NOFOLLOW);
        opened_file opened;
        int fd = ::openat(fd_, name.c_str(), flags);
        if (fd < 0 && (errno == ELOOP || errno == EISDIR) && !follow_link) {
            opened.not_plain_file = true;
            return opened;
        }
        if (fd < 0 && errno == ENOENT && create) {
            fd = ::openat(fd_, name.c_str(), flags | O_CREAT | O_EXCL, 0666);
            if (fd < 0 && errno == EEXIST) {
                return opened;  // made by someone else meanwhile: try again
            }
            opened.created = fd >= 0;
        }
        if (fd < 0) {
            fail_with_errno(errno);
        }
        auto file = std::make_unique<posix_file>(fd);
        int taken = -1;
        do {
            taken = ::flock(fd, (lock == file_lock::shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
        } while (taken != 0 && errno == EINTR);
        if (taken != 0 && errno != EWOULDBLOCK) {
            fail_with_errno(errno);
        }
        if (taken == 0) {
            opened.file = std::move(file);
        }
        return opened;
    }

    bool still_names(const std::string& name, port_file& file, bool follow_link) override {
        struct stat on_disk {};
        const struct stat opened = own(file).status();
        return ::fstatat(fd_, name.c_str(), &on_disk, follow_link ? 0 : AT_SYMLINK_NOFOLLOW) == 0 &&
               on_disk.st_dev == opened.st_dev && on_disk.st_ino == opened.st_ino;
    }

    int fd() const { return fd_; }

    std::unique_ptr<port_file> create_new(const std::string& name, bool& taken) override {
        const int fd =
            ::openat(fd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        taken = fd < 0 && errno == EEXIST;
        if (fd < 0 && (taken || errno == EACCES)) {
            return nullptr;
        }
        if (fd < 0) {
            fail_with_errno(errno);
        }
        return std::make_unique<posix_file>(fd);
    }

    // Giving the file away takes the superuser; otherwise the group alone may do, and failing
    // that the new file stays the writer's own.
    bool replace(const std::string& from, const std::string& to, port_file& old,
                 port_file& replacement) override {
        const struct stat st = own(old).status();
        const int fd = own(replacement).fd();
        if (::fchown(fd, st.st_uid, st.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            // The new file stays the writer's own.
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0) {
            fail_with_errno(errno);
        }
        if (::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0) {
            return true;
        }
        if (errno == EPERM || errno == EACCES) {
            return false;
        }
        fail_with_errno(errno);
    }

    void remove(const std::string& name, std::unique_ptr<port_file>) override {
        if (::unlinkat(fd_, name.c_str(), 0) != 0) {
            fail_with_errno(errno);
        }
    }

    std::vector<std::string> names() override {
        std::vector<std::string> found;
        const int copy = ::dup(fd_);
        DIR* folder = copy >= 0 ? ::fdopendir(copy) : nullptr;
        if (folder == nullptr) {
            if (copy >= 0) {
                ::close(copy);
            }
            return found;
        }
        ::rewinddir(folder);
        while (const dirent* entry = ::readdir(folder)) {
            found.emplace_back(entry->d_name);
        }
        ::closedir(folder);
        return found;
    }

    // A failure here changes nothing the program could act on.
    void sync() override { ::fsync(fd_); }

  private:
    int fd_;
};

class posix_port final : public file_port {
  public:
    std::uint64_t milliseconds() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void pause() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

    // A rewrite of a symbolic link replaces the file it points to, beside that file; a delete
    // removes the link itself. The link is read through the folder that holds it, and its
    // target's folder opened from there, so each step acts on what the step before opened. In
    // a folder open to others the link is not followed here: a change there refuses it.
    std::unique_ptr<port_folder> open_folder(const std::string& name, std::string& leaf,
                                             bool follow_link) override {
        auto folder = open_folder_at(AT_FDCWD, name, leaf);
        for (int depth = 0; folder && follow_link && depth < 16; ++depth) {
            std::string target;
            if (folder->open_to_others() || !read_link(folder->fd(), leaf, target)) {
                break;
            }
            folder = open_folder_at(folder->fd(), target, leaf);
        }
        return folder;
    }

  private:
    // The folder part of path opened relative to the folder at, and the last part as leaf.
    static std::unique_ptr<posix_folder> open_folder_at(int at, const std::string& path,
                                                        std::string& leaf) {
        const std::size_t slash = path.rfind('/');
        leaf = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::string folder =
            slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        const int fd = ::openat(at, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
            return nullptr;
        }
        if (fd < 0) {
            fail_with_errno(errno);
        }
        auto opened = std::make_unique<posix_folder>(fd);
        if (leaf.empty() || leaf == "." || leaf == "..") {
            throw host_error(path_file_access_error);
        }
        return opened;
    }

    // The text of the symbolic link name in the folder fd; false when it is none.
    static bool read_link(int fd, const std::string& name, std::string& target) {
        std::string buffer(PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(fd, name.c_str(), buffer.data(), buffer.size());
        if (n <= 0 || std::size_t(n) >= buffer.size()) {
            return false;
        }
        target.assign(buffer.data(), std::size_t(n));
        return true;
    }
};

}  // namespace

std::unique_ptr<file_system> create_file_system() {
    for (const auto& [to, from] : {std::pair{"CP932", "UTF-8"}, std::pair{"UTF-8", "CP932"}}) {
        const iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) {
            throw host_error(cannot_create_component);
        }
        iconv_close(cd);
    }
    return make_file_system(std::make_unique<posix_port>());
}

}  // namespace norvane::host
