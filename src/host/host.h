// The host layer: everything the program needs from the operating system, behind one
// small set of interfaces. The program's own code talks only to these; each platform
// supplies one implementation (posix/ on Linux).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

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
// Version query: the platform's version record (OSVERSIONINFOA).
struct os_version_info {
    std::uint32_t size = 148;
    std::uint32_t major_version = 0;
    std::uint32_t minor_version = 0;
    std::uint32_t build_number = 0;
    std::uint32_t platform_id = 0;
    char service_pack[128] = {};
};

// Fills the record for the running system. The host answers with the platform and version
// whose services it provides; a failed query leaves every field but the size at 0.
void query_os_version(os_version_info& info);

// ---------------------------------------------------------------------------------------
// The file component. Texts in memory are UTF-8; on disk they are code page 932 with CR LF
// line ends and no byte-order mark.
enum iomode : int { for_reading = 1, for_writing = 2, for_appending = 8 };

class text_stream {
  public:
    virtual ~text_stream() = default;  // dropping a stream closes its file

    // Reading streams (iomode 1). A rewriting stream (iomode 2) reads the file as it stands
    // on disk, under the stream's lock, until Close replaces it.
    virtual bool AtEndOfStream() = 0;
    virtual std::string ReadLine() = 0;

    // Writing and appending streams: the text followed by CR LF.
    virtual void WriteLine(const std::string& text) = 0;

    // Completes the file and closes it. For a rewriting stream this is the moment the new
    // content replaces the old file as a whole.
    virtual void Close() = 0;
};

class file_system {
  public:
    virtual ~file_system() = default;
    virtual bool FileExists(const std::string& name) = 0;
    virtual std::unique_ptr<text_stream> OpenTextFile(const std::string& name, iomode mode,
                                                      bool create = false) = 0;
    virtual void DeleteFile(const std::string& name) = 0;
};

// Creates the program's file component; throws host_error(429) when it cannot.
std::unique_ptr<file_system> create_file_system();

// ---------------------------------------------------------------------------------------
// The shell: starting a file with its associated program, and waiting for a process.
using window_handle = std::uintptr_t;
using process_handle = std::uintptr_t;  // 0: no process

constexpr std::uint32_t see_mask_nocloseprocess = 0x40;
constexpr int sw_hide = 0;
constexpr int sw_shownormal = 1;
constexpr std::uint32_t infinite = 0xFFFFFFFFu;
constexpr std::uint32_t wait_object_0 = 0;

// The launch record (SHELLEXECUTEINFO, ANSI form).
struct shell_execute_info {
    std::uint32_t cbSize = 60;
    std::uint32_t fMask = 0;
    window_handle hwnd = 0;
    std::string lpVerb;
    std::string lpFile;
    std::optional<std::string> lpParameters;
    std::optional<std::string> lpDirectory;
    int nShow = 0;
    process_handle hProcess = 0;  // filled in by the call with see_mask_nocloseprocess
};

class shell {
  public:
    virtual ~shell() = default;
    // Non-zero when the target was started (hProcess set when asked for); zero otherwise.
    // A command script (*.cmd) runs in the program's command interpreter; any other target
    // (a web address, a "mailto:" address) opens in the desktop's handler for it.
    virtual int ShellExecuteEx(shell_execute_info& info) = 0;
    // wait_object_0 once the process has ended; anything else is a failure.
    virtual std::uint32_t WaitForSingleObject(process_handle process, std::uint32_t timeout) = 0;
    virtual bool CloseHandle(process_handle process) = 0;
};

std::unique_ptr<shell> create_shell();

}  // namespace norvane::host
