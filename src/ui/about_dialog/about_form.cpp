#include "ui/about_dialog/about_form.h"

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
    std::string minor_part = std::to_string(minor);
    if (minor_part.size() == 1) {
        minor_part.insert(0, "0");
    }
    std::string revision_part = std::to_string(revision);
    if (revision_part.size() < 4) {
        revision_part.insert(0, 4 - revision_part.size(), '0');
    }
    return "v" + std::to_string(major) + "." + minor_part + "." + revision_part;
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
