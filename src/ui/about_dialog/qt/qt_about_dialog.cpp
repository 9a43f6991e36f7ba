#include "ui/about_dialog/qt/qt_about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/about_dialog/about_blueprint.h"
#include "ui/qt/qt_look.h"

namespace norvane {

namespace {

QLabel* make_label(QWidget* parent, const char* name, const QFont& font, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

qt_about_dialog::qt_about_dialog(host::shell& shell, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("about_form"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowIcon(qt::program_icon());
    setModal(true);
    // The owner may be kept above all other windows; the dialog comes up in front of it.
    if (owner != nullptr && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    setFixedSize(qt::px(about_blueprint::client_width), qt::px(about_blueprint::client_height));
    setFont(qt::gothic_font(9));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(qt::program_icon_pixmap(32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon->setGeometry(qt::twips_rect(about_blueprint::pic_icon));

    title_ = make_label(this, "lblTitle", qt::display_font(14.25, true),
                        qt::twips_rect(about_blueprint::lbl_title));
    version_ = make_label(this, "lblVersion", qt::mincho_font(12, true),
                          qt::twips_rect(about_blueprint::lbl_version));
    description_ = make_label(this, "lblDescription", qt::mincho_font(9.75),
                              qt::twips_rect(about_blueprint::lbl_description));

    for (int i = 0; i < static_cast<int>(url_buttons_.size()); ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("url_bt_%1").arg(i));
        button->setAutoDefault(false);
        button->setGeometry(qt::twips_rect(about_blueprint::url_bt[i]));
        connect(button, &QPushButton::clicked, this, [this, i] { form_->url_bt_click(i); });
        url_buttons_[static_cast<std::size_t>(i)] = button;
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    ok_->setGeometry(qt::twips_rect(about_blueprint::cmd_ok));
    connect(ok_, &QPushButton::clicked, this, [this] { form_->cmd_ok_click(); });
    ok_->setFocus(Qt::OtherFocusReason);

    form_ = std::make_unique<about_form>(*this, shell);
}

qt_about_dialog::~qt_about_dialog() = default;

void qt_about_dialog::set_title_text(const std::string& text) {
    title_->setText(QString::fromStdString(text));
}

void qt_about_dialog::set_version_text(const std::string& text) {
    version_->setText(QString::fromStdString(text));
}

void qt_about_dialog::set_description_text(const std::string& text) {
    description_->setText(
        QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

std::string qt_about_dialog::url_caption(int index) const {
    if (index < 0 || index >= static_cast<int>(url_buttons_.size())) {
        return {};
    }
    return url_buttons_[static_cast<std::size_t>(index)]->text().toStdString();
}

void qt_about_dialog::set_url_caption(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(url_buttons_.size())) {
        url_buttons_[static_cast<std::size_t>(index)]->setText(QString::fromStdString(text));
    }
}

host::window_handle qt_about_dialog::window_handle() const {
    return static_cast<host::window_handle>(winId());
}

void qt_about_dialog::unload() {
    close();
}

void qt_about_dialog::setVisible(bool visible) {
    if (visible && !isVisible()) {
        form_->form_load();
    }
    QDialog::setVisible(visible);
}

}  // namespace norvane
