#include "app/CatalogueLoader.h"

#include <QScopeGuard>
#include <QWidget>

#include "app/QtProgress.h"
#include "collection/CatalogueSession.h"
#include "collection/KeptCatalogue.h"
#include "io/Error.h"
#include "playback/PlaybackController.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "sources/SourceOwner.h"
#include "sources/SourceSettings.h"
#include "sources/TransferControl.h"

namespace tunrax {

TCatalogueLoader::TCatalogueLoader(TSourceOwner& source, TIniFile& settings,
                                   TCatalogueSession& catalogue, QProgressBar* progress,
                                   QWidget* tree, TPasswordStore* passwords)
    : FSource(source),
      FSettings(settings),
      FPasswords(passwords),
      FCatalogue(catalogue),
      FProgress(std::make_unique<TProgressBarDisplay>(progress)),
      FTree(tree) {}

TCatalogueLoader::~TCatalogueLoader() = default;

void TCatalogueLoader::Load(TPlaybackController& playback) {
    // The song fetched ahead came from the old source.
    playback.CancelPrefetch();
    FSource.Set(nullptr);
    TSourceSettings chosen = TSourceSettings::Read(FSettings);
    if (chosen.Type == -1)
        chosen.Type = static_cast<int>(TSourceKind::Local);
    FKeptFile = KeptCatalogueFile(chosen);
    const bool local = chosen.Kind() == TSourceKind::Local;
    // Why the source's own catalogue cannot be shown; empty while it can.
    std::string away;
    {
        // An FTP source asks its server what it may do before it is taken:
        // the end of the program waits for that as for any transfer.
        TSourceLease connecting = FSource.Lease();
        std::unique_ptr<TSource> made = CreateSource(chosen, FProgress.get(), FPasswords);
        try {
            if (made)
                made->Connect();
        } catch (const TransferCancelled&) {
            throw;
        } catch (const Error& error) {
            // Taken all the same: its songs give their own message, and
            // "Aktualisieren" asks again.
            away = error.what();
        }
        FSource.Set(std::move(made));
    }
    FCatalogue.Clear();
    // The songs listed from the old tree stay shown but no longer play.
    playback.ForgetAlbum();
    if (!FSource || FSource.EndRequested())
        return;

    TSourceLease source = FSource.Lease();
    FTree->setUpdatesEnabled(false);
    const auto redraw = qScopeGuard([this] { FTree->setUpdatesEnabled(true); });
    bool loaded = false;
    if (away.empty()) {
        try {
            loaded = FCatalogue.Load(*source);
        } catch (const TransferCancelled&) {
            throw;
        } catch (const Error& error) {
            away = error.what();
        }
    }
    if (!away.empty()) {
        if (!ShowKept(away, local))
            throw Error(away);
        return;
    }
    if (OnAway)
        OnAway(std::string(), std::string());
    if (loaded)
        KeepShown();
    else
        Build(playback);
}

bool TCatalogueLoader::ShowKept(const std::string& reason, bool local) {
    std::optional<TKeptCatalogue> kept = ReadKeptCatalogue(FKeptFile);
    if (!kept)
        return false;
    TCatalogue catalogue;
    try {
        ParseCatalogue(kept->Text, catalogue);
    } catch (const Error&) {
        return false;  // a damaged copy is as good as none
    }
    FCatalogue.Replace(catalogue);
    const std::string since = "Stand vom " + KeptTimeText(kept->Kept);
    if (OnAway)
        OnAway(local ? reason + " " + since : "Server nicht erreichbar – " + since, reason);
    return true;
}

void TCatalogueLoader::KeepShown() const {
    if (FKeptFile.empty())
        return;
    try {
        KeepCatalogue(FKeptFile, WriteCatalogue(FCatalogue.Catalogue()));
    } catch (const Error&) {
        // A copy for later only: a cache that cannot be written costs
        // nothing now.
    }
}

void TCatalogueLoader::Build(TPlaybackController& playback) {
    TSourceLease source = FSource.Lease();
    FTree->setUpdatesEnabled(false);
    {
        const auto cleanUp = qScopeGuard([&] {
            // The songs listed from the old tree no longer play.
            playback.ForgetAlbum();
            FProgress->Hide();
            FTree->setUpdatesEnabled(true);
        });
        FProgress->Show();
        FProgress->SetPosition(0);
        FCatalogue.Scan(*source, FProgress.get());
    }
    if (FSource.EndRequested())
        return;  // the program ends; the scan is not written back half-way
    KeepShown();
    FCatalogue.Store(*source);
}

}  // namespace tunrax
