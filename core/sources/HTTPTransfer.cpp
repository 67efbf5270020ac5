#include "sources/HTTPTransfer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <exception>
#include <functional>
#include <ostream>
#include <string_view>
#include <system_error>

#include "io/Error.h"
#include "settings/Vel_ini.h"
#include "sources/CurlLibrary.h"
#include "sources/HostAddress.h"
#include "sources/php_tools.h"

namespace tunrax {

namespace {

// Owns one curl easy handle; option failures and failed transfers become
// tunrax::Error with a German message.
class CurlEasy {
public:
    CurlEasy() {
        FHandle = Curl().EasyInit();
        if (!FHandle)
            throw Error("Die HTTP-Verbindung konnte nicht angelegt werden.");
    }
    ~CurlEasy() { Curl().EasyCleanup(FHandle); }
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    template <typename T>
    void Set(CURLoption option, T value) {
        CURLcode code = Curl().EasySetopt(FHandle, option, value);
        if (code != CURLE_OK)
            throw Error(std::string("Die HTTP-Verbindung konnte nicht eingerichtet werden: ") +
                        Curl().EasyStrerror(code));
    }

    CURLcode Perform() { return Curl().EasyPerform(FHandle); }

    long ResponseCode() const {
        long status = 0;
        Curl().EasyGetinfo(FHandle, CURLINFO_RESPONSE_CODE, &status);
        return status;
    }

    bool Connected() const {
        curl_off_t connectTime = 0;
        Curl().EasyGetinfo(FHandle, CURLINFO_CONNECT_TIME_T, &connectTime);
        return connectTime > 0;
    }

    // The German message for a failed transfer of name from server.
    [[noreturn]] void Fail(CURLcode code, const std::string& server, const std::string& name,
                           long stallSeconds) const {
        const std::string quoted = "\"" + name + "\"";
        switch (code) {
            case CURLE_COULDNT_RESOLVE_HOST:
                throw Error("Der Server \"" + server + "\" wurde nicht gefunden.");
            case CURLE_COULDNT_CONNECT:
                throw Error("Keine Verbindung zum Server \"" + server + "\" möglich.");
            case CURLE_OPERATION_TIMEDOUT:
                if (!Connected())
                    throw Error("Der Server \"" + server + "\" antwortet nicht.");
                throw Error("Die Übertragung von " + quoted + " ist stehen geblieben (" +
                            std::to_string(stallSeconds) + " s ohne Daten).");
            case CURLE_PARTIAL_FILE:
            case CURLE_RECV_ERROR:
            case CURLE_GOT_NOTHING:
            case CURLE_SEND_ERROR:
                throw Error("Die Übertragung von " + quoted + " ist abgebrochen.");
            case CURLE_WRITE_ERROR:
                throw Error("Die Daten von " + quoted + " konnten nicht geschrieben werden.");
            default:
                throw Error("Fehler bei der Übertragung von " + quoted + ": " +
                            Curl().EasyStrerror(code));
        }
    }

    CURL* Handle() const { return FHandle; }

private:
    CURL* FHandle = nullptr;
};

using Sink = std::function<bool(const char* data, size_t size)>;

struct Receiver {
    CurlEasy* curl;
    ProgressDisplay* bar;
    const Sink* sink;
    bool badStatus = false;
    bool lengthTooLarge = false;
    std::exception_ptr error;
};

// Curl takes a Content-Length beyond its range for "until the connection
// closes", so a body cut short would pass as whole: such a length ends the
// transfer.
size_t ReceiveHeader(char* data, size_t size, size_t count, void* user) {
    auto* receiver = static_cast<Receiver*>(user);
    const size_t bytes = size * count;
    const std::string_view line(data, bytes);
    constexpr std::string_view kName = "content-length:";
    if (line.size() <= kName.size() ||
        !std::equal(kName.begin(), kName.end(), line.begin(), [](char want, char got) {
            return want == std::tolower(static_cast<unsigned char>(got));
        }))
        return bytes;
    size_t at = kName.size();
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    int64_t length = 0;
    if (std::from_chars(line.data() + at, line.data() + line.size(), length).ec ==
        std::errc::result_out_of_range) {
        receiver->lengthTooLarge = true;
        return 0;
    }
    return bytes;
}

size_t ReceiveBody(char* data, size_t size, size_t count, void* user) {
    auto* receiver = static_cast<Receiver*>(user);
    const size_t bytes = size * count;
    // The body of an error or redirect answer is not the file: nothing of it
    // reaches the caller.
    const long status = receiver->curl->ResponseCode();
    if (status < 200 || status >= 300) {
        receiver->badStatus = true;
        return 0;
    }
    try {
        if (receiver->bar)
            receiver->bar->StepIt();
        if (!(*receiver->sink)(data, bytes))
            return 0;
    } catch (...) {
        receiver->error = std::current_exception();
        return 0;
    }
    return bytes;
}

// Sends one GET of target and hands the body to sink; name is what error
// messages call the requested thing. The handle, and with it the connection,
// is gone when this returns or throws.
void Fetch(const THTTPTransfer& source, const std::string& target, const std::string& name,
           const Sink& sink) {
    CurlEasy curl;
    Receiver receiver{&curl, source.ProgressBar, &sink, false, false, nullptr};
    curl.Set(CURLOPT_URL, source.BaseUrl().c_str());
    // Sent exactly as composed: Root is used as stored, "\" goes raw.
    curl.Set(CURLOPT_REQUEST_TARGET, target.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl.Set(CURLOPT_PROTOCOLS_STR, "http");
#endif
    curl.Set(CURLOPT_FOLLOWLOCATION, 0L);
    curl.Set(CURLOPT_PROXY, "");
    curl.Set(CURLOPT_NOSIGNAL, 1L);
    curl.Set(CURLOPT_FORBID_REUSE, 1L);
    curl.Set(CURLOPT_CONNECTTIMEOUT_MS, source.ConnectTimeoutMs);
    curl.Set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl.Set(CURLOPT_LOW_SPEED_TIME, source.StallSeconds);
    curl.Set(CURLOPT_WRITEFUNCTION, &ReceiveBody);
    curl.Set(CURLOPT_WRITEDATA, static_cast<void*>(&receiver));
    curl.Set(CURLOPT_HEADERFUNCTION, &ReceiveHeader);
    curl.Set(CURLOPT_HEADERDATA, static_cast<void*>(&receiver));

    const CURLcode code = curl.Perform();
    if (receiver.error)
        std::rethrow_exception(receiver.error);
    if (receiver.lengthTooLarge)
        throw Error("Der Server meldet für \"" + name + "\" eine unmögliche Länge.");
    const long status = curl.ResponseCode();
    if (status >= 300 && status < 400)
        throw Error("Der Server leitet \"" + name + "\" weiter (Status " + std::to_string(status) +
                    "); Weiterleitungen werden nicht befolgt.");
    if (status >= 400)
        throw Error("Der Server meldet Fehler " + std::to_string(status) + " für \"" + name +
                    "\".");
    if (code != CURLE_OK)
        curl.Fail(code, source.Server, name, source.StallSeconds);
    if (status < 200)
        throw Error("Der Server gibt auf \"" + name + "\" keine gültige Antwort.");
}

std::string Trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), blank);
    auto end = std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), blank);
    return std::string(begin, end.base());
}

}  // namespace

THTTPTransfer::THTTPTransfer(bool alternative, TVelIniFile& settings)
    : TCustomTransfer(alternative) {
    Root = settings.ReadString("Einstellungen", "Root Server", "/mp3/");
    const std::string address =
        Trimmed(settings.ReadString("Einstellungen", "Server Adresse", "localhost"));
    const THostAddress parsed = ParseHostAddress(address, 80);
    if (parsed.Fault == TAddressFault::Port)
        throw Error("Ungültige Portnummer in der Server Adresse \"" + address + "\".");
    if (parsed.Fault == TAddressFault::Host)
        throw Error("Ungültige Server Adresse \"" + address + "\".");
    Server = parsed.Host;
    Port = parsed.Port;
}

std::string THTTPTransfer::BaseUrl() const {
    const bool v6 = Server.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + Server + "]" : Server) + ":" + std::to_string(Port) + "/";
}

std::string THTTPTransfer::ListTarget(const std::string& folder) const {
    return Root + "tunrax.php?verzeichnis=" + UrlEncode(folder);
}

std::string THTTPTransfer::FileTarget(const std::string& path) const {
    return Root + "tunrax.php?datei=" + UrlEncode(path);
}

void THTTPTransfer::GetFile(std::ostream& dest, const std::string& path) {
    TShownProgress shown(ProgressBar);
    Fetch(*this, FileTarget(path), path, [&dest](const char* data, size_t size) {
        dest.write(data, static_cast<std::streamsize>(size));
        return static_cast<bool>(dest);
    });
}

void THTTPTransfer::ListFiles(std::vector<std::string>& list, const std::string& folder) {
    std::string body;
    Fetch(*this, ListTarget(folder), folder, [&body](const char* data, size_t size) {
        body.append(data, size);
        return true;
    });
    list = SplitListing(body);
}

std::vector<std::string> SplitListing(const std::string& body) {
    std::string text;
    text.reserve(body.size());
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '<' && i + 3 < body.size() &&
            std::tolower(static_cast<unsigned char>(body[i + 1])) == 'b' &&
            std::tolower(static_cast<unsigned char>(body[i + 2])) == 'r' && body[i + 3] == '>') {
            text += "\r\n";
            i += 3;
        } else {
            text += body[i];
        }
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

}  // namespace tunrax
