// The About dialog's widgets: the texts of its load, its link buttons and OK.
#include "ui/about_dialog/qt/qt_about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/recording_shell.h"

namespace norvane {
namespace {

class qt_about_dialog_test : public ::testing::Test {
  protected:
    testing::recording_shell shell;
    QWidget owner;
    qt_about_dialog dialog{shell, &owner};

    qt_about_dialog_test() { owner.show(); }
    QString label(const char* name) const {
        return dialog.findChild<QLabel*>(QString::fromUtf8(name))->text();
    }
    QPushButton* button(const char* name) const {
        return dialog.findChild<QPushButton*>(QString::fromUtf8(name));
    }
};

TEST_F(qt_about_dialog_test, opening_loads_the_texts) {
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "バージョン情報");
    EXPECT_EQ(dialog.size(), QSize(389, 203));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(label("lblTitle"), "Norvane for Windows2000");
    EXPECT_EQ(label("lblVersion"), QString::fromStdString(make_version_text()));
    EXPECT_EQ(label("lblDescription").count('\n'), 3);  // four lines
    EXPECT_FALSE(button("url_bt_0")->text().isEmpty());

    // Every opening loads again.
    dialog.set_url_caption(0, "changed");
    dialog.close();
    dialog.show();
    EXPECT_NE(button("url_bt_0")->text(), "changed");
}

TEST_F(qt_about_dialog_test, link_buttons_open_their_targets_and_ok_closes) {
    dialog.show();
    const std::string web = dialog.url_caption(0);
    const std::string mail = dialog.url_caption(1);
    QTest::mouseClick(button("url_bt_1"), Qt::LeftButton);
    QTest::mouseClick(button("url_bt_0"), Qt::LeftButton);
    ASSERT_EQ(shell.launches.size(), 2u);
    EXPECT_EQ(shell.launches[0].lpFile, "mailto:" + mail);
    EXPECT_EQ(shell.launches[1].lpFile, web);
    EXPECT_EQ(shell.launches[0].hwnd, static_cast<host::window_handle>(dialog.winId()));
    EXPECT_TRUE(dialog.isVisible());  // the links leave the dialog open

    QTest::mouseClick(button("cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace norvane
