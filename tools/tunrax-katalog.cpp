// tunrax-katalog: writes the catalogue of a local collection, as the player
// builds it when "tunrax.dat" is missing, to standard output or, with
// --schreiben, into the collection itself.
//
// Exit status: 0 done, 1 error, 2 wrong arguments.

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "collection/Catalogue.h"
#include "collection/CatalogueScan.h"
#include "collection/Collation.h"
#include "io/Error.h"
#include "settings/DisplayText.h"
#include "sources/LocalSource.h"

namespace {

using namespace tunrax;

const char* const kUsage =
    "Aufruf: tunrax-katalog [--schreiben] [--alternativ] VERZEICHNIS\n"
    "\n"
    "Durchsucht die Sammlung in VERZEICHNIS und gibt ihren Katalog auf der\n"
    "Standardausgabe aus.\n"
    "\n"
    "  --schreiben   den Katalog als tunrax.dat in VERZEICHNIS schreiben\n"
    "  --alternativ  mit --schreiben: tunrax2.dat statt tunrax.dat\n"
    "  --hilfe       diesen Text zeigen\n";

struct Options {
    bool write = false;
    bool alternative = false;
    std::string folder;
};

void Fail(const std::string& message) {
    std::fprintf(stderr, "tunrax-katalog: %s\n", message.c_str());
}

// 0: parsed; otherwise the exit status to end with.
int ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> folders;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            folders.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--schreiben") {
            options.write = true;
        } else if (arg == "--alternativ") {
            options.alternative = true;
        } else if (arg == "--hilfe" || arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else {
            Fail("unbekannte Option \"" + DisplayText(arg) + "\"");
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (folders.size() != 1) {
        Fail(folders.empty() ? "kein Verzeichnis angegeben" : "mehr als ein Verzeichnis angegeben");
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.alternative && !options.write) {
        Fail("--alternativ gilt nur mit --schreiben");
        std::fputs(kUsage, stderr);
        return 2;
    }
    options.folder = folders.front();
    return 0;
}

void CheckFolder(const std::string& folder) {
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Error("Verzeichnis \"" + DisplayText(folder) + "\" nicht gefunden");
    // The source lists an unreadable folder as empty; for the collection
    // itself that would give an empty catalogue instead of an error.
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        throw Error("Verzeichnis \"" + DisplayText(folder) +
                    "\" kann nicht gelesen werden: " + SystemErrorText(errno));
    }
    ::closedir(dir);
}

int Run(const Options& options) {
    CheckFolder(options.folder);
    TLocalSource source(options.alternative, options.folder);
    TNameCollator collator;
    TCatalogue catalogue;
    ScanCatalogue(source, collator, catalogue, nullptr);
    const std::string text = WriteCatalogue(catalogue);

    if (options.write) {
        const char* name = CatalogueFileName(source.Alternative);
        std::istringstream stream(text);
        source.PutFile(stream, name);
        std::fprintf(stderr, "%d Verzeichnisse nach \"%s%s\" geschrieben\n", catalogue.Count(),
                     DisplayText(source.Root).c_str(), name);
        return 0;
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        throw Error("Der Katalog kann nicht ausgegeben werden: " + SystemErrorText(errno));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseArguments(argc, argv, options))
        return status < 0 ? 0 : status;
    try {
        return Run(options);
    } catch (const std::exception& e) {
        Fail(e.what());
        return 1;
    }
}
