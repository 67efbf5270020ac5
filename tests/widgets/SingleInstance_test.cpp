#include "widgets/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QWidget>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>

#include "io/Error.h"
#include "settings/TempFolder.h"
#include "support/TempDir.h"

using tunrax::TSingleInstance;
using tunrax::test::ScopedEnv;
using tunrax::test::TempDir;

namespace {

const char* const kHolderVariable = "TUNRAX_TEST_LOCK_HOLDER";

// Another instance: this test binary run again, holding the lock until it
// reads a line or is killed.
class Holder {
public:
    Holder() {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kHolderVariable), QStringLiteral("1"));
        FProcess.setProcessEnvironment(env);
        FProcess.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--gtest_filter=SingleInstance.SecondProcess")});
    }
    ~Holder() {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished();
        }
    }
    bool WaitHolding() {
        while (!FOutput.contains("holding lock")) {
            if (!FProcess.waitForReadyRead(60000))
                return false;
            FOutput += FProcess.readAllStandardOutput();
        }
        return true;
    }
    int Release() {
        FProcess.write("release\n");
        FProcess.closeWriteChannel();
        FProcess.waitForFinished(60000);
        return FProcess.exitCode();
    }
    void Kill() {
        FProcess.kill();
        FProcess.waitForFinished(60000);
    }

private:
    QProcess FProcess;
    QByteArray FOutput;
};

}  // namespace

TEST(SingleInstance, NamesFolderAndOwner) {
    const QString title = QStringLiteral("Tunrax");
    EXPECT_EQ(TSingleInstance::LockName(false, title, QStringLiteral("/opt/x/")),
              QStringLiteral("Brenlow_SoftworksTunrax"));
    EXPECT_EQ(TSingleInstance::LockName(true, title, QStringLiteral("/opt/mp3 player/")),
              QStringLiteral("veloptmp3 playerTunrax"));
    EXPECT_EQ(TSingleInstance::LockName(true, title, QStringLiteral("C:\\Programme\\mp3\\")),
              QStringLiteral("velCProgrammemp3Tunrax"));

    TempDir runtime, tmp;
    ScopedEnv tmpEnv("TMPDIR", tmp.Path().c_str());
    {
        SCOPED_TRACE("the runtime folder when it is the user's own");
        ScopedEnv env("XDG_RUNTIME_DIR",
                      runtime.Path().substr(0, runtime.Path().size() - 1).c_str());
        EXPECT_EQ(TSingleInstance::LockFolder().toStdString(), runtime.Path());
    }
    {
        SCOPED_TRACE("no runtime folder: the private temporary folder");
        ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(TSingleInstance::LockFolder().toStdString(), tunrax::GetTempFolder());
        EXPECT_EQ(TSingleInstance::LockFolder().toStdString(),
                  tmp.Path() + "tunrax-" + std::to_string(::geteuid()) + "/");
    }
    {
        SCOPED_TRACE("a runtime folder that others may write to is not used");
        ::chmod(runtime.Path().c_str(), 0770);
        ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path().c_str());
        EXPECT_EQ(TSingleInstance::LockFolder().toStdString(), tunrax::GetTempFolder());
        EXPECT_NE(TSingleInstance::LockFolder().toStdString(), runtime.Path());
    }
    {
        SCOPED_TRACE("an owner that is no window");
        QObject notAWindow;
        TSingleInstance onObject(&notAWindow);
        try {
            onObject.Loaded();
            ADD_FAILURE() << "no error";
        } catch (const tunrax::Error& e) {
            EXPECT_STREQ(e.what(), "Owner of TSingleInstance should be Application's main form");
        }
    }
}

TEST(SingleInstance, SecondProcess) {
    if (std::getenv(kHolderVariable)) {
        QWidget form;
        TSingleInstance guard(&form);
        ASSERT_TRUE(guard.Loaded());
        std::cout << "holding lock" << std::endl;
        std::string line;
        std::getline(std::cin, line);
        return;
    }
    TempDir runtime;
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const QString lockFile =
        TSingleInstance::LockFolder() +
        TSingleInstance::LockName(false, QCoreApplication::applicationName(), QString()) +
        QStringLiteral(".lock");
    QWidget form;
    {
        SCOPED_TRACE("refused while another instance runs, however long it has");
        Holder holder;
        ASSERT_TRUE(holder.WaitHolding());
        ASSERT_TRUE(QFile::exists(lockFile));
        TSingleInstance second(&form);
        EXPECT_FALSE(second.Loaded());
        const struct utimbuf hourAgo = {::time(nullptr) - 3600, ::time(nullptr) - 3600};
        ASSERT_EQ(::utime(lockFile.toLocal8Bit().constData(), &hourAgo), 0);
        EXPECT_FALSE(second.Loaded());

        TSingleInstance perFolder(&form);
        perFolder.TestOnlyDir = true;
        EXPECT_TRUE(perFolder.Loaded());

        EXPECT_EQ(holder.Release(), 0);
        EXPECT_TRUE(second.Loaded());
    }
    EXPECT_FALSE(QFile::exists(lockFile));
    {
        SCOPED_TRACE("a lock left by a killed instance is taken over");
        Holder holder;
        ASSERT_TRUE(holder.WaitHolding());
        holder.Kill();
        ASSERT_TRUE(QFile::exists(lockFile));
        TSingleInstance next(&form);
        EXPECT_TRUE(next.Loaded());
        qint64 owner = 0;
        EXPECT_TRUE(QLockFile(lockFile).getLockInfo(&owner, nullptr, nullptr));
        EXPECT_EQ(owner, QCoreApplication::applicationPid());
    }
}
