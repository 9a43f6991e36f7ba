// The file component's port on Windows: share modes stand for the locks (readers share with
// readers, a writer with no one; a file in use fails at once and is tried again), a rewrite's
// new content replaces the old file through ReplaceFileW, found at run time because Windows
// NT 4.0 lacks it, else MoveFileExW; command scripts are written in the console code page,
// the one the command interpreter reads them in, and held sharing reading alone while they run.
#include "host/win32/file_port_win32.h"
#include "host/win32/system_library.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "host/file_port.h"
#include "host/host.h"
#include "host/platform.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

// The program's error number for a failed Windows call.
int error_number_for(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return file_not_found;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return permission_denied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return disk_full;
        default:
            return path_file_access_error;
    }
}

[[noreturn]] void fail_with(DWORD error) {
    throw host_error(error_number_for(error));
}

bool is_folder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class win32_file final : public port_file {
  public:
    // path: the file's full name, by which a made file is opened again for reading alone.
    win32_file(HANDLE h, std::wstring path) : h_(h), path_(std::move(path)) {}
    ~win32_file() override { close(); }
    win32_file(const win32_file&) = delete;
    win32_file& operator=(const win32_file&) = delete;

    void close() {
        if (h_ != INVALID_HANDLE_VALUE) {
            CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE));
        }
    }

    // The read-only attribute refuses every change, as it does on Windows itself; the file
    // component checks it because a process running as root under Wine writes all the same.
    // The name leads to this file while it is held (no FILE_SHARE_DELETE), and no folder is
    // opened as a file.
    file_facts facts() override {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(h_, &info)) {
            fail_with(GetLastError());
        }
        file_facts facts;
        facts.read_only = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        facts.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        facts.links = info.nNumberOfLinks;
        facts.device = info.dwVolumeSerialNumber;
        facts.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        facts.modified = std::int64_t((std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                      info.ftLastWriteTime.dwLowDateTime);
        return facts;
    }

    std::string read_at(std::uint64_t offset, std::size_t size) override {
        seek(offset);
        std::string data(size, '\0');
        std::size_t done = 0;
        while (done < size) {
            DWORD n = 0;
            const DWORD chunk = DWORD(std::min<std::size_t>(size - done, 1u << 20));
            if (!ReadFile(h_, data.data() + done, chunk, &n, nullptr)) {
                fail_with(GetLastError());
            }
            if (n == 0) {
                break;
            }
            done += n;
        }
        data.resize(done);
        return data;
    }

    void write_at(std::uint64_t offset, const std::string& bytes) override {
        seek(offset);
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD n = 0;
            const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            if (!WriteFile(h_, bytes.data() + done, chunk, &n, nullptr)) {
                fail_with(GetLastError());
            }
            if (n == 0) {
                fail_with(ERROR_WRITE_FAULT);
            }
            done += n;
        }
    }

    void truncate(std::uint64_t size) override {
        seek(size);
        if (!SetEndOfFile(h_)) {
            fail_with(GetLastError());
        }
    }

    // Setting the end of the file takes its room on disk.
    void grow(std::uint64_t size) override { truncate(size); }

    void flush() override {
        if (!FlushFileBuffers(h_)) {
            fail_with(GetLastError());
        }
    }

    // The command interpreter opens a script by its name.
    std::intptr_t descriptor() const override { return -1; }

    // The writing handle shares nothing; the interpreter's open for reading needs a handle
    // that lets others read, and one that does not let others write (the interpreter asks
    // for no write sharing). So the file is noted (volume and file index), let go, and opened
    // again for reading with FILE_SHARE_READ alone: from then on no one may write, rename or
    // delete it until it is let go. The file opened again must be the one that was made.
    bool keep_for_reading() override {
        BY_HANDLE_FILE_INFORMATION made;
        if (!GetFileInformationByHandle(h_, &made)) {
            return false;
        }
        close();
        h_ = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
        BY_HANDLE_FILE_INFORMATION held;
        return h_ != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h_, &held) &&
               held.dwVolumeSerialNumber == made.dwVolumeSerialNumber &&
               held.nFileIndexHigh == made.nFileIndexHigh &&
               held.nFileIndexLow == made.nFileIndexLow;
    }

  private:
    void seek(std::uint64_t offset) {
        LONG high = LONG(offset >> 32);
        if (SetFilePointer(h_, LONG(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR) {
            fail_with(GetLastError());
        }
    }

    HANDLE h_;
    std::wstring path_;
};

class win32_folder final : public port_folder {
  public:
    // prefix: the folder's full name with its separator.
    win32_folder(std::wstring prefix, replace_file_call replace_file)
        : prefix_(std::move(prefix)), replace_file_(replace_file) {}

    // Who else may change the folder lies in its access control list, which the program does
    // not read: every folder counts as open to others, so that a file of several names (NTFS
    // hard links) or a reparse point under the name is never changed.
    bool open_to_others() override { return true; }

    bool holds_file(const std::string& name) override {
        const DWORD attributes = GetFileAttributesW(path(name).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !is_folder(attributes);
    }

    opened_file open(const std::string& name, file_lock lock, bool writing, bool create,
                     bool follow_link) override {
        const std::wstring full = path(name);
        const DWORD attributes = GetFileAttributesW(full.c_str());
        opened_file opened;
        if (!follow_link && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            opened.not_plain_file = true;  // a symbolic link or a junction
            return opened;
        }
        if (is_folder(attributes)) {
            throw host_error(path_file_access_error);
        }
        const HANDLE h =
            CreateFileW(full.c_str(), GENERIC_READ | (writing ? GENERIC_WRITE : 0),
                        lock == file_lock::shared ? FILE_SHARE_READ : 0, nullptr,
                        create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (h == INVALID_HANDLE_VALUE) {
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
                return opened;  // held by another stream
            }
            // A name in a folder that does not exist cannot be made there.
            throw host_error(create && error == ERROR_PATH_NOT_FOUND ? path_file_access_error
                                                                     : error_number_for(error));
        }
        opened.file = std::make_unique<win32_file>(h, full);
        opened.created = create && error != ERROR_ALREADY_EXISTS;
        return opened;
    }

    // A file held open without FILE_SHARE_DELETE can be neither renamed nor removed.
    bool still_names(const std::string&, port_file&, bool) override { return true; }

    std::unique_ptr<port_file> create_new(const std::string& name, bool& taken) override {
        const std::wstring full = path(name);
        const HANDLE h = CreateFileW(full.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        taken = h == INVALID_HANDLE_VALUE &&
                (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
        if (h == INVALID_HANDLE_VALUE && (taken || error == ERROR_ACCESS_DENIED)) {
            return nullptr;
        }
        if (h == INVALID_HANDLE_VALUE) {
            // A name in a folder that does not exist cannot be made there.
            throw host_error(error == ERROR_PATH_NOT_FOUND ? path_file_access_error
                                                           : error_number_for(error));
        }
        return std::make_unique<win32_file>(h, full);
    }

    // Both files are let go first: ReplaceFileW and MoveFileExW open them themselves, and the
    // old one is held without FILE_SHARE_DELETE (see docs/architecture.md).
    bool replace(const std::string& from, const std::string& to, port_file& old,
                 port_file& replacement) override {
        static_cast<win32_file&>(replacement).close();
        static_cast<win32_file&>(old).close();
        const std::wstring source = path(from);
        const std::wstring target = path(to);
        if ((replace_file_ == nullptr ||
             !replace_file_(target.c_str(), source.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) &&
            !MoveFileExW(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            fail_with(GetLastError());
        }
        return true;
    }

    void remove(const std::string& name, std::unique_ptr<port_file> held) override {
        held.reset();  // a file held open without FILE_SHARE_DELETE cannot be deleted
        if (!DeleteFileW(path(name).c_str())) {
            fail_with(GetLastError());
        }
    }

    std::vector<std::string> names() override {
        std::vector<std::string> found;
        WIN32_FIND_DATAW entry;
        const HANDLE search = FindFirstFileW((prefix_ + L"*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) {
            return found;
        }
        do {
            found.push_back(win32::narrow(entry.cFileName));
        } while (FindNextFileW(search, &entry));
        FindClose(search);
        return found;
    }

    // MOVEFILE_WRITE_THROUGH, and ReplaceFileW itself, have the folder written.
    void sync() override {}

  private:
    std::wstring path(const std::string& name) const { return prefix_ + win32::widen(name); }

    std::wstring prefix_;
    replace_file_call replace_file_;
};

class win32_port final : public file_port {
  public:
    explicit win32_port(replace_file_call replace_file) : replace_file_(replace_file) {}

    // The folder is taken by its full name once, here: a file in the current folder is reached
    // by the same folder after the current one changed, and ReplaceFileW, which puts the old
    // file aside in its folder, is given a folder it can name (Wine's cannot do without).
    std::unique_ptr<port_folder> open_folder(const std::string& name, std::string& leaf,
                                             bool) override {
        const std::size_t separator = name.find_last_of("\\/");
        leaf = separator == std::string::npos ? name : name.substr(separator + 1);
        if (leaf.empty()) {
            throw host_error(path_file_access_error);
        }
        const std::wstring folder =
            win32::widen(separator == std::string::npos ? "." : name.substr(0, separator + 1));
        std::wstring full(MAX_PATH + 1, L'\0');
        const DWORD length =
            GetFullPathNameW(folder.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (length == 0 || length >= full.size()) {
            throw host_error(path_file_access_error);
        }
        full.resize(length);
        if (full.back() != L'\\' && full.back() != L'/') {
            full += L'\\';
        }
        return std::make_unique<win32_folder>(full, replace_file_);
    }

    // GetTickCount wraps after 49 days: its steps are added up.
    std::uint64_t milliseconds() override {
        const DWORD now = GetTickCount();
        elapsed_ += DWORD(now - std::exchange(last_tick_, now));
        return elapsed_;
    }
    void pause() override { Sleep(5); }

    std::string script_bytes(const std::string& text) override {
        return win32::to_code_page(text, GetOEMCP());
    }
    bool script_can_hold(const std::string& text) override {
        return win32::representable_in_code_page(text, GetOEMCP());
    }

  private:
    replace_file_call replace_file_;
    DWORD last_tick_ = GetTickCount();
    std::uint64_t elapsed_ = 0;
};

}  // namespace

std::unique_ptr<file_system> create_file_system(replace_file_call replace_file) {
    // The code page the files are written in must be known to this system.
    if (!IsValidCodePage(932)) {
        throw host_error(cannot_create_component);
    }
    return make_file_system(std::make_unique<win32_port>(replace_file));
}

// kernel32's ReplaceFileW, looked up at run time: Windows NT 4.0 has none.
std::unique_ptr<file_system> create_file_system() {
    return create_file_system(
        win32::loaded_entry<replace_file_call>("kernel32.dll", "ReplaceFileW"));
}

}  // namespace norvane::host
