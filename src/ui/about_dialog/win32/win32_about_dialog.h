// The About dialog with Win32 controls: modal over its owner, its keys handled by
// IsDialogMessage (Tab, Enter for OK, Escape to close).
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "host/host.h"
#include "ui/about_dialog/about_form.h"
#include "ui/win32/win32_look.h"

namespace norvane {

class win32_about_dialog final : public about_view {
  public:
    win32_about_dialog(host::shell& shell, HWND owner);
    ~win32_about_dialog() override;
    win32_about_dialog(const win32_about_dialog&) = delete;
    win32_about_dialog& operator=(const win32_about_dialog&) = delete;

    // Loads the dialog (the logic's form_load), shows it with its owner disabled, and returns
    // once it is closed.
    void run_modal();

    // --- about_view
    void set_title_text(const std::string& text) override;
    void set_version_text(const std::string& text) override;
    void set_description_text(const std::string& text) override;
    std::string url_caption(int index) const override;
    void set_url_caption(int index, const std::string& text) override;
    host::window_handle window_handle() const override;
    void unload() override;

  private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void build_controls();

    HWND owner_;
    HWND hwnd_ = nullptr;
    HICON icon_ = nullptr;
    HWND title_ = nullptr;
    HWND version_ = nullptr;
    HWND description_ = nullptr;
    std::array<HWND, 2> url_buttons_{};
    HWND ok_ = nullptr;
    win32::font gothic_9_;
    win32::font title_font_;
    win32::font version_font_;
    win32::font description_font_;
    std::unique_ptr<about_form> form_;
};

}  // namespace norvane
