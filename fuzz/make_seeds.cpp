// Writes the seed corpora of the fuzz targets:
//   fuzz_make_seeds SETTINGS_FOLDER PASSWORD_FOLDER CATALOGUE_FOLDER ID3V1_FOLDER ID3V2_FOLDER
// Settings files as the program writes them and as people edit them by hand;
// scrambled passwords made by the program's own scrambling; catalogues as the
// program writes them and as other tools and editors leave them; small songs
// with ID3v1 and ID3v2 tags as taggers write them.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "collection/Catalogue.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"

namespace {

void Put(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + folder + "/" + name);
}

void SettingsSeeds(const std::string& folder) {
    Put(folder, "plain.ini",
        "[Einstellungen]\r\nVerzeichnis=/home/benutzer/Musik\r\nQuelle=0\r\n"
        "FTP UTF8=1\r\nFTP Passwort=2A1F77\r\n\r\n[Fenster]\r\nLinks=120\r\nOben=-8\r\n");
    Put(folder, "edited.ini",
        "\xEF\xBB\xBF; von Hand bearbeitet\n[einstellungen]\n  Verzeichnis = /mnt/musik \n"
        "Breite=0x1F4\nHoehe=$12C\nZahl=+42\nzu gross=4294967296\n\n[Leer]\n"
        "[Einstellungen]\nVerzeichnis=zweites\nkein gleich\n=ohne Namen\n[offen\nx=\"y\"\n");
    Put(folder, "latin1.ini",
        "[K\xFCnstler]\r\nTitel=Gr\xFC\xDF"
        "e\r\n[\xC3\x9C"
        "ber]\r\nName=\xC3\xA4\xC3\xB6\r\nende=ohne Zeilenende");

    // One file as the program itself writes it.
    const std::string written = folder + "/written.ini";
    std::remove(written.c_str());
    tunrax::TIniFile ini(written);
    ini.WriteString("Einstellungen", "Verzeichnis", "/home/benutzer/Musik");
    ini.WriteInteger("Einstellungen", "Quelle", 2);
    ini.WriteBool("Einstellungen", "FTP UTF8", true);
    ini.WriteString("FTP", "Server", "ftp.example.org");
    ini.WriteInteger("Fenster", "Links", -1);
    ini.DeleteKey("Fenster", "Links");
    ini.WriteString("Favoriten", "Liste1", "Lieblingslieder");
}

void PasswordSeeds(const std::string& folder) {
    const std::string key = tunrax::PasswordKey;
    Put(folder, "short", tunrax::EncodePasswordWithStart("geheim", key, 42));
    Put(folder, "long",
        tunrax::EncodePasswordWithStart("Ein l\xE4ngeres Passwort, 0123456789!", key, 254));
    Put(folder, "high", tunrax::EncodePasswordWithStart("\xFF\xFF\x01\xFE", key, 0));
    Put(folder, "random", tunrax::EncodePassword("p@ss w\xC3\xB6rd", key));
    Put(folder, "odd", tunrax::EncodePasswordWithStart("abc", key, 7) + "F");
    Put(folder, "bad", "00G1");
}

void CatalogueSeeds(const std::string& folder) {
    tunrax::TCatalogue catalogue;
    for (int a = 0; a < 3; ++a) {
        const int32_t artist = catalogue.Add(
            tunrax::TCatalogue::kNone, a == 1 ? "K\xFCnstler" : "Artist " + std::to_string(a));
        for (int b = 0; b < 3; ++b) {
            const int32_t album = catalogue.Add(artist, "Album " + std::to_string(b) + " (1999)");
            if (b == 2)
                catalogue.Add(album, "CD 1");
        }
    }
    Put(folder, "written.dat", tunrax::WriteCatalogue(catalogue));
    Put(folder, "line-ends.dat", "Rock\n\tBand\r\tAndere\r\n\t\tLive\nJazz");
    Put(folder, "spaces.dat", "  erste Zeile\n Unter\n \t Tiefer\n\n\t\nEnde\r\n");
    Put(folder, "utf8.dat", "\xC3\x84rzte\r\n\t\xF0\x9F\x8E\xB5\r\n\xE4\x81\r\n");
    Put(folder, "bad-level.dat", "A\r\n\t\tB\r\n");
    Put(folder, "zero.dat", std::string("A\r\n\tB\0\t\t\tC\r\n", 12));
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// A frame with its size in seven-bit bytes (version 4) or plain (version 3).
std::string Id3Frame(int major, const std::string& id, const std::string& data) {
    const auto n = static_cast<uint32_t>(data.size());
    const int shift = major == 4 ? 7 : 8;
    const int mask = major == 4 ? 0x7F : 0xFF;
    return id +
           Bytes({int(n >> 3 * shift) & mask, int(n >> 2 * shift) & mask, int(n >> shift) & mask,
                  int(n) & mask}) +
           Bytes({0, 0}) + data;
}

std::string Id3Tag(int major, const std::string& frames, size_t padding) {
    const auto n = static_cast<uint32_t>(frames.size() + padding);
    return "ID3" +
           Bytes({major, 0, 0, int(n >> 21) & 0x7F, int(n >> 14) & 0x7F, int(n >> 7) & 0x7F,
                  int(n) & 0x7F}) +
           frames + std::string(padding, '\0');
}

// One MPEG audio frame header and silence, as behind every tag.
const std::string kAudio = Bytes({0xFF, 0xFB, 0x90, 0x64}) + std::string(200, '\0');

std::string Id3v1Tag(const std::string& title, const std::string& comment, int track) {
    auto pad = [](std::string s, size_t n) { return s.append(n - s.size(), '\0'); };
    return "TAG" + pad(title, 30) + pad("K\xFCnstler", 30) + pad("Album", 30) + "2001" +
           pad(comment, 28) + Bytes({0, track, 17});
}

void Id3v1Seeds(const std::string& folder) {
    Put(folder, "v11.mp3", kAudio + Id3v1Tag("Titel_mit_Strich", "gut", 7));
    Put(folder, "v10.mp3", kAudio + Id3v1Tag(std::string(30, 'x'), "  Leerzeichen  ", 0));
    Put(folder, "short.mp3", "TAG" + std::string(100, ' '));
}

void Id3v2Seeds(const std::string& folder) {
    for (int major : {3, 4}) {
        const std::string utf16 = Bytes({1, 0xFF, 0xFE, 'B', 0, 'a', 0, 'n', 0, 'd', 0});
        const std::string frames =
            Id3Frame(major, "COMM", Bytes({0}) + "deu" + "kurz" + Bytes({0}) + "Kommentar") +
            Id3Frame(major, "TIT2", Bytes({0}) + "Ein Titel") + Id3Frame(major, "TPE1", utf16) +
            Id3Frame(major, "TALB", Bytes({3}) + "\xC3\x84pfel") +
            Id3Frame(major, "TRCK", Bytes({0}) + "3/12") +
            Id3Frame(major, "TCON", Bytes({0}) + "(17)Rock") +
            Id3Frame(major, "WXXX", Bytes({0}) + "home" + Bytes({0}) + "http://example.org");
        Put(folder, "v2" + std::to_string(major) + ".mp3", Id3Tag(major, frames, 64) + kAudio);
    }
    Put(folder, "old.mp3", Id3Tag(2, "TT2" + Bytes({0, 0, 5, 0}) + "Alt", 10) + kAudio);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: %s SETTINGS_FOLDER PASSWORD_FOLDER CATALOGUE_FOLDER ID3V1_FOLDER "
                     "ID3V2_FOLDER\n",
                     argv[0]);
        return 2;
    }
    try {
        SettingsSeeds(argv[1]);
        PasswordSeeds(argv[2]);
        CatalogueSeeds(argv[3]);
        Id3v1Seeds(argv[4]);
        Id3v2Seeds(argv[5]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
