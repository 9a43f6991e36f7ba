// The yardstick for the program's start-up: a Qt window holding one line of Japanese text in
// the program's own fonts, and nothing else.
#include <QApplication>
#include <QLabel>

#include "ui/qt/qt_look.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("ローカル エリア接続"));
    label.setFont(norvane::qt::gothic_font(9));
    label.setWindowTitle(QStringLiteral("reference"));
    label.show();
    return QApplication::exec();
}
