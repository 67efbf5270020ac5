#include "keyring/KeyringPasswordStore.h"

#include <qt6keychain/keychain.h>

#include <QDBusMessage>
#include <QEventLoop>
#include <QStringList>
#include <utility>

namespace tunrax {

namespace {

// The names under which a keyring that QtKeychain can use answers.
const char* const kKeyringNames[] = {"org.freedesktop.secrets", "org.kde.kwalletd5",
                                     "org.kde.kwalletd6"};

// Each question to the bus daemon: it answers within a millisecond, so one
// that has not answered in a second is as good as none. Two questions keep
// the program's start (which makes the FTP source) from waiting more than
// two seconds where no keyring is.
constexpr int kBusTimeoutMs = 1000;

QStringList AskBus(const QDBusConnection& bus, const char* method) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    const QDBusMessage reply = bus.call(call, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().toStringList();
}

bool NamesKeyring(const QStringList& names) {
    for (const char* keyring : kKeyringNames)
        if (names.contains(QLatin1String(keyring)))
            return true;
    return false;
}

// Runs job to its end. Not bounded in time: the desktop may be asking the
// user to unlock the keyring, which takes as long as the user takes; that a
// keyring is there at all was found within the bound of Available.
void RunToEnd(QKeychain::Job& job) {
    job.setAutoDelete(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    job.start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

[[noreturn]] void Fail(const QKeychain::Job& job) {
    throw PasswordStoreError("Der Schlüsselbund hat nicht geantwortet: " +
                             job.errorString().toStdString());
}

}  // namespace

TKeyringPasswordStore::TKeyringPasswordStore(QString service, QDBusConnection bus)
    : FService(std::move(service)), FBus(std::move(bus)) {}

bool TKeyringPasswordStore::Available() {
    if (!FBus.isConnected())
        return false;
    // Running, or started by the bus when first asked (as GNOME Keyring is).
    return NamesKeyring(AskBus(FBus, "ListNames")) ||
           NamesKeyring(AskBus(FBus, "ListActivatableNames"));
}

std::optional<std::string> TKeyringPasswordStore::Read(const std::string& key) {
    QKeychain::ReadPasswordJob job(FService);
    job.setKey(QString::fromStdString(key));
    RunToEnd(job);
    if (job.error() == QKeychain::EntryNotFound)
        return std::nullopt;
    if (job.error() != QKeychain::NoError)
        Fail(job);
    const QByteArray bytes = job.binaryData();
    return bytes.toStdString();
}

void TKeyringPasswordStore::Write(const std::string& key, const std::string& password) {
    QKeychain::WritePasswordJob job(FService);
    job.setKey(QString::fromStdString(key));
    // Text where it is text, so that the desktop's keyring manager shows it;
    // other bytes as they are.
    const QByteArray bytes = QByteArray::fromStdString(password);
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        job.setTextData(text);
    else
        job.setBinaryData(bytes);
    RunToEnd(job);
    if (job.error() != QKeychain::NoError)
        Fail(job);
}

void TKeyringPasswordStore::Remove(const std::string& key) {
    QKeychain::DeletePasswordJob job(FService);
    job.setKey(QString::fromStdString(key));
    RunToEnd(job);
    if (job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound)
        Fail(job);
}

}  // namespace tunrax
