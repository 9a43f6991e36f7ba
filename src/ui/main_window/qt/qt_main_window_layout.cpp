#include "ui/main_window/qt/qt_main_window_layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <initializer_list>

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

}  // namespace

QWidget* main_window_controls::widget(control_ref c) const {
    if (is_address_field(c.id)) {
        if (c.index < 0 || c.index >= boxes_per_field) {
            return nullptr;
        }
        const int field = static_cast<int>(c.id) - static_cast<int>(control::ip_add_txt);
        return address_boxes[static_cast<std::size_t>(field)][static_cast<std::size_t>(c.index)];
    }
    for (const auto& [widget, ref] : all()) {
        if (ref.id == c.id) {
            return widget;
        }
    }
    return nullptr;
}

std::vector<std::pair<QWidget*, control_ref>> main_window_controls::all() const {
    std::vector<std::pair<QWidget*, control_ref>> controls = {
        {profile_list, {control::profile_list}}, {connect_txt, {control::connect_txt}}};
    for (int f = 0; f < field_count; ++f) {
        for (int b = 0; b < boxes_per_field; ++b) {
            controls.push_back(
                {address_boxes[static_cast<std::size_t>(f)][static_cast<std::size_t>(b)],
                 {address_fields[f], b}});
        }
    }
    controls.insert(controls.end(), {{dhcp_chk, {control::dhcp_chk}},
                                     {save_bt, {control::save_bt}},
                                     {delete_bt, {control::delete_bt}},
                                     {submit_bt, {control::submit_bt}},
                                     {new_bt, {control::new_bt}},
                                     {ver_bt, {control::ver_bt}},
                                     {end_bt, {control::end_bt}}});
    return controls;
}

main_window_controls build_main_window(QWidget& window) {
    window.setObjectName(QStringLiteral("main_form"));
    window.setWindowIcon(qt::program_icon());
    window.setFont(qt::gothic_font(9));
    window.setFixedSize(qt::px(client_width), qt::px(client_height));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                               screen->availableGeometry()));
    }

    main_window_controls c;
    const QFont caption_font = qt::gothic_font(11.25, true);
    auto make_caption = [&](int index, int top, int height) {
        auto* label = new QLabel(QString::fromUtf8(caption_texts[index]), &window);
        label->setObjectName(QStringLiteral("Label1_%1").arg(index));
        label->setTextFormat(Qt::PlainText);
        label->setFont(caption_font);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(qt::twips_rect(caption_left, top, caption_width, height));
    };
    auto make_edit = [&](const QString& name, const QRect& geometry) {
        auto* edit = new QLineEdit(&window);
        edit->setObjectName(name);
        edit->setAcceptDrops(false);  // text reaches the boxes by typing, not by dropping
        edit->setGeometry(geometry);
        return edit;
    };

    // Created in tab order, so that the focus chain is the tab order from the start.
    make_caption(0, 120, 300);
    c.profile_list = new QComboBox(&window);
    c.profile_list->setObjectName(QStringLiteral("profile_list"));
    c.profile_list->setEditable(true);
    c.profile_list->setInsertPolicy(QComboBox::NoInsert);
    c.profile_list->setCompleter(nullptr);  // the typed text stays as typed
    c.profile_list->lineEdit()->setAcceptDrops(false);
    // Leaving the edit text would otherwise count as choosing the entry it happens to name;
    // only a pick from the list is a choice.
    QObject::disconnect(c.profile_list->lineEdit(), &QLineEdit::editingFinished, c.profile_list,
                        nullptr);
    // A turn of the wheel never gives the list the focus.
    c.profile_list->setFocusPolicy(Qt::StrongFocus);
    c.profile_list->setToolTip(QStringLiteral("プロファイル名を選択します。"));
    c.profile_list->setGeometry(qt::twips_rect(1800, 120, 2655, 300));

    make_caption(7, 480, 270);
    c.connect_txt = make_edit(QStringLiteral("connect_txt"), qt::twips_rect(1800, 480, 3135, 270));

    int dot = 0;
    for (int f = 0; f < field_count; ++f) {
        const int top = field_tops[f];
        make_caption(field_captions[f], top, 270);
        for (int b = 0; b < boxes_per_field; ++b) {
            QLineEdit* box = make_edit(QStringLiteral("%1_%2").arg(field_names[f]).arg(b),
                                       qt::twips_rect(box_lefts[b], top, 615, 270));
            box->setMaxLength(octet_max_length);
            box->setToolTip(QString::fromUtf8(field_tooltips[f]));
            c.address_boxes[static_cast<std::size_t>(f)][static_cast<std::size_t>(b)] = box;
        }
        for (int d = 0; d < boxes_per_field - 1; ++d) {
            auto* label = new QLabel(QStringLiteral("."), &window);
            label->setObjectName(QStringLiteral("Label2_%1").arg(dot++));
            label->setFont(caption_font);
            // The bold face is taller than the label: the dot sits on the label's foot, level
            // with the digits in the boxes.
            label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            label->setGeometry(qt::twips_rect(dot_lefts[d], top + 120, 90, 180));
        }
    }

    c.dhcp_chk = new QCheckBox(QStringLiteral("DHCP"), &window);
    c.dhcp_chk->setObjectName(QStringLiteral("dhcp_chk"));
    c.dhcp_chk->setFont(caption_font);
    c.dhcp_chk->setToolTip(
        QStringLiteral("DHCPでIPアドレスの自動設定をする場合はチェックしてください。"));
    c.dhcp_chk->setGeometry(qt::twips_rect(3960, 3600, 975, 255));

    auto make_button = [&](QPushButton*& button, const char* name, const char* text,
                           const char* tooltip, int top) {
        button = new QPushButton(QString::fromUtf8(text), &window);
        button->setObjectName(QString::fromUtf8(name));
        button->setFont(caption_font);
        button->setToolTip(QString::fromUtf8(tooltip));
        button->setGeometry(qt::twips_rect(5400, top, 2175, 375));
    };
    make_button(c.save_bt, "save_bt", "Save", "プロファイルをデータファイルに保存します。", 120);
    c.save_bt->setFont(qt::gothic_font(12, true));
    make_button(c.submit_bt, "submit_bt", "Submit", "この設定でネットワークを更新します。", 1080);
    make_button(c.ver_bt, "ver_bt", "Information", "バージョン情報ダイアログを表示します。", 2880);
    make_button(c.end_bt, "end_bt", "END", "プログラムを終了します。", 3360);
    make_button(c.delete_bt, "delete_bt", "Delete", "プロファイルを削除します。", 600);
    make_button(c.new_bt, "new_bt", "NewCreation", "プロファイルを新規に作成します。", 1560);

    // The tab order, stated once more so that it does not hang on the creation order.
    QWidget* previous = c.profile_list;
    auto chain = [&previous](QWidget* next) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    };
    chain(c.connect_txt);
    for (const auto& field : c.address_boxes) {
        for (QLineEdit* box : field) {
            chain(box);
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{c.dhcp_chk, c.save_bt, c.submit_bt, c.ver_bt,
                                                      c.end_bt, c.delete_bt, c.new_bt}) {
        chain(w);
    }

    // One text over the full width, changed only when the logic says so.
    c.status_bar = new QStatusBar(&window);
    c.status_bar->setObjectName(QStringLiteral("StatusBar"));
    c.status_bar->setSizeGripEnabled(false);
    c.status_bar->setGeometry(qt::twips_rect(0, 3990, client_width, 255));
    c.status_text = new QLabel(c.status_bar);
    c.status_text->setObjectName(QStringLiteral("StatusBar_text"));
    c.status_text->setTextFormat(Qt::PlainText);
    // A permanent widget: temporary messages (status tips of the list's popup) never hide it.
    c.status_bar->addPermanentWidget(c.status_text, 1);
    return c;
}

}  // namespace norvane
