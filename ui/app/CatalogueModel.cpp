#include "app/CatalogueModel.h"

#include <QString>

#include "settings/vel_text.h"

namespace tunrax {

TCatalogueModel::TCatalogueModel(QObject* parent) : QAbstractItemModel(parent) {}

void TCatalogueModel::Replace(TCatalogue& catalogue) {
    beginResetModel();
    FCatalogue.Swap(catalogue);
    endResetModel();
}

int32_t TCatalogueModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid())
        return TCatalogue::kNone;
    return static_cast<int32_t>(index.internalId());
}

QModelIndex TCatalogueModel::IndexOf(int32_t node) const {
    if (node < 0 || node >= FCatalogue.Count())
        return {};
    return createIndex(FCatalogue.At(node).Row, 0, static_cast<quintptr>(node));
}

QModelIndex TCatalogueModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const std::vector<int32_t>& children = FCatalogue.ChildrenOf(NodeOf(parent));
    if (static_cast<size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<size_t>(row)]));
}

QModelIndex TCatalogueModel::parent(const QModelIndex& child) const {
    int32_t node = NodeOf(child);
    if (node == TCatalogue::kNone)
        return {};
    return IndexOf(FCatalogue.At(node).Parent);
}

int TCatalogueModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(FCatalogue.ChildrenOf(NodeOf(parent)).size());
}

int TCatalogueModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TCatalogueModel::data(const QModelIndex& index, int role) const {
    int32_t node = NodeOf(index);
    if (node == TCatalogue::kNone)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(DisplayText(FCatalogue.At(node).Name));
    return {};
}

Qt::ItemFlags TCatalogueModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace tunrax
