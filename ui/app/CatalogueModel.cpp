#include "app/CatalogueModel.h"

#include <QString>
#include <string_view>

#include "collection/Collation.h"
#include "settings/DisplayText.h"

namespace tunrax {

struct TCatalogueModel::Filter {
    const TNameCollator* Collator = nullptr;
    std::string Needle;  // the searched text's match text; empty: all shown
    // The match text of every name, one after the other, made once per
    // search: a keystroke then only compares bytes.
    std::string Keys;
    std::vector<uint32_t> KeyStart;  // Count() + 1 offsets into Keys
    enum : uint8_t { kHidden, kParent, kMatch };
    std::vector<uint8_t> State;  // per folder
    // The shown children of every folder, grouped by parent: those of parent
    // p are Kids[KidsBegin[p + 1]] up to Kids[KidsBegin[p + 2]] (p = kNone
    // for the top level).
    std::vector<int32_t> Kids;
    std::vector<int32_t> KidsBegin;
    std::vector<int32_t> Row;  // position among the shown children

    bool Active() const { return !Needle.empty(); }

    void MakeKeys(const TCatalogue& catalogue) {
        Keys.clear();
        KeyStart.assign(1, 0);
        KeyStart.reserve(static_cast<size_t>(catalogue.Count()) + 1);
        for (int32_t node = 0; node < catalogue.Count(); ++node) {
            Keys += Collator->MatchText(catalogue.At(node).Name);
            KeyStart.push_back(static_cast<uint32_t>(Keys.size()));
        }
    }

    std::string_view Key(int32_t node) const {
        const size_t begin = KeyStart[static_cast<size_t>(node)];
        return std::string_view(Keys).substr(begin,
                                             KeyStart[static_cast<size_t>(node) + 1] - begin);
    }
};

TCatalogueModel::TCatalogueModel(QObject* parent) : QAbstractItemModel(parent) {}

TCatalogueModel::~TCatalogueModel() = default;

void TCatalogueModel::Follow(TCatalogueSession* session) {
    OnCatalogueReplacing();
    if (FSession)
        FSession->SetListener(nullptr);
    FSession = session;
    if (FSession)
        FSession->SetListener(this);
    OnCatalogueReplaced();
}

void TCatalogueModel::OnCatalogueReplacing() {
    beginResetModel();
}

void TCatalogueModel::OnCatalogueReplaced() {
    if (FFilter) {
        FFilter->MakeKeys(Catalogue());
        ApplyFilter();
    }
    endResetModel();
    Q_EMIT Replaced();
}

void TCatalogueModel::BeginFilter(const TNameCollator& collator) {
    if (FFilter && FFilter->Collator == &collator)
        return;
    const bool reset = Filtered();
    if (reset)
        beginResetModel();
    FFilter = std::make_unique<Filter>();
    FFilter->Collator = &collator;
    FFilter->MakeKeys(Catalogue());
    if (reset)
        endResetModel();
}

void TCatalogueModel::SetFilter(const QString& text, const TNameCollator& collator) {
    BeginFilter(collator);
    beginResetModel();
    FFilter->Needle = collator.MatchText(text.toStdString());
    ApplyFilter();
    endResetModel();
}

void TCatalogueModel::EndFilter() {
    if (!Filtered()) {
        FFilter.reset();  // nothing hidden: the view needs no reset
        return;
    }
    beginResetModel();
    FFilter.reset();
    endResetModel();
}

bool TCatalogueModel::Filtered() const {
    return FFilter && FFilter->Active();
}

void TCatalogueModel::ApplyFilter() {
    Filter& f = *FFilter;
    const size_t count = static_cast<size_t>(Catalogue().Count());
    f.State.clear();
    f.Kids.clear();
    f.KidsBegin.clear();
    f.Row.clear();
    if (!f.Active())
        return;  // the catalogue's own children lists serve
    f.State.assign(count, Filter::kHidden);
    for (int32_t node = 0; node < Catalogue().Count(); ++node) {
        if (f.Key(node).find(f.Needle) == std::string_view::npos)
            continue;
        f.State[static_cast<size_t>(node)] = Filter::kMatch;
        for (int32_t up = Catalogue().At(node).Parent;
             up != TCatalogue::kNone && f.State[static_cast<size_t>(up)] == Filter::kHidden;
             up = Catalogue().At(up).Parent)
            f.State[static_cast<size_t>(up)] = Filter::kParent;
    }
    f.Row.assign(count, 0);
    f.KidsBegin.assign(count + 2, 0);
    for (int32_t parent = TCatalogue::kNone; parent < Catalogue().Count(); ++parent) {
        f.KidsBegin[static_cast<size_t>(parent + 1)] = static_cast<int32_t>(f.Kids.size());
        if (parent != TCatalogue::kNone && f.State[static_cast<size_t>(parent)] == Filter::kHidden)
            continue;
        int32_t row = 0;
        for (int32_t child : Catalogue().ChildrenOf(parent))
            if (f.State[static_cast<size_t>(child)] != Filter::kHidden) {
                f.Row[static_cast<size_t>(child)] = row++;
                f.Kids.push_back(child);
            }
    }
    f.KidsBegin[count + 1] = static_cast<int32_t>(f.Kids.size());
}

bool TCatalogueModel::Matches(int32_t node) const {
    return Filtered() && node >= 0 && node < Catalogue().Count() &&
           FFilter->State[static_cast<size_t>(node)] == Filter::kMatch;
}

int32_t TCatalogueModel::FirstMatch() const {
    if (!Filtered())
        return TCatalogue::kNone;
    for (int32_t node = NextShown(TCatalogue::kNone), seen = 0;
         node != TCatalogue::kNone && seen < Catalogue().Count(); node = NextShown(node), ++seen)
        if (Matches(node))
            return node;
    return TCatalogue::kNone;
}

std::span<const int32_t> TCatalogueModel::ShownChildren(int32_t parent) const {
    if (!Filtered())
        return Catalogue().ChildrenOf(parent);
    const Filter& f = *FFilter;
    if (parent != TCatalogue::kNone && f.State[static_cast<size_t>(parent)] == Filter::kHidden)
        return {};
    const auto begin = static_cast<size_t>(f.KidsBegin[static_cast<size_t>(parent + 1)]);
    const auto end = static_cast<size_t>(f.KidsBegin[static_cast<size_t>(parent + 2)]);
    return std::span<const int32_t>(f.Kids).subspan(begin, end - begin);
}

int32_t TCatalogueModel::NextShown(int32_t node) const {
    if (node != TCatalogue::kNone) {
        std::span<const int32_t> children = ShownChildren(node);
        if (!children.empty())
            return children.front();
        // Up to the nearest folder that has a next sibling.
        for (int32_t at = node; at != TCatalogue::kNone; at = Catalogue().At(at).Parent) {
            const QModelIndex index = IndexOf(at);
            if (!index.isValid())
                break;  // hidden by the search: start over at the top
            std::span<const int32_t> siblings = ShownChildren(Catalogue().At(at).Parent);
            const auto next = static_cast<size_t>(index.row()) + 1;
            if (next < siblings.size())
                return siblings[next];
        }
    }
    std::span<const int32_t> top = ShownChildren(TCatalogue::kNone);
    return top.empty() ? TCatalogue::kNone : top.front();
}

int32_t TCatalogueModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid())
        return TCatalogue::kNone;
    return static_cast<int32_t>(index.internalId());
}

QModelIndex TCatalogueModel::IndexOf(int32_t node) const {
    if (node < 0 || node >= Catalogue().Count())
        return {};
    int32_t row = Catalogue().At(node).Row;
    if (Filtered()) {
        if (FFilter->State[static_cast<size_t>(node)] == Filter::kHidden)
            return {};
        row = FFilter->Row[static_cast<size_t>(node)];
    }
    return createIndex(row, 0, static_cast<quintptr>(node));
}

QModelIndex TCatalogueModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    std::span<const int32_t> children = ShownChildren(NodeOf(parent));
    if (static_cast<size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<size_t>(row)]));
}

QModelIndex TCatalogueModel::parent(const QModelIndex& child) const {
    int32_t node = NodeOf(child);
    if (node == TCatalogue::kNone)
        return {};
    return IndexOf(Catalogue().At(node).Parent);
}

int TCatalogueModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(ShownChildren(NodeOf(parent)).size());
}

int TCatalogueModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TCatalogueModel::data(const QModelIndex& index, int role) const {
    int32_t node = NodeOf(index);
    if (node == TCatalogue::kNone)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(DisplayText(Catalogue().At(node).Name));
    return {};
}

Qt::ItemFlags TCatalogueModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace tunrax
