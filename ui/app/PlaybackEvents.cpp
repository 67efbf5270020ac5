#include "app/PlaybackEvents.h"

#include "settings/DisplayText.h"

namespace tunrax {

void TPlaybackEvents::OnSongStarting(const std::string& caption) {
    Tell(&TPlaybackEvents::SongStarting, QString::fromStdString(DisplayText(caption)));
}

}  // namespace tunrax
