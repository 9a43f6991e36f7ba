#include "ui/about_dialog/qt/qt_about_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

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
    setFixedSize(qt::px(5835), qt::px(3045));
    setFont(qt::gothic_font(9));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(qt::program_icon_pixmap(32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    icon->setGeometry(qt::twips_rect(240, 240, 540, 540));

    title_ = make_label(this, "lblTitle", qt::display_font(14.25, true),
                        qt::twips_rect(1080, 240, 4575, 360));
    version_ = make_label(this, "lblVersion", qt::mincho_font(12, true),
                          qt::twips_rect(1080, 600, 4095, 225));
    // Four lines; the stand-in face has a taller line than the original, so the label grows
    // downwards as far as four of its lines need.
    const QFont description_font = qt::mincho_font(9.75);
    QRect description_rect = qt::twips_rect(1080, 960, 4095, 810);
    description_rect.setHeight(
        std::max(description_rect.height(), QFontMetrics(description_font).lineSpacing() * 4));
    description_ = make_label(this, "lblDescription", description_font, description_rect);

    for (int i = 0; i < static_cast<int>(url_buttons_.size()); ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("url_bt_%1").arg(i));
        button->setAutoDefault(false);
        button->setGeometry(qt::twips_rect(960, i == 0 ? 1920 : 2280, 4455, 255));
        connect(button, &QPushButton::clicked, this, [this, i] { form_->url_bt_click(i); });
        url_buttons_[static_cast<std::size_t>(i)] = button;
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    ok_->setGeometry(qt::twips_rect(4920, 2640, 735, 345));
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
