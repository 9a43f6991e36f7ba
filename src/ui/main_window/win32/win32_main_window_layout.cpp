#include "ui/main_window/win32/win32_main_window_layout.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/main_window/main_window_blueprint.h"
#include "ui/main_window/win32/win32_control_ids.h"

namespace norvane {

namespace {

constexpr int field_count = static_cast<int>(std::size(address_fields));

constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

HWND win32_main_window_controls::window(control_ref c) const {
    if (is_address_field(c.id)) {
        if (c.index < 0 || c.index >= boxes_per_field) {
            return nullptr;
        }
        const int field = static_cast<int>(c.id) - static_cast<int>(control::ip_add_txt);
        return address_boxes[static_cast<std::size_t>(field)][static_cast<std::size_t>(c.index)];
    }
    const auto it = singles.find(c.id);
    return it != singles.end() ? it->second : nullptr;
}

HWND win32_main_window_controls::focus_window(control_ref c) const {
    return c.id == control::profile_list ? profile_edit : window(c);
}

std::vector<std::pair<HWND, control_ref>> win32_main_window_controls::all() const {
    std::vector<std::pair<HWND, control_ref>> controls = {{profile_edit, {control::profile_list}}};
    for (const auto& [id, window] : singles) {
        controls.push_back({window, {id}});
    }
    for (int f = 0; f < field_count; ++f) {
        for (int b = 0; b < boxes_per_field; ++b) {
            controls.push_back({window({address_fields[f], b}), {address_fields[f], b}});
        }
    }
    return controls;
}

HWND create_main_window(WNDPROC procedure, void* param) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = [instance, procedure] {
        WNDCLASSEXW wc;
        ZeroMemory(&wc, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = instance;
        wc.hIcon = win32::program_icon(32);
        wc.hIconSm = win32::program_icon(16);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = win32_ids::main_window_class;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;

    RECT frame = win32::twips_rect({0, 0, blueprint::client_width, blueprint::client_height});
    AdjustWindowRectEx(&frame, window_style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = static_cast<int>(work.left) +
                  std::max(0, static_cast<int>(work.right - work.left) - width) / 2;
    const int y = static_cast<int>(work.top) +
                  std::max(0, static_cast<int>(work.bottom - work.top) - height) / 2;
    return CreateWindowExW(0, win32_ids::main_window_class, L"", window_style, x, y, width, height,
                           nullptr, nullptr, instance, param);
}

win32_main_window_controls build_main_window(HWND window, const win32_main_window_fonts& fonts) {
    win32_main_window_controls c;
    const auto make = [window](const wchar_t* window_class, const char* caption, DWORD style,
                               DWORD ex_style, const twips_box& box, int id, const win32::font& f) {
        return win32::create_control(window, window_class, win32::widen(caption), style, ex_style,
                                     win32::twips_rect(box), id, f);
    };
    const auto make_caption = [&](int index) {
        const auto& caption = blueprint::captions[index];
        make(L"STATIC", caption.text, SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0, caption.box,
             win32_ids::label1_first + index, fonts.gothic_bold_11);
    };
    const auto make_edit = [&](const twips_box& box, int id) {
        HWND edit = make(L"EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, box, id,
                         fonts.gothic_9);
        c.tab_order.push_back(edit);
        return edit;
    };

    // Created in tab order, so that the windows' order is the tab order too.
    make_caption(0);
    twips_box list_box = blueprint::profile_list.box;
    list_box.height += 2400;  // with room below for the drop-down list
    c.profile_list = make(L"COMBOBOX", "", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
                          0, list_box, win32_ids::profile_list, fonts.gothic_9);
    c.profile_edit = GetWindow(c.profile_list, GW_CHILD);
    c.tab_order.push_back(c.profile_list);

    make_caption(7);
    c.connect_txt = make_edit(blueprint::connect_txt.box, win32_ids::connect_txt);

    int dot = 0;
    for (int f = 0; f < field_count; ++f) {
        const auto& field = blueprint::fields[f];
        make_caption(field.caption);
        for (int i = 0; i < boxes_per_field; ++i) {
            HWND box = make_edit(blueprint::octet_box(field.top, i),
                                 win32_ids::id_of({address_fields[f], i}));
            SendMessageW(box, EM_LIMITTEXT, octet_max_length, 0);
            c.address_boxes[static_cast<std::size_t>(f)][static_cast<std::size_t>(i)] = box;
        }
        // In the labels' bold face, taller than the label: centred, the dot sits level with the
        // digits in the boxes.
        for (int d = 0; d < boxes_per_field - 1; ++d) {
            make(L"STATIC", ".", SS_CENTER | SS_NOPREFIX | SS_CENTERIMAGE, 0,
                 blueprint::dot(field.top, d), win32_ids::label2_first + dot++,
                 fonts.gothic_bold_11);
        }
    }

    // A check box the window ticks itself: a click toggles between ticked and unticked.
    c.dhcp_chk = make(L"BUTTON", blueprint::dhcp_chk.caption, BS_CHECKBOX | WS_TABSTOP, 0,
                      blueprint::dhcp_chk.box, win32_ids::dhcp_chk, fonts.gothic_bold_11);
    c.tab_order.push_back(c.dhcp_chk);
    c.singles = {{control::profile_list, c.profile_list},
                 {control::connect_txt, c.connect_txt},
                 {control::dhcp_chk, c.dhcp_chk}};

    for (const blueprint::control_form& row : blueprint::buttons) {
        HWND button =
            make(L"BUTTON", row.caption, BS_PUSHBUTTON | WS_TABSTOP, 0, row.box,
                 win32_ids::id_of({row.id}),
                 row.id == control::save_bt ? fonts.gothic_bold_12 : fonts.gothic_bold_11);
        c.singles[row.id] = button;
        c.tab_order.push_back(button);
    }

    // One text, changed only when the logic says so, in the blueprint's place rather than
    // where the control would size itself along the bottom edge.
    c.status_bar = make(STATUSCLASSNAMEW, "", CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0,
                        blueprint::status_bar, win32_ids::status_bar, fonts.gothic_9);
    SendMessageW(c.status_bar, SB_SIMPLE, TRUE, 0);
    return c;
}

HWND add_tooltips(HWND window, const win32_main_window_controls& controls) {
    HWND tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tooltip == nullptr) {
        return nullptr;
    }
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
    const auto add = [&](HWND control, const char* text) {
        std::wstring wide = win32::widen(text);
        TOOLINFOW info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND;
        info.hwnd = window;
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.lpszText = wide.data();
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    };
    add(controls.profile_list, blueprint::profile_list.tooltip);
    add(controls.profile_edit, blueprint::profile_list.tooltip);
    for (int f = 0; f < field_count; ++f) {
        for (HWND box : controls.address_boxes[static_cast<std::size_t>(f)]) {
            add(box, blueprint::fields[f].tooltip);
        }
    }
    add(controls.dhcp_chk, blueprint::dhcp_chk.tooltip);
    for (const blueprint::control_form& row : blueprint::buttons) {
        add(controls.singles.at(row.id), row.tooltip);
    }
    return tooltip;
}

void relay_to_tooltip(HWND tooltip, HWND control, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_NCMOUSEMOVE: {
            MSG relayed;
            ZeroMemory(&relayed, sizeof relayed);
            relayed.hwnd = control;
            relayed.message = message;
            relayed.wParam = w;
            relayed.lParam = l;
            SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
            return;
        }
        default:
            return;
    }
}

}  // namespace norvane
