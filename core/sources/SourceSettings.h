// Where the music comes from, as the settings file keeps it (section
// "Einstellungen"): the kind of source and the values of each kind, read
// and written in this one place, so that the keys and their defaults are
// spelled once. Values are the stored bytes as they are; the FTP password
// stays in its scrambled stored form (PasswordScrambling.h), or lies in the
// desktop's keyring (ReadFtpPassword, StoreFtpPassword).
//
// Read never throws for a value it cannot use (a missing or odd "Typ" has no
// kind); Write throws what TIniFile throws, with the file unchanged.
#pragma once

#include <optional>
#include <string>

namespace tunrax {

class TIniFile;
class TPasswordStore;

// The values are those of the key "Typ".
enum class TSourceKind { Local = 0, Web = 1, Ftp = 2 };

inline constexpr const char* kSourceSection = "Einstellungen";

struct TSourceSettings {
    // "Typ" as stored; -1 when the key is missing (the first start).
    int Type = -1;
    bool Alternative = false;          // "Alternativ"
    std::string Folder;                // "Verzeichnis"; default: the user's music folder
    std::string WebAddress;            // "Server Adresse"
    std::string WebRoot;               // "Root Server"
    std::string FtpAddress;            // "FTP Adresse"
    std::string FtpUser;               // "FTP Nutzer"
    std::string FtpPasswordScrambled;  // "FTP Passwort"
    std::string FtpRoot;               // "Root FTP"
    bool FtpUtf8 = false;              // "FTP UTF8"
    bool FtpTls = false;               // "FTP TLS"; stored only when on
    // The one certificate the user trusted for each server, as
    // "ADDRESS FINGERPRINT" (TrustEntry); stored only when there is one.
    std::string WebCertificate;  // "Server Zertifikat"
    std::string FtpCertificate;  // "FTP Zertifikat"
    // "FTP Schluesselbund", written only when true: the keyring holds the
    // password, and "FTP Passwort" is empty.
    bool FtpPasswordInKeyring = false;

    // The kind that Type names; none for a missing or unknown value.
    std::optional<TSourceKind> Kind() const;

    static TSourceSettings Read(const TIniFile& settings);
    // Replaces the section with these values in one update of the file. The
    // folder is written only when it is not the default, so that a default
    // follows the user's music folder.
    void Write(TIniFile& settings) const;
};

// A trusted certificate as the settings keep it: the address as typed (trimmed)
// and the SHA-256 fingerprint.
std::string TrustEntry(const std::string& address, const std::string& fingerprint);
// The fingerprint of entry when it was trusted for address (compared
// trimmed); empty otherwise, so that a changed address trusts nothing.
std::string TrustedFingerprint(const std::string& entry, const std::string& address);

// The FTP password of settings: the scrambled one of the file while it holds
// one (files of older versions, or saved where no keyring answered), else
// the keyring's entry for the user and address ("" when it has none). Throws
// tunrax::Error when the scrambled text cannot be read, or when the password
// lies in the keyring and passwords is none or does not answer.
std::string ReadFtpPassword(const TSourceSettings& settings, TPasswordStore* passwords);

// Puts password where settings will keep it: into passwords under the key of
// settings' user and address, the file's "FTP Passwort" left empty; where no
// keyring answers (or passwords is none), scrambled into settings as before.
// An empty password removes the keyring's entry where settings say it held
// one (FtpPasswordInKeyring as stored before), and else asks no keyring.
// Call it after the user and address are set. True when the keyring took it.
// Throws tunrax::Error only for a password the scrambling cannot carry.
bool StoreFtpPassword(TSourceSettings& settings, const std::string& password,
                      TPasswordStore* passwords);

// The defaults that Read gives for missing keys.
inline constexpr const char* kDefaultWebAddress = "localhost";
inline constexpr const char* kDefaultWebRoot = "/mp3/";
inline constexpr const char* kDefaultFtpAddress = "localhost";
inline constexpr const char* kDefaultFtpUser = "tunrax";
inline constexpr const char* kDefaultFtpRoot = "/mp3/";

}  // namespace tunrax
