#include "ui/main_window/qt/qt_main_window_layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <initializer_list>
#include <iterator>

#include "ui/main_window/main_window_blueprint.h"
#include "ui/main_window/qt/qt_profile_list_model.h"
#include "ui/qt/qt_look.h"

namespace norvane {

namespace {

constexpr int field_count = static_cast<int>(std::size(address_fields));

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
    window.setFixedSize(qt::px(blueprint::client_width), qt::px(blueprint::client_height));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                               screen->availableGeometry()));
    }

    main_window_controls c;
    const QFont caption_font = qt::gothic_font(11.25, true);
    auto make_caption = [&](int index) {
        const auto& caption = blueprint::captions[index];
        auto* label = new QLabel(QString::fromUtf8(caption.text), &window);
        label->setObjectName(QStringLiteral("Label1_%1").arg(index));
        label->setTextFormat(Qt::PlainText);
        label->setFont(caption_font);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(qt::twips_rect(caption.box));
    };
    auto make_edit = [&](const QString& name, const QRect& geometry) {
        auto* edit = new QLineEdit(&window);
        edit->setObjectName(name);
        edit->setAcceptDrops(false);  // text reaches the boxes by typing, not by dropping
        edit->setGeometry(geometry);
        return edit;
    };

    // Created in tab order, so that the focus chain is the tab order from the start.
    make_caption(0);
    c.profile_list = new QComboBox(&window);
    c.profile_list->setObjectName(QStringLiteral("profile_list"));
    c.profile_list->setEditable(true);
    c.profile_list->setInsertPolicy(QComboBox::NoInsert);
    // The entries are read from the logic's table when shown: no item per entry, and every
    // entry as high as the first, so that opening the list measures one entry, not all.
    c.profile_entries = new qt_profile_list_model(c.profile_list);
    c.profile_list->setModel(c.profile_entries);
    if (auto* popup = qobject_cast<QListView*>(c.profile_list->view())) {
        popup->setUniformItemSizes(true);
    }
    c.profile_list->setCompleter(nullptr);  // the typed text stays as typed
    c.profile_list->lineEdit()->setAcceptDrops(false);
    // Leaving the edit text would otherwise count as choosing the entry it happens to name;
    // only a pick from the list is a choice.
    QObject::disconnect(c.profile_list->lineEdit(), &QLineEdit::editingFinished, c.profile_list,
                        nullptr);
    // A turn of the wheel never gives the list the focus.
    c.profile_list->setFocusPolicy(Qt::StrongFocus);
    c.profile_list->setToolTip(QString::fromUtf8(blueprint::profile_list.tooltip));
    c.profile_list->setGeometry(qt::twips_rect(blueprint::profile_list.box));

    make_caption(7);
    c.connect_txt = make_edit(QString::fromUtf8(blueprint::connect_txt.name),
                              qt::twips_rect(blueprint::connect_txt.box));

    int dot = 0;
    for (int f = 0; f < field_count; ++f) {
        const auto& field = blueprint::fields[f];
        make_caption(field.caption);
        for (int b = 0; b < boxes_per_field; ++b) {
            QLineEdit* box = make_edit(QStringLiteral("%1_%2").arg(field.name).arg(b),
                                       qt::twips_rect(blueprint::octet_box(field.top, b)));
            box->setMaxLength(octet_max_length);
            box->setToolTip(QString::fromUtf8(field.tooltip));
            c.address_boxes[static_cast<std::size_t>(f)][static_cast<std::size_t>(b)] = box;
        }
        for (int d = 0; d < boxes_per_field - 1; ++d) {
            auto* label = new QLabel(QStringLiteral("."), &window);
            label->setObjectName(QStringLiteral("Label2_%1").arg(dot++));
            label->setFont(caption_font);
            // The bold face is taller than the label: the dot sits on the label's foot, level
            // with the digits in the boxes.
            label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            label->setGeometry(qt::twips_rect(blueprint::dot(field.top, d)));
        }
    }

    c.dhcp_chk = new QCheckBox(QString::fromUtf8(blueprint::dhcp_chk.caption), &window);
    c.dhcp_chk->setObjectName(QString::fromUtf8(blueprint::dhcp_chk.name));
    c.dhcp_chk->setFont(caption_font);
    c.dhcp_chk->setToolTip(QString::fromUtf8(blueprint::dhcp_chk.tooltip));
    c.dhcp_chk->setGeometry(qt::twips_rect(blueprint::dhcp_chk.box));

    QPushButton** const button_widgets[] = {&c.save_bt, &c.submit_bt, &c.ver_bt,
                                            &c.end_bt,  &c.delete_bt, &c.new_bt};
    for (std::size_t i = 0; i < std::size(blueprint::buttons); ++i) {
        const blueprint::control_form& row = blueprint::buttons[i];
        auto* button = new QPushButton(QString::fromUtf8(row.caption), &window);
        button->setObjectName(QString::fromUtf8(row.name));
        button->setFont(row.id == control::save_bt ? qt::gothic_font(12, true) : caption_font);
        button->setToolTip(QString::fromUtf8(row.tooltip));
        button->setGeometry(qt::twips_rect(row.box));
        *button_widgets[i] = button;
    }

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
    c.status_bar->setGeometry(qt::twips_rect(blueprint::status_bar));
    c.status_text = new QLabel(c.status_bar);
    c.status_text->setObjectName(QStringLiteral("StatusBar_text"));
    c.status_text->setTextFormat(Qt::PlainText);
    // A permanent widget: temporary messages (status tips of the list's popup) never hide it.
    c.status_bar->addPermanentWidget(c.status_text, 1);
    return c;
}

}  // namespace norvane
