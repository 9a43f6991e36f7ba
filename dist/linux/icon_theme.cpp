#include "icon_theme.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QSvgGenerator>

#include "ui/qt/qt_look.h"

namespace norvane::dist {

namespace {

// The grid the painter draws on.
constexpr int icon_grid = 32;

bool make_folder(const QString& path, QString& error) {
    if (!QDir().mkpath(path)) {
        error = QStringLiteral("cannot make the folder %1").arg(path);
        return false;
    }
    return true;
}

bool write_png(const QString& folder, int size, QString& error) {
    const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
    if (!make_folder(dir, error)) {
        return false;
    }
    const QString file = dir + QStringLiteral("/norvane.png");
    if (!qt::program_icon_image(size).save(file, "PNG")) {
        error = QStringLiteral("cannot write %1").arg(file);
        return false;
    }
    return true;
}

bool write_svg(const QString& folder, QString& error) {
    const QString dir = folder + QStringLiteral("/hicolor/scalable/apps");
    if (!make_folder(dir, error)) {
        return false;
    }
    const QString file = dir + QStringLiteral("/norvane.svg");
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(icon_grid, icon_grid));
    svg.setViewBox(QRect(0, 0, icon_grid, icon_grid));
    svg.setTitle(QStringLiteral("Norvane"));
    svg.setDescription(QStringLiteral("A network plug"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        error = QStringLiteral("cannot write %1").arg(file);
        return false;
    }
    qt::paint_program_icon(painter);
    if (!painter.end()) {
        error = QStringLiteral("cannot write %1").arg(file);
        return false;
    }
    return true;
}

}  // namespace

const std::vector<int>& icon_theme_sizes() {
    static const std::vector<int> sizes{16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}

bool write_icon_theme(const QString& folder, QString& error) {
    for (const int size : icon_theme_sizes()) {
        if (!write_png(folder, size, error)) {
            return false;
        }
    }
    return write_svg(folder, error);
}

}  // namespace norvane::dist
