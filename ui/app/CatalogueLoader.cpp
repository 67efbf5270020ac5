#include "app/CatalogueLoader.h"

#include <QScopeGuard>
#include <QWidget>

#include "app/QtProgress.h"
#include "collection/CatalogueSession.h"
#include "playback/PlaybackController.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "sources/SourceOwner.h"
#include "sources/SourceSettings.h"

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
    {
        // An FTP source asks its server what it may do before it is taken:
        // the end of the program waits for that as for any transfer.
        TSourceLease connecting = FSource.Lease();
        std::unique_ptr<TSource> made = CreateSource(chosen, FProgress.get(), FPasswords);
        if (made)
            made->Connect();
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
    if (!FCatalogue.Load(*source))
        Build(playback);
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
    FCatalogue.Store(*source);
}

}  // namespace tunrax
