// The floor for the program's start-up: the main window built from the same form table with
// the same widgets (every control, font, caption and tooltip), kept above other windows and
// titled as the program's, with no logic and no profiles.
#include <QApplication>
#include <QWidget>

#include "ui/main_window/qt/qt_main_window_layout.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    norvane::build_main_window(window);
    window.setWindowTitle(QStringLiteral("Norvane for Windows2000"));
    window.show();
    return QApplication::exec();
}
