#include "playback/SongSequencer.h"

#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "audio/ID3v1.h"
#include "audio/ID3v2.h"
#include "collection/SongFile.h"
#include "io/Error.h"
#include "io/FileTools.h"
#include "settings/TempFolder.h"
#include "sources/Source.h"

namespace tunrax {

namespace {

TSongTags Tags(std::string title, std::string artist, std::string album) {
    for (std::string* text : {&title, &artist, &album})
        std::replace(text->begin(), text->end(), '_', ' ');
    return {std::move(title), std::move(artist), std::move(album), true};
}

}  // namespace

TSongTags ReadSongTags(const std::string& fileName) {
    TID3v2 v2;
    if (v2.LoadFromFile(fileName) && v2.TagFound())
        return Tags(v2.Title(), v2.Artist(), v2.Album());
    TID3v1 v1;
    if (v1.LoadFromFile(fileName) && v1.TagFound())
        return Tags(v1.Title(), v1.Artist(), v1.Album());
    return {};
}

std::string TempFileName() {
    return GetTempFolder() + "tunrax.mp3";
}

void DeleteSongFile() {
    try {
        ::unlink(TempFileName().c_str());
    } catch (const Error&) {
        // Without the temporary folder there is no file to delete.
    }
}

TSongSequencer::TSongSequencer(TPlayer& player, TSongList& songs, TPlaybackView& view,
                               TSourceAccess source)
    : FPlayer(player), FSongs(songs), FView(view), FSource(std::move(source)) {
    // Whatever changes the list changes the song that follows; an ended
    // list with new rows starts again from their first.
    FSongs.SetChangeHook([this] {
        FSettled = false;
        FWaitsForChoice = false;
        CancelPrefetch();
    });
}

TSongSequencer::~TSongSequencer() {
    FSongs.SetChangeHook(nullptr);
}

void TSongSequencer::Tick() {
    if (!FGoesOn) {
        WatchEnd();
        return;
    }
    ++FTickCount;
    if (FTickCount == 2)
        StartSelectedSong();
    if (FTickCount > 3) {
        FTickCount = 3;
        PollPlayer();
    }
}

void TSongSequencer::SongChosen() {
    FTickCount = 0;
    FStopped = false;
    FWaitsForChoice = false;
    FSettled = false;
    FStartWanted = false;
    // Whatever was chosen starts anew; a song queued would follow the wrong one.
    CallOffQueue();
    // The song fetched ahead is kept only when it is the one chosen (the
    // list going on by itself, or the user choosing that very song).
    const TSongItem* selected = FSongs.SelectedSong();
    if (!selected || selected->Path != FPrefetch.Path())
        FPrefetch.Cancel();
}

void TSongSequencer::CancelPrefetch() noexcept {
    CallOffQueue();
    FPrefetch.Cancel();
    if (FPlayer.Parked())
        FPlayer.Stop();
}

void TSongSequencer::CallOffQueue() noexcept {
    if (!FPlayer.QueuedFileName().empty())
        FPlayer.Queue("");
}

void TSongSequencer::StartChosenNow() {
    const bool wanted = FStartWanted;
    FStartWanted = false;
    if (!wanted || FTickCount >= 2 || FStopped)
        return;
    FTickCount = 3;
    StartSelectedSong();
}

void TSongSequencer::SetListPlays(bool plays) {
    FListPlays = plays;
}

void TSongSequencer::SetGoesOn(bool on) {
    if (on == FGoesOn)
        return;
    FGoesOn = on;
    FSettled = false;
    // No song is to follow: the one fetched ahead would only wait.
    if (!on)
        CancelPrefetch();
}

bool TSongSequencer::Quiet() const {
    if (!FGoesOn)
        return FStatus != TPlaybackStatus::Playing;
    return FTickCount >= 3 && FSettled;
}

void TSongSequencer::StartSelectedSong() {
    FSettled = false;
    const TSongItem* selected = FSongs.SelectedSong();
    if (!FListPlays || !selected)
        return;
    // Copies: the list may change while the song is being fetched.
    const std::string caption = selected->Caption;
    const std::string path = selected->Path;
    FSource([&](TSource& source) {
        FView.ShowSongStarting(caption);
        if (RestartParked(path, caption)) {
            PrefetchNext(source, path);
            return;
        }
        FPlayer.Stop();
        const std::string fileName = TempFileName();
        // A prefetch not yet whole is called off, not waited for.
        if (!FPrefetch.TakeInto(path, fileName))
            FetchSong(source, path, fileName);
        if (FStopped) {
            // Stopped from outside while the song was being fetched.
            FView.ShowNoSong();
            return;
        }
        if (FileSizeOf(fileName) >= 0) {
            ++FSerial;
            FSongCaption = caption;
            FLoadedPath = path;
            FLoadedTags = ReadSongTags(fileName);
            FView.ShowSongInfo(FLoadedTags);
            SetStatus(TPlaybackStatus::Playing);
            FPlayer.Play(fileName);
            PrefetchNext(source, path);
        }
    });
}

bool TSongSequencer::RestartParked(const std::string& path, const std::string& caption) {
    // The song was fetched whole when it first started; its file in the
    // temporary folder is gone, the player still reads it.
    if (!FPlayer.Parked() || path != FLoadedPath)
        return false;
    ++FSerial;
    FSongCaption = caption;
    FView.ShowSongInfo(FLoadedTags);
    SetStatus(TPlaybackStatus::Playing);
    if (FPlayer.Restart())
        return true;
    FPlayer.Stop();
    --FSerial;
    return false;
}

void TSongSequencer::PrefetchNext(const TSource& source, const std::string& playing) {
    // Chosen again while the song was fetched: that choice starts a song of
    // its own, and its successor is fetched then.
    const TSongItem* selected = FSongs.SelectedSong();
    const int next = FSongs.Selected() + 1;
    if (!FGoesOn || !selected || selected->Path != playing || next >= FSongs.Size())
        return;
    std::unique_ptr<TSource> background = source.CloneForBackground();
    if (!background)
        return;
    FQueueTried = false;
    try {
        FPrefetch.Start(std::move(background), FSongs.At(next).Path, PrefetchFileName());
    } catch (const std::system_error&) {
        // No thread to be had: the song is fetched when its turn comes.
    }
}

void TSongSequencer::PollPlayer() {
    if (FPlayer.QueuedSongStarted()) {
        GoOnToQueued();
        return;
    }
    if (FPlayer.State() != TStreamState::Stopped) {
        QueueNext();
        return;
    }
    DeleteSongFile();
    if (FStopped || FWaitsForChoice) {
        FSettled = true;
        FPlayer.Rest();
        return;
    }
    // A list that does not play is not walked through either.
    const int row = FSongs.Selected();
    if (FListPlays && row < FSongs.Size() - 1) {
        SelectSong(row + 1);
    } else {
        FPrefetch.Cancel();
        FView.ShowNoSong();
        SetStatus(TPlaybackStatus::Stopped);
        FSettled = true;
        FPlayer.Rest();
    }
}

void TSongSequencer::WatchEnd() {
    // Nothing follows; only the song heard is seen to its end, so that
    // nobody is told it plays once it has stopped.
    if (FStatus != TPlaybackStatus::Playing || FPlayer.State() != TStreamState::Stopped)
        return;
    DeleteSongFile();
    FView.ShowNoSong();
    SetStatus(TPlaybackStatus::Stopped);
    FPlayer.Rest();
}

void TSongSequencer::QueueNext() {
    // Only the song the list goes on to, fetched whole, and only while the
    // list is to go on by itself.
    if (FQueueTried || FStopped || !FGoesOn || !FPrefetch.Complete() || !FListPlays)
        return;
    const int next = FSongs.Selected() + 1;
    if (FSongs.Selected() == TSongList::kNoRow || next >= FSongs.Size() ||
        FSongs.At(next).Path != FPrefetch.Path())
        return;
    FQueueTried = true;
    // The prefetch keeps its own file: "tunrax.mp3" is still being played.
    FPlayer.Queue(FPrefetch.FileName());
}

void TSongSequencer::GoOnToQueued() {
    const int row = FSongs.Selected() + 1;
    if (FSongs.Selected() == TSongList::kNoRow || row >= FSongs.Size())
        return;  // not to be: every change of the list calls the queue off
    // Copies: the list may change while the next song is fetched ahead.
    const std::string caption = FSongs.At(row).Caption;
    const std::string path = FSongs.At(row).Path;
    // The finished song is over: its file is replaced by the one now heard
    // (the player reads on from the open file).
    const std::string fileName = TempFileName();
    if (FPrefetch.TakeInto(path, fileName))
        FPlayer.SetFileName(fileName);
    else
        DeleteSongFile();
    // The song is heard already: the selection follows it without a new
    // choice (which would start it again).
    FSongs.Select(row);
    FView.ShowSelection(FSongs.Selected());
    FView.ShowSongStarting(caption);
    ++FSerial;
    FSongCaption = caption;
    FLoadedPath = path;
    FLoadedTags = ReadSongTags(FPlayer.FileName());
    FView.ShowSongInfo(FLoadedTags);
    SetStatus(TPlaybackStatus::Playing);
    FSource([&](TSource& source) { PrefetchNext(source, path); });
}

void TSongSequencer::SelectSong(int row) {
    FSongs.Select(row);
    SongChosen();
    FView.ShowSelection(FSongs.Selected());
}

void TSongSequencer::SetStatus(TPlaybackStatus status) {
    FStatus = status;
    FView.ShowStatus(status);
}

TPlaybackStatus TSongSequencer::Status() const {
    // Set where it changes, not read from the player: between two songs of
    // the list (the next one is being fetched) the list still plays; it stops
    // only at the list's end, on a pause or a stop.
    return FStatus;
}

bool TSongSequencer::CanGoNext() const {
    const int row = FSongs.Selected();
    return row != TSongList::kNoRow && row + 1 < FSongs.Size();
}

bool TSongSequencer::CanGoPrevious() const {
    return FSongs.Selected() > 0;
}

void TSongSequencer::Play() {
    switch (FPlayer.State()) {
        case TStreamState::Paused:
            // The song paused goes on, whatever was chosen meanwhile.
            FPlayer.Resume();
            FSettled = false;
            SetStatus(TPlaybackStatus::Playing);
            return;
        case TStreamState::Playing:
        case TStreamState::Stalled: return;
        case TStreamState::Stopped: break;
    }
    if (Status() == TPlaybackStatus::Playing)
        return;  // the next song of the list is on its way
    // From the start of the song chosen, else of the list shown.
    if (FSongs.Selected() == TSongList::kNoRow) {
        if (!FSongs.Empty())
            SelectSong(0);
    } else {
        SongChosen();
    }
    FStartWanted = FSongs.Selected() != TSongList::kNoRow;
}

void TSongSequencer::Pause() {
    if (FPlayer.State() == TStreamState::Playing) {
        FPlayer.Pause();
        SetStatus(TPlaybackStatus::Paused);
    }
}

void TSongSequencer::Stop() {
    if (Status() == TPlaybackStatus::Stopped)
        return;
    FStopped = true;
    FSettled = false;
    FStartWanted = false;
    FPlayer.Park();
    FView.ShowNoSong();
    SetStatus(TPlaybackStatus::Stopped);
}

void TSongSequencer::Next() {
    if (CanGoNext()) {
        SelectSong(FSongs.Selected() + 1);
        FStartWanted = true;
    }
}

void TSongSequencer::Previous() {
    if (CanGoPrevious()) {
        SelectSong(FSongs.Selected() - 1);
        FStartWanted = true;
    }
}

}  // namespace tunrax
