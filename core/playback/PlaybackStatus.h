// Whether the list plays, is paused or stopped: the one status that the
// controller, its listeners and the remote control share. Between two songs
// of a list (the next one is being fetched) the list still plays.
#pragma once

namespace tunrax {

enum class TPlaybackStatus { Stopped, Playing, Paused };

}  // namespace tunrax
