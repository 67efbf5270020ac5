#include "sources/SourceSettings.h"

#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "settings/PasswordStore.h"
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
    read.FtpPasswordInKeyring = settings.ReadBool(s, "FTP Schluesselbund", false);
    read.FtpRoot = settings.ReadString(s, "Root FTP", kDefaultFtpRoot);
    read.FtpUtf8 = settings.ReadBool(s, "FTP UTF8", false);
    read.FtpTls = settings.ReadBool(s, "FTP TLS", false);
    read.WebCertificate = settings.ReadString(s, "Server Zertifikat", "");
    read.FtpCertificate = settings.ReadString(s, "FTP Zertifikat", "");
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
    // The key stays, empty while the keyring holds the password: every
    // version reads an empty key as an empty password, without an error.
    settings.WriteString(s, "FTP Passwort", FtpPasswordScrambled);
    if (FtpPasswordInKeyring)
        settings.WriteBool(s, "FTP Schluesselbund", true);
    settings.WriteBool(s, "FTP UTF8", FtpUtf8);
    // New keys only where used: a file without them stays as it was.
    if (FtpTls)
        settings.WriteBool(s, "FTP TLS", true);
    if (!WebCertificate.empty())
        settings.WriteString(s, "Server Zertifikat", WebCertificate);
    if (!FtpCertificate.empty())
        settings.WriteString(s, "FTP Zertifikat", FtpCertificate);
    if (Folder != DefaultMusicFolder())
        settings.WriteString(s, "Verzeichnis", Folder);
    settings.WriteBool(s, "Alternativ", Alternative);
    settings.WriteInteger(s, "Typ", Type);
    update.Commit();
}

std::string ReadFtpPassword(const TSourceSettings& settings, TPasswordStore* passwords) {
    if (!settings.FtpPasswordScrambled.empty() || !settings.FtpPasswordInKeyring)
        return DecodePassword(settings.FtpPasswordScrambled, PasswordKey);
    const char* const unanswered =
        "Das FTP-Paßwort liegt im Schlüsselbund, aber kein Schlüsselbund antwortet";
    if (!passwords || !passwords->Available())
        throw Error(std::string(unanswered) + ".");
    try {
        return passwords->Read(FtpPasswordKey(settings.FtpUser, settings.FtpAddress))
            .value_or(std::string());
    } catch (const PasswordStoreError& error) {
        throw Error(std::string(unanswered) + " (" + error.what() + ").");
    }
}

bool StoreFtpPassword(TSourceSettings& settings, const std::string& password,
                      TPasswordStore* passwords) {
    // No password, and none was in the keyring: the keyring is not asked, so
    // that saving a local folder never wakes or unlocks it.
    const bool needed = !password.empty() || settings.FtpPasswordInKeyring;
    if (needed && passwords && passwords->Available()) {
        const std::string key = FtpPasswordKey(settings.FtpUser, settings.FtpAddress);
        try {
            // No entry for no password: the old one would outlive its use.
            if (password.empty())
                passwords->Remove(key);
            else
                passwords->Write(key, password);
            settings.FtpPasswordScrambled.clear();
            settings.FtpPasswordInKeyring = !password.empty();
            return true;
        } catch (const PasswordStoreError&) {
            // Refused (the user did not unlock it, say): kept scrambled, as
            // where there is no keyring, rather than lost.
        }
    }
    settings.FtpPasswordScrambled = EncodePassword(password, PasswordKey);
    settings.FtpPasswordInKeyring = false;
    return false;
}

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string TrustEntry(const std::string& address, const std::string& fingerprint) {
    return Trim(address) + " " + fingerprint;
}

std::string TrustedFingerprint(const std::string& entry, const std::string& address) {
    const size_t space = entry.rfind(' ');
    if (space == std::string::npos || Trim(entry.substr(0, space)) != Trim(address))
        return std::string();
    return entry.substr(space + 1);
}

}  // namespace tunrax
