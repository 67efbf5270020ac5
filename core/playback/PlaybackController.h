// What plays, owned in one place: the list that plays (its songs, which album
// or favourite list it came from, the chosen row), the player and the
// sequencer that plays the list through it, automatic playing (the opposite
// of "Titel nicht abspielen"), the remote-control operations and the song
// under way. Windows tell the controller what the user chose and show what
// its listeners are told; the controller never reads a widget.
//
// The clock ticks only while a tick can change something: the controller
// starts it with every change and stops it once the list is over and the
// player found stopped, so an idle program does not wake up.
//
// Tick and StartChosenNow may throw tunrax::Error (see TSongSequencer::Tick);
// nothing else throws. The controller owns the audio library, the player, the
// sequencer and the list; the clock and the listeners must outlive it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/AudioBackend.h"
#include "audio/Player.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackListener.h"
#include "playback/PlaybackStatus.h"
#include "playback/SongList.h"
#include "playback/SongSequencer.h"

namespace tunrax {

// Where the list came from: nothing that plays (an empty list, or the songs
// of an album whose tree has gone), an album of the tree or a favourite list.
enum class TListOrigin { None, Album, Favorites };

class TPlaybackController : private TPlaybackView {
public:
    TPlaybackController(std::unique_ptr<TAudioBackend> library, TSourceAccess source,
                        TPlaybackClock& clock);
    ~TPlaybackController() override;
    TPlaybackController(const TPlaybackController&) = delete;
    TPlaybackController& operator=(const TPlaybackController&) = delete;

    void AddListener(TPlaybackListener& listener);
    void RemoveListener(TPlaybackListener& listener);

    TPlayer& Player() { return FPlayer; }
    const TSongSequencer& Sequencer() const { return FSequencer; }

    // --- the list
    const TSongList& Songs() const { return FSongs; }
    TListOrigin Origin() const { return FOrigin; }
    // The songs of the album folder (folder listing entries), none chosen.
    void ShowAlbum(std::vector<std::string>& files, const std::string& folder);
    // The songs of a favourite list (its entries), none chosen.
    void ShowFavorites(std::vector<std::string>& entries);
    // No songs, nothing to play.
    void ClearList();
    // The songs listed wait for the user's choice: none starts by itself
    // (see TSongSequencer::WaitForChoice).
    void WaitForChoice() { FSequencer.WaitForChoice(); }
    // The album tree was made anew: the album's songs stay listed but no
    // longer play (a favourite list plays on).
    void ForgetAlbum();
    // Removes the song at row; nothing is chosen afterwards.
    void RemoveSong(int row);
    // Moves the chosen song by delta (see TSongList::MoveSelected); its new
    // row, or kNoRow when the order stays. The choice is not a new one.
    int MoveChosenSong(int delta);

    // --- what the user does
    // The user chose row (kNoRow: none); it starts on the second tick.
    void ChooseSong(int row);
    // "Titel nicht abspielen" unchecked (on) or checked (off).
    void SetAutoPlay(bool on);
    bool AutoPlay() const { return FSequencer.GoesOn(); }
    // The song chosen next is not to start; the player is asked as after a
    // start (a song shown in its album).
    void SkipStart();
    // While one is alive, the clock's ticks count for nothing (the selection
    // is being moved about).
    class THold {
    public:
        explicit THold(TPlaybackController& owner) : FOwner(owner) { ++FOwner.FHeld; }
        ~THold() {
            --FOwner.FHeld;
            FOwner.Changed();
        }
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;

    private:
        TPlaybackController& FOwner;
    };

    // --- the clock
    void Tick();
    // What a remote command chose starts now, not on the second tick.
    void StartChosenNow();

    // --- the remote control; an explicit Play, Next or Previous plays also
    // while automatic playing is off.
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    TPlaybackStatus Status() const { return FSequencer.Status(); }
    bool CanGoNext() const { return FSequencer.CanGoNext(); }
    bool CanGoPrevious() const { return FSequencer.CanGoPrevious(); }
    // Songs are listed and they belong to an album or a favourite list.
    bool CanPlay() const { return FOrigin != TListOrigin::None && !FSongs.Empty(); }
    // The song heard: where it stands in microseconds (-1: nothing plays),
    // and a move within it (false when it cannot be moved).
    int64_t Position();
    bool Seek(int64_t position);
    // 0.0 to 1.0.
    double Volume() const;
    void SetVolume(double volume);
    const TTrack& Track() const { return FTrack; }

    // Calls off the song fetched ahead, a song queued and a song held after a
    // stop (the source changes, the program ends).
    void CancelPrefetch() noexcept { FSequencer.CancelPrefetch(); }

private:
    // TPlaybackView: what the sequencer does, passed on.
    void ShowSongStarting(const std::string& caption) override;
    void ShowSongInfo(const TSongTags& tags) override;
    void ShowNoSong() override;
    void ShowStatus(TPlaybackStatus status) override;
    void ShowSelection(int row) override;

    // A remote command that may choose a song to start at once.
    void Choose(void (TSongSequencer::*command)());
    void SetOrigin(TListOrigin origin);
    // New rows listed from origin: told, and the clock set going.
    void Listed(TListOrigin origin);
    void TellChoice();
    void TellList();
    // After every call from outside: the length of the song heard once the
    // player knows it, and the clock started or stopped as needed.
    void Changed();
    // Runs Changed when the scope ends, also when an error leaves it.
    struct TAfterwards {
        explicit TAfterwards(TPlaybackController& owner) : Owner(owner) {}
        ~TAfterwards() { Owner.Changed(); }
        TAfterwards(const TAfterwards&) = delete;
        TAfterwards& operator=(const TAfterwards&) = delete;
        TPlaybackController& Owner;
    };

    std::unique_ptr<TAudioBackend> FLibrary;
    TPlayer FPlayer;
    TSongList FSongs;
    TPlaybackClock& FClock;
    std::vector<TPlaybackListener*> FListeners;
    TListOrigin FOrigin = TListOrigin::None;
    TTrack FTrack;
    TPlaybackStatus FToldStatus = TPlaybackStatus::Stopped;
    int FHeld = 0;
    bool FClockRunning = false;
    // Last: it refers to the player and the list.
    TSongSequencer FSequencer;
};

}  // namespace tunrax
