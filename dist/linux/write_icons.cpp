// Build tool: writes the program's icon into an icon-theme folder for installation.
// Usage: norvane-write-icons FOLDER
#include <QGuiApplication>
#include <QString>
#include <cstdio>

#include "icon_theme.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    // Drawing needs no display: the offscreen platform, whatever the build machine has.
    char platform_option[] = "-platform";
    char platform_name[] = "offscreen";
    char* qt_argv[] = {argv[0], platform_option, platform_name, nullptr};
    int qt_argc = 3;
    QGuiApplication app(qt_argc, qt_argv);

    QString error;
    if (!norvane::dist::write_icon_theme(QString::fromLocal8Bit(argv[1]), error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
