// Program entry: the application with its German texts and error display,
// then the main window, which ends the program itself.
#include <QIcon>
#include <QTreeView>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/Mpris.h"
#include "app/StartupProbe.h"
#include "gst/GstAudioBackend.h"
#include "keyring/KeyringPasswordStore.h"
#include "settings/IniFile.h"

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds (tests, CI): GLib keeps a block from its start-up for good
// on purpose; only allocations made while shared libraries initialise match.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_dl_init\n";
}
#endif

int main(int argc, char* argv[]) {
    std::jthread gstreamer = tunrax::PrepareGStreamer();
    tunrax::TApplication app(argc, argv);
    tunrax::TApplication::setApplicationName(QStringLiteral("Tunrax"));
    // No display name of its own: Qt would append it to every window title
    // ("Tunrax (…) — Tunrax"); the name above serves where one is needed.
    tunrax::TApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON.svg")));
    tunrax::TApplication::setDesktopFileName(QStringLiteral("de.quintor.tunrax"));
    // Hidden in the notification area the window is not closed: only the
    // main window's own end of the program ends it.
    tunrax::TApplication::setQuitOnLastWindowClosed(false);
    tunrax::LoadGermanQtTranslations(app);
    tunrax::SettingsVendor = "quintor";

    int result = 0;
    {
        // The FTP password lies in the desktop's keyring where one answers.
        tunrax::TKeyringPasswordStore keyring;
        tunrax::TMainWindow fmMain(tunrax::SettingsFile(), tunrax::CreateGStreamerBackend(),
                                   nullptr, nullptr, &keyring);
        if (fmMain.SecondInstance())
            return 0;
        app.SetOnSessionEnd([&fmMain] { fmMain.SessionEnd(); });
        tunrax::InstallStartupProbe(&fmMain,
                                    fmMain.findChild<QTreeView*>(QStringLiteral("tvAlben")));
        // Media keys and the desktop's sound menu; without a session bus the
        // program runs without them.
        tunrax::TMprisService mpris(fmMain.MediaControl(), QStringLiteral("de.quintor.tunrax"));
        fmMain.show();
        result = tunrax::TApplication::exec();
        app.SetOnSessionEnd(nullptr);
    }
    tunrax::FreeSettingsFile();
    return result;
}
