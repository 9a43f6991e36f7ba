#include "ui/qt/qt_ui_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <utility>
#include <vector>

namespace norvane {

namespace {

constexpr int icon_mask = 0x70;
constexpr int button_mask = 0x0F;

QMessageBox::Icon icon_of(int style) {
    switch (style & icon_mask) {
        case mb_critical:
            return QMessageBox::Critical;
        case mb_question:
            return QMessageBox::Question;
        case mb_exclamation:
            return QMessageBox::Warning;
        case mb_information:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

struct message_button {
    const char* text;
    QMessageBox::ButtonRole role;
    int answer;
};

// The buttons of a style, the first being the default one.
std::vector<message_button> buttons_of(int style) {
    static const message_button ok{"OK", QMessageBox::AcceptRole, answer_ok};
    static const message_button cancel{"キャンセル", QMessageBox::RejectRole, answer_cancel};
    static const message_button yes{"はい(&Y)", QMessageBox::YesRole, answer_yes};
    static const message_button no{"いいえ(&N)", QMessageBox::NoRole, answer_no};
    switch (style & button_mask) {
        case mb_ok_cancel:
            return {ok, cancel};
        case mb_yes_no:
            return {yes, no};
        default:
            return {ok};
    }
}

}  // namespace

int qt_ui_services::message_box(const std::string& text, int style, const std::string& title) {
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setIcon(icon_of(style));
    // A box over a window kept above the others must come up in front of it.
    if (owner != nullptr && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }

    const std::vector<message_button> layout = buttons_of(style);
    std::vector<std::pair<QPushButton*, int>> buttons;
    for (const message_button& entry : layout) {
        buttons.emplace_back(box.addButton(QString::fromUtf8(entry.text), entry.role),
                             entry.answer);
    }
    const std::size_t default_button = (style & mb_default_button2) != 0 ? 1 : 0;
    box.setDefaultButton(buttons.at(std::min(default_button, buttons.size() - 1)).first);
    // Closing the box (title bar, Escape) answers with the last button: OK, Cancel or No.
    box.setEscapeButton(buttons.back().first);

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, answer] : buttons) {
        if (button == clicked) {
            return answer;
        }
    }
    return buttons.back().second;
}

void qt_ui_services::beep() {
    QApplication::beep();
}

void qt_ui_services::process_pending_events() {
    QCoreApplication::processEvents();
}

}  // namespace norvane
