// The main window's blueprint, the same for every view: the client area, each control's place in
// twips (15 to the pixel at 96 dots per inch), the captions and the tooltips. A view builds
// its widgets from these; it decides none of them.
#pragma once

#include <iterator>

#include "common/twips_box.h"
#include "ui/main_window/main_view.h"

namespace norvane::blueprint {

inline constexpr int client_width = 7890;
inline constexpr int client_height = 4245;

// Label1(0) to Label1(7): the captions in front of the inputs.
inline constexpr struct {
    const char* text;
    twips_box box;
} captions[8] = {
    {"Profiles", {120, 120, 1560, 300}},     {"IP Address", {120, 960, 1560, 270}},
    {"Sub Netmask", {120, 1440, 1560, 270}}, {"Gateway", {120, 1920, 1560, 270}},
    {"DNS 1", {120, 2520, 1560, 270}},       {"DNS 2", {120, 2880, 1560, 270}},
    {"DNS 3", {120, 3240, 1560, 270}},       {"Connection", {120, 480, 1560, 270}},
};

// A control that is no array: its name, caption, tooltip and place.
struct control_form {
    control id;
    const char* name;
    const char* caption;
    const char* tooltip;
    twips_box box;
};

inline constexpr control_form profile_list{control::profile_list,
                                           "profile_list",
                                           "",
                                           "プロファイル名を選択します。",
                                           {1800, 120, 2655, 300}};
inline constexpr control_form connect_txt{
    control::connect_txt, "connect_txt", "", "", {1800, 480, 3135, 270}};
inline constexpr control_form dhcp_chk{
    control::dhcp_chk,
    "dhcp_chk",
    "DHCP",
    "DHCPでIPアドレスの自動設定をする場合はチェックしてください。",
    {3960, 3600, 975, 255}};

// The buttons, in tab order (after dhcp_chk).
inline constexpr control_form buttons[] = {
    {control::save_bt,
     "save_bt",
     "Save",
     "プロファイルをデータファイルに保存します。",
     {5400, 120, 2175, 375}},
    {control::submit_bt,
     "submit_bt",
     "Submit",
     "この設定でネットワークを更新します。",
     {5400, 1080, 2175, 375}},
    {control::ver_bt,
     "ver_bt",
     "Information",
     "バージョン情報ダイアログを表示します。",
     {5400, 2880, 2175, 375}},
    {control::end_bt, "end_bt", "END", "プログラムを終了します。", {5400, 3360, 2175, 375}},
    {control::delete_bt,
     "delete_bt",
     "Delete",
     "プロファイルを削除します。",
     {5400, 600, 2175, 375}},
    {control::new_bt,
     "new_bt",
     "NewCreation",
     "プロファイルを新規に作成します。",
     {5400, 1560, 2175, 375}},
};

// The address fields, in the order of address_fields: the name of their boxes, their tooltip,
// the top of their row and the Label1 index of their caption.
inline constexpr struct {
    const char* name;
    const char* tooltip;
    int top;
    int caption;
} fields[std::size(address_fields)] = {
    {"ip_add_txt", "コンピュータのIPアドレスを入力します。", 960, 1},
    {"net_mask_txt", "サブネットマスクを入力します。", 1440, 2},
    {"gateway_txt", "ディフォルトゲートウェイを入力します。", 1920, 3},
    {"dns1_txt", "優先DNSを入力します。", 2520, 4},
    {"dns2_txt", "代替DNSを入力します。", 2880, 5},
    {"dns3_txt", "3番目のDNSを入力します。", 3240, 6},
};

// Box i of a field's row, and the dots (Label2) between the boxes.
inline constexpr twips_box octet_box(int top, int i) {
    constexpr int lefts[boxes_per_field] = {1800, 2640, 3480, 4320};
    return {lefts[i], top, 615, 270};
}
inline constexpr twips_box dot(int top, int i) {
    constexpr int lefts[boxes_per_field - 1] = {2520, 3360, 4200};
    return {lefts[i], top + 120, 90, 180};
}

inline constexpr twips_box status_bar{0, 3990, client_width, 255};

}  // namespace norvane::blueprint
