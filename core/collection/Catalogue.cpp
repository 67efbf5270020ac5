#include "collection/Catalogue.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "io/Error.h"
#include "settings/DisplayText.h"

namespace tunrax {

void TCatalogue::Clear() {
    FNodes.clear();
    FTop.clear();
}

int32_t TCatalogue::Add(int32_t parent, std::string name) {
    if (parent != kNone && (parent < 0 || parent >= Count()))
        throw std::out_of_range("TCatalogue::Add: no such parent");
    const auto index = static_cast<int32_t>(FNodes.size());
    Node node;
    node.Name = std::move(name);
    node.Parent = parent;
    if (parent == kNone) {
        node.Row = static_cast<int32_t>(FTop.size());
        FTop.push_back(index);
    } else {
        Node& p = FNodes[static_cast<size_t>(parent)];
        node.Row = static_cast<int32_t>(p.Children.size());
        node.Level = p.Level + 1;
        p.Children.push_back(index);
    }
    FNodes.push_back(std::move(node));
    return index;
}

void TCatalogue::Reserve(int32_t count) {
    FNodes.reserve(static_cast<size_t>(std::max(count, 0)));
}

const std::vector<int32_t>& TCatalogue::ChildrenOf(int32_t parent) const {
    return parent == kNone ? FTop : At(parent).Children;
}

void TCatalogue::Swap(TCatalogue& other) noexcept {
    FNodes.swap(other.FNodes);
    FTop.swap(other.FTop);
}

std::string NodePath(const TCatalogue& catalogue, int32_t node) {
    if (node == TCatalogue::kNone)
        return std::string();
    std::vector<int32_t> chain;
    size_t length = 1;
    for (int32_t n = node; n != TCatalogue::kNone; n = catalogue.At(n).Parent) {
        chain.push_back(n);
        length += catalogue.At(n).Name.size() + 1;
    }
    std::string path;
    path.reserve(length);
    path += '\\';
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += catalogue.At(*it).Name;
        path += '\\';
    }
    return path;
}

namespace {

// The folder below parent that rest ("name\name\…\") leads to.
int32_t NodeBelow(const TCatalogue& catalogue, int32_t parent, std::string_view rest) {
    if (rest.empty())
        return parent;
    for (const int32_t child : catalogue.ChildrenOf(parent)) {
        const std::string& name = catalogue.At(child).Name;
        if (rest.size() > name.size() && rest.compare(0, name.size(), name) == 0 &&
            rest[name.size()] == '\\') {
            const int32_t found = NodeBelow(catalogue, child, rest.substr(name.size() + 1));
            if (found != TCatalogue::kNone)
                return found;
        }
    }
    return TCatalogue::kNone;
}

}  // namespace

int32_t NodeAtPath(const TCatalogue& catalogue, const std::string& path) {
    if (path.size() < 2 || path.front() != '\\')
        return TCatalogue::kNone;
    return NodeBelow(catalogue, TCatalogue::kNone, std::string_view(path).substr(1));
}

void ParseCatalogue(const std::string& text, TCatalogue& catalogue, int32_t maxFolders) {
    catalogue.Clear();
    const size_t end = std::min(text.find('\0'), text.size());

    TCatalogue result;
    // One node per line at most: room for all of them at once spares moving
    // a large catalogue's nodes again and again while it grows.
    result.Reserve(static_cast<int32_t>(std::min<size_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n') + 1,
        static_cast<size_t>(std::max(maxFolders, 0)))));
    // The nodes from the top level down to the node made last: open[d] is the
    // last node made at depth d. Its size minus one is the previous node's
    // depth, which every line's level is compared with. The first line becomes
    // a top-level node whatever its indentation, and only the node's depth
    // counts afterwards: after an indented first line, a line of level 1 is
    // its child and a line of level 2 or more is an invalid level.
    std::vector<int32_t> open;
    size_t pos = 0;
    while (pos < end) {
        size_t level = 0;
        while (pos + level < end && (text[pos + level] == '\t' || text[pos + level] == ' '))
            ++level;
        const size_t nameStart = pos + level;
        size_t lineEnd = nameStart;
        while (lineEnd < end && text[lineEnd] != '\r' && text[lineEnd] != '\n')
            ++lineEnd;
        std::string name(text, nameStart, lineEnd - nameStart);

        int32_t parent = TCatalogue::kNone;
        if (open.empty()) {
            level = 0;
        } else {
            const size_t previous = open.size() - 1;
            if (level > previous + 1) {
                throw Error("Ungültige Ebene (" + std::to_string(level) + ") für Eintrag \"" +
                            DisplayText(name) + "\"");
            }
            // Same level: sibling of the previous node; one more: its child;
            // less: sibling of its ancestor at that level. In each case the
            // parent is the open node one level up.
            parent = level == 0 ? TCatalogue::kNone : open[level - 1];
        }
        open.resize(level);
        if (result.Count() >= maxFolders)
            throw Error("Der Katalog hat mehr als " + std::to_string(maxFolders) +
                        " Ordner und wird nicht geladen.");
        open.push_back(result.Add(parent, std::move(name)));

        // CR LF is one line break; a break at the very end starts no line.
        pos = lineEnd;
        if (pos < end)
            pos += text[pos] == '\r' && pos + 1 < end && text[pos + 1] == '\n' ? 2 : 1;
    }
    catalogue.Swap(result);
}

std::string WriteCatalogue(const TCatalogue& catalogue) {
    size_t size = 0;
    for (int32_t i = 0; i < catalogue.Count(); ++i)
        size += static_cast<size_t>(catalogue.At(i).Level) + catalogue.At(i).Name.size() + 2;
    std::string text;
    text.reserve(size);

    // Pre-order without recursion: a deep chain of folders must not exhaust
    // the stack.
    struct Pending {
        const std::vector<int32_t>* nodes;
        size_t next;
    };
    std::vector<Pending> stack{{&catalogue.ChildrenOf(TCatalogue::kNone), 0}};
    while (!stack.empty()) {
        Pending& top = stack.back();
        if (top.next == top.nodes->size()) {
            stack.pop_back();
            continue;
        }
        const int32_t index = (*top.nodes)[top.next++];
        const TCatalogue::Node& node = catalogue.At(index);
        text.append(static_cast<size_t>(node.Level), '\t');
        text += node.Name;
        text += "\r\n";
        if (!node.Children.empty())
            stack.push_back({&node.Children, 0});
    }
    return text;
}

}  // namespace tunrax
