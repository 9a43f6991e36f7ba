// The About dialog's logic and the version text.
#pragma once

#include <string>

#include "host/host.h"

namespace norvane {

// "v" major "." minor (at least two digits) "." revision (four digits).
std::string make_version_text(int major, int minor, int revision);
// The version text of this build.
std::string make_version_text();

class about_view {
  public:
    virtual ~about_view() = default;
    virtual void set_title_text(const std::string& text) = 0;        // lblTitle
    virtual void set_version_text(const std::string& text) = 0;      // lblVersion
    virtual void set_description_text(const std::string& text) = 0;  // lblDescription
    virtual std::string url_caption(int index) const = 0;            // url_bt(index)
    virtual void set_url_caption(int index, const std::string& text) = 0;
    virtual host::window_handle window_handle() const = 0;
    virtual void unload() = 0;
};

class about_form {
  public:
    about_form(about_view& view, host::shell& shell);
    void form_load();
    void url_bt_click(int index);
    void cmd_ok_click();

  private:
    about_view& view_;
    host::shell& shell_;
};

}  // namespace norvane
