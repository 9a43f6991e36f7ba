#include "ui/about_dialog/about_form.h"

#include <gtest/gtest.h>

#include <map>

#include "support/recording_shell.h"

namespace norvane {
namespace {

TEST(make_version_text, pads_minor_to_two_and_revision_to_four_digits) {
    const struct {
        int major, minor, revision;
        const char* text;
    } cases[] = {{2, 3, 7, "v2.03.0007"}, {10, 123, 4567, "v10.123.4567"}};
    for (const auto& c : cases) {
        EXPECT_EQ(make_version_text(c.major, c.minor, c.revision), c.text);
    }
    EXPECT_EQ(make_version_text(), "v1.11.0508");
}

struct memory_about_view : about_view {
    std::map<std::string, std::string> texts;
    std::string captions[2];
    bool closed = false;
    void set_title_text(const std::string& t) override { texts["title"] = t; }
    void set_version_text(const std::string& t) override { texts["version"] = t; }
    void set_description_text(const std::string& t) override { texts["description"] = t; }
    std::string url_caption(int i) const override { return captions[i]; }
    void set_url_caption(int i, const std::string& t) override { captions[i] = t; }
    host::window_handle window_handle() const override { return 42; }
    void unload() override { closed = true; }
};

// The texts on the real dialog, its links and OK: qt_about_dialog_test.
TEST(about_form, load_sets_the_texts_and_the_links_open_through_the_shell) {
    memory_about_view view;
    testing::recording_shell shell;
    about_form form(view, shell);
    form.form_load();
    EXPECT_NE(view.texts["description"].find("フリーウェア"), std::string::npos);
    EXPECT_TRUE(view.captions[0].starts_with("https://"));
    EXPECT_TRUE(view.captions[1].ends_with(".example"));
    EXPECT_EQ(view.captions[1].find("mailto:"), std::string::npos);

    shell.open_result = false;  // no mail program: nothing is shown, the dialog stays
    form.url_bt_click(1);
    EXPECT_EQ(shell.addresses.at(0),
              (testing::recording_shell::request{"mailto:" + view.captions[1], 42}));
    EXPECT_FALSE(view.closed);
}

}  // namespace
}  // namespace norvane
