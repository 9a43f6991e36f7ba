// Drives norvane.exe under Wine from another process, as a user would with the mouse and the
// keyboard: messages to its controls (found by their identifiers), its message boxes answered,
// what it shows read back, and its files and netsh's command lines read byte for byte.
//
//   program_driver.exe open PROGRAM      the window opens with profile.dat's profiles; Submit
//                                        reaches netsh; a refused octet keeps the focus; Save
//                                        writes the file; END closes the program
//   program_driver.exe refuse PROGRAM NAME
//                                        the refusal for the system NAME, and no file made
//   program_driver.exe command PROGRAM   the command line: each option's text (redirected, in
//                                        the ANSI code page) and exit status, netsh reached by
//                                        /apply, the change log; without a console or a
//                                        redirection, the text in a message box
//                                        the refusal for the system NAME, and no file made
//
// It runs in the folder the program is started in. Prints one PASS or FAIL line per check and
// "N passed, N failed"; exits with 0 when all passed.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ui/about_dialog/win32/win32_about_ids.h"
#include "ui/main_window/win32/win32_control_ids.h"

namespace {

namespace ids = norvane::win32_ids;
namespace about_ids = norvane::win32_about_ids;
using norvane::control;

int passed = 0;
int failed = 0;

void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    ++(ok ? passed : failed);
}

std::wstring widen(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
    return out;
}

std::string narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
    return out;
}

// Waits for a visible top-level window of that class and title (either may be null).
HWND wait_window(const wchar_t* window_class, const wchar_t* title, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 25) {
        HWND window = FindWindowW(window_class, title);
        if (window != nullptr && IsWindowVisible(window)) {
            return window;
        }
        Sleep(25);
    }
    return nullptr;
}

// WM_GETTEXT is carried across processes.
std::string text_of(HWND window) {
    wchar_t buffer[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return narrow(buffer);
}

// SB_GETTEXT is not: the text is read through a buffer inside the program's process. In
// simple mode Wine answers for index 0.
std::string status_text(HWND status_bar) {
    DWORD pid = 0;
    GetWindowThreadProcessId(status_bar, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) {
        return "<no process>";
    }
    std::string out = "<no memory>";
    void* remote = VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    if (remote != nullptr) {
        SendMessageW(status_bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote));
        wchar_t buffer[1024] = {};
        SIZE_T n = 0;
        ReadProcessMemory(process, remote, buffer, sizeof buffer - sizeof(wchar_t), &n);
        out = narrow(buffer);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return out;
}

std::string read_file(const char* name) {
    std::string out;
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        out.append(buffer, n);
    }
    CloseHandle(file);
    return out;
}

bool file_exists(const char* name) {
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

std::string hex(const std::string& bytes) {
    std::string out;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02X ", c);
        out += two;
    }
    return out;
}

// The control that has the focus in the program's window thread.
HWND focus_of(HWND window) {
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// A message box of that title: its text, after pressing the button.
std::string answer_box(const char* title, int button, int milliseconds = 20000) {
    HWND box = wait_window(L"#32770", widen(title).c_str(), milliseconds);
    if (box == nullptr) {
        return "<no box>";
    }
    const std::string text = text_of(GetDlgItem(box, 0xFFFF));
    SendMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
    for (int i = 0; i < 200 && IsWindow(box); ++i) {
        Sleep(10);
    }
    return text;
}

// Waits until the program has handled everything sent so far.
void settle(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

// How a step reaches the program: sent, it is handled when the call returns; posted, the
// call returns at once (for a step that opens a message box, which the driver then answers).
enum class delivery { sent, posted };

void deliver(delivery how, HWND control, UINT message, WPARAM w, LPARAM l) {
    if (how == delivery::sent) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(control, message, w, l, SMTO_NORMAL, 15000, &ignored);
    } else {
        PostMessageW(control, message, w, l);
    }
}

// A click: the button goes down and up on the control.
void click(HWND control, delivery how = delivery::sent) {
    deliver(how, control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    deliver(how, control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

// Typing: each character, then the release of its key.
void type(HWND control, const char* utf8, delivery how = delivery::sent) {
    for (wchar_t c : widen(utf8)) {
        deliver(how, control, WM_CHAR, c, 1);
        const WPARAM key = c >= L'0' && c <= L'9' ? c : 0;
        if (key != 0) {
            deliver(how, control, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        }
    }
}

// Whether a control stands at that place of its window's client area, in twips at the
// screen's dots per inch.
bool placed_at(HWND control, int left, int top, int width, int height) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    HDC screen = GetDC(nullptr);
    const int x = GetDeviceCaps(screen, LOGPIXELSX);
    const int y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    std::printf("  placed at %ld, %ld, %ld x %ld\n", r.left, r.top, r.right - r.left,
                r.bottom - r.top);
    return r.left == MulDiv(left, x, 1440) && r.top == MulDiv(top, y, 1440) &&
           r.right - r.left == MulDiv(width, x, 1440) &&
           r.bottom - r.top == MulDiv(height, y, 1440);
}

HWND control_of(HWND window, norvane::control_ref c) {
    return GetDlgItem(window, ids::id_of(c));
}

// The tools of the tooltip windows of one process.
struct tooltip_count {
    DWORD pid;
    LRESULT count;
};

BOOL CALLBACK count_tooltips(HWND window, LPARAM l) {
    auto* found = reinterpret_cast<tooltip_count*>(l);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (owner == found->pid && lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) {
        found->count += SendMessageW(window, TTM_GETTOOLCOUNT, 0, 0);
    }
    return TRUE;
}

bool start(const char* program, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    char command[MAX_PATH + 2];
    std::snprintf(command, sizeof command, "%s", program);
    return CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

DWORD finish(PROCESS_INFORMATION& process) {
    DWORD code = 999;
    if (WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 9);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// The CP932 bytes of a UTF-8 text.
std::string cp932(const char* utf8) {
    const std::wstring wide = widen(utf8);
    const int n = WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(932, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
    return out;
}

int refuse(const char* program, const char* name) {
    PROCESS_INFORMATION process;
    check(start(program, process), "the program starts");
    const std::string expected = std::string("このプログラムはWindows2000専用です。\r\n") + name +
                                 " 上では動作いたしません。";
    HWND box = wait_window(L"#32770", L"エラー", 20000);
    check(box != nullptr, "the refusal's message box, titled エラー");
    if (box != nullptr) {
        const std::string text = text_of(GetDlgItem(box, 0xFFFF));
        std::printf("  text: %s\n", text.c_str());
        check(text == expected, "the refusal's text names the system on its second line");
        check(GetDlgItem(box, IDOK) != nullptr && !IsWindowVisible(GetDlgItem(box, IDCANCEL)),
              "an OK button only");
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    check(finish(process) == 0, "the program ends once the box is closed");
    check(FindWindowW(ids::main_window_class, nullptr) == nullptr, "no main window");
    check(!file_exists("profile.dat") && !file_exists("cmd_tmp.cmd"), "no file made");
    return 0;
}

int open(const char* program) {
    const std::string original = read_file("profile.dat");
    PROCESS_INFORMATION process;
    check(start(program, process), "the program starts");
    HWND window = wait_window(ids::main_window_class, nullptr, 20000);
    check(window != nullptr, "the main window opens");
    if (window == nullptr) {
        finish(process);
        return 1;
    }
    settle(window);
    check(text_of(window) == "Norvane for Windows2000", "its caption");
    const LONG ex_style = GetWindowLongW(window, GWL_EXSTYLE);
    if ((ex_style & WS_EX_TOPMOST) == 0) {
        std::printf("  extended style: %lx\n", static_cast<unsigned long>(ex_style));
    }
    check((ex_style & WS_EX_TOPMOST) != 0, "it is topmost");

    HWND list = GetDlgItem(window, ids::profile_list);
    HWND list_edit = GetWindow(list, GW_CHILD);
    HWND status = GetDlgItem(window, ids::status_bar);
    check(SendMessageW(list, CB_GETCOUNT, 0, 0) == 2, "the list holds the file's two profiles");
    wchar_t item[256] = {};
    SendMessageW(list, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    check(narrow(item) == "DHCP（自動）", "the second entry is the second line's name");
    check(text_of(list) == "ローカル", "the list's text is the first profile's name");
    check(text_of(control_of(window, {control::connect_txt})) == "ローカル エリア接続" &&
              !IsWindowEnabled(control_of(window, {control::connect_txt})),
          "the first profile's connection, locked");
    check(text_of(control_of(window, {control::dns3_txt, 3})) == "3", "its third DNS server");
    check(focus_of(window) == list_edit, "the profile list has the focus");
    check(status_text(status) == "プロファイル名", "its help text is in the status bar");

    // The client area of 7890 × 4245 twips, at the screen's dots per inch.
    RECT client{};
    GetClientRect(window, &client);
    HDC screen = GetDC(nullptr);
    const int want_w = MulDiv(7890, GetDeviceCaps(screen, LOGPIXELSX), 1440);
    const int want_h = MulDiv(4245, GetDeviceCaps(screen, LOGPIXELSY), 1440);
    ReleaseDC(nullptr, screen);
    std::printf("  client area %ldx%ld\n", client.right, client.bottom);
    check(client.right == want_w && client.bottom == want_h,
          "the client area is 7890 x 4245 twips");
    check(placed_at(status, 0, 3990, 7890, 255), "the status bar at 3990, 7890 x 255 twips");

    // Tab walks the window's tab order (connect_txt is locked while a saved profile shows).
    std::vector<HWND> order;
    for (const control field : norvane::address_fields) {
        for (int i = 0; i < norvane::boxes_per_field; ++i) {
            order.push_back(control_of(window, {field, i}));
        }
    }
    for (const control c :
         {control::dhcp_chk, control::save_bt, control::submit_bt, control::ver_bt, control::end_bt,
          control::delete_bt, control::new_bt}) {
        order.push_back(control_of(window, {c}));
    }
    order.push_back(list_edit);
    bool walked = true;
    for (HWND expected : order) {
        deliver(delivery::sent, focus_of(window), WM_KEYDOWN, VK_TAB, 1);
        walked = walked && focus_of(window) == expected;
    }
    check(walked, "Tab walks the tab order back to the profile list");

    // Choosing a profile in the list (the arrow keys step through it) shows it.
    HWND dhcp = control_of(window, {control::dhcp_chk});
    HWND ip0 = control_of(window, {control::ip_add_txt, 0});
    deliver(delivery::sent, list_edit, WM_KEYDOWN, VK_DOWN, 1);
    check(text_of(list) == "DHCP（自動）" && SendMessageW(dhcp, BM_GETCHECK, 0, 0) == BST_CHECKED &&
              !IsWindowEnabled(ip0),
          "choosing the DHCP profile ticks DHCP and disables the address boxes");
    deliver(delivery::sent, list_edit, WM_KEYDOWN, VK_UP, 1);
    check(text_of(list) == "ローカル" && SendMessageW(dhcp, BM_GETCHECK, 0, 0) == BST_UNCHECKED &&
              IsWindowEnabled(ip0) && text_of(ip0) == "192",
          "choosing the first again shows its addresses");

    // Every input and button has its tooltip (the list twice: its edit part too).
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    tooltip_count found{pid, 0};
    EnumWindows(count_tooltips, reinterpret_cast<LPARAM>(&found));
    check(found.count == 24 + 2 + 1 + 6, "33 tooltips: the octet boxes, the list, DHCP, buttons");

    // Submit: the script reaches netsh with the exact lines, and is gone afterwards. The
    // recording netsh changes nothing, and this system has no connection of that name: read
    // back, the settings say so, and no success is claimed.
    PostMessageW(control_of(window, {control::submit_bt}), BM_CLICK, 0, 0);
    const std::string done = answer_box("エラー", IDOK);
    check(done.starts_with("接続「ローカル エリア接続」が見つかりません。"),
          "Submit reads the settings back and names the missing connection");
    settle(window);
    const std::string name = cp932("\"ローカル エリア接続\"");
    const std::string expected_log = "netsh interface ip set address " + name +
                                     " static 192.168.0.10 255.255.255.0 192.168.0.1 1\r\n"
                                     "netsh interface ip set dns " +
                                     name +
                                     " static 192.168.0.1\r\n"
                                     "netsh interface ip add dns " +
                                     name +
                                     " 192.168.0.2\r\n"
                                     "netsh interface ip add dns " +
                                     name + " 192.168.0.3\r\n";
    char log_name[MAX_PATH] = "C:\\netsh_log.txt";
    GetEnvironmentVariableA("NETSH_LOG", log_name, sizeof log_name);
    const std::string log = read_file(log_name);
    if (log != expected_log) {
        std::printf("  netsh log: %s\n  expected:  %s\n", hex(log).c_str(),
                    hex(expected_log).c_str());
    }
    check(log == expected_log, "netsh received the four commands byte for byte");
    check(!file_exists("cmd_tmp.cmd"), "cmd_tmp.cmd is gone");
    check(status_text(status).empty(), "the status bar is empty again");

    // A refused octet keeps the focus: by the automatic advance, and against a click.
    HWND box1 = control_of(window, {control::ip_add_txt, 1});
    click(box1);
    check(focus_of(window) == box1, "a click gives the box the focus");
    deliver(delivery::sent, box1, EM_SETSEL, 0, -1);  // typing replaces the old value
    type(box1, "300", delivery::posted);
    const std::string refused = answer_box("エラー", IDOK);
    std::printf("  box: %s\n", refused.c_str());
    check(refused == "\"0～254\"の数値を設定してください。", "300 is refused with its message");
    settle(window);
    check(focus_of(window) == box1, "the refused box keeps the focus");
    check(text_of(box1).empty(), "and is emptied");
    type(box1, "25");
    type(box1, "6", delivery::posted);  // 256
    check(answer_box("エラー", IDOK) == "\"0～254\"の数値を設定してください。", "so is 256");
    settle(window);
    type(box1, "99");
    deliver(delivery::sent, box1, WM_CHAR, L'9', 1);  // 999, without the key's release
    click(control_of(window, {control::save_bt}), delivery::posted);
    const std::string refused_click = answer_box("エラー", IDOK);
    check(refused_click == "\"0～254\"の数値を設定してください。",
          "leaving it for Save validates it first");
    settle(window);
    check(focus_of(window) == box1, "the refused value keeps the focus");
    check(read_file("profile.dat") == original, "and the click on Save was swallowed");
    deliver(delivery::sent, box1, WM_KEYDOWN, VK_TAB, 1);
    check(focus_of(window) == control_of(window, {control::ip_add_txt, 2}),
          "Tab moves on from the (now empty) box");

    // NewCreation and Save: the new profile is appended in CP932 with CR LF.
    click(control_of(window, {control::new_bt}));
    check(text_of(list).empty() &&
              text_of(control_of(window, {control::connect_txt})) == "ローカル エリア接続",
          "NewCreation empties the fields and proposes the connection");
    click(list_edit);
    type(list_edit, "自宅\r");
    const char* octets[3][4] = {
        {"10", "0", "0", "5"}, {"255", "0", "0", "0"}, {"10", "0", "0", "1"}};
    const control fields[3] = {control::ip_add_txt, control::net_mask_txt, control::gateway_txt};
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < 4; ++i) {
            HWND b = control_of(window, {fields[f], i});
            click(b);
            type(b, octets[f][i]);
        }
    }
    click(control_of(window, {control::save_bt}));
    const std::string saved = read_file("profile.dat");
    const std::string expected_saved =
        original + cp932("自宅,ローカル エリア接続,10.0.0.5,255.0.0.0,10.0.0.1,,,,0\r\n");
    if (saved != expected_saved) {
        std::printf("  profile.dat: %s\n  expected:    %s\n", hex(saved).c_str(),
                    hex(expected_saved).c_str());
    }
    check(saved == expected_saved, "Save appended the profile byte for byte");
    const std::string after_save = status_text(status);
    if (after_save != "データベースを更新しました。") {
        std::printf("  status bar: %s; list text: %s\n", after_save.c_str(), text_of(list).c_str());
        for (int f = 0; f < 3; ++f) {
            for (int i = 0; i < 4; ++i) {
                std::printf("  [%s]", text_of(control_of(window, {fields[f], i})).c_str());
            }
            std::printf("\n");
        }
    }
    check(after_save == "データベースを更新しました。", "and says so");
    check(SendMessageW(list, CB_GETCOUNT, 0, 0) == 3, "the list holds three profiles");

    // Delete asks Yes or No: only Yes removes the profile shown.
    HWND delete_bt = control_of(window, {control::delete_bt});
    PostMessageW(delete_bt, BM_CLICK, 0, 0);
    check(answer_box("問い合わせ", IDNO) == "データが削除されます。続けますか？",
          "Delete asks first");
    settle(window);
    check(read_file("profile.dat") == saved, "No leaves the file as it was");
    PostMessageW(delete_bt, BM_CLICK, 0, 0);
    answer_box("問い合わせ", IDYES);
    settle(window);
    check(read_file("profile.dat") == original && SendMessageW(list, CB_GETCOUNT, 0, 0) == 2,
          "Yes deletes the profile");

    // Information: the About dialog in front, the main window topmost again after it.
    PostMessageW(control_of(window, {control::ver_bt}), BM_CLICK, 0, 0);
    HWND about = wait_window(about_ids::window_class, L"バージョン情報", 10000);
    check(about != nullptr, "Information opens the About dialog");
    if (about != nullptr) {
        check(text_of(GetDlgItem(about, about_ids::lbl_version)) == "v1.11.0508",
              "its version text");
        check(placed_at(GetDlgItem(about, about_ids::pic_icon), 240, 240, 540, 540),
              "its icon's place at 240, 240, 540 x 540 twips");
        check(text_of(GetDlgItem(about, about_ids::url_bt_first + 1)) == "support@norvane.example",
              "its support address");
        check((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0,
              "the main window is not topmost meanwhile");
        check(!IsWindowEnabled(window), "the main window takes no input meanwhile");
        SendMessageW(GetDlgItem(about, about_ids::cmd_ok), BM_CLICK, 0, 0);
        for (int i = 0; i < 200 && IsWindow(about); ++i) {
            Sleep(10);
        }
        check(!IsWindow(about), "OK closes it");
        bool again = false;
        for (int i = 0; i < 200 && !again; ++i) {
            settle(window);
            again = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 &&
                    IsWindowEnabled(window);
            if (!again) {
                Sleep(10);
            }
        }
        check(again, "the main window is topmost and enabled again");
    }

    PostMessageW(control_of(window, {control::end_bt}), BM_CLICK, 0, 0);
    check(finish(process) == 0, "END ends the program");
    return 0;
}

// What one run of the program with arguments came to.
struct command_result {
    DWORD status = 999;
    std::string out;
    std::string err;
};

// Runs the program with the arguments (bytes of the ANSI code page). Redirected, its standard
// output and error go to files read back afterwards; otherwise it is given no handles at all.
command_result run_program(const char* program, const std::string& arguments, bool redirected) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = INVALID_HANDLE_VALUE;
    HANDLE err = INVALID_HANDLE_VALUE;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (redirected) {
        out = CreateFileA("cli_out.txt", GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                          nullptr);
        err = CreateFileA("cli_err.txt", GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                          nullptr);
        startup.hStdOutput = out;
        startup.hStdError = err;
    }
    std::string command = std::string("\"") + program + "\" " + arguments;
    PROCESS_INFORMATION process;
    command_result result;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, redirected, 0, nullptr, nullptr,
                       &startup, &process)) {
        result.status = finish(process);
    }
    if (redirected) {
        CloseHandle(out);
        CloseHandle(err);
        result.out = read_file("cli_out.txt");
        result.err = read_file("cli_err.txt");
    }
    return result;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The change log's bytes, from the user's application data folder.
std::string change_log() {
    char folder[MAX_PATH] = "";
    GetEnvironmentVariableA("APPDATA", folder, sizeof folder);
    return read_file((std::string(folder) + "\\Norvane\\changes.log").c_str());
}

int command(const char* program) {
    const std::string original = read_file("profile.dat");
    char log_name[MAX_PATH] = "C:\\netsh_log.txt";
    GetEnvironmentVariableA("NETSH_LOG", log_name, sizeof log_name);
    const std::string records_before = change_log();

    const struct {
        const char* arguments;  // UTF-8
        DWORD status;
        const char* out;  // a part of standard output, UTF-8 ("" none at all)
        const char* err;  // a part of standard error
        const char* what;
    } cases[] = {
        {"/list", 0, "ローカル\r\nDHCP（自動）\r\n", "", "/list: the names in file order"},
        {"--LIST", 0, "ローカル\r\nDHCP（自動）\r\n", "", "--LIST: any case, either prefix"},
        {"/version", 0, "Norvane v", "", "/version"},
        {"/help", 0, "「/」でも指定できます", "", "/help says \"/\" serves as well"},
        {"/?", 0, "変更の記録: ", "", "/? is help, and names the change log"},
        {"/bogus", 2, "", "使い方: norvane", "an unknown option: the usage, exit 2"},
        {"/apply", 2, "", "使い方: norvane", "/apply without a name: exit 2"},
        {"/apply なし", 2, "", "プロファイル「なし」はデータベースに存在しません。",
         "/apply of an unknown profile: exit 2"},
        {"/show \"ローカル エリア接続\"", 1, "", "接続「ローカル エリア接続」が見つかりません。",
         "/show of a missing connection: exit 1"},
        {"/capture 新しい \"ローカル エリア接続\"", 1, "",
         "接続「ローカル エリア接続」が見つかりません。",
         "/capture of a missing connection: exit 1"},
        {"/capture a,b x", 2, "", "プロファイル名に「,」（カンマ）は使用できません。",
         "/capture of a name with a comma: exit 2"},
        {"/apply ローカル", 1, "", "接続「ローカル エリア接続」が見つかりません。",
         "/apply reads back and names the missing connection: exit 1"},
    };
    for (const auto& c : cases) {
        const command_result result = run_program(program, cp932(c.arguments), true);
        const bool ok =
            result.status == c.status &&
            (c.out[0] == '\0' ? result.out.empty() : contains(result.out, cp932(c.out))) &&
            (c.err[0] == '\0' ? result.err.empty() : contains(result.err, cp932(c.err)));
        if (!ok) {
            std::printf("  %s: exit %lu\n  out: %s\n  err: %s\n", c.arguments,
                        static_cast<unsigned long>(result.status), hex(result.out).c_str(),
                        hex(result.err).c_str());
        }
        check(ok, c.what);
    }
    check(read_file("profile.dat") == original, "profile.dat is unchanged");

    const std::string name = cp932("\"ローカル エリア接続\"");
    const std::string expected_log = "netsh interface ip set address " + name +
                                     " static 192.168.0.10 255.255.255.0 192.168.0.1 1\r\n"
                                     "netsh interface ip set dns " +
                                     name +
                                     " static 192.168.0.1\r\n"
                                     "netsh interface ip add dns " +
                                     name +
                                     " 192.168.0.2\r\n"
                                     "netsh interface ip add dns " +
                                     name + " 192.168.0.3\r\n";
    check(read_file(log_name) == expected_log, "only /apply of a known profile reached netsh");
    check(!file_exists("cmd_tmp.cmd"), "cmd_tmp.cmd is gone");

    const std::string records = change_log();
    const std::string added =
        records.size() > records_before.size() ? records.substr(records_before.size()) : "";
    if (records == "<missing>" ||
        !contains(added, "プロファイル: ローカル 接続: ローカル エリア接続\r\n")) {
        std::printf("  change log: %s\n", hex(records).c_str());
    }
    check(records.starts_with("\xEF\xBB\xBF"), "the change log is UTF-8 with a byte-order mark");
    check(contains(added, "プロファイル: ローカル 接続: ローカル エリア接続\r\n") &&
              contains(added, "読み戻し: 接続が見つかりません\r\n") &&
              contains(added, "戻し: 不要\r\n"),
          "/apply left one record, with CR LF line ends");
    std::size_t count = 0;
    for (std::size_t at = added.find("\r\n["); at != std::string::npos;
         at = added.find("\r\n[", at + 1)) {
        ++count;
    }
    check(count == 0 && added.starts_with("["), "exactly one record for the one change");

    // No console and no redirection: the text in a message box, the status as before.
    FreeConsole();
    const struct {
        const char* arguments;
        const char* title;
        const char* text;
        DWORD status;
    } boxed[] = {
        {"/version", "Norvane", "Norvane v", 0},
        {"/bogus", "エラー", "使い方: norvane", 2},
    };
    for (const auto& c : boxed) {
        PROCESS_INFORMATION process;
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;  // and none: as started from the desktop
        std::string line = std::string("\"") + program + "\" " + c.arguments;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            check(false, "the program starts");
            continue;
        }
        const std::string text = answer_box(c.title, IDOK);
        if (!text.starts_with(c.text)) {
            std::printf("  box: %s\n", text.c_str());
        }
        check(text.starts_with(c.text), c.title);
        check(finish(process) == c.status, "the box's exit status");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc >= 3 && std::strcmp(argv[1], "open") == 0) {
        open(argv[2]);
    } else if (argc >= 4 && std::strcmp(argv[1], "refuse") == 0) {
        refuse(argv[2], argv[3]);
    } else if (argc >= 3 && std::strcmp(argv[1], "command") == 0) {
        command(argv[2]);
    } else {
        std::printf("usage: program_driver open PROGRAM | refuse PROGRAM NAME | command PROGRAM\n");
        return 2;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
