// The Qt application of Tunrax: the one place where an error that reaches the
// event loop is shown (a German message box; the program goes on), Qt's own
// German texts for standard dialogs, and the end of the session (SIGTERM,
// SIGINT, SIGHUP, the session manager) turned into one callback.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

class QSocketNotifier;

namespace tunrax {

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error's text as the program's error message.
    static void ShowError(const QString& text);

    // Called once when the session ends or a terminating signal arrives.
    void SetOnSessionEnd(std::function<void()> handler);

private:
    void SignalArrived();
    std::function<void()> FOnSessionEnd;
    QSocketNotifier* FSignalNotifier = nullptr;
};

// Runs work and shows an error that it throws as TApplication shows one that
// reaches the event loop. For handlers of Qt's signals: an exception must not
// unwind through Qt's own code, which is not made for it.
void ShowErrorsOf(const std::function<void()>& work);

// Loads Qt's German translations ("Abbrechen", "&Ja", ...) into app; false
// when they are not installed.
bool LoadGermanQtTranslations(QCoreApplication& app);

}  // namespace tunrax
