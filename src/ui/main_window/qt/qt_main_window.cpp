#include "ui/main_window/qt/qt_main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "ui/about_dialog/qt/qt_about_dialog.h"
#include "ui/qt/qt_look.h"

namespace norvane {

namespace {

constexpr int field_count = static_cast<int>(std::size(address_fields));

// Client area 7890 × 4245 twips.
constexpr int client_width = 7890;
constexpr int client_height = 4245;

// Per address field, in the order of address_fields.
constexpr const char* field_names[field_count] = {"ip_add_txt", "net_mask_txt", "gateway_txt",
                                                  "dns1_txt",   "dns2_txt",     "dns3_txt"};
constexpr const char* field_tooltips[field_count] = {"コンピュータのIPアドレスを入力します。",
                                                     "サブネットマスクを入力します。",
                                                     "ディフォルトゲートウェイを入力します。",
                                                     "優先DNSを入力します。",
                                                     "代替DNSを入力します。",
                                                     "3番目のDNSを入力します。"};
constexpr int field_tops[field_count] = {960, 1440, 1920, 2520, 2880, 3240};
constexpr int field_captions[field_count] = {1, 2, 3, 4, 5, 6};  // Label1 index of each row
constexpr int box_lefts[boxes_per_field] = {1800, 2640, 3480, 4320};
constexpr int dot_lefts[boxes_per_field - 1] = {2520, 3360, 4200};

constexpr const char* caption_texts[8] = {"Profiles", "IP Address", "Sub Netmask", "Gateway",
                                          "DNS 1",    "DNS 2",      "DNS 3",       "Connection"};
constexpr int caption_left = 120;
constexpr int caption_width = 1560;  // up to just before the controls at 1800

int field_index(control id) {
    return static_cast<int>(id) - static_cast<int>(control::ip_add_txt);
}

bool takes_focus_events(control_ref ref) {
    return ref.id == control::profile_list || ref.id == control::connect_txt ||
           ref.id == control::dhcp_chk || is_address_field(ref.id);
}

bool takes_mouse_events(control_ref ref) {
    return ref.id == control::connect_txt || is_address_field(ref.id);
}

QString from_std(const std::string& text) {
    return QString::fromStdString(text);
}

bool has_policy(const QWidget* widget, Qt::FocusPolicy policy) {
    return (static_cast<int>(widget->focusPolicy()) & policy) == policy;
}

// The UTF-16 position of a character position of the text.
int utf16_position(const QString& text, int characters) {
    int position = 0;
    const int size = static_cast<int>(text.size());
    for (int n = 0; n < characters && position < size; ++n) {
        const bool pair = text.at(position).isHighSurrogate() && position + 1 < size &&
                          text.at(position + 1).isLowSurrogate();
        position += pair ? 2 : 1;
    }
    return position;
}

// A text set by the program is never cut to the maximum length, which only limits typing;
// the limit comes back once the text is short enough again.
void set_limited_text(QLineEdit* edit, int limit, const QString& text) {
    if (limit > 0) {
        edit->setMaxLength(std::max(limit, static_cast<int>(text.size())));
    }
    edit->setText(text);
}

// The character code of a key press as the window's key preview sees it, or -1 for a key
// that types no character (movement and function keys, Delete, Tab, Alt combinations).
int character_code(const QKeyEvent* event) {
    if (event->modifiers().testFlag(Qt::AltModifier)) {
        return -1;
    }
    switch (event->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return -1;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk_return;
        case Qt::Key_Backspace:
            return vk_back;
        case Qt::Key_Escape:
            return 27;
        default:
            break;
    }
    const QList<uint> text = event->text().toUcs4();
    if (text.isEmpty() || text.front() == 0x7F) {
        return -1;
    }
    return static_cast<int>(text.front());
}

// The Windows virtual-key code of a released key.
int virtual_key(const QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int base = event->modifiers().testFlag(Qt::KeypadModifier) ? vk_numpad0 : vk_0;
        return base + (key - Qt::Key_0);
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return key;  // 65 to 90, as the virtual keys of the letters
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 112 + (key - Qt::Key_F1);
    }
    static constexpr std::pair<int, int> keys[] = {{Qt::Key_Backspace, vk_back},
                                                   {Qt::Key_Tab, 9},
                                                   {Qt::Key_Backtab, 9},
                                                   {Qt::Key_Return, vk_return},
                                                   {Qt::Key_Enter, vk_return},
                                                   {Qt::Key_Shift, 16},
                                                   {Qt::Key_Control, 17},
                                                   {Qt::Key_Alt, 18},
                                                   {Qt::Key_Escape, 27},
                                                   {Qt::Key_Space, 32},
                                                   {Qt::Key_PageUp, 33},
                                                   {Qt::Key_PageDown, 34},
                                                   {Qt::Key_End, 35},
                                                   {Qt::Key_Home, 36},
                                                   {Qt::Key_Left, 37},
                                                   {Qt::Key_Up, 38},
                                                   {Qt::Key_Right, 39},
                                                   {Qt::Key_Down, 40},
                                                   {Qt::Key_Insert, 45},
                                                   {Qt::Key_Delete, 46}};
    for (const auto& [qt_key, vk] : keys) {
        if (key == qt_key) {
            return vk;
        }
    }
    return 0;  // no virtual key the program knows
}

// Shift 1, Ctrl 2, Alt 4.
int shift_state(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

// A check box whose click toggles between ticked and unticked; the grayed state is only set by
// the program.
class two_state_check_box : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

}  // namespace

qt_main_window::qt_main_window(ui_services& ui, program_state& state, host::shell& shell,
                               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      shell_(shell) {
    setObjectName(QStringLiteral("main_form"));
    setWindowIcon(qt::program_icon());
    setFont(qt::gothic_font(9));
    setFixedSize(qt::px(client_width), qt::px(client_height));
    build_controls();

    // Centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }

    form_ = std::make_unique<main_form>(*this, ui, state, shell);
    connect_controls();
    // Seen before any widget: the key preview, focus changes, and mouse presses on the window
    // before Qt moves the focus for them.
    qApp->installEventFilter(this);
}

qt_main_window::~qt_main_window() {
    qApp->removeEventFilter(this);
}

void qt_main_window::build_controls() {
    const QFont caption_font = qt::gothic_font(11.25, true);

    auto make_caption = [&](int index, int top, int height) {
        auto* label = new QLabel(QString::fromUtf8(caption_texts[index]), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(index));
        label->setTextFormat(Qt::PlainText);
        label->setFont(caption_font);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(qt::twips_rect(caption_left, top, caption_width, height));
    };
    auto make_edit = [&](const QString& name, const QRect& geometry) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setAcceptDrops(false);  // text reaches the boxes by typing, not by dropping
        edit->setGeometry(geometry);
        return edit;
    };

    // Created in tab order, so that the focus chain is the tab order from the start.
    make_caption(0, 120, 300);
    profile_list_ = new QComboBox(this);
    profile_list_->setObjectName(QStringLiteral("profile_list"));
    profile_list_->setEditable(true);
    profile_list_->setInsertPolicy(QComboBox::NoInsert);
    profile_list_->setCompleter(nullptr);  // the typed text stays as typed
    profile_list_->lineEdit()->setAcceptDrops(false);
    // Leaving the edit text would otherwise count as choosing the entry it happens to name;
    // only a pick from the list is a choice.
    QObject::disconnect(profile_list_->lineEdit(), &QLineEdit::editingFinished, profile_list_,
                        nullptr);
    // The wheel turns the entries only of the focused list, and never gives it the focus.
    profile_list_->setFocusPolicy(Qt::StrongFocus);
    profile_list_->setToolTip(QStringLiteral("プロファイル名を選択します。"));
    profile_list_->setGeometry(qt::twips_rect(1800, 120, 2655, 300));
    register_control(profile_list_, {control::profile_list, 0});

    make_caption(7, 480, 270);
    connect_txt_ = make_edit(QStringLiteral("connect_txt"), qt::twips_rect(1800, 480, 3135, 270));
    register_control(connect_txt_, {control::connect_txt, 0});

    int dot = 0;
    for (int f = 0; f < field_count; ++f) {
        const int top = field_tops[f];
        make_caption(field_captions[f], top, 270);
        for (int b = 0; b < boxes_per_field; ++b) {
            QLineEdit* box = make_edit(QStringLiteral("%1_%2").arg(field_names[f]).arg(b),
                                       qt::twips_rect(box_lefts[b], top, 615, 270));
            box->setMaxLength(octet_max_length);
            box->setToolTip(QString::fromUtf8(field_tooltips[f]));
            address_boxes_[f][b] = box;
            register_control(box, {address_fields[f], b});
            connect(box, &QLineEdit::textChanged, this, [box](const QString& text) {
                if (text.size() <= octet_max_length && box->maxLength() != octet_max_length) {
                    box->setMaxLength(octet_max_length);
                }
            });
        }
        for (int d = 0; d < boxes_per_field - 1; ++d) {
            auto* label = new QLabel(QStringLiteral("."), this);
            label->setObjectName(QStringLiteral("Label2_%1").arg(dot++));
            label->setFont(caption_font);
            // The bold face is taller than the label: the dot sits on the label's foot, level
            // with the digits in the boxes.
            label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            label->setGeometry(qt::twips_rect(dot_lefts[d], top + 120, 90, 180));
        }
    }

    dhcp_chk_ = new two_state_check_box(QStringLiteral("DHCP"), this);
    dhcp_chk_->setObjectName(QStringLiteral("dhcp_chk"));
    dhcp_chk_->setFont(caption_font);
    dhcp_chk_->setToolTip(
        QStringLiteral("DHCPでIPアドレスの自動設定をする場合はチェックしてください。"));
    dhcp_chk_->setGeometry(qt::twips_rect(3960, 3600, 975, 255));
    register_control(dhcp_chk_, {control::dhcp_chk, 0});

    auto make_button = [&](QPushButton*& button, control id, const char* name, const char* text,
                           const char* tooltip, int top) {
        button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(QString::fromUtf8(name));
        button->setFont(caption_font);
        button->setToolTip(QString::fromUtf8(tooltip));
        button->setGeometry(qt::twips_rect(5400, top, 2175, 375));
        register_control(button, {id, 0});
    };
    make_button(save_bt_, control::save_bt, "save_bt", "Save",
                "プロファイルをデータファイルに保存します。", 120);
    save_bt_->setFont(qt::gothic_font(12, true));
    make_button(submit_bt_, control::submit_bt, "submit_bt", "Submit",
                "この設定でネットワークを更新します。", 1080);
    make_button(ver_bt_, control::ver_bt, "ver_bt", "Information",
                "バージョン情報ダイアログを表示します。", 2880);
    make_button(end_bt_, control::end_bt, "end_bt", "END", "プログラムを終了します。", 3360);
    make_button(delete_bt_, control::delete_bt, "delete_bt", "Delete", "プロファイルを削除します。",
                600);
    make_button(new_bt_, control::new_bt, "new_bt", "NewCreation",
                "プロファイルを新規に作成します。", 1560);

    // The tab order, stated once more so that it does not hang on the creation order.
    QWidget* previous = profile_list_;
    auto chain = [&previous](QWidget* next) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    };
    chain(connect_txt_);
    for (const auto& field : address_boxes_) {
        for (QLineEdit* box : field) {
            chain(box);
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{dhcp_chk_, save_bt_, submit_bt_, ver_bt_,
                                                      end_bt_, delete_bt_, new_bt_}) {
        chain(w);
    }

    // One text over the full width, changed only when the logic says so.
    status_bar_ = new QStatusBar(this);
    status_bar_->setObjectName(QStringLiteral("StatusBar"));
    status_bar_->setSizeGripEnabled(false);
    status_bar_->setGeometry(qt::twips_rect(0, 3990, client_width, 255));
    status_label_ = new QLabel(status_bar_);
    status_label_->setObjectName(QStringLiteral("StatusBar_text"));
    status_label_->setTextFormat(Qt::PlainText);
    // A permanent widget: temporary messages (status tips of the list's popup) never hide it.
    status_bar_->addPermanentWidget(status_label_, 1);
}

void qt_main_window::connect_controls() {
    connect(profile_list_, &QComboBox::activated, this, [this] { form_->profile_list_click(); });
    connect(dhcp_chk_, &QCheckBox::stateChanged, this, [this] { form_->dhcp_chk_click(); });
    connect(save_bt_, &QPushButton::clicked, this, [this] { form_->save_bt_click(); });
    connect(delete_bt_, &QPushButton::clicked, this, [this] { form_->delete_bt_click(); });
    connect(submit_bt_, &QPushButton::clicked, this, [this] { form_->submit_bt_click(); });
    connect(new_bt_, &QPushButton::clicked, this, [this] { form_->new_bt_click(); });
    connect(ver_bt_, &QPushButton::clicked, this, [this] { form_->ver_bt_click(); });
    connect(end_bt_, &QPushButton::clicked, this, [this] { form_->end_bt_click(); });
}

void qt_main_window::register_control(QWidget* widget, control_ref ref) {
    controls_.insert(widget, ref);
}

const control_ref* qt_main_window::control_of(const QObject* object) const {
    for (; object != nullptr && object != this; object = object->parent()) {
        const auto it = controls_.constFind(object);
        if (it != controls_.cend()) {
            return &it.value();
        }
    }
    return nullptr;
}

QWidget* qt_main_window::control_widget(control_ref c) const {
    if (is_address_field(c.id)) {
        if (c.index < 0 || c.index >= boxes_per_field) {
            return nullptr;
        }
        return address_boxes_[field_index(c.id)][c.index];
    }
    // The controls that are no arrays: one widget each.
    const std::pair<control, QWidget*> single_controls[] = {
        {control::profile_list, profile_list_},
        {control::connect_txt, connect_txt_},
        {control::dhcp_chk, dhcp_chk_},
        {control::save_bt, save_bt_},
        {control::delete_bt, delete_bt_},
        {control::submit_bt, submit_bt_},
        {control::new_bt, new_bt_},
        {control::ver_bt, ver_bt_},
        {control::end_bt, end_bt_},
    };
    for (const auto& [id, widget] : single_controls) {
        if (id == c.id) {
            return widget;
        }
    }
    return nullptr;
}

QLineEdit* qt_main_window::line_edit(control_ref c) const {
    if (c.id == control::profile_list) {
        return profile_list_->lineEdit();
    }
    if (c.id == control::connect_txt || is_address_field(c.id)) {
        return static_cast<QLineEdit*>(control_widget(c));
    }
    return nullptr;
}

// --- main_view

std::string qt_main_window::text(control_ref c) const {
    if (c.id == control::profile_list) {
        return profile_list_->currentText().toStdString();
    }
    if (QLineEdit* edit = line_edit(c)) {
        return edit->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control_widget(c))) {
        return button->text().toStdString();
    }
    return {};
}

void qt_main_window::set_text(control_ref c, const std::string& text) {
    if (c.id == control::profile_list) {
        profile_list_->setEditText(from_std(text));
    } else if (QLineEdit* edit = line_edit(c)) {
        set_limited_text(edit, max_length(c), from_std(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(control_widget(c))) {
        button->setText(from_std(text));
    }
}

bool qt_main_window::enabled(control_ref c) const {
    const QWidget* widget = control_widget(c);
    return widget != nullptr && widget->isEnabled();
}

void qt_main_window::set_enabled(control_ref c, bool enabled) {
    if (QWidget* widget = control_widget(c)) {
        widget->setEnabled(enabled);
    }
}

int qt_main_window::max_length(control_ref c) const {
    return is_address_field(c.id) ? octet_max_length : 0;
}

void qt_main_window::set_selection(control_ref c, int start, int length) {
    QLineEdit* edit = line_edit(c);
    if (edit == nullptr) {
        return;
    }
    const QString text = edit->text();
    const int begin = utf16_position(text, std::max(start, 0));
    const int end = utf16_position(text, std::max(start, 0) + std::max(length, 0));
    if (end > begin) {
        edit->setSelection(begin, end - begin);
    } else {
        edit->deselect();
        edit->setCursorPosition(begin);
    }
}

int qt_main_window::check_value() const {
    switch (dhcp_chk_->checkState()) {
        case Qt::Checked:
            return checked;
        case Qt::PartiallyChecked:
            return grayed;
        default:
            return unchecked;
    }
}

void qt_main_window::set_check_value(int value) {
    // A change raises the box's stateChanged, and with it the logic's change reaction.
    dhcp_chk_->setCheckState(value == checked  ? Qt::Checked
                             : value == grayed ? Qt::PartiallyChecked
                                               : Qt::Unchecked);
}

void qt_main_window::set_focus(control_ref c) {
    QWidget* target = control_widget(c);
    if (target == nullptr || !may_leave_focus_for(target)) {
        return;
    }
    target->setFocus(Qt::OtherFocusReason);
}

int qt_main_window::list_count() const {
    return profile_list_->count();
}

std::string qt_main_window::list_item(int i) const {
    return profile_list_->itemText(i).toStdString();
}

// Changing the entries never changes the edit text (Qt would show the new current entry).
void qt_main_window::restore_edit_text(const QString& edit_text) {
    if (profile_list_->currentText() != edit_text) {
        profile_list_->setEditText(edit_text);
    }
}

void qt_main_window::set_list_item(int i, const std::string& text) {
    const QString edit_text = profile_list_->currentText();
    if (i == profile_list_->count()) {
        profile_list_->addItem(from_std(text));
    } else if (i >= 0 && i < profile_list_->count()) {
        profile_list_->setItemText(i, from_std(text));
    }
    restore_edit_text(edit_text);
}

void qt_main_window::remove_list_item(int i) {
    const QString edit_text = profile_list_->currentText();
    profile_list_->removeItem(i);
    restore_edit_text(edit_text);
}

int qt_main_window::list_index() const {
    // Typing in the edit text selects no entry.
    const int i = profile_list_->currentIndex();
    return i >= 0 && profile_list_->itemText(i) == profile_list_->currentText() ? i : -1;
}

void qt_main_window::set_list_visible(bool visible) {
    profile_list_->setVisible(visible);
}

std::string qt_main_window::status_text() const {
    return status_label_->text().toStdString();
}

void qt_main_window::set_status_text(const std::string& text) {
    status_label_->setText(from_std(text));
}

void qt_main_window::set_caption(const std::string& caption) {
    setWindowTitle(from_std(caption));
}

void qt_main_window::set_topmost(bool topmost) {
    Qt::WindowFlags flags = windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) == topmost) {
        return;
    }
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    QWindow* window = windowHandle();
    if (window == nullptr) {
        setWindowFlags(flags);  // not created yet: the flag applies when it is
        return;
    }
    // On the live window: setWindowFlags would hide it and lose its place and activation.
    overrideWindowFlags(flags);
    Qt::WindowFlags native = window->flags();
    native.setFlag(Qt::WindowStaysOnTopHint, topmost);
    window->setFlags(native);
}

std::uintptr_t qt_main_window::window_handle() const {
    return static_cast<std::uintptr_t>(winId());
}

void qt_main_window::show_about_dialog() {
    qt_about_dialog dialog(shell_, this);
    dialog.exec();
}

void qt_main_window::unload() {
    close();
}

void qt_main_window::setVisible(bool visible) {
    if (visible && !loaded_) {
        loaded_ = true;
        form_->form_load();
        if (unloaded_) {
            return;  // the load closed the window
        }
        if (focusWidget() == nullptr) {
            profile_list_->setFocus(Qt::OtherFocusReason);
        }
    }
    QWidget::setVisible(visible);
}

void qt_main_window::closeEvent(QCloseEvent* event) {
    // The unload is never cancelled; the program ends with the window.
    if (!unloaded_) {
        unloaded_ = true;
        form_->form_unload();
    }
    event->accept();
}

// --- events

bool qt_main_window::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && watched != nullptr) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseButtonRelease:
                return window_mouse_event(static_cast<QMouseEvent*>(event));
            default:
                return false;
        }
    }
    const auto it = controls_.constFind(watched);
    if (it == controls_.cend()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    const control_ref ref = it.value();
    switch (event->type()) {
        case QEvent::FocusIn:
            focus_in(widget);
            return false;
        case QEvent::FocusOut:
            focus_out(widget, static_cast<QFocusEvent*>(event)->reason());
            return false;
        case QEvent::KeyPress:
            return key_press(widget, ref, static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease:
            key_release(ref, static_cast<QKeyEvent*>(event));
            return false;
        case QEvent::InputMethod:
            return input_method(widget, ref, static_cast<QInputMethodEvent*>(event));
        case QEvent::Wheel:
            return ref.id == control::profile_list && QApplication::focusWidget() != widget;
        case QEvent::MouseButtonRelease:
            if (takes_mouse_events(ref) && widget->isEnabled()) {
                form_->mouse_up(ref);
            }
            return false;
        default:
            return false;
    }
}

// Mouse presses reach the window before Qt gives the focus to the clicked control: the box
// being left is validated first (a refusal swallows the whole click), and the mouse-down
// reaction comes before the focus reaction of the same click.
bool qt_main_window::window_mouse_event(QMouseEvent* event) {
    if (QApplication::activePopupWidget() != nullptr) {
        return false;  // the click closes the open popup
    }
    switch (event->type()) {
        case QEvent::MouseButtonRelease:
            return std::exchange(swallow_release_, false);
        case QEvent::MouseButtonDblClick:
            return swallow_release_;
        case QEvent::MouseButtonPress:
            break;
        default:
            return false;
    }
    swallow_release_ = false;
    QWidget* hit = childAt(event->position().toPoint());
    if (hit == nullptr) {
        return false;
    }
    if (QWidget* target = click_focus_target(hit);
        target != nullptr && !may_leave_focus_for(target)) {
        swallow_release_ = true;
        return true;
    }
    if (const control_ref* ref = control_of(hit);
        ref != nullptr && takes_mouse_events(*ref) && control_widget(*ref)->isEnabled()) {
        form_->mouse_down(*ref);
    }
    return false;
}

int qt_main_window::filter_character(control_ref ref, int code) {
    form_->form_key_press(code);
    if (code != 0 && is_address_field(ref.id)) {
        form_->key_press(ref, code);
    }
    return code;
}

void qt_main_window::resend(QWidget* widget, QEvent* event) {
    resending_ = true;
    QCoreApplication::sendEvent(widget, event);
    resending_ = false;
}

bool qt_main_window::key_press(QWidget* widget, control_ref ref, QKeyEvent* event) {
    if (resending_) {
        return false;
    }
    const int original = character_code(event);
    if (original < 0) {
        return false;
    }
    const int code = filter_character(ref, original);
    if (code == original) {
        return false;
    }
    if (code != 0) {
        // The logic replaced the character: the control receives the new one.
        const char32_t character = static_cast<char32_t>(code);
        QKeyEvent replacement(event->type(), event->key(), event->modifiers(),
                              QString::fromUcs4(&character, 1), event->isAutoRepeat(),
                              static_cast<quint16>(event->count()));
        resend(widget, &replacement);
    }
    return true;
}

void qt_main_window::key_release(control_ref ref, const QKeyEvent* event) {
    if (!is_address_field(ref.id) || event->isAutoRepeat()) {
        return;
    }
    form_->key_up(ref, virtual_key(event), shift_state(event->modifiers()));
}

// Characters committed by an input method pass the same key preview and filters as typed
// ones.
bool qt_main_window::input_method(QWidget* widget, control_ref ref,
                                  const QInputMethodEvent* event) {
    if (resending_ || event->commitString().isEmpty()) {
        return false;
    }
    QString kept;
    bool changed = false;
    for (const uint character : event->commitString().toUcs4()) {
        const int code = filter_character(ref, static_cast<int>(character));
        changed = changed || code != static_cast<int>(character);
        if (code != 0) {
            const char32_t replacement = static_cast<char32_t>(code);
            kept += QString::fromUcs4(&replacement, 1);
        }
    }
    if (!changed) {
        return false;
    }
    QInputMethodEvent replacement(event->preeditString(), event->attributes());
    replacement.setCommitString(kept, event->replacementStart(), event->replacementLength());
    resend(widget, &replacement);
    return true;
}

void qt_main_window::focus_in(QWidget* widget) {
    if (widget == logical_focus_) {
        return;  // back after a message box, a dialog or a popup
    }
    QWidget* previous = std::exchange(logical_focus_, widget);
    if (previous != nullptr) {
        // The focus moved while the window was inactive (a program focus move then).
        if (const control_ref* ref = control_of(previous); ref && takes_focus_events(*ref)) {
            form_->lost_focus(*ref);
        }
    }
    if (const control_ref* ref = control_of(widget); ref && takes_focus_events(*ref)) {
        form_->got_focus(*ref);
    }
}

void qt_main_window::focus_out(QWidget* widget, Qt::FocusReason reason) {
    // Opening the list's drop-down moves the focus into the popup: on the original platform
    // the list keeps it.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
        QApplication::activePopupWidget() != nullptr || widget != logical_focus_) {
        return;
    }
    logical_focus_ = nullptr;
    if (const control_ref* ref = control_of(widget); ref && takes_focus_events(*ref)) {
        form_->lost_focus(*ref);
    }
}

bool qt_main_window::may_leave_focus_for(QWidget* target) {
    QWidget* from = focusWidget();
    if (from == nullptr || from == target) {
        return true;
    }
    const auto it = controls_.constFind(from);
    if (it == controls_.cend() || !is_address_field(it.value().id)) {
        return true;
    }
    bool cancel = false;
    form_->validate(it.value(), cancel);
    return !cancel;
}

bool qt_main_window::focusNextPrevChild(bool next) {
    if (QWidget* from = focusWidget();
        from != nullptr && !may_leave_focus_for(tab_target(from, next))) {
        return true;  // the focus stays in the refused box
    }
    return QWidget::focusNextPrevChild(next);
}

// The control that Tab (next) or Shift+Tab would move the focus to from the given one.
QWidget* qt_main_window::tab_target(QWidget* from, bool next) const {
    QWidget* candidate = from;
    for (;;) {
        candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
        if (candidate == nullptr || candidate == from) {
            return from;
        }
        if (candidate->window() == this && candidate->focusProxy() == nullptr &&
            has_policy(candidate, Qt::TabFocus) && candidate->isEnabled() &&
            candidate->isVisibleTo(this)) {
            return candidate;
        }
    }
}

// The widget that a click on hit gives the focus to, as Qt decides it, or nullptr.
QWidget* qt_main_window::click_focus_target(QWidget* hit) const {
    for (QWidget* w = hit; w != nullptr; w = w->parentWidget()) {
        if (w->isEnabled() && has_policy(w, Qt::ClickFocus)) {
            QWidget* target = w;
            while (target->focusProxy() != nullptr) {
                target = target->focusProxy();
            }
            return has_policy(target, Qt::ClickFocus) ? target : nullptr;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

}  // namespace norvane
