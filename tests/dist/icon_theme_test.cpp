// The icon written for the desktop's theme is the picture the program's windows show: the
// PNG files pixel for pixel, the SVG drawn by the same painter.
#include "icon_theme.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"
#include "ui/qt/qt_look.h"

namespace norvane::dist {
namespace {

QString folder_of(const norvane::testing::temp_dir& dir) {
    return QString::fromStdString(dir.path().string());
}

// How many pixels of the image are at least half opaque.
int opaque_pixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) >= 128 ? 1 : 0;
        }
    }
    return count;
}

TEST(IconTheme, WritesEveryPngSizeAsTheProgramDrawsIt) {
    norvane::testing::temp_dir dir;
    QString error;
    ASSERT_TRUE(write_icon_theme(folder_of(dir), error)) << error.toStdString();

    ASSERT_EQ(icon_theme_sizes().size(), 8U);
    for (const int size : icon_theme_sizes()) {
        SCOPED_TRACE(size);
        const QString file =
            QStringLiteral("%1/hicolor/%2x%2/apps/norvane.png").arg(folder_of(dir)).arg(size);
        QImage written(file, "PNG");
        ASSERT_FALSE(written.isNull());
        EXPECT_EQ(written.size(), QSize(size, size));
        const QImage drawn = qt::program_icon_image(size).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(written.convertToFormat(QImage::Format_ARGB32), drawn);
        // The plug fills a good part of the square, on a transparent ground.
        EXPECT_GT(opaque_pixels(drawn), size * size / 3);
        EXPECT_EQ(qAlpha(drawn.pixel(size - 1, 0)), 0);
    }
}

TEST(IconTheme, ScalableIconRendersAsTheSamePicture) {
    norvane::testing::temp_dir dir;
    QString error;
    ASSERT_TRUE(write_icon_theme(folder_of(dir), error)) << error.toStdString();

    const QString file = folder_of(dir) + QStringLiteral("/hicolor/scalable/apps/norvane.svg");
    QFile svg_file(file);
    ASSERT_TRUE(svg_file.open(QIODevice::ReadOnly));
    const QByteArray svg_text = svg_file.readAll();
    EXPECT_TRUE(svg_text.contains("viewBox=\"0 0 32 32\""));

    QSvgRenderer renderer(file);
    ASSERT_TRUE(renderer.isValid());
    constexpr int size = 128;
    QImage rendered(size, size, QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::transparent);
    QPainter painter(&rendered);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    const QImage drawn = qt::program_icon_image(size);

    // Both come from one painter; only the edges' smoothing may differ.
    int differing = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb a = rendered.pixel(x, y);
            const QRgb b = drawn.pixel(x, y);
            const int difference = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                   std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
            differing += difference > 64 ? 1 : 0;
        }
    }
    EXPECT_LT(differing, size * size / 100) << differing << " pixels differ";
}

TEST(IconTheme, ReportsAFolderItCannotMake) {
    norvane::testing::temp_dir dir;
    norvane::testing::write_bytes(dir.path() / "taken", "a file, not a folder");
    QString error;
    EXPECT_FALSE(write_icon_theme(folder_of(dir) + QStringLiteral("/taken"), error));
    EXPECT_TRUE(error.contains(QStringLiteral("taken/hicolor"))) << error.toStdString();
}

}  // namespace
}  // namespace norvane::dist
