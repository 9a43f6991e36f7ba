// The About dialog's widgets: the texts of its load, its link buttons and OK.
#include "ui/about_dialog/qt/qt_about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/recording_shell.h"

namespace norvane {
namespace {

TEST(qt_about_dialog_test, every_opening_loads_the_texts_and_the_buttons_reach_the_logic) {
    testing::recording_shell shell;
    QWidget owner;
    owner.show();
    qt_about_dialog dialog(shell, &owner);
    const auto label = [&dialog](const char* name) {
        return dialog.findChild<QLabel*>(QString::fromUtf8(name))->text();
    };
    const auto click = [&dialog](const char* name) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(QString::fromUtf8(name)), Qt::LeftButton);
    };
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "バージョン情報");
    EXPECT_EQ(dialog.minimumSize(), QSize(389, 203));
    EXPECT_EQ(dialog.maximumSize(), dialog.minimumSize());
    EXPECT_EQ(label("lblTitle"), "Norvane for Windows2000");
    EXPECT_EQ(label("lblVersion"), QString::fromStdString(make_version_text()));
    EXPECT_EQ(label("lblDescription").count('\n'), 3);  // four lines
    EXPECT_FALSE(dialog.url_caption(0).empty());

    click("url_bt_1");
    click("url_bt_0");
    const auto handle = static_cast<host::window_handle>(dialog.winId());
    using request = testing::recording_shell::request;
    EXPECT_EQ(shell.addresses, (std::vector<request>{{"mailto:" + dialog.url_caption(1), handle},
                                                     {dialog.url_caption(0), handle}}));
    EXPECT_TRUE(dialog.isVisible());  // the links leave the dialog open
    click("cmdOK");
    EXPECT_FALSE(dialog.isVisible());

    dialog.set_url_caption(0, "changed");
    dialog.show();  // every opening loads again
    EXPECT_NE(dialog.url_caption(0), "changed");
}

}  // namespace
}  // namespace norvane
