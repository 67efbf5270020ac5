// The audio library over GStreamer, for whoever makes the program's backend:
// the program's entry, and the tests and benchmarks that play for real. No
// GStreamer header is seen from here. Nothing throws.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "audio/AudioBackend.h"

namespace tunrax {

// The real library, playing on the desktop's default audio output;
// audioSink, when not empty, is a GStreamer sink description used instead
// (e.g. "fakesink sync=true" for tests that need real time but no sound
// card). The caller owns it; it must outlive its player.
std::unique_ptr<TAudioBackend> CreateGStreamerBackend(const std::string& audioSink = "");

// Starts GStreamer (it checks its whole plugin registry) on a thread of its
// own, so that this overlaps the program's other start-up work; the first
// use of the library waits for it. The thread is joined when the result goes.
std::jthread PrepareGStreamer();

}  // namespace tunrax
