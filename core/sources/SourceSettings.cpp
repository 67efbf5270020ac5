#include "sources/SourceSettings.h"

#include "settings/IniFile.h"
#include "settings/UserFolders.h"

namespace tunrax {

std::optional<TSourceKind> TSourceSettings::Kind() const {
    switch (Type) {
        case 0: return TSourceKind::Local;
        case 1: return TSourceKind::Web;
        case 2: return TSourceKind::Ftp;
        default: return std::nullopt;
    }
}

TSourceSettings TSourceSettings::Read(const TIniFile& settings) {
    const char* s = kSourceSection;
    TSourceSettings read;
    read.Type = settings.ReadInteger(s, "Typ", -1);
    read.Alternative = settings.ReadBool(s, "Alternativ", false);
    read.Folder = settings.ReadString(s, "Verzeichnis", DefaultMusicFolder());
    read.WebAddress = settings.ReadString(s, "Server Adresse", kDefaultWebAddress);
    read.WebRoot = settings.ReadString(s, "Root Server", kDefaultWebRoot);
    read.FtpAddress = settings.ReadString(s, "FTP Adresse", kDefaultFtpAddress);
    read.FtpUser = settings.ReadString(s, "FTP Nutzer", kDefaultFtpUser);
    read.FtpPasswordScrambled = settings.ReadString(s, "FTP Passwort", "");
    read.FtpRoot = settings.ReadString(s, "Root FTP", kDefaultFtpRoot);
    read.FtpUtf8 = settings.ReadBool(s, "FTP UTF8", false);
    return read;
}

void TSourceSettings::Write(TIniFile& settings) const {
    const char* s = kSourceSection;
    // One replacement of the file: a failed save leaves the old settings
    // whole instead of an erased section.
    TIniFile::UpdateScope update(settings);
    settings.EraseSection(s);
    settings.WriteString(s, "Server Adresse", WebAddress);
    settings.WriteString(s, "Root Server", WebRoot);
    settings.WriteString(s, "FTP Adresse", FtpAddress);
    settings.WriteString(s, "Root FTP", FtpRoot);
    settings.WriteString(s, "FTP Nutzer", FtpUser);
    settings.WriteString(s, "FTP Passwort", FtpPasswordScrambled);
    settings.WriteBool(s, "FTP UTF8", FtpUtf8);
    if (Folder != DefaultMusicFolder())
        settings.WriteString(s, "Verzeichnis", Folder);
    settings.WriteBool(s, "Alternativ", Alternative);
    settings.WriteInteger(s, "Typ", Type);
    update.Commit();
}

}  // namespace tunrax
