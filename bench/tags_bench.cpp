// How fast the song display reads its tags, measured against TagLib reading
// the same three texts from the same files in the same run.
//
// 10,000 small songs are generated below $TMPDIR: half with an ID3v2.3 tag,
// three in ten with ID3v2.4, the rest with only an ID3v1 tag; a third of the
// ID3v2 songs carry an ID3v1 tag as well. Frames of some hundred bytes and
// padding stand before or after the title frame, and a few MPEG audio frames
// follow the tag. Tunrax reads each file as the song display does: ID3v2,
// and ID3v1 only when no ID3v2 tag was found. TagLib opens each file as MPEG
// without audio properties and takes title, artist and album. Every figure is
// the best of several alternating runs with warm caches; the ratio is
// Tunrax's time over TagLib's.
//
// Options: --rounds=N (runs per figure, default 5), --files=N (default 10000).

#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/ID3v1.h"
#include "audio/ID3v2.h"
#include "bench/bench_support.h"

#ifdef TUNRAX_HAVE_TAGLIB
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#endif

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kTargetRatio = 1.0;

// Keeps the texts read from being optimised away.
volatile size_t gSink = 0;

struct Texts {
    std::string title, artist, album;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string Size32(uint32_t n, bool sevenBit) {
    if (sevenBit)
        return Bytes({int(n >> 21 & 0x7F), int(n >> 14 & 0x7F), int(n >> 7 & 0x7F), int(n & 0x7F)});
    return Bytes({int(n >> 24 & 0xFF), int(n >> 16 & 0xFF), int(n >> 8 & 0xFF), int(n & 0xFF)});
}

std::string Frame(bool v4, const std::string& id, const std::string& data) {
    return id + Size32(static_cast<uint32_t>(data.size()), v4) + Bytes({0, 0}) + data;
}

std::string Latin1(const std::string& s) {
    return Bytes({0}) + s;
}

std::string Id3v1(const Texts& t) {
    auto pad = [](std::string s, size_t n) { return s.append(n - s.size(), '\0'); };
    return "TAG" + pad(t.title, 30) + pad(t.artist, 30) + pad(t.album, 30) + "1999" + pad("", 28) +
           Bytes({0, 1, 17});
}

// Four MPEG-1 layer III frames of silence (128 kbit/s, 44.1 kHz).
std::string Audio() {
    std::string frame = Bytes({0xFF, 0xFB, 0x90, 0x64}) + std::string(413, '\0');
    return frame + frame + frame + frame;
}

std::string Song(int i, Texts& expected) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Titel Nummer %05d", i);
    expected.title = buf;
    std::snprintf(buf, sizeof buf, "Interpret %03d", i % 300);
    expected.artist = buf;
    std::snprintf(buf, sizeof buf, "Album %04d", i % 1000);
    expected.album = buf;

    const int kind = i % 10;
    if (kind >= 8)
        return Audio() + Id3v1(expected);

    const bool v4 = kind >= 5;
    std::string before, after;
    // Frames that taggers put before the title: a comment, private data.
    if (i % 2 == 0)
        before += Frame(v4, "COMM", Latin1("eng") + '\0' + std::string(100 + i % 400, 'c'));
    if (i % 3 == 0)
        before +=
            Frame(v4, "PRIV",
                  "www.example.org" + std::string(1, '\0') + std::string(200 + i % 300, '\x5A'));
    after += Frame(v4, "TPE1", Latin1(expected.artist));
    after += Frame(v4, "TALB", Latin1(expected.album));
    after += Frame(v4, "TRCK", Latin1(std::to_string(i % 20 + 1) + "/20"));
    after += Frame(v4, "TYER", Latin1("1999"));
    const std::string frames = before + Frame(v4, "TIT2", Latin1(expected.title)) + after;
    const size_t padding = static_cast<size_t>(i % 5) * 256;
    const auto size = static_cast<uint32_t>(frames.size() + padding);
    std::string song = "ID3" + Bytes({v4 ? 4 : 3, 0, 0}) + Size32(size, true) + frames +
                       std::string(padding, '\0') + Audio();
    if (i % 3 == 1)
        song += Id3v1(expected);
    return song;
}

// As the song display takes the three texts.
Texts ReadTunrax(const std::string& path) {
    TID3v2 v2;
    if (v2.LoadFromFile(path) && v2.TagFound())
        return {v2.Title(), v2.Artist(), v2.Album()};
    TID3v1 v1;
    if (v1.LoadFromFile(path) && v1.TagFound())
        return {v1.Title(), v1.Artist(), v1.Album()};
    return {};
}

#ifdef TUNRAX_HAVE_TAGLIB
Texts ReadTagLib(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    const TagLib::Tag* tag = file.isValid() ? file.tag() : nullptr;
    if (!tag)
        return {};
    return {tag->title().to8Bit(true), tag->artist().to8Bit(true), tag->album().to8Bit(true)};
}
#endif

template <typename Reader>
size_t ReadAll(const std::vector<std::string>& paths, Reader read) {
    size_t bytes = 0;
    for (const std::string& p : paths) {
        const Texts t = read(p);
        bytes += t.title.size() + t.artist.size() + t.album.size();
    }
    return bytes;
}

template <typename Reader>
size_t Mismatches(const std::vector<std::string>& paths, const std::vector<Texts>& expected,
                  Reader read) {
    size_t wrong = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const Texts t = read(paths[i]);
        if (t.title != expected[i].title || t.artist != expected[i].artist ||
            t.album != expected[i].album)
            ++wrong;
    }
    return wrong;
}

int Run(int argc, char** argv) {
    const int rounds = IntOption(argc, argv, "rounds", 5);
    const int count = IntOption(argc, argv, "files", 10000);
    ScratchFolder scratch("tunrax-tags-bench");

    std::vector<std::string> paths;
    std::vector<Texts> expected(static_cast<size_t>(count));
    size_t totalBytes = 0;
    for (int i = 0; i < count; ++i) {
        const std::string bytes = Song(i, expected[static_cast<size_t>(i)]);
        char name[32];
        std::snprintf(name, sizeof name, "%05d.mp3", i);
        paths.push_back(scratch.Path() + name);
        std::ofstream out(paths.back(), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + paths.back());
        totalBytes += bytes.size();
    }

    std::printf("Tunrax tag reading benchmark\n");
    std::printf(
        "  %d songs, %.1f KB on average (5 in 10 ID3v2.3, 3 in 10 ID3v2.4, 2 in 10 "
        "only ID3v1)\n",
        count, static_cast<double>(totalBytes) / count / 1024.0);
    std::printf("  best of %d runs each, warm caches; ratio = Tunrax / TagLib\n\n", rounds);

    const size_t wrongOurs = Mismatches(paths, expected, ReadTunrax);
    std::printf("     %-40s %zu of %d\n", "Tunrax: songs with wrong texts", wrongOurs, count);
#ifdef TUNRAX_HAVE_TAGLIB
    const size_t wrongBase = Mismatches(paths, expected, ReadTagLib);
    std::printf("     %-40s %zu of %d\n", "TagLib: songs with wrong texts", wrongBase, count);
    size_t sink = 0;
    const Pair p = BestOfAlternating(
        rounds, [&] { sink += ReadAll(paths, ReadTunrax); },
        [&] { sink += ReadAll(paths, ReadTagLib); });
    std::printf("     %-40s %9.1f ms   (%.2f us per song)\n", "TID3v2, then TID3v1", p.oursMs,
                p.oursMs * 1000.0 / count);
    std::printf("     %-40s %9.1f ms   ratio %5.2f   target < %.2f: %s\n",
                "TagLib::MPEG::File, no audio properties", p.baseMs, p.Ratio(), kTargetRatio,
                Verdict(p.Ratio() < kTargetRatio));
    gSink = sink;
    return 0;
#else
    const double ms = BestOf(rounds, [&] { (void)ReadAll(paths, ReadTunrax); });
    std::printf("     %-40s %9.1f ms   (%.2f us per song)\n", "TID3v2, then TID3v1", ms,
                ms * 1000.0 / count);
    std::printf("  TagLib was not found when this program was built; no baseline, no ratio\n");
    return 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    return tunrax::bench::BenchMain("tags_bench", Run, argc, argv);
}
