// The catalogue of a collection: its folders as a tree, read from and written
// as "tunrax.dat" text (one line per folder in pre-order, its level as leading
// TABs, CR LF after every line). Names are byte strings, kept unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tunrax {

class TCatalogue {
public:
    static constexpr int32_t kNone = -1;

    struct Node {
        std::string Name;
        int32_t Parent = kNone;
        int32_t Row = 0;    // position among its parent's children
        int32_t Level = 0;  // 0 for a top-level folder
        std::vector<int32_t> Children;
    };

    void Clear();
    // Makes room for count folders in all.
    void Reserve(int32_t count);
    // Appends a folder as the last child of parent (kNone: top level) and
    // returns its index. Indices stay valid until Clear().
    int32_t Add(int32_t parent, std::string name);

    int32_t Count() const { return static_cast<int32_t>(FNodes.size()); }
    const Node& At(int32_t index) const { return FNodes[static_cast<size_t>(index)]; }
    // Children of parent (kNone: the top-level folders), in order.
    const std::vector<int32_t>& ChildrenOf(int32_t parent) const;

    void Swap(TCatalogue& other) noexcept;

private:
    std::vector<Node> FNodes;
    std::vector<int32_t> FTop;
};

// "\" + names from the top-level ancestor down to node, each followed by "\";
// "" for kNone.
std::string NodePath(const TCatalogue& catalogue, int32_t node);
// The folder whose NodePath is path; kNone when there is none. A name may
// hold "\" itself: every way of reading the path is tried.
int32_t NodeAtPath(const TCatalogue& catalogue, const std::string& path);

// Builds the tree from catalogue text: lines end in CR, LF or CR LF; a zero
// byte ends the text; each leading TAB or space is one level; a line break at
// the end starts no further line. The first line is a top-level folder
// whatever its level; every further line is compared with the depth of the
// node made before it. On an invalid level it throws tunrax::Error
// "Ungültige Ebene (%d) für Eintrag "%s"" (the name as display text) and
// leaves catalogue empty. A text of more than maxFolders lines (a file of
// bare line breaks, each an empty folder) is refused the same way: "Der
// Katalog hat mehr als %d Ordner und wird nicht geladen."
inline constexpr int32_t kCatalogueMaxFolders = 2'000'000;
void ParseCatalogue(const std::string& text, TCatalogue& catalogue,
                    int32_t maxFolders = kCatalogueMaxFolders);

// Every folder in pre-order as level TABs, name and CR LF.
std::string WriteCatalogue(const TCatalogue& catalogue);

}  // namespace tunrax
