#include "host/posix/change_log_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "host/host.h"
#include "host/platform.h"

namespace norvane::host {

namespace {

// A descriptor closed when it goes.
class descriptor {
  public:
    explicit descriptor(int fd = -1) : fd_(fd) {}
    ~descriptor() { reset(); }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

[[noreturn]] void fail(int number = path_file_access_error) {
    throw host_error(number);
}

// Makes each missing folder of an absolute path with mode 0700.
void make_folders(const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            fail(errno == EACCES || errno == EROFS ? permission_denied : path_file_access_error);
        }
        if (end == std::string::npos) {
            return;
        }
    }
}

class change_log_posix : public change_log {
  public:
    change_log_posix(std::string folder, std::uint64_t limit)
        : folder_(std::move(folder)), limit_(limit) {}

    std::string local_time() override {
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        char text[64];
        if (::localtime_r(&now, &parts) == nullptr ||
            std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &parts) == 0) {
            return "";
        }
        return text;
    }

    std::string location() override {
        return folder_.empty() ? "" : folder_ + "/" + change_log_file_name;
    }

    void append(const std::string& record) override {
        if (folder_.empty() || folder_.front() != '/') {
            fail();
        }
        make_folders(folder_);
        // The folder must be the user's own and closed to others, or another user could put
        // a link or another file in the log's place.
        const descriptor folder(
            ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat folder_status {};
        if (folder.get() < 0 || ::fstat(folder.get(), &folder_status) != 0) {
            fail();
        }
        if (folder_status.st_uid != ::geteuid() || (folder_status.st_mode & 022) != 0) {
            fail(permission_denied);
        }
        // Another copy may move the log aside between the open and the lock: then the lock is
        // on the older log, and the new one is opened again.
        for (int round = 0; round < 4; ++round) {
            const descriptor log(::openat(folder.get(), change_log_file_name,
                                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                                          0600));
            if (log.get() < 0) {
                fail(errno == EACCES ? permission_denied : path_file_access_error);
            }
            lock(log.get());
            struct stat opened {};
            struct stat named {};
            if (::fstat(log.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
                opened.st_uid != ::geteuid()) {
                fail(permission_denied);
            }
            if (::fstatat(folder.get(), change_log_file_name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
                named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
                continue;
            }
            const auto size = static_cast<std::uint64_t>(opened.st_size);
            if (size > 0 && size + record.size() > limit_) {
                if (::renameat(folder.get(), change_log_file_name, folder.get(),
                               older_change_log_file_name) != 0) {
                    fail();
                }
                continue;
            }
            write_all(log.get(), record, opened.st_size);
            return;
        }
        fail();
    }

  private:
    // The log's lock, waited for about a second: another copy writes one record at a time.
    static void lock(int fd) {
        for (int tries = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; ++tries) {
            if (errno != EWOULDBLOCK || tries >= 50) {
                fail(permission_denied);
            }
            ::usleep(20000);
        }
    }

    // The whole record or none of it: a failed write cuts the log back to its old end.
    static void write_all(int fd, const std::string& record, off_t old_size) {
        std::size_t done = 0;
        while (done < record.size()) {
            const ssize_t written = ::write(fd, record.data() + done, record.size() - done);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                const int number = errno == ENOSPC ? disk_full : path_file_access_error;
                [[maybe_unused]] const int cut = ::ftruncate(fd, old_size);
                fail(number);
            }
            done += static_cast<std::size_t>(written);
        }
    }

    std::string folder_;
    std::uint64_t limit_;
};

}  // namespace

std::string change_log_folder(const char* xdg_state_home, const char* home) {
    if (xdg_state_home != nullptr && xdg_state_home[0] == '/') {
        return std::string(xdg_state_home) + "/norvane";
    }
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/norvane";
    }
    return "";
}

std::unique_ptr<change_log> create_change_log_in(const std::string& folder, std::uint64_t limit) {
    return std::make_unique<change_log_posix>(folder, limit);
}

std::unique_ptr<change_log> create_change_log() {
    return create_change_log_in(
        change_log_folder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME")));
}

}  // namespace norvane::host
