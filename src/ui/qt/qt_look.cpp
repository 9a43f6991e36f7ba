#include "ui/qt/qt_look.h"

#include <QColor>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <cmath>

namespace norvane::qt {

namespace {

// The first installed family of the list, else the stand-in.
QString installed_family(const QStringList& families, const QString& stand_in) {
    for (const QString& family : families) {
        if (QFontDatabase::hasFamily(family)) {
            return family;
        }
    }
    return stand_in;
}

QFont make_font(const QString& family, double points, bool bold) {
    QFont font(family);
    // The forms were laid out at 96 dots per inch; pixel sizes keep the text in proportion
    // with the pixel geometry whatever the screen reports.
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    return font;
}

}  // namespace

QFont gothic_font(double points, bool bold) {
    static const QString family =
        installed_family({QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ ゴシック")},
                         QStringLiteral("IPAGothic"));
    return make_font(family, points, bold);
}

QFont mincho_font(double points, bool bold) {
    static const QString family = installed_family(
        {QStringLiteral("MS Mincho"), QStringLiteral("ＭＳ 明朝")}, QStringLiteral("IPAMincho"));
    return make_font(family, points, bold);
}

QFont display_font(double points, bool bold) {
    static const QString family =
        installed_family({QStringLiteral("HGPSoeiKakupoptai"), QStringLiteral("HGP創英角ﾎﾟｯﾌﾟ体")},
                         QStringLiteral("IPAPGothic"));
    return make_font(family, points, bold);
}

void paint_program_icon(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // The cable, leaving the plug downwards and bending away to the left.
    QPainterPath cable;
    cable.moveTo(16, 24);
    cable.cubicTo(16, 29, 9, 27, 4, 31);
    painter.setPen(QPen(QColor(40, 40, 48), 3.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(cable);

    // The boot that holds the cable.
    painter.setPen(QPen(QColor(30, 50, 90), 1.0));
    painter.setBrush(QColor(70, 110, 180));
    painter.drawRoundedRect(QRectF(11.5, 18.5, 9, 6), 1.5, 1.5);

    // The connector body, a clear shell seen from the contact side.
    painter.setBrush(QColor(205, 225, 245));
    painter.drawRoundedRect(QRectF(6.5, 3.5, 19, 16), 2, 2);

    // The gold contacts along the top edge.
    painter.setPen(QPen(QColor(200, 150, 20), 1.4));
    for (int i = 0; i < 6; ++i) {
        const double x = 9.5 + i * 2.6;
        painter.drawLine(QPointF(x, 5.0), QPointF(x, 9.5));
    }

    // The latch on the lower half.
    painter.setPen(QPen(QColor(30, 50, 90), 1.0));
    painter.setBrush(QColor(160, 190, 225));
    painter.drawRect(QRectF(12.5, 12.5, 7, 4));

    // A green signal dot: the connection is live.
    painter.setPen(QPen(QColor(20, 90, 30), 1.0));
    painter.setBrush(QColor(60, 200, 80));
    painter.drawEllipse(QRectF(23.5, 22.5, 7, 7));
    painter.restore();
}

QImage program_icon_image(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // Drawn on the 32 × 32 grid and scaled to the size asked for.
    painter.scale(size / 32.0, size / 32.0);
    paint_program_icon(painter);
    painter.end();
    return image;
}

QPixmap program_icon_pixmap(int size) {
    return QPixmap::fromImage(program_icon_image(size));
}

QIcon program_icon() {
    QIcon icon;
    icon.addPixmap(program_icon_pixmap(32));
    icon.addPixmap(program_icon_pixmap(16));
    return icon;
}

}  // namespace norvane::qt
