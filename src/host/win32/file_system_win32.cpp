// The file component on Windows: text files in code page 932 with CR LF line ends, share
// modes that keep other writers out the way the Linux side's locks do (a file in use fails
// with 70 at once), and rewrites that write a new file beside the old one and put it in the
// old one's place as a whole (ReplaceFile, else MoveFileEx), so a rewrite that stops half way
// leaves the old file as it was. Command scripts are written in the console code page, the
// one the command interpreter reads them in.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "host/host.h"
#include "host/platform.h"
#include "host/win32/system_library.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

[[noreturn]] void fail(int number) {
    throw host_error(number);
}

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

[[noreturn]] void fail_with_last_error() {
    fail(error_number_for(GetLastError()));
}

void check_name(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        fail(path_file_access_error);
    }
}

// The attributes of a name, or INVALID_FILE_ATTRIBUTES with the error left in GetLastError.
DWORD attributes_of(const std::wstring& name) {
    return GetFileAttributesW(name.c_str());
}

bool is_folder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The read-only attribute refuses every change, as it does on Windows itself; checked here
// because a process running as root under Wine writes to such a file all the same.
bool is_read_only(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

class handle {
  public:
    handle() = default;
    explicit handle(HANDLE h) : h_(h) {}
    ~handle() { reset(); }
    handle(handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
    handle& operator=(handle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    handle(const handle&) = delete;
    handle& operator=(const handle&) = delete;

    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    void reset() {
        if (valid()) {
            CloseHandle(h_);
        }
        h_ = INVALID_HANDLE_VALUE;
    }
    // Closes the handle; 0 or the error of the close.
    DWORD close_checked() {
        const HANDLE h = std::exchange(h_, INVALID_HANDLE_VALUE);
        if (h == INVALID_HANDLE_VALUE || h == nullptr) {
            return 0;
        }
        return CloseHandle(h) ? 0 : GetLastError();
    }

  private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Writes all of data; 0 or the error that stopped it.
DWORD write_all(HANDLE file, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
        if (!WriteFile(file, data.data() + done, chunk, &written, nullptr)) {
            return GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        done += written;
    }
    return 0;
}

// The whole content of the file from its start.
std::string read_all(HANDLE file) {
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
        fail_with_last_error();
    }
    std::string data;
    char buffer[16384];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            fail_with_last_error();
        }
        if (n == 0) {
            return data;
        }
        data.append(buffer, n);
    }
}

// Lines end at CR LF, LF or CR; a last line without a line end is a line too. Safe on code
// page 932 bytes, whose second bytes are never CR or LF.
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

// The folder part of a name, with its separator ("" for a name without one).
std::wstring folder_of(const std::wstring& name) {
    const std::size_t separator = name.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : name.substr(0, separator + 1);
}

// How the text of a stream is encoded on disk.
enum class encoding { cp932, console_code_page };

std::string encode(const std::string& text, encoding kind) {
    if (kind == encoding::console_code_page) {
        return win32::to_code_page(text, GetOEMCP());
    }
    return to_cp932(text);
}

class win32_text_stream final : public text_stream {
  public:
    // A reading or appending stream on an open file.
    win32_text_stream(iomode mode, handle file, encoding kind)
        : mode_(mode), file_(std::move(file)), encoding_(kind) {}

    // A rewriting stream: the old file, held open so that no one else can use it, and the
    // new content's file beside it.
    win32_text_stream(handle file, std::wstring target, handle temp, std::wstring temp_name)
        : mode_(for_writing),
          file_(std::move(file)),
          target_(std::move(target)),
          temp_(std::move(temp)),
          temp_name_(std::move(temp_name)) {}

    win32_text_stream(const win32_text_stream&) = delete;
    win32_text_stream& operator=(const win32_text_stream&) = delete;

    // Dropping a stream closes it. A rewrite dropped while a failure is on its way keeps the
    // old file: its new content is most likely incomplete.
    ~win32_text_stream() override {
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

    std::string read_line() override { return from_cp932(read_line_bytes()); }

    std::string read_line_bytes() override {
        const failure_guard guard(*this, false);
        load();
        if (next_line_ >= lines_.size()) {
            fail(input_past_end);
        }
        return std::move(lines_[next_line_++]);
    }

    // The first line written begins with a line break.
    void start_on_new_line() { pending_line_break_ = true; }

    void write_line(const std::string& text) override {
        std::string bytes;
        {
            const failure_guard guard(*this, true);
            bytes = encode(text, encoding_);
        }
        write_line_bytes(bytes);
    }

    // Once a write has failed the stream writes nothing more, and a rewrite keeps the old file.
    // An append's lines wait for close, which adds them all or none.
    void write_line_bytes(const std::string& line) override {
        if (closed_ || mode_ == for_reading) {
            fail(bad_file_mode);
        }
        if (failed_) {
            fail(failure_);
        }
        const failure_guard guard(*this, true);
        try {
            std::string bytes = (pending_line_break_ ? "\r\n" : "") + line;
            bytes += "\r\n";
            pending_line_break_ = false;
            if (mode_ == for_appending) {
                pending_ += bytes;
                return;
            }
            const DWORD err = write_all(temp_.get(), bytes);
            if (err != 0) {
                fail(error_number_for(err));
            }
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
            DWORD err = failed_ ? 0 : append_pending();
            if (err == 0) {
                err = FlushFileBuffers(file_.get()) ? 0 : GetLastError();
            }
            const DWORD close_err = file_.close_checked();
            if (err == 0) {
                err = close_err;
            }
            if (err != 0 && !failed_) {
                fail(error_number_for(err));
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
        failure_guard(win32_text_stream& stream, bool writing)
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
        win32_text_stream& stream_;
        bool applies_;
        int uncaught_ = std::uncaught_exceptions();
    };

    // The lines of the file as it stands on disk, undecoded, read once while the stream
    // holds it.
    void load() {
        if (closed_ || mode_ == for_appending) {
            fail(bad_file_mode);
        }
        if (!loaded_) {
            lines_ = split_lines(read_all(file_.get()));
            loaded_ = true;
        }
    }

    // Adds an append's lines at the end of the file in one write; after a failure the file is
    // cut back to its old end. 0 or the error.
    DWORD append_pending() {
        if (pending_.empty()) {
            return 0;
        }
        DWORD high = 0;
        const DWORD low = GetFileSize(file_.get(), &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            return GetLastError();
        }
        LONG end_high = static_cast<LONG>(high);
        if (SetFilePointer(file_.get(), static_cast<LONG>(low), &end_high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR) {
            return GetLastError();
        }
        const DWORD err = write_all(file_.get(), pending_);
        if (err != 0) {
            end_high = static_cast<LONG>(high);
            if (SetFilePointer(file_.get(), static_cast<LONG>(low), &end_high, FILE_BEGIN) !=
                    INVALID_SET_FILE_POINTER ||
                GetLastError() == NO_ERROR) {
                SetEndOfFile(file_.get());
            }
        }
        return err;
    }

    // Puts the new content in the old file's place, flushed to disk. The old file is let go
    // only now, and replaced at once.
    void replace_file() {
        if (failed_) {
            discard_new_content();
            return;
        }
        DWORD err = FlushFileBuffers(temp_.get()) ? 0 : GetLastError();
        if (err == 0) {
            err = temp_.close_checked();
        }
        file_.reset();
        if (err == 0 &&
            !win32::replace_file(target_.c_str(), temp_name_.c_str(), nullptr,
                                 REPLACEFILE_IGNORE_MERGE_ERRORS) &&
            !MoveFileExW(temp_name_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            err = GetLastError();
        }
        if (err != 0) {
            discard_new_content();
            fail(error_number_for(err));
        }
        temp_name_.clear();
    }

    void discard_new_content() noexcept {
        temp_.reset();
        if (!temp_name_.empty()) {
            DeleteFileW(temp_name_.c_str());
            temp_name_.clear();
        }
        file_.reset();
    }

    iomode mode_;
    handle file_;  // the file under its name, held so that no one else writes it
    encoding encoding_ = encoding::cp932;
    std::wstring target_;             // rewriting: the name the new content goes to
    handle temp_;                     // rewriting: the new content
    std::wstring temp_name_;          // rewriting: its name until it replaces the file
    std::vector<std::string> lines_;  // reading: the file's lines as bytes
    std::size_t next_line_ = 0;
    std::string pending_;  // appending: the lines waiting for close
    bool loaded_ = false;
    bool closed_ = false;
    bool pending_line_break_ = false;
    bool failed_ = false;
    int failure_ = 0;  // the number a failed stream answers further writes with
    int uncaught_at_open_ = std::uncaught_exceptions();
};

// Opens a file with the share mode that stands for the Linux side's lock: readers share with
// readers; a writer shares with no one. created tells whether the open made the file.
handle open_shared(const std::wstring& name, DWORD access, DWORD share, bool create,
                   bool& created) {
    created = false;
    const DWORD before = attributes_of(name);
    if (is_folder(before)) {
        fail(path_file_access_error);
    }
    // Another copy of the program holding the file for a moment is waited for, up to about a
    // second; after that the file is taken as locked.
    constexpr DWORD lock_wait_ms = 1000;
    constexpr DWORD poll_ms = 10;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (DWORD waited = 0;; waited += poll_ms) {
        h = CreateFileW(name.c_str(), access, share, nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
        const bool locked = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (h != INVALID_HANDLE_VALUE || !locked || waited >= lock_wait_ms) {
            break;
        }
        Sleep(poll_ms);
    }
    if (h == INVALID_HANDLE_VALUE) {
        // A file the user may not read is said to be so, not that it cannot be written.
        if (error == ERROR_ACCESS_DENIED && access == GENERIC_READ) {
            throw host_error(permission_denied, "読み込みできません。");
        }
        // A name in a folder that does not exist cannot be created there.
        fail(create && error == ERROR_PATH_NOT_FOUND ? path_file_access_error
                                                     : error_number_for(error));
    }
    created = create && error != ERROR_ALREADY_EXISTS;
    return handle(h);
}

// The files a rewrite's new content goes to: "nrv" and up to four hexadecimal digits, ".tmp",
// beside the file (GetTempFileNameW's names with the prefix "nrv").
bool is_new_content_name(const std::wstring& name) {
    if (name.size() < 8 || name.size() > 11 || name.compare(0, 3, L"nrv") != 0) {
        return false;
    }
    const std::wstring ending = name.substr(name.size() - 4);
    if (ending != L".tmp" && ending != L".TMP") {
        return false;
    }
    for (std::size_t i = 3; i + 4 < name.size(); ++i) {
        const wchar_t c = name[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f'))) {
            return false;
        }
    }
    return true;
}

// Removes the new-content files that interrupted rewrites left in a folder. One that another
// copy's rewrite still holds open cannot be deleted and stays.
void clear_leftovers(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = folder + L"nrv*.tmp";
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            is_new_content_name(found.cFileName)) {
            DeleteFileW((folder + found.cFileName).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Whether a non-empty file's last byte ends a line (CR or LF). When it cannot be read, the
// file is taken as it is.
bool ends_with_line_break(HANDLE file) {
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if ((low == 0 && high == 0) || (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)) {
        return true;
    }
    LONG back = -1;
    LONG back_high = -1;
    char last = '\n';
    DWORD n = 0;
    if (SetFilePointer(file, back, &back_high, FILE_END) != INVALID_SET_FILE_POINTER ||
        GetLastError() == NO_ERROR) {
        if (!ReadFile(file, &last, 1, &n, nullptr) || n != 1) {
            last = '\n';
        }
    }
    return last == '\n' || last == '\r';
}

class win32_file_system final : public file_system {
  public:
    bool file_exists(const std::string& name) override {
        if (name.empty() || name.find('\0') != std::string::npos) {
            return false;
        }
        const DWORD attributes = attributes_of(win32::widen(name));
        return attributes != INVALID_FILE_ATTRIBUTES && !is_folder(attributes);
    }

    std::unique_ptr<text_stream> open_text_file(const std::string& name, iomode mode,
                                                bool create) override {
        check_name(name);
        switch (mode) {
            case for_reading: {
                bool created = false;
                handle file =
                    open_shared(win32::widen(name), GENERIC_READ, FILE_SHARE_READ, create, created);
                return std::make_unique<win32_text_stream>(for_reading, std::move(file),
                                                           encoding::cp932);
            }
            case for_appending:
                return open_append(name, create, encoding::cp932);
            case for_writing:
                return open_rewrite(name, create);
        }
        fail(bad_file_mode);
    }

    std::unique_ptr<text_stream> open_command_script(const std::string& name) override {
        check_name(name);
        return open_append(name, true, encoding::console_code_page);
    }

    void delete_file(const std::string& name) override {
        check_name(name);
        const std::wstring wide = win32::widen(name);
        const DWORD attributes = attributes_of(wide);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            fail_with_last_error();
        }
        if (is_folder(attributes)) {
            fail(path_file_access_error);
        }
        if (is_read_only(attributes)) {
            fail(permission_denied);
        }
        // A file that a stream holds open fails with a sharing violation.
        if (!DeleteFileW(wide.c_str())) {
            fail_with_last_error();
        }
    }

    bool can_store(const std::string& text) override { return representable_in_cp932(text); }
    std::string text_of(const std::string& line_bytes) override { return from_cp932(line_bytes); }
    std::string bytes_of(const std::string& text) override { return to_cp932(text); }

    bool can_store_in_command_script(const std::string& text) override {
        return win32::representable_in_code_page(text, GetOEMCP());
    }

  private:
    static std::unique_ptr<text_stream> open_append(const std::string& name, bool create,
                                                    encoding kind) {
        const std::wstring wide = win32::widen(name);
        if (is_read_only(attributes_of(wide))) {
            fail(permission_denied);
        }
        bool created = false;
        handle file = open_shared(wide, GENERIC_READ | GENERIC_WRITE, 0, create, created);
        clear_leftovers(folder_of(wide));
        const bool line_break_first = !created && !ends_with_line_break(file.get());
        if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR) {
            fail_with_last_error();
        }
        auto stream = std::make_unique<win32_text_stream>(for_appending, std::move(file), kind);
        // A hand-edited file whose last line has no line end: the first new line must not be
        // glued onto it.
        if (line_break_first) {
            stream->start_on_new_line();
        }
        return stream;
    }

    // The old file stays open, shared with no one and readable through the stream, until
    // close puts the new content in its place.
    static std::unique_ptr<text_stream> open_rewrite(const std::string& name, bool create) {
        const std::wstring wide = win32::widen(name);
        if (is_read_only(attributes_of(wide))) {
            fail(permission_denied);
        }
        bool created = false;
        handle file = open_shared(wide, GENERIC_READ | GENERIC_WRITE, 0, create, created);
        std::wstring folder = folder_of(wide);
        clear_leftovers(folder);
        wchar_t temp_name[MAX_PATH + 1] = {};
        if (GetTempFileNameW(folder.empty() ? L"." : folder.c_str(), L"nrv", 0, temp_name) == 0) {
            fail_with_last_error();
        }
        HANDLE temp = CreateFileW(temp_name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (temp == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            DeleteFileW(temp_name);
            fail(error_number_for(error));
        }
        return std::make_unique<win32_text_stream>(std::move(file), wide, handle(temp),
                                                   std::wstring(temp_name));
    }
};

}  // namespace

std::unique_ptr<file_system> create_file_system() {
    // The code page the files are written in must be known to this system.
    if (!IsValidCodePage(932)) {
        fail(cannot_create_component);
    }
    return std::make_unique<win32_file_system>();
}

}  // namespace norvane::host
