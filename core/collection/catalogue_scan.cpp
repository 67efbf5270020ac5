#include "collection/catalogue_scan.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "collection/collation.h"
#include "collection/songlist.h"
#include "sources/ProgressDisplay.h"
#include "sources/transfer.h"

namespace tunrax {

namespace {

// The sub-folders of one folder still to be scanned.
struct Level {
    int32_t node;      // kNone for the top level
    std::string path;  // NodePath of node
    std::vector<std::string> names;
    size_t next = 0;
};

}  // namespace

void ScanCatalogue(TCustomTransfer& source, const TNameCollator& collator, TCatalogue& catalogue,
                   ProgressDisplay* progress) {
    catalogue.Clear();
    const std::unique_ptr<TScanContext> scan = source.BeginScan();

    auto list = [&](int32_t node, std::string path) {
        Level level{node, std::move(path), {}, 0};
        source.ListFolders(level.names, level.path, scan.get());
        // A name with a line break would come back from the catalogue file
        // as two folders, and one with a zero byte would end its text there.
        std::erase_if(level.names, [](const std::string& name) { return !IsListableName(name); });
        // A folder listing comes in the file system's own order; sorted by
        // bytes first, the same one of "ABBA" and "Abba" stays on every scan.
        std::sort(level.names.begin(), level.names.end());
        collator.SortUnique(level.names);
        return level;
    };

    // Depth first in pre-order, as the file lists the folders; a stack rather
    // than recursion, so that a source with very deep folders cannot exhaust
    // the call stack.
    std::vector<Level> stack;
    stack.push_back(list(TCatalogue::kNone, std::string()));
    if (progress)
        progress->SetMaximum(static_cast<int64_t>(stack.front().names.size()));
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next == top.names.size()) {
            const bool topLevelFolderDone = stack.size() == 2;
            stack.pop_back();
            if (topLevelFolderDone && progress)
                progress->StepIt();
            continue;
        }
        std::string& name = top.names[top.next++];
        std::string path = (top.path.empty() ? std::string("\\") : top.path) + name + "\\";
        const int32_t child = catalogue.Add(top.node, std::move(name));
        // top is not used past this point: the push may move it.
        stack.push_back(list(child, std::move(path)));
    }
}

const char* CatalogueFileName(bool alternative) {
    return alternative ? "tunrax2.dat" : "tunrax.dat";
}

}  // namespace tunrax
