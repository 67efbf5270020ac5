// The album tree's model: a read-only view of the folders a catalogue session
// holds (TCatalogueSession), following it when it replaces them. Names turn
// into display text only when the view asks for a visible row, so a
// catalogue of 100,000 folders shows at once.
//
// While a search runs it shows only the folders whose name contains the
// searched text, and their parents. The filter's tables exist only then: with
// no search the model is the plain view of the catalogue.
#pragma once

#include <QAbstractItemModel>
#include <memory>
#include <span>
#include <string>

#include "collection/Catalogue.h"
#include "collection/CatalogueSession.h"

namespace tunrax {

class TNameCollator;

class TCatalogueModel : public QAbstractItemModel, private TCatalogueListener {
    Q_OBJECT

public:
    explicit TCatalogueModel(QObject* parent = nullptr);
    ~TCatalogueModel() override;

    // Shows the folders session holds, and follows it as its listener when
    // it replaces them; none shows no folders. A search under way goes on
    // over the new folders. The session must outlive the following (the
    // window ends it with Follow(nullptr)).
    void Follow(TCatalogueSession* session);
    const TCatalogue& Catalogue() const { return FSession ? FSession->Catalogue() : FNone; }

    int32_t NodeOf(const QModelIndex& index) const;
    // The index of node; invalid for kNone and for a folder the search hides.
    QModelIndex IndexOf(int32_t node) const;

    // --- searching (names compared as collator compares them, see
    // TNameCollator::MatchText). Shows only the folders whose name contains
    // text, and their parents; an empty text shows all. The collator must
    // outlive the search.
    void SetFilter(const QString& text, const TNameCollator& collator);
    // Prepares a search without changing what is shown, so that the first
    // SetFilter takes no longer than the next.
    void BeginFilter(const TNameCollator& collator);
    // Shows every folder again and lets go of the search's tables.
    void EndFilter();
    bool Filtered() const;
    // Whether node's own name contains the searched text.
    bool Matches(int32_t node) const;
    // The first folder whose name contains the searched text, in the order
    // the tree shows them; kNone when none does or no search runs.
    int32_t FirstMatch() const;

    // --- the folders shown, in the order the tree shows them (each folder,
    // then its sub-folders, then its next sibling), expanded or not.
    std::span<const int32_t> ShownChildren(int32_t parent) const;
    // The folder after node in that order, the first after the last; kNone
    // gives the first. kNone for an empty tree.
    int32_t NextShown(int32_t node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // The folders were replaced: node numbers of the old ones mean nothing
    // any more.
    void Replaced();

private:
    struct Filter;
    void ApplyFilter();
    // TCatalogueListener: the session replaces its folders.
    void OnCatalogueReplacing() override;
    void OnCatalogueReplaced() override;

    TCatalogueSession* FSession = nullptr;
    const TCatalogue FNone;           // shown while no session is followed
    std::unique_ptr<Filter> FFilter;  // only while a search runs
};

}  // namespace tunrax
