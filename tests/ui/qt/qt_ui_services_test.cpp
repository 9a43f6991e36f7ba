// The real Qt message boxes: each style's buttons, left to right, and the answer of each
// button, of Escape and of closing the box. A wrong answer here turns いいえ or a closed
// question into a deletion.
#include "ui/qt/qt_ui_services.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace norvane {
namespace {

// Shows a box of the style, hands it to act from inside its event loop and returns the answer.
int answer(int style, const std::function<void(QMessageBox&)>& act) {
    QTimer::singleShot(0, [&act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(*box);
    });
    qt_ui_services ui;
    return ui.message_box("text", style, "title");
}

// The buttons of a box, left to right.
std::vector<QAbstractButton*> buttons_of(const QMessageBox& box) {
    const QList<QAbstractButton*> list = box.buttons();
    std::vector<QAbstractButton*> buttons(list.begin(), list.end());
    std::ranges::sort(
        buttons, {}, [&box](const QAbstractButton* b) { return b->mapTo(&box, QPoint(0, 0)).x(); });
    return buttons;
}

TEST(qt_ui_services_test, each_style_has_its_buttons_and_escape_or_closing_answers_the_last) {
    const struct {
        int style;  // the buttons; the icon plays no part
        std::vector<QString> texts;
        std::vector<int> answers;
        int escape;  // the answer of Escape and of closing the box
    } cases[] = {
        {mb_critical, {"OK"}, {answer_ok}, answer_ok},
        {mb_ok_cancel, {"OK", "キャンセル"}, {answer_ok, answer_cancel}, answer_cancel},
        {mb_yes_no, {"はい(&Y)", "いいえ(&N)"}, {answer_yes, answer_no}, answer_no},
    };
    for (const auto& c : cases) {
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            std::vector<QString> texts;
            bool first_is_default = false;
            const int clicked = answer(c.style, [&](QMessageBox& box) {
                const auto buttons = buttons_of(box);
                for (const QAbstractButton* button : buttons) {
                    texts.push_back(button->text());
                }
                first_is_default = box.defaultButton() == buttons.front();
                buttons.at(i)->click();
            });
            EXPECT_EQ(texts, c.texts) << c.style;
            EXPECT_TRUE(first_is_default) << c.style;
            EXPECT_EQ(clicked, c.answers[i]) << c.style << " button " << i;
        }
        EXPECT_EQ(answer(c.style, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
                  c.escape)
            << c.style;
        EXPECT_EQ(answer(c.style, [](QMessageBox& box) { box.close(); }), c.escape) << c.style;
    }
}

// The question after a failed change: Yes and No with No the default, so that Enter keeps
// the settings as they are.
TEST(qt_ui_services_test, the_second_button_flag_makes_no_the_default_and_enter_answers_it) {
    for (const int style :
         {mb_question | mb_yes_no, mb_question | mb_yes_no | mb_default_button2}) {
        const bool second = (style & mb_default_button2) != 0;
        QString default_text;
        const int answered = answer(style, [&](QMessageBox& box) {
            default_text = box.defaultButton() != nullptr ? box.defaultButton()->text() : "";
            QTest::keyClick(&box, Qt::Key_Return);
        });
        EXPECT_EQ(default_text, second ? "いいえ(&N)" : "はい(&Y)") << style;
        EXPECT_EQ(answered, second ? answer_no : answer_yes) << style;
    }
}

}  // namespace
}  // namespace norvane
