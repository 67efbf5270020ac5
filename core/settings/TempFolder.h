// The private temporary folder that holds the song being played and the
// next one fetched ahead.
#pragma once

#include <string>

namespace tunrax {

// The folder for the song being played: private to the user (mode 0700,
// owned by the user, never a symbolic link): $XDG_RUNTIME_DIR/tunrax/, else
// ${TMPDIR:-/tmp}/tunrax-<uid>/. Ends in "/". Throws tunrax::Error when the
// folder cannot be made or is not safely the user's own.
std::string GetTempFolder();

}  // namespace tunrax
