// The real main window on the offscreen platform, driven with keys and clicks as a user
// drives it. What the window decides is tested without a display; these tests prove that the
// widgets hand their events over to the logic in the right order and carry out its answers.
#include "ui/main_window/qt/qt_main_window.h"
#include "host/platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "profiles/profile_store.h"
#include "support/recording_shell.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "ui/about_dialog/qt/qt_about_dialog.h"

namespace norvane {
namespace {

// The window opened on two profiles: a fixed address, then DHCP.
class qt_main_window_test : public ::testing::Test {
  protected:
    testing::temp_dir dir;
    testing::scripted_ui ui;
    testing::recording_shell shell;
    program_state state;
    std::unique_ptr<qt_main_window> window;

    void SetUp() override {
        testing::write_bytes(profile_file_name,
                             host::to_cp932("自宅,ローカル エリア接続,192.168.1.10,255.255.255.0,"
                                            "192.168.1.1,192.168.1.1,,,0\r\n"
                                            "会社,ローカル エリア接続,,,,,,,1\r\n"));
        state.file_system = host::create_file_system();
        std::string error_text;
        ASSERT_TRUE(load_profiles(*state.file_system, state.table, error_text)) << error_text;
        window = std::make_unique<qt_main_window>(ui, state, shell);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QWidget* widget(control id, int index = 0) const { return window->control_widget({id, index}); }
    QLineEdit* box(control field, int index) const {
        return qobject_cast<QLineEdit*>(widget(field, index));
    }
    QComboBox* list() const { return qobject_cast<QComboBox*>(widget(control::profile_list)); }
    static std::string focus_name() {
        const QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus->objectName().toStdString() : "(none)";
    }
    // Each key goes to whichever control has the focus when it is typed.
    static void type(const char* keys, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        for (const char* key = keys; *key != '\0'; ++key) {
            QTest::keyClick(QApplication::focusWidget(), *key, modifiers);
        }
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // A click that arrives through the window system, as a user's click does.
    void click(const QWidget* target) const {
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          target->mapTo(window.get(), target->rect().center()));
    }
};

TEST_F(qt_main_window_test, opens_on_the_first_profile_and_only_a_pick_from_the_list_chooses) {
    EXPECT_EQ(window->windowTitle(), "Norvane for Windows2000");
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(list()->itemText(1), "会社");
    EXPECT_EQ(list()->currentText(), "自宅");
    EXPECT_EQ(box(control::ip_add_txt, 3)->text(), "10");
    EXPECT_EQ(focus_name(), "profile_list");
    EXPECT_EQ(window->status_text(), "プロファイル名");

    type("x");  // the user edits the name...
    EXPECT_EQ(window->list_index(), -1);
    list()->setEditText(QStringLiteral("会社"));  // ...into the name of another profile
    press(Qt::Key_Tab);
    EXPECT_EQ(focus_name(), "ip_add_txt_0");  // the connection name is locked for a profile
    EXPECT_EQ(box(control::ip_add_txt, 3)->text(), "10");  // still the profile shown before
}

TEST_F(qt_main_window_test, tab_walks_the_controls_in_their_order) {
    click(widget(control::new_bt));  // a new profile: every input is enabled
    std::vector<std::string> order = {"profile_list", "connect_txt"};
    for (const char* field :
         {"ip_add_txt", "net_mask_txt", "gateway_txt", "dns1_txt", "dns2_txt", "dns3_txt"}) {
        for (int i = 0; i < boxes_per_field; ++i) {
            order.push_back(std::string(field) + "_" + std::to_string(i));
        }
    }
    order.insert(order.end(),
                 {"dhcp_chk", "save_bt", "submit_bt", "ver_bt", "end_bt", "delete_bt", "new_bt"});
    for (const std::string& name : order) {
        press(Qt::Key_Tab);
        EXPECT_EQ(focus_name(), name);
    }
}

TEST_F(qt_main_window_test,
       enter_types_nothing_and_octet_boxes_take_digits_only_however_they_come) {
    click(widget(control::new_bt));
    const std::tuple<control_ref, const char*, const char*> cases[] = {
        {{control::ip_add_txt, 0}, "a. 7\r", "7"},
        {{control::connect_txt}, "eth0\r", "eth0"},
        {{control::profile_list}, "new\r", "new"}};
    for (const auto& [target, keys, expected] : cases) {
        window->set_text(target, "");
        window->set_focus(target);
        type(keys);
        EXPECT_EQ(window->text(target), expected);
    }
    EXPECT_EQ(list()->count(), 2);  // Enter added no entry
    // Text committed by an input method passes the same filters.
    for (const control_ref target : {control_ref{control::ip_add_txt, 1}, {control::connect_txt}}) {
        window->set_focus(target);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("1ａ2"));  // a full-width letter between digits
        QApplication::sendEvent(QApplication::focusWidget(), &commit);
    }
    EXPECT_EQ(window->text({control::ip_add_txt, 1}), "12");
    EXPECT_EQ(window->text({control::connect_txt}), "1ａ2");  // over the selected text
}

TEST_F(qt_main_window_test, the_dhcp_box_disables_the_address_boxes_and_keeps_their_text) {
    const auto enabled_boxes = [this] {
        return std::ranges::count_if(
            window->findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("_txt_\\d$"))),
            &QWidget::isEnabled);
    };
    click(widget(control::dhcp_chk));
    EXPECT_EQ(window->check_value(), checked);
    EXPECT_EQ(enabled_boxes(), 0);
    EXPECT_EQ(box(control::ip_add_txt, 3)->text(), "10");
    press(Qt::Key_Space);  // focused by the click
    EXPECT_EQ(enabled_boxes(), 24);
    EXPECT_FALSE(widget(control::connect_txt)->isEnabled());  // untouched by the box
}

TEST_F(qt_main_window_test, three_digits_move_on_to_the_next_box_with_its_text_selected) {
    window->set_focus({control::ip_add_txt, 0});
    type("192", Qt::KeypadModifier);
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
    EXPECT_EQ(box(control::ip_add_txt, 1)->selectedText(), "168");
    type("111", Qt::ShiftModifier);  // no move while Shift is held
    EXPECT_EQ(box(control::ip_add_txt, 1)->text(), "111");
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
}

TEST_F(qt_main_window_test, leaving_an_octet_box_validates_it_and_a_refusal_keeps_the_focus) {
    QSignalSpy save_clicks(qobject_cast<QPushButton*>(widget(control::save_bt)),
                           &QPushButton::clicked);
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Tab", [] { press(Qt::Key_Tab); }},
        {"Shift+Tab", [] { press(Qt::Key_Backtab, Qt::ShiftModifier); }},
        {"click on Save", [this] { click(widget(control::save_bt)); }},
        {"click on the list", [this] { click(list()); }},
        {"program focus move", [this] { window->set_focus({control::connect_txt}); }},
    };
    std::size_t messages = 0;
    for (const auto& [way, leave] : ways) {
        window->set_focus({control::ip_add_txt, 0});
        type("0");  // the first octet takes 1 to 254
        leave();
        EXPECT_EQ(focus_name(), "ip_add_txt_0") << way;
        EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "") << way;
        EXPECT_EQ(ui.messages.size(), ++messages) << way;
    }
    EXPECT_EQ(save_clicks.count(), 0);

    // A stored value longer than typing allows is shown whole, and refused like a typed one.
    window->set_text({control::ip_add_txt, 0}, "1000");
    EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "1000");
    press(Qt::Key_Tab);
    EXPECT_EQ(ui.messages.size(), ++messages);

    // An edit narrows a box that shows a longer stored value to three characters again.
    window->set_text({control::ip_add_txt, 0}, "1000");
    press(Qt::Key_Backspace);
    type("05", Qt::ShiftModifier);  // Shift: no automatic advance
    press(Qt::Key_Tab);
    EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "100");
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
    EXPECT_EQ(ui.messages.size(), messages);
}

TEST_F(qt_main_window_test, a_mouse_button_held_in_an_input_leaves_selections_alone) {
    QLineEdit* clicked = box(control::ip_add_txt, 1);
    QSignalSpy selections(clicked, &QLineEdit::selectionChanged);
    const QPoint held = clicked->geometry().center();
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, held);
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
    EXPECT_EQ(selections.count(), 0);  // the mouse-down came before the focus
    press(Qt::Key_Tab);
    EXPECT_EQ(box(control::ip_add_txt, 2)->selectedText(), "");  // not Qt's own select-all
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, held);
    EXPECT_FALSE(window->form().mouse_pressed());
    press(Qt::Key_Backtab, Qt::ShiftModifier);  // no button held: the whole text is selected
    EXPECT_EQ(clicked->selectedText(), "168");
}

TEST_F(qt_main_window_test, the_wheel_turns_the_profile_list_only_while_it_has_the_focus) {
    const auto turn = [this] {
        QWheelEvent wheel(QPointF(5, 5), list()->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list(), &wheel);
    };
    window->set_focus({control::ip_add_txt, 0});
    turn();
    EXPECT_EQ(list()->currentText(), "自宅");
    EXPECT_EQ(window->check_value(), unchecked);  // still the first profile
    EXPECT_EQ(focus_name(), "ip_add_txt_0");
    window->set_focus({control::profile_list});
    turn();
    EXPECT_EQ(list()->currentText(), "会社");
}

TEST_F(qt_main_window_test, save_and_delete_show_the_file_in_the_list_and_keep_its_place) {
    const auto entries = [this] {
        std::vector<std::string> names;
        for (int i = 0; i < list()->count(); ++i) {
            names.push_back(list()->itemText(i).toStdString());
        }
        return names;
    };
    // Another copy of the program adds a profile while the window is open.
    testing::write_bytes(profile_file_name,
                         testing::read_bytes(profile_file_name) +
                             host::to_cp932("別,ローカル エリア接続,,,,,,,1\r\n"));
    click(widget(control::new_bt));
    window->set_text({control::profile_list}, "新規");
    window->set_check_value(checked);
    click(widget(control::save_bt));
    EXPECT_EQ(entries(), (std::vector<std::string>{"自宅", "会社", "別", "新規"}));
    EXPECT_EQ(list()->currentText(), "新規");  // the name as typed
    EXPECT_EQ(window->list_index(), -1);
    EXPECT_EQ(focus_name(), "profile_list");
    // The arrow keys go on from the entry the list was at before the Save: the first.
    press(Qt::Key_Down);
    EXPECT_EQ(list()->currentText(), "会社");
    EXPECT_EQ(window->list_index(), 1);

    ui.answers = {answer_yes};
    click(widget(control::delete_bt));
    EXPECT_EQ(entries(), (std::vector<std::string>{"自宅", "別", "新規"}));
    EXPECT_EQ(list()->currentText(), "");
    EXPECT_EQ(ui.messages.size(), 1u);  // the question, and no failure
    press(Qt::Key_Down);                // the current entry kept its place: 会社's, now 別's
    EXPECT_EQ(list()->currentText(), "新規");
}

TEST_F(qt_main_window_test, another_window_coming_and_going_is_no_focus_change) {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(window->status_text(), "プロファイル名");  // no lost-focus reaction
    window->set_status_text("kept");
    other.hide();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(window->status_text(), "kept");  // no got-focus reaction

    list()->showPopup();  // the drop-down takes no focus from the list either
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    list()->hidePopup();
    EXPECT_EQ(window->status_text(), "kept");
}

TEST_F(qt_main_window_test, information_shows_the_about_dialog_modal_in_front_of_the_window) {
    bool modal = false;
    bool owner_topmost = true;
    QTimer::singleShot(0, window.get(), [&] {  // runs inside the dialog's event loop
        auto* dialog = qobject_cast<qt_about_dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        modal = dialog->isModal() && dialog->parentWidget() == window.get();
        owner_topmost = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        dialog->accept();
    });
    click(widget(control::ver_bt));
    EXPECT_EQ(ui.events, std::vector<std::string>{"beep"});
    EXPECT_TRUE(modal);
    EXPECT_FALSE(owner_topmost);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(qt_main_window_test, end_closes_the_window_and_releases_the_file_component) {
    click(widget(control::end_bt));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(state.file_system, nullptr);
    EXPECT_TRUE(ui.messages.empty());  // nothing is asked
}

}  // namespace
}  // namespace norvane
