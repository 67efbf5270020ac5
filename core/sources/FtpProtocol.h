// The text of the FTP control and listing connections, read without any
// network: replies and NLST listings arrive in pieces of any size from a
// server we do not trust, so each reader takes bytes as they come, keeps
// only bounded amounts in memory and throws tunrax::Error (German) when a
// bound is passed or the text is no FTP at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunrax {

// Longer than any name or message a real server sends, small enough that a
// server cannot fill the memory with one.
inline constexpr size_t kFtpMaxLine = 64 * 1024;
// A multi-line reply (greeting, HELP) of a real server is a few KB.
inline constexpr size_t kFtpMaxReply = 1024 * 1024;
// A folder of 200,000 songs lists in about 10 MB.
inline constexpr uint64_t kFtpMaxListing = 256ull * 1024 * 1024;

struct TFtpReply {
    int Code = 0;
    // The lines, codes included, joined by "\n".
    std::string Text;
    // The first line, cut to a length that fits into a message.
    std::string Summary() const;
};

// One reply after another: "ddd text", or "ddd-text" up to the line that
// starts with "ddd ". Lines end with LF (CR LF or a lone LF).
class TFtpReplyReader {
public:
    // Takes bytes up to the end of the next reply; returns how many it took.
    // When Done(), Take() hands the reply out and the reader starts anew.
    size_t Feed(const char* data, size_t size);
    bool Done() const { return FDone; }
    TFtpReply Take();

private:
    void EndOfLine();
    TFtpReply FReply;
    std::string FLine;
    size_t FSize = 0;
    bool FMultiLine = false;
    bool FDone = false;
};

// The names of an NLST listing. Lines end with CR LF, or with a lone LF when
// no line ends with CR LF; a lone LF before or among CR LF line ends is part
// of a name. A name that holds CR, LF or NUL cannot be sent back in a command
// and is left out, and only it. Counts every byte received and the
// bookkeeping of every name kept against maxBytes.
class TFtpListReader {
public:
    explicit TFtpListReader(std::vector<std::string>& names, uint64_t maxBytes = kFtpMaxListing);
    void Feed(const char* data, size_t size);
    // The end of the listing: a last line without a line end counts too.
    void Finish();

private:
    void EndOfLine();
    // Adds a non-empty line to into, its bookkeeping counted.
    void Keep(std::vector<std::string>& into, const std::string& line);
    std::vector<std::string>& FNames;
    uint64_t FMaxBytes;
    uint64_t FUsed = 0;
    std::string FLine;
    // Whether lines end with CR LF; unknown until the first CR LF or the end.
    std::optional<bool> FCrLf;
    // The lines ended by a lone LF while that is unknown.
    std::vector<std::string> FPending;
};

// Whether text can go into a command: no CR, LF or NUL.
bool FtpSafeArgument(const std::string& text);

// The port of a 229 reply "(|||port|)"; none when there is no valid one.
std::optional<uint16_t> ParseEpsvPort(const std::string& text);
// The port of a 227 reply "h1,h2,h3,h4,p1,p2" (the host is not used: data
// goes only to the server of the control connection).
std::optional<uint16_t> ParsePasvPort(const std::string& text);

}  // namespace tunrax
