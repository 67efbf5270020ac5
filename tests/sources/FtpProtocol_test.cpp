#include "sources/FtpProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/Error.h"

using namespace tunrax;

namespace {

// Every reply in text, fed in pieces of step bytes (0: all at once).
std::vector<TFtpReply> Replies(const std::string& text, size_t step) {
    std::vector<TFtpReply> replies;
    TFtpReplyReader reader;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t size = step == 0 ? text.size() - pos : std::min(step, text.size() - pos);
        size_t used = 0;
        while (used < size) {
            used += reader.Feed(text.data() + pos + used, size - used);
            if (reader.Done())
                replies.push_back(reader.Take());
        }
        pos += size;
    }
    return replies;
}

std::string ErrorOf(const std::string& text) {
    try {
        Replies(text, 0);
    } catch (const Error& e) {
        return e.what();
    }
    return "kein Fehler";
}

std::vector<std::string> Names(const std::string& listing, size_t step,
                               uint64_t maxBytes = kFtpMaxListing) {
    std::vector<std::string> names;
    TFtpListReader reader(names, maxBytes);
    for (size_t pos = 0; pos < listing.size(); pos += step)
        reader.Feed(listing.data() + pos, std::min(step, listing.size() - pos));
    reader.Finish();
    return names;
}

}  // namespace

TEST(FtpReplyReader, SplitsRepliesHoweverTheyArrive) {
    // A multi-line greeting whose inner lines look like codes, then two
    // replies in one piece, one with a lone LF, then a bare code.
    const std::string text =
        "220-Willkommen\r\n 220 eingerueckt\r\n221 anderer Code\r\n220-noch\r\n220 fertig\r\n"
        "331 Passwort\n230 ok\r\n226\r\n";
    for (size_t step : {size_t{0}, size_t{1}, size_t{7}}) {
        const std::vector<TFtpReply> replies = Replies(text, step);
        ASSERT_EQ(replies.size(), 4u) << step;
        EXPECT_EQ(replies[0].Code, 220);
        EXPECT_EQ(replies[0].Text,
                  "220-Willkommen\n 220 eingerueckt\n221 anderer Code\n220-noch\n220 fertig");
        EXPECT_EQ(replies[0].Summary(), "220-Willkommen");
        EXPECT_EQ(replies[1].Code, 331);
        EXPECT_EQ(replies[2].Text, "230 ok");
        EXPECT_EQ(replies[3].Code, 226);
    }
}

TEST(FtpReplyReader, BoundsAndGarbageAreErrors) {
    const std::string longest(kFtpMaxLine - 4, 'x');
    EXPECT_EQ(ErrorOf("220 " + longest + "\r\n"), "kein Fehler");
    EXPECT_NE(ErrorOf("220 " + longest + "x\r\n").find("Antwortzeile von mehr als 64 KB"),
              std::string::npos);
    // A line that never ends is caught at the bound, not at its end.
    EXPECT_NE(ErrorOf("220 " + std::string(kFtpMaxLine * 2, 'x')).find("64 KB"), std::string::npos);

    std::string lines;
    while (lines.size() < kFtpMaxReply - 100)
        lines += "220-" + std::string(60, 'y') + "\r\n";
    EXPECT_EQ(ErrorOf(lines + "220 ende\r\n"), "kein Fehler");
    EXPECT_NE(ErrorOf(lines + lines).find("Antwort von mehr als 1 MB"), std::string::npos);

    for (const std::string bad : {"hallo\r\n", "22 kurz\r\n", "220x\r\n", "000 null\r\n", "\r\n"})
        EXPECT_NE(ErrorOf(bad).find("keine gültige FTP-Antwort"), std::string::npos) << bad;
}

TEST(FtpListReader, LeavesOutNamesThatCannotBeSentBack) {
    const std::string crLf(
        "ok.mp3\r\ncrlfdir\rSIZE inj\r\na\nb.mp3\r\n\r\nnul\0x.mp3\r\nletzte.mp3", 58);
    for (size_t step : {size_t{1}, size_t{5}, crLf.size()})
        EXPECT_EQ(Names(crLf, step), (std::vector<std::string>{"ok.mp3", "letzte.mp3"})) << step;
    // Lines that end with a lone LF.
    EXPECT_EQ(Names("x.mp3\ny.mp3\nz\rw\n", 3), (std::vector<std::string>{"x.mp3", "y.mp3"}));
    // A lone LF in the first name of CR LF lines: that name goes, the rest
    // stays.
    for (size_t step : {size_t{1}, size_t{4}, size_t{100}}) {
        EXPECT_EQ(Names("a\nb.mp3\r\nc.mp3\r\nd.mp3\r\n", step),
                  (std::vector<std::string>{"c.mp3", "d.mp3"}))
            << step;
        EXPECT_EQ(Names("a\nb\nc.mp3\r\nd.mp3\r\ne\nf.mp3\r\ng.mp3", step),
                  (std::vector<std::string>{"d.mp3", "g.mp3"}))
            << step;
    }

    const std::string longest(kFtpMaxLine, 'n');
    EXPECT_EQ(Names(longest + "\r\n", 4096), std::vector<std::string>{longest});
    EXPECT_THROW(Names(longest + "n\r\n", 4096), Error);
    // Each name kept counts its bookkeeping too, so that short names cannot
    // take many times the bound.
    try {
        Names(std::string(100, '\n'), 1, 99);
        ADD_FAILURE() << "no bound";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Die Liste ist größer als 99 Bytes");
    }
    EXPECT_EQ(Names("a\nb\n", 1, 4 + 2 * sizeof(std::string)),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(Names("a\nb\n", 1, 3 + 2 * sizeof(std::string)), Error);
}

TEST(FtpPassiveReplies, PortsAndNothingElse) {
    EXPECT_EQ(ParseEpsvPort("229 Entering Extended Passive Mode (|||6446|)"), 6446);
    EXPECT_EQ(ParseEpsvPort("229 (!!!65535!)"), 65535);
    for (const std::string bad : {"229 (|||0|)", "229 (|||65536|)", "229 (|||12|", "229 (||12|)",
                                  "229 (|||12!)", "229 (1112|)", "229 ("})
        EXPECT_FALSE(ParseEpsvPort(bad)) << bad;

    EXPECT_EQ(ParsePasvPort("227 Entering Passive Mode (127,0,0,1,25,34)"), 25 * 256 + 34);
    EXPECT_EQ(ParsePasvPort("227 =10,0,0,2,4,1"), 1025);
    for (const std::string bad : {"227 (1,2,3,4,256,1)", "227 (1,2,3,4,5)", "227 (1,2,3,4,0,0)",
                                  "227 (1,2,3,4,5,1234567)", "227"})
        EXPECT_FALSE(ParsePasvPort(bad)) << bad;
}
