// The octet boxes: keystroke filter, validation rules and messages, automatic advance and the
// status-bar help.
#include <gtest/gtest.h>

#include <set>

#include "support/form_fixture.h"
#include "ui/main_window/octet_rules.h"

namespace norvane {
namespace {

using testing::form_fixture;

TEST(octet_rules, filter_and_mask_sets) {
    for (int code : {8, 48, 57, 47, 58, 46, 13, 0xFF10}) {  // 0, 9, /, :, ., full-width 0
        EXPECT_EQ(filter_octet_key(code), code == 8 || (code >= '0' && code <= '9') ? code : 0);
    }
    const std::set<int> run_of_ones = {128, 192, 224, 240, 248, 252, 254, 255};
    for (int v = 0; v <= 300; ++v) {
        const auto text = std::to_string(v);
        EXPECT_EQ(check_mask_octet(text, "", 0), run_of_ones.contains(v)) << v;
        EXPECT_EQ(check_mask_octet(text, "255", 2), run_of_ones.contains(v) || v == 0) << v;
        for (const char* previous : {"254", "0", "", "x"}) {
            EXPECT_EQ(check_mask_octet(text, previous, 1), v == 0) << v << " after " << previous;
        }
    }
}

TEST_F(form_fixture, validation_normalises_or_refuses_with_the_message_of_the_box_index) {
    const char* const range_1 = "\"1～254\"の数値を設定してください。";
    const char* const range_0 = "\"0～254\"の数値を設定してください。";
    const char* const mask_0 =
        "このサブネットマスクは無効です。有効なサブネットマスクを入力してください。";
    const char* const mask_n =
        "このサブネットマスクは無効です。サブネットマスクは連続した値である必要があります。"
        "有効なサブネットマスクを入力してください。";
    const struct {
        control field;
        int index;
        const char *before, *typed, *after, *message;  // before: the box before it
    } cases[] = {
        {control::ip_add_txt, 0, "", "", "", ""},
        {control::ip_add_txt, 0, "", "000", "", range_1},
        {control::ip_add_txt, 1, "", "000", "0", ""},
        {control::ip_add_txt, 0, "", "254", "254", ""},
        {control::ip_add_txt, 3, "", "255", "", range_0},
        {control::ip_add_txt, 2, "", "99999", "", range_0},
        {control::gateway_txt, 2, "", "007", "7", ""},
        {control::dns3_txt, 0, "", "300", "", range_1},
        {control::dns2_txt, 2, "", "abc", "", range_0},  // from a hand-edited file
        {control::net_mask_txt, 0, "", "127", "", mask_0},
        {control::net_mask_txt, 0, "", "255", "255", ""},
        {control::net_mask_txt, 1, "255", "241", "", mask_n},
        {control::net_mask_txt, 2, "240", "128", "", mask_n},
        {control::net_mask_txt, 2, "240", "000", "0", ""},
        {control::net_mask_txt, 3, "255", "256", "", mask_n},
    };
    load({});
    for (const auto& c : cases) {
        if (c.index > 0) {
            view.set_text({c.field, c.index - 1}, c.before);
        }
        view.set_text({c.field, c.index}, c.typed);
        ui.messages.clear();
        bool cancel = false;
        form.validate({c.field, c.index}, cancel);
        EXPECT_EQ(view.text({c.field, c.index}), c.after) << c.typed;
        EXPECT_EQ(cancel, *c.message != '\0') << c.typed;
        const std::vector<testing::shown_message> expected =
            *c.message ? std::vector<testing::shown_message>{{c.message, 48, "エラー"}}
                       : std::vector<testing::shown_message>{};
        EXPECT_EQ(ui.messages, expected) << c.typed;
    }
}

TEST_F(form_fixture, three_digits_validate_and_advance_through_every_field) {
    load({});
    view.set_text({control::ip_add_txt, 1}, "168");
    view.type({control::ip_add_txt, 0}, "192");
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 1}));
    EXPECT_EQ(view.selection, (std::pair{0, 3}));  // the next box's text is selected
    const std::pair<control_ref, control_ref> moves[] = {
        {{control::gateway_txt, 2}, {control::gateway_txt, 3}},
        {{control::ip_add_txt, 3}, {control::net_mask_txt, 0}},
        {{control::net_mask_txt, 3}, {control::gateway_txt, 0}},
        {{control::gateway_txt, 3}, {control::dns1_txt, 0}},
        {{control::dns1_txt, 3}, {control::dns2_txt, 0}},
        {{control::dns2_txt, 3}, {control::dns3_txt, 0}},
        {{control::dns3_txt, 3}, {control::profile_list, 0}}};
    for (const auto& [from, to] : moves) {
        view.set_text({control::net_mask_txt, 2}, "255");
        view.type(from, from.id == control::net_mask_txt ? "000" : "007", true);
        EXPECT_EQ(view.focused, to) << static_cast<int>(from.id);
        EXPECT_EQ(view.text(from), from.id == control::net_mask_txt ? "0" : "7");  // normalised
    }
    EXPECT_EQ(view.status, "プロファイル名");
}

TEST_F(form_fixture, keys_and_values_that_do_not_advance) {
    load({});
    view.move_focus({control::ip_add_txt, 0});
    view.set_text({control::ip_add_txt, 0}, "123");
    for (auto [key, shift] : {std::pair{vk_0 + 4, 1}, {vk_back, 0}, {9, 0}}) {
        view.release_key(key, shift);  // Shift held, Backspace, Tab
    }
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 0}));
    view.release_key(vk_numpad9, 0);  // a digit released over a full box advances
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 1}));
    EXPECT_TRUE(ui.messages.empty());
    view.type({control::dns1_txt, 1}, "300");  // refused: no advance, the box is emptied
    EXPECT_EQ(view.focused, (control_ref{control::dns1_txt, 1}));
    EXPECT_EQ(box(control::dns1_txt, 1), "");
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(view.move_focus({control::dns1_txt, 2}));  // emptied, it holds no one
}

TEST_F(form_fixture, help_texts_follow_the_focus_and_leaving_clears_them) {
    load({});
    const std::pair<control_ref, const char*> helps[] = {
        {{control::net_mask_txt, 2}, "サブネットマスク：0～255までの数値を設定します。"},
        {{control::dns3_txt, 3}, "３つ目のDSN：0～254までの数値を設定します。"},
        {{control::dhcp_chk}, "DHCPで動的設定をする場合はチェックを入れてください。"},
        {{control::save_bt}, nullptr}};  // a button has no help and clears none
    for (const auto& [target, help] : helps) {
        view.status_history.clear();
        view.move_focus(target);
        const auto expected =
            help ? std::vector<std::string>{"", help} : std::vector<std::string>{""};
        EXPECT_EQ(view.status_history, expected);
    }
}

TEST_F(form_fixture, a_held_mouse_button_leaves_the_selection_alone) {
    load({});
    view.set_text({control::connect_txt}, "接続 1");
    form.mouse_down({control::connect_txt});
    view.move_focus({control::connect_txt});
    EXPECT_NE(view.selection, (std::pair{0, 4}));
    form.mouse_up({control::connect_txt});
    view.move_focus({control::ip_add_txt, 0});
    view.move_focus({control::connect_txt});
    EXPECT_EQ(view.selection, (std::pair{0, 4}));  // four characters, not bytes
}

}  // namespace
}  // namespace norvane
