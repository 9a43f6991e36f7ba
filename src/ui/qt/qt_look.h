// The look shared by the program's Qt windows: twip measures, the Japanese fonts with their
// stand-ins, and the program's icon.
#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRect>

#include "common/twips_box.h"

class QPainter;

namespace norvane::qt {

// The blueprints' measures are in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int twips_per_pixel = 15;
constexpr int px(int twips) {
    return twips / twips_per_pixel;
}
constexpr QRect twips_rect(const twips_box& box) {
    return QRect(px(box.left), px(box.top), px(box.width), px(box.height));
}

// MS Gothic, or IPA Gothic where it is not installed. Sizes are in points at 96 dots per inch.
QFont gothic_font(double points, bool bold = false);
// ＭＳ 明朝, or IPA Mincho.
QFont mincho_font(double points, bool bold = false);
// The About dialog's display face HGP創英角ﾎﾟｯﾌﾟ体, or IPA P Gothic.
QFont display_font(double points, bool bold = false);

// Draws the program's icon, a network plug, on a 32 × 32 grid from the painter's origin; the
// caller scales the painter for other sizes. The painter's state is left as it was.
void paint_program_icon(QPainter& painter);
// The icon drawn at the given size in pixels, on a transparent ground.
QImage program_icon_image(int size);
// The same as a pixmap (the windows use 32 and 16).
QPixmap program_icon_pixmap(int size);
// The same image at 32 × 32 and 16 × 16.
QIcon program_icon();

}  // namespace norvane::qt
