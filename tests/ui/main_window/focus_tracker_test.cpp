// The focus as the logic sees it, which both views drive: what the logic is told of focus
// changes, when the box being left is asked, and the press that a refusal swallows.
#include "ui/main_window/focus_tracker.h"

#include <gtest/gtest.h>

#include "support/form_fixture.h"

namespace norvane {
namespace {

struct focus_tracker_test : testing::form_fixture {
    focus_tracker tracker{form};
    const control_ref ip0{control::ip_add_txt, 0};
    const control_ref ip1{control::ip_add_txt, 1};
    const control_ref list{control::profile_list};
};

TEST_F(focus_tracker_test, the_logic_hears_of_a_change_once_and_not_of_a_return) {
    tracker.focus_in(ip0);
    tracker.focus_in(ip0);  // back from a message box, or within one control
    tracker.focus_in(list);
    tracker.focus_out(ip0);  // not the control the logic sees focused: nothing
    EXPECT_EQ(view.status_history,
              (std::vector<std::string>{form.help_text(ip0), "", "プロファイル名"}));
    tracker.focus_out(list);
    EXPECT_EQ(view.status, "");
    EXPECT_EQ(tracker.focus(), std::nullopt);
    tracker.focus_in(ip1);  // after a loss for good, only the gain
    EXPECT_EQ(view.status_history.size(), 5u);
}

TEST_F(focus_tracker_test, a_refusing_box_keeps_the_focus_and_swallows_the_whole_press) {
    EXPECT_TRUE(tracker.may_move_to(ip1));  // no control focused yet: nothing to ask
    tracker.focus_in(ip0);
    view.set_text(ip0, "0");  // box 0 refuses 0
    EXPECT_TRUE(tracker.may_move_to(ip0));
    EXPECT_TRUE(ui.messages.empty());

    EXPECT_FALSE(tracker.press(ip1, true));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(form.mouse_pressed());  // no mouse-down reaction for a swallowed press
    EXPECT_TRUE(tracker.swallowing());
    EXPECT_FALSE(tracker.release());
    EXPECT_TRUE(tracker.release());  // only the one release

    // The box now empty lets the focus go; a press moving no focus asks nothing.
    EXPECT_TRUE(tracker.press(ip1, true));
    EXPECT_TRUE(form.mouse_pressed());
    view.set_text(ip0, "0");
    EXPECT_TRUE(tracker.press(std::nullopt, false));
    EXPECT_FALSE(tracker.may_move_to(std::nullopt));
    EXPECT_EQ(tracker.focus(), ip0);
    EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
}  // namespace norvane
