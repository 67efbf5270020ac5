// One instance per user session: a lock file in the user's runtime folder,
// named "Brenlow_Softworks" + the application's title (or, with TestOnlyDir,
// "vel" + the program's folder without "/", "\" and ":" + title) + ".lock".
// A lock left by a crashed instance is taken over; the lock is released when
// the object goes.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLockFile;

namespace tunrax {

class TSingleInstance : public QObject {
    Q_OBJECT

public:
    explicit TSingleInstance(QObject* owner);
    ~TSingleInstance() override;

    bool TestOnlyDir = false;

    // Claims the lock. False when another running instance holds it: the
    // caller then ends the program. Throws tunrax::Error when the owner is no
    // window or the application has no name (misuse); a lock that cannot be
    // made at all is ignored (true).
    bool Loaded();

    // The lock's name for a title and a program folder.
    static QString LockName(bool testOnlyDir, const QString& title, const QString& programFolder);
    // The folder that holds the lock files, ending in "/": $XDG_RUNTIME_DIR
    // when it is a folder of the user's own that no one else may write to,
    // else the private temporary folder (GetTempFolder). Empty when neither
    // can be used.
    static QString LockFolder();

private:
    std::unique_ptr<QLockFile> FLock;
};

}  // namespace tunrax
