#include "collection/CatalogueScan.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "collection/Collation.h"
#include "collection/SongNames.h"
#include "io/Error.h"
#include "settings/DisplayText.h"
#include "sources/ProgressDisplay.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

// The sub-folders of one folder still to be scanned.
struct Level {
    int32_t node;      // kNone for the top level
    std::string path;  // NodePath of node
    std::vector<std::string> names;
    size_t next = 0;
};

// Keeps what is written up to a limit and refuses the byte past it; the
// buffer never grows beyond the limit.
class LimitedText : public std::streambuf {
public:
    explicit LimitedText(size_t limit) : FLimit(limit) {}

    bool Overflowed() const { return FOverflowed; }
    std::string Take() { return std::move(FText); }

protected:
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        const auto size = static_cast<size_t>(count);
        if (size > FLimit - FText.size()) {
            FOverflowed = true;
            return 0;
        }
        if (FText.size() + size > FText.capacity())
            FText.reserve(std::min(FLimit, std::max(FText.size() + size, 2 * FText.capacity())));
        FText.append(data, size);
        return count;
    }

    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

private:
    size_t FLimit;
    std::string FText;
    bool FOverflowed = false;
};

}  // namespace

void ScanCatalogue(TSource& source, const TNameCollator& collator, TCatalogue& catalogue,
                   ProgressDisplay* progress, const TScanBounds& bounds) {
    catalogue.Clear();
    const std::unique_ptr<TScanContext> scan = source.BeginScan();
    // No bound on pace or time: a large collection takes its time. But the
    // program's end or the user calls a scan off between two folders.
    TPaceLimits unbounded;
    unbounded.minBytes = 0;
    TTransferWatch watch("den Ordnern", unbounded);

    auto list = [&](int32_t node, std::string path) {
        watch.Check();
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
        if (catalogue.Count() >= bounds.maxFolders)
            throw Error("Die Sammlung hat mehr als " + std::to_string(bounds.maxFolders) +
                        " Ordner; der Katalog endet hier.");
        if (stack.size() > bounds.maxDepth)
            throw Error("Die Ordner der Sammlung liegen mehr als " +
                        std::to_string(bounds.maxDepth) + " Ebenen tief (bei \"" +
                        DisplayText(top.path) + "\"); der Katalog endet hier.");
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

std::string FetchCatalogueText(TSource& source, size_t maxBytes,
                               std::chrono::milliseconds timeLimit) {
    const std::string name = CatalogueFileName(source.Alternative);
    const std::string tooLarge =
        "Der Katalog \"" + name + "\" ist zu groß (mehr als " + AmountText(maxBytes) + ").";
    TTransferDeadline deadline(timeLimit, "Das Laden des Katalogs \"" + name +
                                              "\" dauert zu lange (mehr als " +
                                              SecondsText(timeLimit) + ").");
    LimitedText text(maxBytes);
    std::ostream stream(&text);
    try {
        source.GetFile(stream, name);
    } catch (const Error&) {
        // The source's own words for a stream that refused its bytes say
        // less than the limit does.
        if (text.Overflowed())
            throw Error(tooLarge);
        throw;
    }
    if (text.Overflowed())
        throw Error(tooLarge);
    return text.Take();
}

}  // namespace tunrax
