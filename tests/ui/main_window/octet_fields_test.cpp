// The octet boxes: keystroke filter, validation rules and messages, automatic advance and the
// status-bar help.
#include <gtest/gtest.h>

#include "support/form_fixture.h"
#include "ui/main_window/octet_rules.h"

namespace norvane {
namespace {

using testing::form_fixture;

TEST(filter_octet_key, lets_only_digits_and_backspace_through) {
    for (int code = -300; code < 70000; ++code) {
        const bool passes = code == 8 || (code >= '0' && code <= '9');
        ASSERT_EQ(filter_octet_key(code), passes ? code : 0) << code;
    }
}

TEST(check_mask_octet, run_of_ones_after_255_and_only_zero_after_anything_else) {
    const int mask_set[] = {128, 192, 224, 240, 248, 252, 254, 255};
    for (int v = 0; v <= 300; ++v) {
        const auto text = std::to_string(v);
        const bool in_set =
            std::find(std::begin(mask_set), std::end(mask_set), v) != std::end(mask_set);
        EXPECT_EQ(check_mask_octet(text, "", 0), in_set) << v;
        EXPECT_EQ(check_mask_octet(text, "255", 2), in_set || v == 0) << v;
        for (const char* previous : {"254", "240", "0", "", "x"}) {
            EXPECT_EQ(check_mask_octet(text, previous, 1), v == 0) << v << " after " << previous;
        }
    }
    EXPECT_FALSE(check_mask_octet("ff", "255", 1));
}

struct validation_case {
    control field;
    int index;
    const char* before;  // text of the box before (mask only)
    const char* typed;
    const char* after;    // the box's text afterwards
    const char* message;  // "" when accepted
};

class validation_test : public form_fixture,
                        public ::testing::WithParamInterface<validation_case> {};

TEST_P(validation_test, normalises_or_refuses_with_the_message_of_the_box_index) {
    const auto& c = GetParam();
    load({});
    if (c.index > 0) {
        view.set_text({c.field, c.index - 1}, c.before);
    }
    view.set_text({c.field, c.index}, c.typed);
    bool cancel = false;
    form.validate({c.field, c.index}, cancel);
    EXPECT_EQ(view.text({c.field, c.index}), c.after);
    EXPECT_EQ(cancel, *c.message != '\0');
    if (*c.message != '\0') {
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0], (testing::shown_message{c.message, 48, "エラー"}));
    } else {
        EXPECT_TRUE(ui.messages.empty());
    }
}

const char* const range_1 = "\"1～254\"の数値を設定してください。";
const char* const range_0 = "\"0～254\"の数値を設定してください。";
const char* const mask_0 =
    "このサブネットマスクは無効です。有効なサブネットマスクを入力してください。";
const char* const mask_n =
    "このサブネットマスクは無効です。サブネットマスクは連続した値である必要があります。"
    "有効なサブネットマスクを入力してください。";

INSTANTIATE_TEST_SUITE_P(
    rules, validation_test,
    ::testing::Values(validation_case{control::ip_add_txt, 0, "", "", "", ""},
                      validation_case{control::ip_add_txt, 0, "", "000", "", range_1},
                      validation_case{control::ip_add_txt, 1, "", "000", "0", ""},
                      validation_case{control::ip_add_txt, 0, "", "254", "254", ""},
                      validation_case{control::ip_add_txt, 2, "", "99999", "", range_0},
                      validation_case{control::ip_add_txt, 3, "", "255", "", range_0},
                      validation_case{control::gateway_txt, 1, "", "012", "12", ""},
                      validation_case{control::gateway_txt, 2, "", "007", "7", ""},
                      validation_case{control::dns3_txt, 0, "", "300", "", range_1},
                      validation_case{control::dns2_txt, 2, "", "abc", "",
                                      range_0},  // from a hand-edited file
                      validation_case{control::net_mask_txt, 0, "", "0", "", mask_0},
                      validation_case{control::net_mask_txt, 0, "", "127", "", mask_0},
                      validation_case{control::net_mask_txt, 0, "", "255", "255", ""},
                      validation_case{control::net_mask_txt, 1, "255", "240", "240", ""},
                      validation_case{control::net_mask_txt, 1, "255", "241", "", mask_n},
                      validation_case{control::net_mask_txt, 2, "240", "128", "", mask_n},
                      validation_case{control::net_mask_txt, 2, "240", "000", "0", ""},
                      validation_case{control::net_mask_txt, 3, "255", "256", "", mask_n},
                      validation_case{control::net_mask_txt, 1, "", "255", "", mask_n},
                      validation_case{control::net_mask_txt, 2, "x", "0", "0", ""}));

TEST_F(form_fixture, typing_three_digits_validates_and_advances_with_the_next_text_selected) {
    load({});
    view.set_text({control::ip_add_txt, 1}, "168");
    view.type({control::ip_add_txt, 0}, "192");
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 1}));
    EXPECT_EQ(view.selection_of, (control_ref{control::ip_add_txt, 1}));
    EXPECT_EQ(view.selection, (std::pair{0, 3}));
    EXPECT_EQ(view.status, "IPアドレス：0～254までの数値を設定します。");
}

TEST_F(form_fixture, the_advance_walks_every_field_and_ends_on_the_profile_list) {
    load({});
    const std::pair<control_ref, control_ref> moves[] = {
        {{control::gateway_txt, 2}, {control::gateway_txt, 3}},
        {{control::ip_add_txt, 3}, {control::net_mask_txt, 0}},
        {{control::net_mask_txt, 3}, {control::gateway_txt, 0}},
        {{control::gateway_txt, 3}, {control::dns1_txt, 0}},
        {{control::dns1_txt, 3}, {control::dns2_txt, 0}},
        {{control::dns2_txt, 3}, {control::dns3_txt, 0}},
        {{control::dns3_txt, 3}, {control::profile_list, 0}}};
    for (const auto& [from, to] : moves) {
        if (from.id == control::net_mask_txt) {
            view.set_text({from.id, from.index - 1}, "255");
        }
        view.type(from, from.id == control::net_mask_txt ? "000" : "100", true);
        EXPECT_EQ(view.focused, to) << static_cast<int>(from.id);
    }
    EXPECT_EQ(view.status, "プロファイル名");
    view.type({control::gateway_txt, 2}, "007");
    EXPECT_EQ(box(control::gateway_txt, 2), "7");
    EXPECT_EQ(view.focused, (control_ref{control::gateway_txt, 3}));
    EXPECT_EQ(view.status, "ディフォルトゲートウェイ：0～254までの数値を設定します。");
}

TEST_F(form_fixture, a_refused_third_digit_keeps_the_focus_in_the_emptied_box) {
    load({});
    view.type({control::dns1_txt, 1}, "300");
    EXPECT_EQ(view.focused, (control_ref{control::dns1_txt, 1}));
    EXPECT_EQ(box(control::dns1_txt, 1), "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, range_0);
    // Emptied, the box no longer holds the user: leaving it passes.
    EXPECT_TRUE(view.move_focus({control::dns1_txt, 2}));
}

TEST_F(form_fixture, keys_that_do_not_advance) {
    load({});
    view.type({control::ip_add_txt, 0}, "1.2\r");  // "." and Enter type nothing
    EXPECT_EQ(box(control::ip_add_txt, 0), "12");
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 0}));

    view.set_text({control::ip_add_txt, 0}, "123");
    view.release_key(vk_0 + 4, 1);  // Shift held: never advances
    view.release_key(vk_back, 0);
    view.release_key(9, 0);  // Tab
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 0}));
    EXPECT_TRUE(ui.messages.empty());

    view.release_key(vk_numpad9, 0);  // a digit released over a full box advances
    EXPECT_EQ(view.focused, (control_ref{control::ip_add_txt, 1}));
}

TEST_F(form_fixture, help_texts_follow_the_focus_and_leaving_clears_them) {
    load({});
    const std::pair<control_ref, const char*> helps[] = {
        {{control::connect_txt}, "接続名（通常は「ローカル エリア接続」です）"},
        {{control::net_mask_txt, 2}, "サブネットマスク：0～255までの数値を設定します。"},
        {{control::dns1_txt, 0}, "優先DSNを設定します：0～254までの数値を設定します。"},
        {{control::dns2_txt, 1}, "代替DSNを設定します：0～254までの数値を設定します。"},
        {{control::dns3_txt, 3}, "３つ目のDSN：0～254までの数値を設定します。"},
        {{control::dhcp_chk}, "DHCPで動的設定をする場合はチェックを入れてください。"},
        {{control::profile_list}, "プロファイル名"}};
    for (const auto& [target, help] : helps) {
        view.status_history.clear();
        view.move_focus(target);
        EXPECT_EQ(view.status_history, (std::vector<std::string>{"", help}));
    }
    EXPECT_EQ(main_form::help_text({control::save_bt}), "");
}

TEST_F(form_fixture, a_held_mouse_button_leaves_the_selection_alone) {
    load({});
    view.set_text({control::connect_txt}, "接続 1");
    form.mouse_down({control::connect_txt});
    view.move_focus({control::connect_txt});
    EXPECT_EQ(view.selection, (std::pair{static_cast<int>(std::string("接続 1").size()), 0}));
    form.mouse_up({control::connect_txt});
    view.move_focus({control::ip_add_txt, 0});
    view.move_focus({control::connect_txt});
    EXPECT_EQ(view.selection, (std::pair{0, 4}));  // four characters, not bytes
    form.mouse_down({control::profile_list});      // not one of the text inputs
    EXPECT_FALSE(form.mouse_pressed());
}

}  // namespace
}  // namespace norvane
