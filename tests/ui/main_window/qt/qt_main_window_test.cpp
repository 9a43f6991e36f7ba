// The real main window on the offscreen platform, driven with keys and clicks as a user
// drives it, over a profile.dat in a temporary directory.
#include "ui/main_window/qt/qt_main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/cp932.h"
#include "profiles/profile_store.h"
#include "support/recording_shell.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "ui/about_dialog/qt/qt_about_dialog.h"

namespace norvane {
namespace {

const std::vector<std::string> two_profiles = {
    "自宅,ローカル エリア接続,192.168.1.10,255.255.255.0,192.168.1.1,192.168.1.1,,,0",
    "会社,ローカル エリア接続,,,,,,,1"};

class qt_main_window_test : public ::testing::Test {
  protected:
    testing::temp_dir dir;
    testing::scripted_ui ui;
    testing::recording_shell shell;
    program_state state;
    std::unique_ptr<qt_main_window> window;

    // Opens the window on a profile.dat of these lines (none: no file).
    void open(const std::vector<std::string>& lines) {
        if (!lines.empty()) {
            std::string bytes;
            for (const auto& line : lines) {
                bytes += host::to_cp932(line) + "\r\n";
            }
            testing::write_bytes(profile_file_name, bytes);
        }
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
    static QString focus_name() {
        const QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus->objectName() : QStringLiteral("(none)");
    }

    // Keys go to whichever control has the focus when each is typed.
    static void type(const char* keys) {
        for (const char* key = keys; *key != '\0'; ++key) {
            QTest::keyClick(QApplication::focusWidget(), *key);
        }
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // A click that arrives through the window system, as a user's click does.
    void click(QWidget* target) const {
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          target->mapTo(window.get(), target->rect().center()));
    }
};

TEST_F(qt_main_window_test, opens_on_the_first_profile_with_the_focus_in_the_list) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    EXPECT_EQ(window->windowTitle(), "Norvane for Windows2000");
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    ASSERT_EQ(list()->count(), 2);
    EXPECT_EQ(list()->itemText(0), "自宅");
    EXPECT_EQ(list()->itemText(1), "会社");
    EXPECT_EQ(list()->currentText(), "自宅");
    EXPECT_EQ(window->text({control::connect_txt}), "ローカル エリア接続");
    EXPECT_EQ(box(control::ip_add_txt, 3)->text(), "10");
    EXPECT_EQ(box(control::net_mask_txt, 0)->text(), "255");
    EXPECT_EQ(focus_name(), "profile_list");
    EXPECT_EQ(window->status_text(), "プロファイル名");
}

TEST_F(qt_main_window_test, leaving_a_typed_name_of_another_profile_is_no_choice) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    type("x");                                    // the user edits the name...
    list()->setEditText(QStringLiteral("会社"));  // ...into the name of another profile
    press(Qt::Key_Tab);
    EXPECT_NE(focus_name(), "profile_list");
    EXPECT_EQ(list()->currentText(), "会社");
    EXPECT_FALSE(qobject_cast<QCheckBox*>(widget(control::dhcp_chk))->isChecked());
    EXPECT_EQ(box(control::ip_add_txt, 3)->text(), "10");  // still the profile shown before
}

TEST_F(qt_main_window_test, tab_walks_the_controls_in_their_order) {
    ASSERT_NO_FATAL_FAILURE(open({}));  // no profile: every input is enabled
    QStringList expected = {"profile_list", "connect_txt"};
    for (const char* field :
         {"ip_add_txt", "net_mask_txt", "gateway_txt", "dns1_txt", "dns2_txt", "dns3_txt"}) {
        for (int i = 0; i < boxes_per_field; ++i) {
            expected << QStringLiteral("%1_%2").arg(field).arg(i);
        }
    }
    expected << "dhcp_chk"
             << "save_bt"
             << "submit_bt"
             << "ver_bt"
             << "end_bt"
             << "delete_bt"
             << "new_bt"
             << "profile_list";
    for (qsizetype i = 1; i < expected.size(); ++i) {
        press(Qt::Key_Tab);
        EXPECT_EQ(focus_name(), expected[i]) << "tab " << i;
    }
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focus_name(), "new_bt");
}

TEST_F(qt_main_window_test, octet_boxes_and_enter_take_only_what_the_logic_lets_through) {
    ASSERT_NO_FATAL_FAILURE(open({}));
    struct case_ {
        control_ref target;
        std::function<void()> keys;
        QString expected;
    };
    const case_ cases[] = {
        {{control::ip_add_txt, 0}, [] { type("a. 7"); }, "7"},
        {{control::ip_add_txt, 1}, [] { press(Qt::Key_5, Qt::KeypadModifier); }, "5"},
        {{control::ip_add_txt, 2}, [] { type("1\r"); }, "1"},
        {{control::connect_txt},
         [] {
             type("eth0");
             press(Qt::Key_Return);
         },
         "eth0"},
        {{control::profile_list},
         [] {
             type("new");
             press(Qt::Key_Return);
         },
         "new"},
        {{control::profile_list},
         [] {
             type("x");
             press(Qt::Key_Enter, Qt::KeypadModifier);
         },
         "x"},
    };
    for (const auto& c : cases) {
        window->set_text(c.target, "");
        window->set_focus(c.target);
        c.keys();
        EXPECT_EQ(QString::fromStdString(window->text(c.target)), c.expected);
    }
    EXPECT_EQ(list()->count(), 0);  // Enter added no entry
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(qt_main_window_test, choosing_a_dhcp_profile_and_ticking_dhcp_disable_the_boxes) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    auto all_boxes_enabled = [this](bool expected) {
        for (control field : address_fields) {
            for (int i = 0; i < boxes_per_field; ++i) {
                if (box(field, i)->isEnabled() != expected) {
                    return false;
                }
            }
        }
        return true;
    };
    press(Qt::Key_Down);  // the next entry of the list: the DHCP profile
    EXPECT_EQ(list()->currentText(), "会社");
    EXPECT_EQ(window->list_index(), 1);
    EXPECT_EQ(window->check_value(), checked);
    EXPECT_TRUE(all_boxes_enabled(false));

    click(widget(control::dhcp_chk));
    EXPECT_EQ(window->check_value(), unchecked);
    EXPECT_TRUE(all_boxes_enabled(true));
    click(widget(control::dhcp_chk));
    EXPECT_TRUE(all_boxes_enabled(false));

    window->set_focus({control::profile_list});
    type("x");  // typing in the list's text selects no entry
    EXPECT_NE(list()->currentText(), "会社");
    EXPECT_EQ(window->list_index(), -1);
}

TEST_F(qt_main_window_test, three_digits_move_on_to_the_next_box_with_its_text_selected) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    for (const Qt::KeyboardModifiers keypad : {Qt::NoModifier, Qt::KeypadModifier}) {
        window->set_focus({control::ip_add_txt, 0});
        EXPECT_EQ(box(control::ip_add_txt, 0)->selectedText().size(), 3);
        for (const Qt::Key digit : {Qt::Key_1, Qt::Key_9, Qt::Key_3}) {
            press(digit, keypad);
        }
        EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "193");
        EXPECT_EQ(focus_name(), "ip_add_txt_1") << "keypad " << (keypad != Qt::NoModifier);
        EXPECT_EQ(box(control::ip_add_txt, 1)->selectedText(), "168");
    }
    EXPECT_EQ(window->status_text(), main_form::help_text({control::ip_add_txt, 1}));
    press(Qt::Key_5, Qt::ShiftModifier);  // no advance while Shift is held
    press(Qt::Key_5, Qt::ShiftModifier);
    press(Qt::Key_5, Qt::ShiftModifier);
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
}

TEST_F(qt_main_window_test, an_out_of_range_octet_keeps_the_focus_in_the_emptied_box) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    window->set_focus({control::dns1_txt, 1});
    type("300");
    EXPECT_EQ(focus_name(), "dns1_txt_1");
    EXPECT_EQ(box(control::dns1_txt, 1)->text(), "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "\"0～254\"の数値を設定してください。");
    EXPECT_EQ(ui.messages[0].style, mb_exclamation);
}

TEST_F(qt_main_window_test, a_refused_box_keeps_the_focus_however_it_is_left) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    const std::string file_before = testing::read_bytes(profile_file_name);
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
        type("0");  // the first octet accepts 1 to 254
        leave();
        EXPECT_EQ(focus_name(), "ip_add_txt_0") << way;
        EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "") << way;
        EXPECT_EQ(ui.messages.size(), ++messages) << way;
    }
    EXPECT_EQ(save_clicks.count(), 0);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);  // the list did not drop down
    EXPECT_EQ(testing::read_bytes(profile_file_name), file_before);
}

TEST_F(qt_main_window_test, tab_validates_the_box_and_goes_to_the_next_control_only) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    window->set_focus({control::gateway_txt, 2});
    type("07");
    press(Qt::Key_Tab);
    EXPECT_EQ(focus_name(), "gateway_txt_3");
    EXPECT_EQ(box(control::gateway_txt, 2)->text(), "7");  // normalised by the validation
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(qt_main_window_test, a_longer_stored_octet_is_shown_whole_and_refused_when_left) {
    ASSERT_NO_FATAL_FAILURE(open({"hand,eth0,1000.0.0.1,255.0.0.0,10.0.0.1,,,,0"}));
    EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "1000");  // the limit holds typing only
    window->set_focus({control::ip_add_txt, 0});
    press(Qt::Key_Tab);
    EXPECT_EQ(focus_name(), "ip_add_txt_0");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "\"1～254\"の数値を設定してください。");
    type("1234");  // typing is held to three digits again; the third moves on
    EXPECT_EQ(box(control::ip_add_txt, 0)->text(), "123");
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
}

TEST_F(qt_main_window_test, a_click_into_a_box_places_the_caret_instead_of_selecting) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    QLineEdit* target = box(control::ip_add_txt, 1);
    QSignalSpy selections(target, &QLineEdit::selectionChanged);
    click(target);
    EXPECT_EQ(focus_name(), "ip_add_txt_1");
    EXPECT_EQ(selections.count(), 0);  // the mouse-down came before the focus
    EXPECT_FALSE(window->form().mouse_pressed());
    EXPECT_EQ(window->status_text(), main_form::help_text({control::ip_add_txt, 1}));
}

TEST_F(qt_main_window_test, another_window_coming_and_going_is_no_focus_change) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(window->status_text(), "プロファイル名");  // no lost-focus reaction
    window->set_status_text("kept");
    other.hide();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(focus_name(), "profile_list");
    EXPECT_EQ(window->status_text(), "kept");  // no got-focus reaction
}

TEST_F(qt_main_window_test, information_shows_the_about_dialog_in_front_and_modal) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    bool seen = false;
    bool modal = false;
    bool owner_topmost = true;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<qt_about_dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        watcher.stop();
        seen = true;
        modal = dialog->isModal() && dialog->parentWidget() == window.get();
        owner_topmost = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        dialog->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    watcher.start();
    click(widget(control::ver_bt));
    watcher.stop();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(owner_topmost);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(qt_main_window_test, end_closes_the_window_and_releases_the_file_component) {
    ASSERT_NO_FATAL_FAILURE(open(two_profiles));
    click(widget(control::end_bt));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(state.file_system, nullptr);
}

}  // namespace
}  // namespace norvane
