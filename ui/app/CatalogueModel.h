// The album tree's model: a read-only view of a TCatalogue. Names turn into
// display text only when the view asks for a visible row, so a catalogue of
// 100,000 folders shows at once.
#pragma once

#include <QAbstractItemModel>

#include "collection/catalogue.h"

namespace tunrax {

class TCatalogueModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit TCatalogueModel(QObject* parent = nullptr);

    // Takes over the folders of catalogue (which is left with the old ones).
    void Replace(TCatalogue& catalogue);
    const TCatalogue& Catalogue() const { return FCatalogue; }

    int32_t NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(int32_t node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TCatalogue FCatalogue;
};

}  // namespace tunrax
