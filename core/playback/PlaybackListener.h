// What the playback controller tells those who show it (the window, the tray
// icon, the desktop's remote control). Every callback comes on the thread
// that called the controller, after the change it reports; a listener may
// read the controller but not change it from within. None may throw.
#pragma once

#include <cstdint>
#include <string>

#include "playback/PlaybackStatus.h"

namespace tunrax {

// The tags of a song shown while it plays: "_" shown as space, bytes as the
// tag has them. Found is false for a song without either tag.
struct TSongTags {
    std::string Title, Artist, Album;
    bool Found = false;
};

// The song under way. Serial counts the songs started (0: none yet); Caption
// is its name in the list; Length in microseconds, -1 until the player knows.
struct TTrack {
    int Serial = 0;
    std::string Path, Caption;
    TSongTags Tags;
    int64_t Length = -1;
};

class TPlaybackListener {
public:
    virtual ~TPlaybackListener() = default;
    // The song with this caption is being fetched to start.
    virtual void OnSongStarting(const std::string& caption) = 0;
    // A song started, or what is known of it grew (its length): see track.
    virtual void OnTrackChanged(const TTrack& track) = 0;
    // No song under way any more: the list ended or was stopped.
    virtual void OnNoSong() = 0;
    // Playing, paused or stopped; told only when it changes.
    virtual void OnStatusChanged(TPlaybackStatus status) = 0;
    // The chosen row of the list (kNoRow: none), chosen by the user or by the
    // controller (the list going on, a remote command).
    virtual void OnChoiceChanged(int row) = 0;
    // The list's rows changed (another list, a song moved or removed), at the
    // caller's request: the caller shows the rows and the choice anew.
    virtual void OnListChanged() = 0;
    // Automatic playing was switched ("Titel nicht abspielen" is its
    // opposite); told only when it changes.
    virtual void OnAutoPlayChanged(bool on) = 0;
    // The player's volume (0.0 to 1.0) changed.
    virtual void OnVolumeChanged(double volume) = 0;
};

}  // namespace tunrax
