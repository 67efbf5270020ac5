// Fuzz target for the catalogue reader and writer.
//
// The input is the catalogue file's bytes. When it parses, checked (abort on
// failure):
// - every node's level is its parent's plus one, and its row its place among
//   the parent's children;
// - writing the tree and reading the text back gives the same tree, node for
//   node (names, parents), and writing that again gives the same text.
// Names with leading blanks would not survive the round trip (the blanks are
// read as indentation), but a parsed name never has any: the reader takes
// every leading blank as a level. Nor can a parsed name hold CR, LF or a zero
// byte. So the round trip must be exact for every input that parses.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "collection/Catalogue.h"
#include "io/Error.h"
#include "settings/DisplayText.h"

namespace {

using tunrax::TCatalogue;

void Check(bool ok, const char* what, int32_t node = TCatalogue::kNone) {
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_catalogue: %s (node %d)\n", what, node);
    std::abort();
}

void CheckShape(const TCatalogue& catalogue) {
    for (int32_t i = 0; i < catalogue.Count(); ++i) {
        const TCatalogue::Node& node = catalogue.At(i);
        const int32_t parentLevel =
            node.Parent == TCatalogue::kNone ? -1 : catalogue.At(node.Parent).Level;
        Check(node.Level == parentLevel + 1, "level is not the parent's plus one", i);
        const auto& siblings = catalogue.ChildrenOf(node.Parent);
        Check(node.Row >= 0 && static_cast<size_t>(node.Row) < siblings.size() &&
                  siblings[static_cast<size_t>(node.Row)] == i,
              "row does not match the parent's children", i);
        Check(node.Name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
              "a name holds a line break or a zero byte", i);
        Check(node.Name.empty() || (node.Name[0] != '\t' && node.Name[0] != ' '),
              "a name begins with a blank", i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TCatalogue catalogue;
    try {
        tunrax::ParseCatalogue(text, catalogue);
    } catch (const tunrax::Error& e) {
        Check(catalogue.Count() == 0, "catalogue not empty after an error");
        Check(tunrax::IsValidUtf8(e.what()), "error message is not UTF-8");
        return 0;
    }
    CheckShape(catalogue);

    const std::string written = tunrax::WriteCatalogue(catalogue);
    TCatalogue reread;
    try {
        tunrax::ParseCatalogue(written, reread);
    } catch (const tunrax::Error&) {
        Check(false, "written catalogue does not parse");
    }
    Check(reread.Count() == catalogue.Count(), "node count changed in the round trip");
    for (int32_t i = 0; i < catalogue.Count(); ++i) {
        // Both trees are built in pre-order, so the same index is the same
        // folder.
        Check(reread.At(i).Name == catalogue.At(i).Name, "name changed in the round trip", i);
        Check(reread.At(i).Parent == catalogue.At(i).Parent, "parent changed in the round trip", i);
    }
    Check(tunrax::WriteCatalogue(reread) == written, "second write differs from the first");
    if (catalogue.Count() > 0) {
        const int32_t last = catalogue.Count() - 1;
        Check(tunrax::NodePath(catalogue, last) == tunrax::NodePath(reread, last),
              "folder path changed in the round trip", last);
    }
    return 0;
}
