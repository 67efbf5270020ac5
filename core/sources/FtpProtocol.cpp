#include "sources/FtpProtocol.h"

#include <utility>

#include "io/Error.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

constexpr size_t kSummaryLength = 200;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number of at most max at text[pos]; pos moves past it.
std::optional<unsigned> Number(const std::string& text, size_t& pos, unsigned max) {
    const size_t start = pos;
    unsigned value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < 6) {
        value = value * 10 + static_cast<unsigned>(text[pos] - '0');
        ++pos;
    }
    if (pos == start || pos - start >= 6 || value > max)
        return std::nullopt;
    return value;
}

}  // namespace

std::string TFtpReply::Summary() const {
    std::string line = Text.substr(0, Text.find('\n'));
    if (line.size() > kSummaryLength)
        line = line.substr(0, kSummaryLength) + "…";
    return line;
}

size_t TFtpReplyReader::Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (++FSize > kFtpMaxReply)
            throw Error("Der FTP-Server sendet eine Antwort von mehr als " +
                        AmountText(kFtpMaxReply));
        if (data[i] == '\n') {
            EndOfLine();
            if (FDone)
                return i + 1;
            continue;
        }
        // The CR of a CR LF comes on top of the longest line.
        if (FLine.size() > kFtpMaxLine)
            throw Error("Der FTP-Server sendet eine Antwortzeile von mehr als " +
                        AmountText(kFtpMaxLine));
        FLine += data[i];
    }
    return size;
}

void TFtpReplyReader::EndOfLine() {
    if (!FLine.empty() && FLine.back() == '\r')
        FLine.pop_back();
    const bool coded = FLine.size() >= 3 && IsDigit(FLine[0]) && IsDigit(FLine[1]) &&
                       IsDigit(FLine[2]) &&
                       (FLine.size() == 3 || FLine[3] == ' ' || FLine[3] == '-');
    if (FReply.Code == 0) {
        if (!coded || FLine[0] == '0')
            throw Error("Der FTP-Server sendet keine gültige FTP-Antwort");
        FReply.Code = std::stoi(FLine.substr(0, 3));
        FReply.Text = FLine;
        FMultiLine = FLine.size() > 3 && FLine[3] == '-';
        FDone = !FMultiLine;
    } else {
        FReply.Text += '\n';
        FReply.Text += FLine;
        FDone = coded && (FLine.size() == 3 || FLine[3] == ' ') &&
                FLine.compare(0, 3, FReply.Text, 0, 3) == 0;
    }
    FLine.clear();
}

TFtpReply TFtpReplyReader::Take() {
    TFtpReply reply = std::move(FReply);
    FReply = TFtpReply();
    FLine.clear();
    FSize = 0;
    FMultiLine = false;
    FDone = false;
    return reply;
}

TFtpListReader::TFtpListReader(std::vector<std::string>& names, uint64_t maxBytes)
    : FNames(names), FMaxBytes(maxBytes) {}

void TFtpListReader::Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (++FUsed > FMaxBytes)
            throw Error("Die Liste ist größer als " + AmountText(FMaxBytes));
        const char c = data[i];
        if (c == '\n') {
            const bool crLf = !FLine.empty() && FLine.back() == '\r';
            if (crLf && !FCrLf) {
                FCrLf = true;
                if (!FPending.empty()) {
                    // The lone LFs so far were inside this line's name, which
                    // cannot be sent back: it goes, and nothing else with it.
                    FPending.clear();
                    FLine.clear();
                    continue;
                }
            }
            if (crLf || FCrLf == false) {
                EndOfLine();
                continue;
            }
            if (!FCrLf) {
                // Whether this ends a line or lies inside a name is known at
                // the first CR LF, or at the end of a listing without one.
                Keep(FPending, FLine);
                FLine.clear();
                continue;
            }
            // A lone LF among CR LF lines is part of a name.
        }
        if (FLine.size() > kFtpMaxLine)
            throw Error("Ein Name in der Liste ist länger als " + AmountText(kFtpMaxLine));
        FLine += c;
    }
}

void TFtpListReader::Finish() {
    if (!FCrLf) {
        // No line ended with CR LF: every lone LF ended one.
        FCrLf = false;
        for (std::string& line : FPending)
            if (FtpSafeArgument(line))
                FNames.push_back(std::move(line));  // its bookkeeping counted already
        FPending.clear();
    }
    EndOfLine();
}

void TFtpListReader::Keep(std::vector<std::string>& into, const std::string& line) {
    if (line.empty())
        return;
    FUsed += sizeof(std::string);
    if (FUsed > FMaxBytes)
        throw Error("Die Liste ist größer als " + AmountText(FMaxBytes));
    into.push_back(line);
}

void TFtpListReader::EndOfLine() {
    if (FCrLf.value_or(true) && !FLine.empty() && FLine.back() == '\r')
        FLine.pop_back();
    if (FtpSafeArgument(FLine))
        Keep(FNames, FLine);
    FLine.clear();
}

bool FtpSafeArgument(const std::string& text) {
    return IsListableName(text);
}

std::optional<uint16_t> ParseEpsvPort(const std::string& text) {
    const size_t open = text.find('(');
    if (open == std::string::npos || open + 4 >= text.size())
        return std::nullopt;
    const char delimiter = text[open + 1];
    if (IsDigit(delimiter) || text[open + 2] != delimiter || text[open + 3] != delimiter)
        return std::nullopt;
    size_t pos = open + 4;
    const std::optional<unsigned> port = Number(text, pos, 65535);
    if (!port || *port == 0 || pos + 1 >= text.size() || text[pos] != delimiter ||
        text[pos + 1] != ')')
        return std::nullopt;
    return static_cast<uint16_t>(*port);
}

std::optional<uint16_t> ParsePasvPort(const std::string& text) {
    size_t pos = 3;
    while (pos < text.size() && !IsDigit(text[pos]))
        ++pos;
    unsigned numbers[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',')
                return std::nullopt;
            ++pos;
        }
        const std::optional<unsigned> part = Number(text, pos, 255);
        if (!part)
            return std::nullopt;
        numbers[i] = *part;
    }
    const unsigned port = numbers[4] * 256 + numbers[5];
    if (port == 0)
        return std::nullopt;
    return static_cast<uint16_t>(port);
}

}  // namespace tunrax
