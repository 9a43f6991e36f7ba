#include "ui/about_dialog/about_form.h"

#include <cstdio>

#include "version.h"

namespace norvane {

namespace {
constexpr const char* product_title = "Norvane for Windows2000";
constexpr const char* web_address = "https://www.norvane.example/";
constexpr const char* support_address = "support@norvane.example";
constexpr const char* description =
    "Copyright (C) 2026 The Norvane Project\n"
    "このソフトウェアはフリーウェアです。\n"
    "ご利用は自己責任でお願いします。\n"
    "ご意見はサポート窓口までどうぞ。";
}  // namespace

std::string make_version_text(int major, int minor, int revision) {
    char text[48];
    std::snprintf(text, sizeof text, "v%d.%02d.%04d", major, minor, revision);
    return text;
}

std::string make_version_text() {
    return make_version_text(NORVANE_VERSION_MAJOR, NORVANE_VERSION_MINOR,
                             NORVANE_VERSION_REVISION);
}

about_form::about_form(about_view& view, host::shell& shell) : view_(view), shell_(shell) {}

void about_form::form_load() {
    view_.set_title_text(product_title);
    view_.set_version_text(make_version_text());
    view_.set_description_text(description);
    view_.set_url_caption(0, web_address);
    view_.set_url_caption(1, support_address);
}

void about_form::url_bt_click(int index) {
    const std::string target =
        index == 1 ? "mailto:" + view_.url_caption(1) : view_.url_caption(index);
    // Nothing is shown when the shell cannot open the target.
    shell_.open_address(target, view_.window_handle());
}

void about_form::cmd_ok_click() {
    view_.unload();
}

}  // namespace norvane
