#include "widgets/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QWidget>
#include <cstdlib>

#include "io/Error.h"
#include "settings/TempFolder.h"
#include "settings/UserFolders.h"

namespace tunrax {

namespace {

// A runtime folder that others may write to would let them plant our lock.
bool UsableRuntimeFolder(const char* folder) {
    struct stat st;
    return folder && folder[0] == '/' && ::stat(folder, &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
           ::access(folder, W_OK | X_OK) == 0;
}

}  // namespace

TSingleInstance::TSingleInstance(QObject* owner) : QObject(owner) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Loaded() {
    if (!qobject_cast<QWidget*>(parent()))
        throw Error("Owner of TSingleInstance should be Application's main form");
    const QString title = QCoreApplication::applicationName();
    if (title.isEmpty())
        throw Error(
            "Application must have a name. Set it in project before calling "
            "Application.CreateForm");
    if (FLock && FLock->isLocked())
        return true;

    const QString folder = LockFolder();
    if (folder.isEmpty())
        return true;
    const QString programFolder = QFile::decodeName(ProgramFolder().c_str());
    FLock = std::make_unique<QLockFile>(folder + LockName(TestOnlyDir, title, programFolder) +
                                        QStringLiteral(".lock"));
    // An instance runs for hours: only a dead owner (or a reboot) makes the
    // lock stale, never its age.
    FLock->setStaleLockTime(0);
    if (FLock->tryLock(0))
        return true;
    return FLock->error() != QLockFile::LockFailedError;
}

QString TSingleInstance::LockName(bool testOnlyDir, const QString& title,
                                  const QString& programFolder) {
    if (!testOnlyDir)
        return QStringLiteral("Brenlow_Softworks") + title;
    QString folder = programFolder;
    folder.remove(QLatin1Char('/')).remove(QLatin1Char('\\')).remove(QLatin1Char(':'));
    return QStringLiteral("vel") + folder + title;
}

QString TSingleInstance::LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (UsableRuntimeFolder(runtime)) {
        QString folder = QFile::decodeName(runtime);
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return folder;
    }
    try {
        return QFile::decodeName(GetTempFolder().c_str());
    } catch (const Error&) {
        return {};
    }
}

}  // namespace tunrax
