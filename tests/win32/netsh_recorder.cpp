// A recording stand-in for netsh.exe (Wine's is a stub), put in the test prefix's system
// folder: it appends the arguments of its command line, as the bytes the command interpreter
// passed (GetCommandLineA, without the program's own name), and CR LF to %NETSH_LOG%
// (C:\netsh_log.txt when unset), and exits with 0.
#include <windows.h>

namespace {

void append(const char* path, const char* data, DWORD length) {
    HANDLE file =
        CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, data, length, &written, nullptr);
    CloseHandle(file);
}

// The command line after the program's name (quoted or not) and the blanks after it.
const char* arguments(const char* line) {
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"') {
            ++line;
        }
        if (*line == '"') {
            ++line;
        }
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t') {
            ++line;
        }
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

}  // namespace

int main() {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("NETSH_LOG", path, sizeof path) == 0) {
        lstrcpyA(path, "C:\\netsh_log.txt");
    }
    const char* line = arguments(GetCommandLineA());
    append(path, "netsh ", 6);
    append(path, line, static_cast<DWORD>(lstrlenA(line)));
    append(path, "\r\n", 2);
    return 0;
}
