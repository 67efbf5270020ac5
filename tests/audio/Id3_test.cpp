// The two tag readers on files built byte by byte, and the tunrax-tags tool.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/ID3v1.h"
#include "audio/ID3v2.h"
#include "support/OddFiles.h"
#include "support/TempDir.h"

extern char** environ;

namespace tunrax {
namespace {

using test::TempDir;
using test::WriteFile;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string Syncsafe(uint32_t n) {
    return Bytes({int(n >> 21 & 0x7F), int(n >> 14 & 0x7F), int(n >> 7 & 0x7F), int(n & 0x7F)});
}

std::string Plain32(uint32_t n) {
    return Bytes({int(n >> 24 & 0xFF), int(n >> 16 & 0xFF), int(n >> 8 & 0xFF), int(n & 0xFF)});
}

// A frame of major version 3 (plain size) or 4 (seven bits per size byte).
std::string Frame(int major, const std::string& id, const std::string& data) {
    const uint32_t n = static_cast<uint32_t>(data.size());
    return id + (major == 4 ? Syncsafe(n) : Plain32(n)) + std::string(2, '\0') + data;
}

std::string Text0(const std::string& s) {
    return std::string(1, '\0') + s;
}

std::string Tag2(int major, const std::string& body, uint32_t claimed = UINT32_MAX) {
    const uint32_t size = claimed == UINT32_MAX ? static_cast<uint32_t>(body.size()) : claimed;
    return "ID3" + Bytes({major, 0, 0}) + Syncsafe(size) + body;
}

// 128 bytes: "TAG", the texts padded with zero bytes, the genre byte.
std::string Tag1(const std::string& title, const std::string& comment30, int genre = 255) {
    auto pad = [](std::string s, size_t n) { return s.append(n - s.size(), '\0'); };
    return "TAG" + pad(title, 30) + pad("Band", 30) + pad("Album", 30) + "1999" +
           pad(comment30, 30) + Bytes({genre});
}

class Id3Test : public ::testing::Test {
protected:
    TID3v2 Read2(const std::string& bytes) {
        WriteFile(FPath, bytes);
        TID3v2 tag;
        EXPECT_TRUE(tag.LoadFromFile(FPath));
        return tag;
    }
    TID3v1 Read1(const std::string& bytes) {
        WriteFile(FPath, bytes);
        TID3v1 tag;
        EXPECT_TRUE(tag.LoadFromFile(FPath));
        return tag;
    }

    TempDir FTmp;
    const std::string FPath = FTmp / "song.mp3";
};

TEST_F(Id3Test, OddFilesAreUnreadable) {
    // A tag reader meets whatever lies in a music folder: a FIFO must not
    // block it, a device must not count as a song.
    test::MakeFifo(FTmp / "fifo.mp3");
    test::LinkToDevice(FTmp / "null.mp3");
    for (const std::string name : {"fifo.mp3", "null.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(test::FinishesWithoutWriter(FTmp / "fifo.mp3", [&] {
            TID3v2 tag2;
            EXPECT_FALSE(tag2.LoadFromFile(FTmp / name));
            TID3v1 tag1;
            EXPECT_FALSE(tag1.LoadFromFile(FTmp / name));
        }));
    }
}

TEST_F(Id3Test, ID3v1Fields) {
    const std::string audio(300, '\xAA');
    {
        SCOPED_TRACE("short, missing and unmarked files");
        TID3v1 tag;
        for (size_t n : {0, 9, 127}) {
            WriteFile(FPath, std::string(n, 'T'));
            EXPECT_FALSE(tag.LoadFromFile(FPath)) << n;
            EXPECT_FALSE(tag.TagFound());
        }
        EXPECT_FALSE(tag.LoadFromFile(FTmp / "missing.mp3"));
        EXPECT_FALSE(tag.LoadFromFile(FTmp.Path()));
        std::string lower = Tag1("Song", "");
        lower[0] = 't';
        EXPECT_FALSE(Read1(audio + lower).TagFound());
    }
    {
        SCOPED_TRACE("trimming");
        const std::string title(" Lead\0Mid  ", 11);
        const TID3v1 tag = Read1(audio + Tag1(title + std::string(5, ' '), "note \t"));
        EXPECT_TRUE(tag.TagFound());
        EXPECT_EQ(tag.Title(), std::string(" Lead\0Mid", 9));
        EXPECT_EQ(tag.Artist(), "Band");
        EXPECT_EQ(tag.Album(), "Album");
        EXPECT_EQ(tag.Year(), "1999");
        EXPECT_EQ(tag.Comment(), "note");
        EXPECT_EQ(tag.GenreIndex(), 255);
        const std::string full(30, 'x');
        EXPECT_EQ(Read1(Tag1(full, full, 17)).Title(), full);
        EXPECT_EQ(Read1(Tag1(full, full, 17)).GenreIndex(), 17);
    }
    {
        SCOPED_TRACE("version and track");
        std::string c = std::string(28, 'c');
        TID3v1 tag = Read1(audio + Tag1("T", c + Bytes({0, 5})));
        EXPECT_EQ(tag.TagVersion(), 2);
        EXPECT_EQ(tag.TrackNumber(), 5);
        EXPECT_EQ(tag.Comment(), c);
        tag = Read1(audio + Tag1("T", c + Bytes({0, 0})));
        EXPECT_EQ(tag.TagVersion(), 1);
        EXPECT_EQ(tag.TrackNumber(), 0);
        tag = Read1(audio + Tag1("T", std::string(27, 'c') + "  9"));
        EXPECT_EQ(tag.TagVersion(), 2);
        EXPECT_EQ(tag.TrackNumber(), '9');
        EXPECT_EQ(tag.Comment(), std::string(27, 'c'));
    }
    {
        SCOPED_TRACE("a second reading keeps nothing of the first");
        TID3v1 tag;
        WriteFile(FPath, audio + Tag1("My_Song", std::string(28, 'c') + Bytes({0, 5}), 3));
        ASSERT_TRUE(tag.LoadFromFile(FPath));
        EXPECT_EQ(tag.Title(), "My_Song");  // the window replaces "_", not the reader
        WriteFile(FPath, audio);
        ASSERT_TRUE(tag.LoadFromFile(FPath));
        EXPECT_FALSE(tag.TagFound());
        EXPECT_EQ(tag.Title(), "");
        EXPECT_EQ(tag.TrackNumber(), 0);
        EXPECT_EQ(tag.GenreIndex(), 255);
        EXPECT_EQ(tag.TagVersion(), 1);
    }
}

TEST_F(Id3Test, ID3v2Header) {
    const std::string audio(200, '\xAA');
    {
        SCOPED_TRACE("files of 0 to 9 bytes and missing files");
        TID3v2 tag;
        for (size_t n = 0; n < 10; ++n) {
            WriteFile(FPath, std::string("ID3\x03\0\0\0\0\0\0", n));
            EXPECT_FALSE(tag.LoadFromFile(FPath)) << n;
            EXPECT_FALSE(tag.TagFound()) << n;
        }
        EXPECT_FALSE(tag.LoadFromFile(FTmp / "missing.mp3"));
        EXPECT_FALSE(tag.LoadFromFile(FTmp.Path()));
    }
    {
        SCOPED_TRACE("no marker");
        EXPECT_FALSE(Read2("id3" + Tag2(3, Frame(3, "TIT2", Text0("x"))).substr(3)).TagFound());
        EXPECT_FALSE(Read2(audio).TagFound());
    }
    {
        SCOPED_TRACE("every major version");
        const std::string body = Frame(3, "TIT2", Text0("Song")) + std::string(20, '\0');
        for (int major = 0; major < 256; ++major) {
            const TID3v2 tag = Read2(Tag2(major, body) + audio);
            EXPECT_TRUE(tag.TagFound()) << major;
            EXPECT_EQ(tag.MajorVersion(), major);
            EXPECT_EQ(tag.TagSize(), static_cast<int>(body.size()) + 10);
            EXPECT_EQ(tag.Title(), major >= 3 ? "Song" : "") << major;
        }
    }
    {
        SCOPED_TRACE("a tag larger than the file");
        const std::string body = Frame(3, "TIT2", Text0("Song"));
        const TID3v2 tag = Read2(Tag2(3, body, static_cast<uint32_t>(body.size() + 1)));
        EXPECT_TRUE(tag.TagFound());
        EXPECT_EQ(tag.TagSize(), 0);
        EXPECT_EQ(tag.Title(), "");
        // The size bytes count whole: 0xFF in every byte claims about 539 MB.
        EXPECT_EQ(Read2("ID3" + Bytes({3, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}) + body).TagSize(), 0);
    }
}

TEST_F(Id3Test, ID3v2Frames) {
    auto title = [&](const std::string& body, int major = 3) {
        return Read2(Tag2(major, body) + std::string(100, '\xAA')).Title();
    };
    {
        SCOPED_TRACE("encodings");
        EXPECT_EQ(title(Frame(3, "TIT2", Text0("Song"))), "Song");
        EXPECT_EQ(title(Frame(3, "TIT2", "\x03 My_Song ")), "My_Song");
        const std::string le = Bytes({1, 0xFF, 0xFE, 'S', 0, 'o', 0, 'n', 0, 'g', 0});
        const std::string be = Bytes({1, 0xFE, 0xFF, 0, 'S', 0, 'o', 0, 'n', 0, 'g'});
        EXPECT_EQ(title(Frame(3, "TIT2", le)), "Song");
        EXPECT_EQ(title(Frame(3, "TIT2", be)), "Song");
        // Beyond Latin-1 both bytes stay: U+20AC little-endian.
        EXPECT_EQ(title(Frame(3, "TIT2", Bytes({1, 0xFF, 0xFE, 0xAC, 0x20, 'x', 0}))), "\xAC x");
    }
    {
        SCOPED_TRACE("250-byte buffer, later frames and the end of the walk");
        const std::string big = Text0(std::string(999, 'a'));
        const std::string body = Frame(3, "TIT2", big) + Frame(3, "TPE1", Text0("Band"));
        const TID3v2 tag = Read2(Tag2(3, body));
        EXPECT_EQ(tag.Title(), std::string(249, 'a'));
        EXPECT_EQ(tag.Artist(), "Band");
        EXPECT_EQ(title(Frame(3, "TIT2", Text0("One")) + Frame(3, "TIT2", Text0("Two"))), "Two");
        EXPECT_EQ(title(std::string(10, '\0') + Frame(3, "TIT2", Text0("Late"))), "");
        EXPECT_EQ(title(Frame(3, "tit2", Text0("Lower"))), "");
        // An extended header's first byte ends the walk at once.
        EXPECT_EQ(title(Plain32(6) + Bytes({0, 0, 0, 0, 0, 0}) + Frame(3, "TIT2", Text0("x"))), "");
    }
    {
        SCOPED_TRACE("track, genre, comment, link");
        auto read = [&](const std::string& id, const std::string& data) {
            return Read2(Tag2(3, Frame(3, id, data)));
        };
        const std::vector<std::pair<std::string, int>> tracks = {
            {"3/12", 3}, {"12", 12}, {"A1", 0}, {"300", 44}, {"", 0}, {"3a", 0}, {"-1", 255}};
        for (const auto& [text, number] : tracks)
            EXPECT_EQ(read("TRCK", Text0(text)).TrackNumber(), number) << text;
        EXPECT_EQ(read("TCON", Text0("(17)Rock")).Genre(), "Rock");
        EXPECT_EQ(read("TCON", Text0("(17)")).Genre(), "");
        EXPECT_EQ(read("TCON", Text0("(1)(2) Pop")).Genre(), " Pop");
        EXPECT_EQ(read("TCON", Text0("Rock")).Genre(), "Rock");
        EXPECT_EQ(read("COMM", Text0("deu") + '\0' + "gut").Comment(), "gut");
        EXPECT_EQ(read("COMM", Text0("deu") + "x" + '\0' + "gut").Comment(), "gut");
        EXPECT_EQ(read("WXXX", Text0("home") + '\0' + "http://x.de").Link(), "http://x.de");
        EXPECT_EQ(read("TYER", Text0("1999")).Year(), "1999");
        EXPECT_EQ(read("TLAN", Text0("deu")).Language(), "deu");
    }
    {
        SCOPED_TRACE("UTF-16 comment and link keep their text");
        const std::string desc = Bytes({0xFF, 0xFE, 'd', 0, 0, 0});
        const std::string text = Bytes({0xFF, 0xFE, 'g', 0, 'u', 0, 't', 0});
        const TID3v2 comm = Read2(Tag2(3, Frame(3, "COMM",
                                                "\x01"
                                                "deu" +
                                                    desc + text)));
        EXPECT_EQ(comm.Comment(), "gut");
        const TID3v2 link = Read2(Tag2(3, Frame(3, "WXXX", "\x01" + desc + "http://x.de")));
        EXPECT_EQ(link.Link(), "http://x.de");
    }
}

TEST_F(Id3Test, ID3v2FrameSizes) {
    const std::string audio(3000, '\xAA');
    {
        SCOPED_TRACE("version 4 sizes use seven bits per byte, version 3 all eight");
        // 200 bytes: 00 00 01 48 in version 4, which version 3 reads as 328.
        const std::string comm = Text0("eng") + '\0' + std::string(195, 'c');
        ASSERT_EQ(comm.size(), 200u);
        const std::string v4 = Frame(4, "COMM", comm) + Frame(4, "TIT2", Text0("Four"));
        EXPECT_EQ(Read2(Tag2(4, v4) + audio).Title(), "Four");
        const std::string v3 = Frame(3, "COMM", comm) + Frame(3, "TIT2", Text0("Three"));
        EXPECT_EQ(Read2(Tag2(3, v3) + audio).Title(), "Three");
        EXPECT_EQ(Read2(Tag2(3, v4) + audio).Title(), "");
    }
    {
        SCOPED_TRACE("sizes past the file end the walk, earlier frames stay");
        const std::string first = Frame(3, "TIT2", Text0("Kept"));
        for (uint32_t size : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 100000u, 40u}) {
            const std::string broken = "TPE1" + Plain32(size) + std::string(2, '\0') +
                                       Text0("Gone") + std::string(30, ' ');
            const std::string tail = size == 40u ? std::string() : audio;
            const TID3v2 tag = Read2(Tag2(3, first + broken) + tail);
            EXPECT_EQ(tag.Title(), "Kept") << size;
            EXPECT_EQ(tag.Artist(), "") << size;
        }
        // Seven bits per byte: the largest version 4 size.
        const std::string broken = "TPE1" + Bytes({0x7F, 0x7F, 0x7F, 0x7F, 0, 0}) + Text0("Gone");
        const TID3v2 tag = Read2(Tag2(4, first + broken) + audio);
        EXPECT_EQ(tag.Title(), "Kept");
        EXPECT_EQ(tag.Artist(), "");
    }
    {
        SCOPED_TRACE("a frame that starts inside the tag is taken though it runs past it");
        const std::string body = Frame(3, "TIT2", Text0("Titel")) +
                                 Frame(3, "TPE1", Text0("Band")) + Frame(3, "TALB", Text0("Album"));
        const uint32_t full = static_cast<uint32_t>(body.size());
        for (uint32_t claimed : {full - 1, full - 3, full - 15}) {
            const TID3v2 tag = Read2(Tag2(3, body, claimed) + audio);
            EXPECT_EQ(tag.TagSize(), static_cast<int>(claimed) + 10);
            EXPECT_EQ(tag.Title(), "Titel") << claimed;
            EXPECT_EQ(tag.Artist(), "Band") << claimed;
            EXPECT_EQ(tag.Album(), "Album") << claimed;
        }
        // Without audio behind it the last frame still lies inside the file.
        EXPECT_EQ(Read2(Tag2(3, body, full - 3)).Album(), "Album");
        const std::string v4 = Frame(4, "TIT2", Text0("Vier")) + Frame(4, "TALB", Text0("Album"));
        EXPECT_EQ(Read2(Tag2(4, v4, static_cast<uint32_t>(v4.size()) - 2) + audio).Album(),
                  "Album");
        // The walk ends at the tag size: a frame starting there is not read.
        const TID3v2 tag = Read2(Tag2(3, body, full - 16) + audio);
        EXPECT_EQ(tag.Artist(), "Band");
        EXPECT_EQ(tag.Album(), "");
        // A frame may even take bytes of the audio: its last one here.
        const std::string first = Frame(3, "TIT2", Text0("Kept"));
        const std::string longer =
            "TPE1" + Plain32(40) + std::string(2, '\0') + Text0("Da") + std::string(36, ' ');
        EXPECT_EQ(Read2(Tag2(3, first + longer, static_cast<uint32_t>(first.size() + 20)) + audio)
                      .Artist(),
                  "Da" + std::string(36, ' ') + "\xAA");
    }
    {
        SCOPED_TRACE("an empty frame moves on by its header");
        const std::string body = Frame(3, "TXXX", "") + Frame(3, "TALB", "") +
                                 Frame(3, "TIT2", Text0("After")) + std::string(50, '\0');
        EXPECT_EQ(Read2(Tag2(3, body)).Title(), "After");
    }
}

// Each size byte carries seven bits: sizes just below and at each step to
// the next byte (a cover picture easily takes 16 KB or more), in the tag
// header and in the frames of version 4; version 3 frames count all eight.
TEST_F(Id3Test, ID3v2SizesAtByteBoundaries) {
    const uint32_t sizes[] = {127,     128, 255, 256, 16383, 16384, 65535, 65536, (1u << 21) - 1,
                              1u << 21};
    for (uint32_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string title = Frame(3, "TIT2", Text0("Titel"));
        const TID3v2 tag = Read2(Tag2(3, title + std::string(size - title.size(), '\0')));
        EXPECT_EQ(tag.TagSize(), static_cast<int>(size) + 10);
        EXPECT_EQ(tag.Title(), "Titel");
        for (int major : {3, 4}) {
            // A picture of that size, then the title, and nothing behind the
            // tag: a size read too large or too small loses the title.
            const std::string body = Frame(major, "APIC", std::string(size, '\0')) +
                                     Frame(major, "TIT2", Text0("Nach dem Bild"));
            EXPECT_EQ(Read2(Tag2(major, body)).Title(), "Nach dem Bild") << "version " << major;
        }
    }
}

#ifdef TUNRAX_TAGS
// Runs the tool with its output in files; the exit status.
int RunTags(const TempDir& tmp, std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.begin(), TUNRAX_TAGS);
    return test::RunProgram(args, tmp.Path(), out, err);
}

TEST_F(Id3Test, TagsTool) {
    const std::string audio(300, '\xAA');
    const std::string both = FTmp / "both.mp3", v1 = FTmp / "v1.mp3", none = FTmp / "none.mp3",
                      old = FTmp / "old.mp3", tight = FTmp / "tight.mp3";
    WriteFile(both, Tag2(3, Frame(3, "TIT2", Text0("My_Song")) + Frame(3, "TPE1", Text0("A\tB")) +
                                Frame(3, "TALB",
                                      Text0("Gr\xFC\xDF"
                                            "e"))) +
                        audio + Tag1("v1 title", ""));
    WriteFile(v1, audio + Tag1("Old_One", ""));
    WriteFile(none, audio);
    // An old tag counts as found: empty texts, no fallback to ID3v1.
    WriteFile(old, Tag2(2, std::string(20, '\0')) + audio + Tag1("v1 title", ""));
    // A tag size three bytes short of its frames.
    const std::string frames = Frame(3, "TIT2", Text0("Titel")) + Frame(3, "TPE1", Text0("Band")) +
                               Frame(3, "TALB", Text0("Album"));
    WriteFile(tight, Tag2(3, frames, static_cast<uint32_t>(frames.size() - 3)) + audio);
    std::string out, err;
    {
        SCOPED_TRACE("--tsv");
        EXPECT_EQ(RunTags(FTmp, {"--tsv", both, v1, none, old, tight}, out, err), 0) << err;
        EXPECT_EQ(out, both +
                           "\tID3v2\tMy Song\tA B\tGr\xC3\xBC\xC3\x9F"
                           "e\n" +
                           v1 + "\tID3v1\tOld One\tBand\tAlbum\n" + none + "\t-\t\t\t\n" + old +
                           "\tID3v2\t\t\t\n" + tight + "\tID3v2\tTitel\tBand\tAlbum\n");
    }
    {
        SCOPED_TRACE("readable layout, a missing file in between");
        EXPECT_EQ(RunTags(FTmp, {v1, FTmp / "gone.mp3", none}, out, err), 1);
        EXPECT_EQ(out, "Datei: " + v1 +
                           "\nTag: ID3v1\nTitel: Old One\nInterpret: Band\n"
                           "Album: Album\n\nDatei: " +
                           none +
                           "\nTag: keines\nTitel: \n"
                           "Interpret: \nAlbum: \n");
        EXPECT_NE(err.find("gone.mp3\" kann nicht gelesen werden"), std::string::npos) << err;
    }
    {
        SCOPED_TRACE("--alle shows both tags unchanged");
        EXPECT_EQ(RunTags(FTmp, {"--alle", both}, out, err), 0);
        EXPECT_NE(out.find("Titel: My Song\n"), std::string::npos) << out;
        EXPECT_NE(out.find("  Titel: My_Song\n"), std::string::npos) << out;
        EXPECT_NE(out.find("  Titel: v1 title\n"), std::string::npos) << out;
    }
    {
        SCOPED_TRACE("usage errors");
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {}, {"--tsv"}, {"--tsv", "--alle", v1}, {"--unknown", v1}}) {
            EXPECT_EQ(RunTags(FTmp, args, out, err), 2);
            EXPECT_NE(err.find("Aufruf: tunrax-tags [--alle | --tsv] DATEI..."), std::string::npos);
        }
    }
}
#endif

}  // namespace
}  // namespace tunrax
