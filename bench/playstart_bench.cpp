// From the tick that starts a song to the moment it plays, for a 10 MB song
// of a local collection: fetch into the temporary file, both tag readers,
// open and start through GStreamer. The fetch is set against a plain copy of
// the same file in the same run.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "audio/ID3v1.h"
#include "audio/ID3v2.h"
#include "audio/Player.h"
#include "bench_support.h"
#include "collection/SongFile.h"
#include "gst/GstAudioBackend.h"
#include "sources/LocalSource.h"
#include "support/Mp3Files.h"

using namespace tunrax;
using namespace tunrax::bench;

namespace {

// The baseline: read the file and write it elsewhere, 64 KB at a time.
void PlainCopy(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char buffer[1 << 16];
    ssize_t n;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0)
        if (::write(out, buffer, static_cast<size_t>(n)) != n)
            break;
    ::close(in);
    ::close(out);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = IntOption(argc, argv, "rounds", 7);
    ScratchFolder scratch("tunrax-playstart-bench");
    const std::string song = scratch.Path() + "Album/10mb.mp3";
    std::filesystem::create_directories(scratch.Path() + "Album");
    {
        // 640 s of 128 kbit/s frames are 10 MB.
        std::ofstream out(song, std::ios::binary);
        out << test::Id3v2Tag("Ein_Lied", "Die Band", "Das Album") << test::SilentMp3Frames(640)
            << test::Id3v1Tag("Ein Lied", "Die Band", "Das Album");
    }
    const std::string temp = scratch.Path() + "tunrax.mp3";
    const std::string copy = scratch.Path() + "copy.mp3";

    TLocalSource source(false, scratch.Path());
    auto library = CreateGStreamerBackend("fakesink sync=true");
    TPlayer player(*library);
    player.Init();

    double fetchMs = 1e300, copyMs = 1e300, startMs = 1e300;
    std::string title;
    for (int i = 0; i <= rounds; ++i) {
        player.Stop();
        double fetch = 0;
        double start = TimeMs([&] {
            fetch = TimeMs([&] { FetchSong(source, "\\Album\\10mb.mp3", temp); });
            TID3v2 v2;
            TID3v1 v1;
            if (v2.LoadFromFile(temp) && v2.TagFound())
                title = v2.Title();
            else if (v1.LoadFromFile(temp) && v1.TagFound())
                title = v1.Title();
            player.Play(temp);
        });
        double plain = TimeMs([&] { PlainCopy(song, copy); });
        if (i == 0)
            continue;  // warms the caches and the decoder
        fetchMs = std::min(fetchMs, fetch);
        copyMs = std::min(copyMs, plain);
        startMs = std::min(startMs, start);
    }
    std::printf("  a 10 MB song (%lld bytes), best of %d runs\n",
                static_cast<long long>(std::filesystem::file_size(song)), rounds);
    std::printf("     playing after the start: %s, title \"%s\"\n",
                player.State() == TStreamState::Playing ? "yes" : "NO", title.c_str());
    std::printf("     fetch into the temporary file       %7.1f ms\n", fetchMs);
    std::printf(
        "     plain copy of the file              %7.1f ms   ratio %5.2f   "
        "target <= 1.50: %s\n",
        copyMs, copyMs > 0 ? fetchMs / copyMs : 0, Verdict(fetchMs <= 1.5 * copyMs));
    std::printf("     tick to playing (fetch, tags, open)  %7.1f ms   target < 50 ms: %s\n",
                startMs, Verdict(startMs < 50));
    player.Stop();
    return 0;
}
