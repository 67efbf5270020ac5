// The password store of the desktop's keyring: the Secret Service (GNOME
// Keyring, KeePassXC, …) or KWallet, over QtKeychain. Entries are kept under
// the service name given (the program's: "Tunrax") and the key.
//
// Needs a QCoreApplication on the calling thread: each operation waits for
// its answer in a local event loop that takes no user input. Throws as
// TPasswordStore says; the messages are German.
#pragma once

#include <QDBusConnection>
#include <QString>

#include "settings/PasswordStore.h"

namespace tunrax {

class TKeyringPasswordStore : public TPasswordStore {
public:
    // bus: where the keyring is looked for; QtKeychain itself talks to the
    // session bus, so another bus serves only to find none there.
    explicit TKeyringPasswordStore(QString service = QStringLiteral("Tunrax"),
                                   QDBusConnection bus = QDBusConnection::sessionBus());

    bool Available() override;
    std::optional<std::string> Read(const std::string& key) override;
    void Write(const std::string& key, const std::string& password) override;
    void Remove(const std::string& key) override;

private:
    QString FService;
    QDBusConnection FBus;
};

}  // namespace tunrax
