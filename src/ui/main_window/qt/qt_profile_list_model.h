// The profile list's entries as a Qt model: it reads each name from the logic's entries when
// a view asks for it, so the combo box holds no item of its own per entry.
#pragma once

#include <QAbstractListModel>

#include "ui/main_window/profile_list_entries.h"

namespace norvane {

class qt_profile_list_model : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    // Shows these entries from now on; the views are told that every entry changed.
    void show_entries(const profile_list_entries& entries);
    // Shows no entries, without telling the views (the window is going away).
    void forget_entries() { entries_ = nullptr; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const profile_list_entries* entries_ = nullptr;
};

}  // namespace norvane
