#include "app/Application.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QLibraryInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <exception>

#include "sources/TransferControl.h"

namespace tunrax {

namespace {

// Signal handlers may only write to a descriptor; the event loop reads it.
int gSignalPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    // A transfer that waits on a server ends at once, also when the event
    // loop does not run meanwhile.
    EndAllTransfers();
    char byte = static_cast<char>(signalNumber);
    ssize_t ignored = ::write(gSignalPipe[0], &byte, 1);
    (void)ignored;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) == 0) {
        FSignalNotifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, this);
        connect(FSignalNotifier, &QSocketNotifier::activated, this, &TApplication::SignalArrived);
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(signalNumber, &action, nullptr);
    }
    // The session's end asks us to save our data: the program ends with it
    // and does not hold the log-out up.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (FOnSessionEnd)
            FOnSessionEnd();
    });
}

TApplication::~TApplication() {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::signal(signalNumber, SIG_DFL);
    for (int& fd : gSignalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const TransferCancelled&) {
        // Called off by the user: nothing to report.
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unbekannter Fehler"));
    }
    return false;
}

void TApplication::ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, applicationDisplayName(), text, QMessageBox::Ok,
                    activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void ShowErrorsOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const TransferCancelled&) {
    } catch (const std::exception& error) {
        TApplication::ShowError(QString::fromUtf8(error.what()));
    }
}

void TApplication::SetOnSessionEnd(std::function<void()> handler) {
    FOnSessionEnd = std::move(handler);
}

void TApplication::SignalArrived() {
    char byte;
    if (::read(gSignalPipe[1], &byte, 1) <= 0)
        return;
    if (FOnSessionEnd)
        FOnSessionEnd();
}

bool LoadGermanQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // The interface is German whatever the user's language.
    if (!translator->load(QStringLiteral("qtbase_de"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace tunrax
