// Playing the song list without widgets: the 100 ms playback clock's count,
// starting the selected song (fetched through the source into the temporary
// song file, then opened in the player), asking the player how it does and
// going on to the next song, and what a remote control asks (play, pause,
// stop, next, previous). The playback controller owns it and shows what the
// sequencer tells its view; the sequencer never asks anybody what is shown.
// Once a song plays, the song after it is fetched in the background (see
// Prefetch.h) and used when its turn comes; choosing another song, a change
// of the list, the list's end and the sequencer's end call that off. A song
// fetched whole is queued in the player to follow without a gap; once it is
// heard the window shows it as if it had been started (see PollPlayer).
//
// Tick may throw tunrax::Error (no temporary folder, the source's error
// while fetching a song); the rest does not. The sequencer owns none of the
// player, the list, the view or the source; it owns the prefetch and the
// background source it fetches through.
#pragma once

#include <functional>
#include <string>

#include "audio/Player.h"
#include "playback/PlaybackListener.h"
#include "playback/PlaybackStatus.h"
#include "playback/Prefetch.h"
#include "playback/SongList.h"

namespace tunrax {

class TSource;

// Reads the ID3v2 tag of fileName, else its ID3v1 tag.
TSongTags ReadSongTags(const std::string& fileName);

// The name of the temporary file that holds the song being played. Throws
// tunrax::Error when there is no private temporary folder.
std::string TempFileName();

// Deletes the temporary song file, if there is one; never throws.
void DeleteSongFile();

// What the sequencer tells its owner, as it happens.
class TPlaybackView {
public:
    virtual ~TPlaybackView() = default;
    // The song with this caption is being fetched.
    virtual void ShowSongStarting(const std::string& caption) = 0;
    // The song fetched starts playing with these tags.
    virtual void ShowSongInfo(const TSongTags& tags) = 0;
    // No song under way any more: the caption without a song.
    virtual void ShowNoSong() = 0;
    // Playing (a song has been started), paused or stopped; told again
    // whenever it is set, also to the same.
    virtual void ShowStatus(TPlaybackStatus status) = 0;
    // The sequencer selected row of the list (kNoRow: none).
    virtual void ShowSelection(int row) = 0;
};

// Runs use with the current source held for the whole call; false (without
// running it) when there is no source, and then no song starts. The one way
// the sequencer reaches a source.
using TSourceAccess = std::function<bool(const std::function<void(TSource&)>& use)>;

class TSongSequencer {
public:
    TSongSequencer(TPlayer& player, TSongList& songs, TPlaybackView& view, TSourceAccess source);
    ~TSongSequencer();
    TSongSequencer(const TSongSequencer&) = delete;
    TSongSequencer& operator=(const TSongSequencer&) = delete;

    // One tick of the playback clock: the selected song starts on the second
    // tick after it was chosen; from the fourth on the player is asked, and a
    // song that has ended selects the next one. While the list does not go on
    // by itself (see SetGoesOn) the count stands and a tick only looks
    // whether the song heard has ended.
    void Tick();
    // The list's selection changed (by the user or by the sequencer): the
    // count starts again, and a remote stop no longer holds the list.
    void SongChosen();
    // A song chosen by a remote control (Play, Next, Previous) starts now,
    // not on the second tick; the player is asked from the next tick on.
    // Nothing when no remote command chose a song since (a resume, a click
    // in between).
    void StartChosenNow();
    // The selected song does not start; the player is asked as after a start.
    void SkipStart() { FTickCount = 3; }
    int TickCount() const { return FTickCount; }

    // Whether the list belongs to an album or a favourite list of the current
    // source (a list whose album tree has gone does not play). True at first.
    void SetListPlays(bool plays);
    // Whether the list goes on by itself: a chosen song starts and the end of
    // a song starts the next (automatic playing). While off, a remote command
    // still starts the song it chose, and nothing follows it.
    void SetGoesOn(bool on);
    bool GoesOn() const { return FGoesOn; }
    // No tick can change anything until the next call of the sequencer: the
    // list has ended or was stopped and the player found stopped, or, while
    // the list does not go on, nothing plays.
    bool Quiet() const;

    // The remote control.
    void Play();
    void Pause();
    void Stop();
    // The list shown waits for the user: nothing starts by itself until a
    // song is chosen, playing is asked for or the list changes (the album
    // shown again at start).
    void WaitForChoice() { FWaitsForChoice = true; }
    void Next();
    void Previous();
    TPlaybackStatus Status() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;

    // Calls off the fetch of the next song and deletes its file, the song
    // queued in the player, and a song held after a remote stop: the songs
    // are not to start ("Titel nicht abspielen"), or the source changes.
    void CancelPrefetch() noexcept;
    // The song fetched or being fetched in the background; empty when none.
    const std::string& PrefetchPath() const { return FPrefetch.Path(); }
    bool PrefetchComplete() const { return FPrefetch.Complete(); }

    // The song under way: counts the songs started, its caption, song path
    // and tags.
    int Serial() const { return FSerial; }
    const std::string& SongCaption() const { return FSongCaption; }
    const std::string& SongPath() const { return FLoadedPath; }
    const TSongTags& SongTags() const { return FLoadedTags; }

private:
    void StartSelectedSong();
    bool RestartParked(const std::string& path, const std::string& caption);
    void PrefetchNext(const TSource& source, const std::string& playing);
    void PollPlayer();
    void WatchEnd();
    void QueueNext();
    void GoOnToQueued();
    void CallOffQueue() noexcept;
    void SelectSong(int row);
    void SetStatus(TPlaybackStatus status);

    TPlayer& FPlayer;
    TSongList& FSongs;
    TPlaybackView& FView;
    TSourceAccess FSource;
    int FTickCount = 0;
    // Stopped by a remote control: the list does not go on to the next song
    // until a song is chosen or playing is asked for again.
    bool FStopped = false;
    bool FWaitsForChoice = false;
    TPlaybackStatus FStatus = TPlaybackStatus::Stopped;
    bool FListPlays = true;
    bool FGoesOn = true;
    // A remote command chose the song that StartChosenNow starts.
    bool FStartWanted = false;
    // The last poll found the list over and changed nothing; it stays so
    // until the next call from outside (see Quiet).
    bool FSettled = false;
    // The song in the player and its tags: after a remote stop the player
    // holds it, ready to start again at once when playing is asked for.
    std::string FLoadedPath;
    TSongTags FLoadedTags;
    int FSerial = 0;
    std::string FSongCaption;
    // The prefetch was offered to the player (once per prefetch: a refusal
    // means it came too late, and the song starts the ordinary way).
    bool FQueueTried = false;
    // Last: its thread ends before anything else goes.
    TSongPrefetch FPrefetch;
};

}  // namespace tunrax
