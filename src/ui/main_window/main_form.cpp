#include "ui/main_window/main_form.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "netconfig/network_change.h"
#include "profiles/profile_names.h"
#include "profiles/profile_store.h"
#include "ui/main_window/control_rules.h"
#include "ui/main_window/octet_rules.h"

namespace norvane {

namespace {

constexpr const char* caption_text = "Norvane for Windows2000";
constexpr const char* default_connection_name = "ローカル エリア接続";
constexpr const char* database_updated = "データベースを更新しました。";
constexpr const char* dns_incomplete = "正しいＤＮＳアドレスを入力してください。";

// Length of a UTF-8 text in characters.
int character_count(const std::string& text) {
    int count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

// The control that the automatic advance moves to after the last box of a field.
control_ref after_field(control field) {
    switch (field) {
        case control::ip_add_txt:
            return {control::net_mask_txt, 0};
        case control::net_mask_txt:
            return {control::gateway_txt, 0};
        case control::gateway_txt:
            return {control::dns1_txt, 0};
        case control::dns1_txt:
            return {control::dns2_txt, 0};
        case control::dns2_txt:
            return {control::dns3_txt, 0};
        default:
            return {control::profile_list, 0};
    }
}

// Submit's side of a change: message boxes, and the question before the way back.
class submit_listener : public change_listener {
  public:
    explicit submit_listener(ui_services& ui) : ui_(ui) {}
    void report(const submit_message& message) override {
        ui_.message_box(message.text, message.style, message.title);
    }
    bool restore_agreed() override {
        return ui_.message_box(restore_question, restore_question_style, inquiry_title) ==
               answer_yes;
    }

  private:
    ui_services& ui_;
};

}  // namespace

main_form::main_form(main_view& view, ui_services& ui, program_state& state, host::shell& shell)
    : view_(view), ui_(ui), state_(state), shell_(shell) {}

// --- window reactions ---------------------------------------------------------------------

void main_form::form_load() {
    view_.set_topmost(true);
    view_.set_caption(caption_text);
    mouse_pressed_ = false;
    if (state_.table.no_profiles) {
        return;
    }
    list_entries_.take(state_.table);
    view_.set_list_entries(list_entries_);
    const auto first =
        std::find_if(state_.table.profile_lines.begin(), state_.table.profile_lines.end(),
                     [](std::string_view line) { return !line.empty(); });
    if (first == state_.table.profile_lines.end()) {
        return;
    }
    view_.set_text({control::profile_list}, std::string(list_entries_.name(0)));
    show_profile(record_from_line(*first));
}

void main_form::form_unload() {
    release_file_system(state_);
}

void main_form::form_key_press(int& key_ascii) {
    if (key_ascii == vk_return) {
        key_ascii = 0;
    }
}

// --- clicks and changes -------------------------------------------------------------------

void main_form::profile_list_click() {
    const int index = find_profile(state_.table, view_.text({control::profile_list}));
    if (index < 0) {
        return;
    }
    const auto record = record_from_line(state_.table.profile_lines[static_cast<size_t>(index)]);
    clear_input();
    show_profile(record);
}

void main_form::new_bt_click() {
    view_.set_text({control::profile_list}, "");
    clear_input();
    view_.set_text({control::connect_txt}, default_connection_name);
}

void main_form::end_bt_click() {
    view_.unload();
}

void main_form::dhcp_chk_click() {
    enable_address(view_.check_value() == unchecked);
}

void main_form::save_bt_click() {
    if (!check_input()) {
        ui_.beep();
        return;
    }
    // A line of profile.dat cannot hold a comma or a line break in a field, nor a character
    // that its code page lacks: refuse such names before anything is written.
    const struct {
        control id;
        const char* field;
    } names[] = {{control::profile_list, "プロファイル名"}, {control::connect_txt, "接続名"}};
    for (const auto& name : names) {
        const auto message =
            unstorable_name_message(view_.text({name.id}), name.field, *state_.file_system);
        if (!message.empty()) {
            report_incomplete({name.id}, message);
            ui_.beep();
            return;
        }
    }
    const auto record = record_from_controls();
    auto saved = save_profile(*state_.file_system, state_.table, record, false);
    if (saved.result == store_result::status::needs_consent) {
        if (ui_.message_box("プロファイル名が重複しています。上書きしますか？",
                            mb_question | mb_ok_cancel, inquiry_title) != answer_ok) {
            return;  // the file is unchanged; nothing to reload or report
        }
        // Decided again under the file's lock: a profile deleted meanwhile is appended.
        saved = save_profile(*state_.file_system, state_.table, record, true);
    }
    if (const auto message = untouched_file_message(saved.result); !message.empty()) {
        ui_.message_box(message, mb_critical, error_title);
        return;
    }
    if (saved.result != store_result::status::done) {
        ui_.message_box(
            "データベースファイルをオープンできませんでした。\r\n"
            "データベースは更新されていません。",
            mb_critical, error_title);
        return;
    }
    std::string error_text;
    if (!saved.table_current && !load_profiles(*state_.file_system, state_.table, error_text)) {
        ui_.message_box(error_text, mb_critical, error_title);
        return;
    }
    refresh_list(true);
    finish_database_update();
}

void main_form::delete_bt_click() {
    if (view_.text({control::profile_list}).empty()) {
        ui_.message_box("削除するプロファイルが選択されていません。", mb_exclamation, error_title);
        return;
    }
    if (ui_.message_box("データが削除されます。続けますか？", mb_question | mb_yes_no,
                        inquiry_title) != answer_yes) {
        return;
    }
    const auto deleted =
        delete_profile(*state_.file_system, state_.table, view_.text({control::profile_list}));
    switch (deleted.result) {
        case store_result::status::not_found:
            ui_.message_box("このプロファイルはデータベースに存在しません。", mb_critical,
                            error_title);
            return;
        case store_result::status::failed:
            ui_.message_box(deleted.error_description, mb_critical,
                            numbered_error_title(deleted.error_number));
            return;
        case store_result::status::shared_place:
        case store_result::status::not_shift_jis:
            ui_.message_box(untouched_file_message(deleted.result), mb_critical, error_title);
            return;
        case store_result::status::done:
        case store_result::status::needs_consent:  // a deletion never asks
            break;
    }
    clear_input();
    view_.set_list_visible(false);
    // The deleted profile's line is gone from the table now, or blank: the list loses its entry.
    list_entries_.take(state_.table);
    view_.set_list_entries(list_entries_);
    std::string error_text;
    if (!deleted.table_current && !load_profiles(*state_.file_system, state_.table, error_text)) {
        ui_.message_box(error_text, mb_critical, error_title);
        view_.set_list_visible(true);
        return;
    }
    refresh_list(false);
    finish_database_update();
}

void main_form::submit_bt_click() {
    if (!check_input()) {
        ui_.beep();
        return;
    }
    view_.set_status_text("処理中です。しばらくお待ちください。");
    const auto record = record_from_controls();
    submit_listener listener(ui_);
    apply_profile(record,
                  {*state_.file_system, shell_, state_.network_settings.get(), state_.waiter.get(),
                   state_.change_log.get(), view_.window_handle()},
                  listener);
    view_.set_status_text("");
}

void main_form::ver_bt_click() {
    view_.set_topmost(false);
    ui_.beep();
    view_.show_about_dialog();
    view_.set_topmost(true);
}

// --- focus, mouse and keys ----------------------------------------------------------------

void main_form::got_focus(control_ref c) {
    if (!takes_focus_events(c.id)) {
        return;
    }
    view_.set_status_text(help_text(c));
    if (is_text_input(c.id) && !mouse_pressed_) {
        view_.set_selection(c, 0, character_count(view_.text(c)));
    }
}

void main_form::lost_focus(control_ref c) {
    if (takes_focus_events(c.id)) {
        view_.set_status_text("");
    }
}

// A disabled input raises no mouse events.
void main_form::mouse_down(control_ref c) {
    if (is_text_input(c.id) && view_.enabled(c)) {
        mouse_pressed_ = true;
    }
}

void main_form::mouse_up(control_ref c) {
    if (is_text_input(c.id) && view_.enabled(c)) {
        mouse_pressed_ = false;
    }
}

void main_form::key_press(control_ref c, int& key_ascii) {
    if (is_address_field(c.id)) {
        key_ascii = filter_octet_key(key_ascii);
    }
}

int main_form::typed_character(control_ref c, int key_ascii) {
    form_key_press(key_ascii);
    if (key_ascii != 0) {
        key_press(c, key_ascii);
    }
    return key_ascii;
}

std::u32string main_form::typed_text(control_ref c, const std::u32string& text) {
    std::u32string kept;
    for (const char32_t character : text) {
        if (const int code = typed_character(c, static_cast<int>(character)); code > 0) {
            kept += static_cast<char32_t>(code);
        }
    }
    return kept;
}

void main_form::key_up(control_ref c, int key, int shift) {
    if (!is_address_field(c.id) || shift > 0) {
        return;
    }
    const bool digit_key = (key >= vk_0 && key <= vk_9) || (key >= vk_numpad0 && key <= vk_numpad9);
    if (!digit_key) {
        return;
    }
    if (character_count(view_.text(c)) != view_.max_length(c)) {
        return;
    }
    bool cancel = false;
    validate(c, cancel);
    if (cancel) {
        return;
    }
    view_.set_focus(c.index >= boxes_per_field - 1 ? after_field(c.id)
                                                   : control_ref{c.id, c.index + 1});
}

void main_form::validate(control_ref c, bool& cancel) {
    if (!is_address_field(c.id)) {
        return;
    }
    const bool mask = c.id == control::net_mask_txt;
    // The box before is read first, as it stands.
    const std::string previous = mask && c.index >= 1 ? view_.text({c.id, c.index - 1}) : "";
    std::string text = view_.text(c);
    if (text.empty()) {
        return;
    }
    if (const auto value = octet_value(text)) {
        text = std::to_string(*value);  // 007 becomes 7
        view_.set_text(c, text);
    }
    const bool accepted =
        mask ? check_mask_octet(text, previous, c.index) : check_octet(text, c.index);
    if (accepted) {
        return;
    }
    std::string message;
    if (mask) {
        message = c.index == 0
                      ? "このサブネットマスクは無効です。有効なサブネットマスクを入力してください。"
                      : "このサブネットマスクは無効です。サブネットマスクは連続した値である必要が"
                        "あります。有効なサブネットマスクを入力してください。";
    } else {
        message = c.index == 0 ? "\"1～254\"の数値を設定してください。"
                               : "\"0～254\"の数値を設定してください。";
    }
    ui_.message_box(message, mb_exclamation, error_title);
    view_.set_text(c, "");
    cancel = true;
}

bool main_form::may_leave(control_ref c) {
    bool cancel = false;
    validate(c, cancel);
    return !cancel;
}

// --- procedures ---------------------------------------------------------------------------

void main_form::clear_input() {
    view_.set_text({control::connect_txt}, "");
    view_.set_enabled({control::connect_txt}, true);
    for (control field : address_fields) {
        for (int i = 0; i < boxes_per_field; ++i) {
            view_.set_text({field, i}, "");
        }
    }
    view_.set_check_value(unchecked);
}

void main_form::enable_address(bool enabled) {
    for (control field : address_fields) {
        for (int i = 0; i < boxes_per_field; ++i) {
            view_.set_enabled({field, i}, enabled);
        }
    }
}

void main_form::show_profile(const profile_record& record) {
    view_.set_text({control::connect_txt}, record.connect_name);
    view_.set_enabled({control::connect_txt}, false);
    if (record.dhcp_flag == "1") {
        view_.set_check_value(checked);
        enable_address(false);
        return;
    }
    view_.set_check_value(unchecked);
    enable_address(true);
    const std::pair<control, const std::string*> fields[] = {
        {control::ip_add_txt, &record.ip_add},   {control::net_mask_txt, &record.net_mask},
        {control::gateway_txt, &record.gateway}, {control::dns1_txt, &record.dns1},
        {control::dns2_txt, &record.dns2},       {control::dns3_txt, &record.dns3}};
    for (const auto& [field, address] : fields) {
        if (address->empty()) {
            continue;  // an empty address changes no box
        }
        // A hand-edited address of more than four pieces fills the four boxes it has.
        const auto pieces = split_text(*address, '.');
        for (std::size_t i = 0; i < pieces.size() && i < boxes_per_field; ++i) {
            view_.set_text({field, static_cast<int>(i)}, pieces[i]);
        }
    }
}

bool main_form::check_input() {
    if (view_.text({control::profile_list}).empty()) {
        report_incomplete({control::profile_list}, "プロファイル名を入力してください。");
        return false;
    }
    if (view_.text({control::connect_txt}).empty()) {
        report_incomplete({control::connect_txt}, "有効な接続名を入力してください。");
        return false;
    }
    if (view_.check_value() != unchecked) {
        return true;
    }
    const std::pair<control, const char*> required[] = {
        {control::ip_add_txt, "ＩＰアドレスを入力してください。"},
        {control::net_mask_txt, "サブネットマスクを入力してください。"},
        {control::gateway_txt, "ディフォルトゲートウェイを入力してください。"}};
    for (const auto& [field, message] : required) {
        for (int i = 0; i < boxes_per_field; ++i) {
            if (view_.text({field, i}).empty()) {
                report_incomplete({field, i}, message);
                return false;
            }
        }
    }
    for (control field : {control::dns1_txt, control::dns2_txt, control::dns3_txt}) {
        int empty_boxes = 0;
        for (int i = 0; i < boxes_per_field; ++i) {
            empty_boxes += view_.text({field, i}).empty() ? 1 : 0;
        }
        if (empty_boxes > 0 && empty_boxes < boxes_per_field) {
            report_incomplete({field, 0}, dns_incomplete);
            return false;
        }
    }
    return true;
}

profile_record main_form::record_from_controls() const {
    profile_record record;
    record.profile_name = view_.text({control::profile_list});
    record.connect_name = view_.text({control::connect_txt});
    const bool dhcp = view_.check_value() != unchecked;
    record.dhcp_flag = std::string(1, dhcp ? '1' : '0');
    if (dhcp) {
        return record;
    }
    record.ip_add = joined_address(control::ip_add_txt);
    record.net_mask = joined_address(control::net_mask_txt);
    record.gateway = joined_address(control::gateway_txt);
    for (auto [field, target] :
         {std::pair{control::dns1_txt, &record.dns1}, std::pair{control::dns2_txt, &record.dns2},
          std::pair{control::dns3_txt, &record.dns3}}) {
        if (!view_.text({field, 0}).empty()) {
            *target = joined_address(field);
        }
    }
    return record;
}

std::string main_form::help_text(control_ref c) {
    constexpr const char* range_254 = "：0～254までの数値を設定します。";
    switch (c.id) {
        case control::profile_list:
            return "プロファイル名";
        case control::connect_txt:
            return "接続名（通常は「ローカル エリア接続」です）";
        case control::dhcp_chk:
            return "DHCPで動的設定をする場合はチェックを入れてください。";
        case control::ip_add_txt:
            return std::string("IPアドレス") + range_254;
        case control::net_mask_txt:
            return "サブネットマスク：0～255までの数値を設定します。";
        case control::gateway_txt:
            return std::string("ディフォルトゲートウェイ") + range_254;
        case control::dns1_txt:
            return std::string("優先DSNを設定します") + range_254;
        case control::dns2_txt:
            return std::string("代替DSNを設定します") + range_254;
        case control::dns3_txt:
            return std::string("３つ目のDSN") + range_254;
        default:
            return "";
    }
}

// --- helpers ------------------------------------------------------------------------------

std::string main_form::joined_address(control field) const {
    return view_.text({field, 0}) + "." + view_.text({field, 1}) + "." + view_.text({field, 2}) +
           "." + view_.text({field, 3});
}

void main_form::report_incomplete(control_ref focus_to, const std::string& message) {
    view_.set_focus(focus_to);
    ui_.process_pending_events();  // the focused control's help text is written first
    view_.set_status_text(message);
}

// Shows the reloaded table in the list: one entry per profile, in file order.
void main_form::refresh_list(bool keep_text) {
    const std::string remembered = view_.text({control::profile_list});
    view_.set_list_visible(false);
    list_entries_.take(state_.table);
    view_.set_list_entries(list_entries_);
    view_.set_text({control::profile_list}, keep_text ? remembered : "");
    view_.set_list_visible(true);
}

void main_form::finish_database_update() {
    view_.set_focus({control::profile_list});
    ui_.process_pending_events();
    view_.set_status_text(database_updated);
}

}  // namespace norvane
