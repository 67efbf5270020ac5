// A source whose answers the test scripts: the content of each song, the
// names in each folder, a failure after some bytes or at a folder, and hooks
// around each download (to wait, to act on the program meanwhile, to fail).
// It records what it was asked for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "io/Error.h"
#include "sources/Source.h"

namespace tunrax::test {

class ScriptedSource : public TSource {
public:
    using Names = std::vector<std::string>;

    explicit ScriptedSource(uint8_t capabilities = 0) : TSource(false) {
        Capabilities = capabilities;
    }

    // --- downloads
    // The bytes of a song; by default the song's path itself.
    std::function<std::string(const std::string& path)> Content = [](const std::string& path) {
        return path;
    };
    // When set, a download writes at most this many bytes of the content and
    // then fails with FailureText, as a broken connection does.
    std::optional<size_t> FailAfterBytes;
    std::string FailureText = "Verbindung abgebrochen";
    // Run before anything is written, and after the content is written.
    std::function<void(const std::string& path)> BeforeGet;
    std::function<void(std::ostream& dest, const std::string& path)> AfterGet;
    // What GetSizeKB answers.
    int64_t SizeKB = 0;
    // What CloneForBackground answers; none by default.
    std::function<std::unique_ptr<TSource>()> Clone;

    // --- listings: folder path -> names; a folder not in the table is empty.
    std::map<std::string, Names> Folders;
    std::map<std::string, Names> Files;
    // Listing this folder fails with "Verbindung unterbrochen".
    std::string FailAtFolder = "-";

    // --- what happened
    Names Fetched;
    Names Listed;
    std::vector<TScanContext*> Contexts;
    int ScansBegun = 0;
    int ScansEnded = 0;

    void GetFile(std::ostream& dest, const std::string& path) override {
        Fetched.push_back(path);
        if (BeforeGet)
            BeforeGet(path);
        const std::string content = Content(path);
        const size_t written =
            FailAfterBytes ? std::min(*FailAfterBytes, content.size()) : content.size();
        dest.write(content.data(), static_cast<std::streamsize>(written));
        if (FailAfterBytes)
            throw Error(FailureText);
        if (AfterGet)
            AfterGet(dest, path);
    }
    void ListFiles(Names& list, const std::string& folder) override {
        list = Lookup(Files, folder);
    }
    void ListFolders(Names& list, const std::string& folder, TScanContext* scan) override {
        Listed.push_back(folder);
        Contexts.push_back(scan);
        if (folder == FailAtFolder)
            throw Error("Verbindung unterbrochen");
        list = Lookup(Folders, folder);
    }
    int64_t GetSizeKB(const Names&) override { return SizeKB; }
    std::unique_ptr<TSource> CloneForBackground() const override {
        return Clone ? Clone() : nullptr;
    }
    std::unique_ptr<TScanContext> BeginScan() override {
        ++ScansBegun;
        return std::make_unique<CountingContext>(ScansEnded);
    }

private:
    class CountingContext : public TScanContext {
    public:
        explicit CountingContext(int& ended) : FEnded(ended) {}
        ~CountingContext() override { ++FEnded; }

    private:
        int& FEnded;
    };

    static Names Lookup(const std::map<std::string, Names>& table, const std::string& folder) {
        const auto it = table.find(folder);
        return it == table.end() ? Names{} : it->second;
    }
};

}  // namespace tunrax::test
