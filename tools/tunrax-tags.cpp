// tunrax-tags: shows for MP3 files what the player shows while they play:
// title, artist and album from the ID3v2 tag or, failing that, the ID3v1 tag,
// with "_" as a space. --alle adds every field of both tags, --tsv gives one
// TAB-separated line per file.
//
// Exit status: 0 done, 1 a file could not be read, 2 wrong arguments.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/ID3v1.h"
#include "audio/ID3v2.h"
#include "io/Error.h"
#include "settings/DisplayText.h"

namespace {

using namespace tunrax;

const char* const kUsage =
    "Aufruf: tunrax-tags [--alle | --tsv] DATEI...\n"
    "\n"
    "Zeigt Titel, Interpret und Album der MP3-Dateien, wie der Player sie\n"
    "anzeigt: aus dem ID3v2-Tag oder, wenn keines da ist, aus dem ID3v1-Tag.\n"
    "\n"
    "  --alle   zusätzlich alle Felder beider Tags\n"
    "  --tsv    eine Zeile je Datei: Datei, Tag, Titel, Interpret, Album,\n"
    "           durch Tabulatoren getrennt\n"
    "  --hilfe  diesen Text zeigen\n";

enum class Layout { Normal, All, Tsv };

struct Options {
    Layout layout = Layout::Normal;
    std::vector<std::string> files;
};

void Fail(const std::string& message) {
    std::fprintf(stderr, "tunrax-tags: %s\n", message.c_str());
}

int UsageError(const std::string& message) {
    Fail(message);
    std::fputs(kUsage, stderr);
    return 2;
}

// 0: parsed; -1: help shown; otherwise the exit status to end with.
int ParseArguments(int argc, char** argv, Options& options) {
    bool optionsEnded = false;
    bool layoutGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--alle" || arg == "--tsv") {
            if (layoutGiven)
                return UsageError("--alle und --tsv schließen einander aus");
            layoutGiven = true;
            options.layout = arg == "--alle" ? Layout::All : Layout::Tsv;
        } else if (arg == "--hilfe" || arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else {
            return UsageError("unbekannte Option \"" + DisplayText(arg) + "\"");
        }
    }
    if (options.files.empty())
        return UsageError("keine Datei angegeben");
    return 0;
}

// One line of output per field: TAB, CR and LF inside a text become spaces.
std::string OneLine(const std::string& bytes) {
    std::string text = DisplayText(bytes);
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

// As the window shows a tag field.
std::string Shown(const std::string& field) {
    std::string s = field;
    for (char& c : s) {
        if (c == '_')
            c = ' ';
    }
    return OneLine(s);
}

// The reason when the file cannot be opened for reading; empty when it can.
std::string Unreadable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return SystemErrorText(errno);
    if (S_ISDIR(st.st_mode))
        return "ist ein Verzeichnis";
    if (!S_ISREG(st.st_mode))
        return "ist keine gewöhnliche Datei";
    if (::access(path.c_str(), R_OK) != 0)
        return SystemErrorText(errno);
    return std::string();
}

void Line(const char* label, const std::string& text) {
    std::printf("%s: %s\n", label, text.c_str());
}

void Line(const char* label, unsigned value) {
    std::printf("%s: %u\n", label, value);
}

void PrintAll(bool v2Read, const TID3v2& v2, bool v1Read, const TID3v1& v1) {
    if (!v2Read) {
        std::printf("ID3v2: nicht lesbar (kürzer als 10 Bytes)\n");
    } else if (!v2.TagFound()) {
        std::printf("ID3v2: keines\n");
    } else {
        std::printf("ID3v2: Version 2.%u, Größe %d Bytes\n", unsigned{v2.MajorVersion()},
                    static_cast<int>(v2.TagSize()));
        Line("  Titel", OneLine(v2.Title()));
        Line("  Interpret", OneLine(v2.Artist()));
        Line("  Album", OneLine(v2.Album()));
        Line("  Titelnummer", v2.TrackNumber());
        Line("  Jahr", OneLine(v2.Year()));
        Line("  Genre", OneLine(v2.Genre()));
        Line("  Kommentar", OneLine(v2.Comment()));
        Line("  Komponist", OneLine(v2.Composer()));
        Line("  Kodiert von", OneLine(v2.EncodedBy()));
        Line("  Urheberrecht", OneLine(v2.RightsNotice()));
        Line("  Sprache", OneLine(v2.Language()));
        Line("  Link", OneLine(v2.Link()));
    }
    if (!v1Read) {
        std::printf("ID3v1: nicht lesbar (kürzer als 128 Bytes)\n");
    } else if (!v1.TagFound()) {
        std::printf("ID3v1: keines\n");
    } else {
        std::printf("ID3v1: Version 1.%u\n", unsigned{v1.TagVersion()} - 1);
        Line("  Titel", OneLine(v1.Title()));
        Line("  Interpret", OneLine(v1.Artist()));
        Line("  Album", OneLine(v1.Album()));
        Line("  Jahr", OneLine(v1.Year()));
        Line("  Kommentar", OneLine(v1.Comment()));
        Line("  Titelnummer", v1.TrackNumber());
        Line("  Genre-Nummer", v1.GenreIndex());
    }
}

void Show(const std::string& path, Layout layout, bool first) {
    // The choice of ShowSongInfo: the ID3v2 tag when the file could be read
    // and one was found, else the ID3v1 tag on the same terms.
    TID3v2 v2;
    TID3v1 v1;
    const bool v2Read = v2.LoadFromFile(path);
    const bool useV2 = v2Read && v2.TagFound();
    bool v1Read = false;
    if (!useV2 || layout == Layout::All)
        v1Read = v1.LoadFromFile(path);
    const bool useV1 = !useV2 && v1Read && v1.TagFound();

    const char* tag = useV2 ? "ID3v2" : useV1 ? "ID3v1" : "-";
    std::string title, artist, album;
    if (useV2) {
        title = Shown(v2.Title()), artist = Shown(v2.Artist()), album = Shown(v2.Album());
    } else if (useV1) {
        title = Shown(v1.Title()), artist = Shown(v1.Artist()), album = Shown(v1.Album());
    }

    if (layout == Layout::Tsv) {
        std::printf("%s\t%s\t%s\t%s\t%s\n", OneLine(path).c_str(), tag, title.c_str(),
                    artist.c_str(), album.c_str());
        return;
    }
    if (!first)
        std::printf("\n");
    Line("Datei", OneLine(path));
    Line("Tag", useV2 || useV1 ? tag : "keines");
    Line("Titel", title);
    Line("Interpret", artist);
    Line("Album", album);
    if (layout == Layout::All)
        PrintAll(v2Read, v2, v1Read, v1);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseArguments(argc, argv, options))
        return status < 0 ? 0 : status;
    int status = 0;
    bool first = true;
    for (const std::string& path : options.files) {
        const std::string reason = Unreadable(path);
        if (!reason.empty()) {
            std::fflush(stdout);  // keep the message in its place among the output
            Fail("Datei \"" + DisplayText(path) + "\" kann nicht gelesen werden: " + reason);
            status = 1;
            continue;
        }
        Show(path, options.layout, first);
        first = false;
    }
    if (std::fflush(stdout) != 0) {
        Fail("Die Ausgabe kann nicht geschrieben werden: " + SystemErrorText(errno));
        return 1;
    }
    return status;
}
