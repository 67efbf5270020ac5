// Where a password is kept outside the settings file: the desktop's keyring,
// behind this interface so that the core needs no Qt and no D-Bus. The
// adapter lives in keyring/ (KeyringPasswordStore.h); the program hands it
// to whoever reads or saves the FTP password.
//
// Available never throws and returns quickly. Read, Write and Remove throw
// PasswordStoreError when the store does not answer or refuses; they may wait
// while the desktop asks the user to unlock the keyring.
#pragma once

#include <optional>
#include <string>

#include "io/Error.h"

namespace tunrax {

// The store did not answer, or refused (no keyring, access denied).
class PasswordStoreError : public Error {
public:
    using Error::Error;
};

class TPasswordStore {
public:
    virtual ~TPasswordStore() = default;
    // Whether a keyring is there to ask, found without asking the user.
    virtual bool Available() = 0;
    // The password kept under key; none when there is no such entry.
    virtual std::optional<std::string> Read(const std::string& key) = 0;
    // Keeps password (any bytes) under key, in place of an older one.
    virtual void Write(const std::string& key, const std::string& password) = 0;
    // Removes the entry of key; nothing when there is none.
    virtual void Remove(const std::string& key) = 0;
};

// The entry's name for the FTP password of user at address
// ("ftp://user@address"): another server or user finds another entry. Bytes
// that would make the name ambiguous or unreadable are written as %XX.
std::string FtpPasswordKey(const std::string& user, const std::string& address);

}  // namespace tunrax
