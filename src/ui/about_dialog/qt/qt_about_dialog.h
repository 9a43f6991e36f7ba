// The About dialog with Qt widgets: a modal dialog owned by the main window that hands its
// load and clicks to about_form and shows the texts the logic sets.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <string>

#include "host/host.h"
#include "ui/about_dialog/about_form.h"

class QLabel;
class QPushButton;

namespace norvane {

class qt_about_dialog : public QDialog, public about_view {
    Q_OBJECT

  public:
    qt_about_dialog(host::shell& shell, QWidget* owner);
    ~qt_about_dialog() override;

    about_form& form() { return *form_; }

    // --- about_view
    void set_title_text(const std::string& text) override;
    void set_version_text(const std::string& text) override;
    void set_description_text(const std::string& text) override;
    std::string url_caption(int index) const override;
    void set_url_caption(int index, const std::string& text) override;
    host::window_handle window_handle() const override;
    void unload() override;

    // Each opening loads the dialog (the logic's form_load) before it is shown.
    void setVisible(bool visible) override;

  private:
    std::unique_ptr<about_form> form_;
    QLabel* title_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* description_ = nullptr;
    std::array<QPushButton*, 2> url_buttons_{};
    QPushButton* ok_ = nullptr;
};

}  // namespace norvane
