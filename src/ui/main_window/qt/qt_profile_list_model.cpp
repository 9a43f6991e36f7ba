#include "ui/main_window/qt/qt_profile_list_model.h"

namespace norvane {

void qt_profile_list_model::show_entries(const profile_list_entries& entries) {
    beginResetModel();
    entries_ = &entries;
    endResetModel();
}

int qt_profile_list_model::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || entries_ == nullptr ? 0 : entries_->count();
}

QVariant qt_profile_list_model::data(const QModelIndex& index, int role) const {
    if (entries_ == nullptr || !index.isValid() || index.column() != 0 ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const std::string_view name = entries_->name(index.row());
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

Qt::ItemFlags qt_profile_list_model::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

}  // namespace norvane
