#include "sources/WebSource.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <exception>
#include <functional>
#include <ostream>
#include <string_view>
#include <system_error>
#include <utility>

#include "io/Error.h"
#include "sources/CurlLibrary.h"
#include "sources/HostAddress.h"
#include "sources/TlsTrust.h"
#include "sources/TransferControl.h"
#include "sources/UrlEncode.h"

namespace tunrax {

namespace {

// The message for a secure connection to server that failed other than
// by a refused certificate; never a fall back to plain HTTP.
std::string SecureFailure(const std::string& server, const std::string& detail) {
    if (detail.find("wrong version number") != std::string::npos ||
        detail.find("packet length too long") != std::string::npos)
        return "Der Server \"" + server + "\" antwortet nicht verschlüsselt (kein HTTPS).";
    // Closed in the handshake: a plain server that gave up on what it read.
    if (detail.find("SSL_ERROR_SYSCALL") != std::string::npos ||
        detail.find("unexpected eof") != std::string::npos)
        return "Der Server \"" + server +
               "\" hat die verschlüsselte Verbindung nicht angenommen; spricht er HTTPS?";
    return "Die sichere Verbindung zum Server \"" + server + "\" ist gescheitert" +
           (detail.empty() ? std::string(".") : ": " + detail);
}

// Hands libcurl's TLS context to the check of the source's certificate.
CURLcode WatchTls(CURL*, void* context, void* trust) {
    static_cast<TTlsTrust*>(trust)->Watch(static_cast<SSL_CTX*>(context));
    return CURLE_OK;
}

// Owns one curl easy handle; option failures and failed transfers become
// tunrax::Error with a German message.
class CurlEasy {
public:
    CurlEasy() {
        FHandle = Curl().EasyInit();
        if (!FHandle)
            throw Error("Die HTTP-Verbindung konnte nicht angelegt werden.");
        // What a failed certificate check says, for the message.
        Set(CURLOPT_ERRORBUFFER, static_cast<char*>(FDetail));
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

    // The German message for a failed transfer of name from server. Slow
    // transfers are the watch's to end: curl times out only a connect.
    [[noreturn]] void Fail(CURLcode code, const std::string& server, const std::string& name,
                           const TTlsTrust& trust) const {
        const std::string quoted = "\"" + name + "\"";
        switch (code) {
            case CURLE_COULDNT_RESOLVE_HOST:
                throw Error("Der Server \"" + server + "\" wurde nicht gefunden.");
            case CURLE_COULDNT_CONNECT:
                throw Error("Keine Verbindung zum Server \"" + server + "\" möglich.");
            case CURLE_OPERATION_TIMEDOUT:
                if (!Connected())
                    throw Error("Der Server \"" + server + "\" antwortet nicht.");
                throw Error("Die Übertragung von " + quoted + " ist stehen geblieben.");
            case CURLE_PARTIAL_FILE:
            case CURLE_RECV_ERROR:
            case CURLE_GOT_NOTHING:
            case CURLE_SEND_ERROR:
                throw Error("Die Übertragung von " + quoted + " ist abgebrochen.");
            case CURLE_WRITE_ERROR:
                throw Error("Die Daten von " + quoted + " konnten nicht geschrieben werden.");
            case CURLE_PEER_FAILED_VERIFICATION:
            case CURLE_SSL_CONNECT_ERROR:
            case CURLE_SSL_CERTPROBLEM:
            case CURLE_SSL_CACERT_BADFILE:
                trust.ThrowIfRefused(server, FDetail);
                throw Error(SecureFailure(server, FDetail));
            default:
                throw Error("Fehler bei der Übertragung von " + quoted + ": " +
                            Curl().EasyStrerror(code));
        }
    }

    CURL* Handle() const { return FHandle; }

private:
    CURL* FHandle = nullptr;
    char FDetail[CURL_ERROR_SIZE] = {};
};

// Runs one easy handle through a multi handle of its own, so that the
// transfer waits in slices and the watch gets its turn between them.
class CurlMulti {
public:
    explicit CurlMulti(CurlEasy& easy) : FEasy(easy) {
        FHandle = Curl().MultiInit();
        if (!FHandle)
            throw Error("Die HTTP-Verbindung konnte nicht angelegt werden.");
        const CURLMcode code = Curl().MultiAddHandle(FHandle, FEasy.Handle());
        if (code != CURLM_OK) {
            Curl().MultiCleanup(FHandle);
            Fail(code);
        }
    }
    ~CurlMulti() {
        Curl().MultiRemoveHandle(FHandle, FEasy.Handle());
        Curl().MultiCleanup(FHandle);
    }
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    // The transfer to its end, checking watch at least every kTransferSlice;
    // what the watch throws ends the transfer.
    CURLcode Run(TTransferWatch& watch) {
        for (;;) {
            int running = 0;
            CURLMcode code = Curl().MultiPerform(FHandle, &running);
            if (code != CURLM_OK)
                Fail(code);
            if (running == 0)
                break;
            code = Curl().MultiPoll(FHandle, nullptr, 0, static_cast<int>(kTransferSlice.count()),
                                    nullptr);
            if (code != CURLM_OK)
                Fail(code);
            watch.Check();
        }
        int left = 0;
        while (const CURLMsg* message = Curl().MultiInfoRead(FHandle, &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == FEasy.Handle())
                return message->data.result;
        return CURLE_GOT_NOTHING;
    }

private:
    [[noreturn]] static void Fail(CURLMcode code) {
        throw Error(std::string("Fehler der HTTP-Verbindung: ") + Curl().MultiStrerror(code));
    }

    CurlEasy& FEasy;
    CURLM* FHandle = nullptr;
};

using Sink = std::function<bool(const char* data, size_t size)>;

// A server sends a few hundred bytes of header lines; one that sends them
// without end (fast enough for the pace bound) would hold a download for ever
// on a libcurl without a bound of its own.
constexpr size_t kMaxHeaderBytes = size_t{256} << 10;

struct Receiver {
    CurlEasy* curl;
    TTransferWatch* watch;
    ProgressDisplay* bar;
    const Sink* sink;
    bool badStatus = false;
    bool lengthTooLarge = false;
    size_t headerBytes = 0;
    std::exception_ptr error;
};

// Curl takes a Content-Length beyond its range for "until the connection
// closes", so a body cut short would pass as whole: such a length ends the
// transfer.
size_t ReceiveHeader(char* data, size_t size, size_t count, void* user) {
    auto* receiver = static_cast<Receiver*>(user);
    const size_t bytes = size * count;
    receiver->watch->Moved(bytes);
    receiver->headerBytes += bytes;
    if (receiver->headerBytes > kMaxHeaderBytes)
        return 0;
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
    receiver->watch->Moved(bytes);
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
// messages call the requested thing; bounded: the transfer has a ceiling
// (Pace.ceiling). The handle, and with it the connection, is gone when this
// returns or throws.
void Fetch(const TWebSource& source, const std::string& target, const std::string& name,
           bool bounded, const Sink& sink) {
    TTransferWatch watch("\"" + name + "\"", source.Pace, bounded);
    CurlEasy curl;
    Receiver receiver{&curl, &watch, source.ProgressBar, &sink, false, false, 0, nullptr};
    curl.Set(CURLOPT_URL, source.BaseUrl().c_str());
    // Sent exactly as composed: Root is used as stored, "\" goes raw.
    curl.Set(CURLOPT_REQUEST_TARGET, target.c_str());
    // Only the scheme asked for: an HTTPS source never speaks plain HTTP.
#if LIBCURL_VERSION_NUM >= 0x075500
    curl.Set(CURLOPT_PROTOCOLS_STR, source.Secure ? "https" : "http");
#endif
    TTlsTrust trust(source.TrustedCertificate);
    if (source.Secure) {
        // A certificate the user trusted is checked by its fingerprint alone,
        // in the handshake, before anything is sent; libcurl's own checks
        // would refuse it for its issuer or name.
        curl.Set(CURLOPT_SSL_VERIFYPEER, trust.Pinned() ? 0L : 1L);
        curl.Set(CURLOPT_SSL_VERIFYHOST, trust.Pinned() ? 0L : 2L);
        curl.Set(CURLOPT_SSL_CTX_FUNCTION, &WatchTls);
        curl.Set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(&trust));
        if (!source.TrustedAuthorities.empty())
            curl.Set(CURLOPT_CAINFO, source.TrustedAuthorities.c_str());
    }
    curl.Set(CURLOPT_FOLLOWLOCATION, 0L);
    curl.Set(CURLOPT_PROXY, "");
    curl.Set(CURLOPT_NOSIGNAL, 1L);
    curl.Set(CURLOPT_FORBID_REUSE, 1L);
    curl.Set(CURLOPT_CONNECTTIMEOUT_MS, source.ConnectTimeoutMs);
    curl.Set(CURLOPT_WRITEFUNCTION, &ReceiveBody);
    curl.Set(CURLOPT_WRITEDATA, static_cast<void*>(&receiver));
    curl.Set(CURLOPT_HEADERFUNCTION, &ReceiveHeader);
    curl.Set(CURLOPT_HEADERDATA, static_cast<void*>(&receiver));

    const CURLcode code = CurlMulti(curl).Run(watch);
    if (receiver.error)
        std::rethrow_exception(receiver.error);
    if (receiver.headerBytes > kMaxHeaderBytes)
        throw Error("Der Server schickt für \"" + name + "\" zu viele Kopfzeilen (mehr als " +
                    AmountText(kMaxHeaderBytes) + ").");
    if (receiver.lengthTooLarge)
        throw Error("Der Server meldet für \"" + name + "\" eine unmögliche Länge.");
    const long status = curl.ResponseCode();
    if (status >= 300 && status < 400)
        throw Error("Der Server leitet \"" + name + "\" weiter (Status " + std::to_string(status) +
                    "); Weiterleitungen werden nicht befolgt.");
    if (status >= 400) {
        const std::string message =
            "Der Server meldet Fehler " + std::to_string(status) + " für \"" + name + "\".";
        if (status == 404 || status == 410)
            throw NotFoundError(message);
        throw Error(message);
    }
    if (code != CURLE_OK)
        curl.Fail(code, source.Server, name, trust);
    if (status < 200)
        throw Error("Der Server gibt auf \"" + name + "\" keine gültige Antwort.");
}

// Splits a listing while it arrives, so that one name that never ends is
// refused at its limit rather than when the whole body is in: "<br>" in any
// letter case, CR LF, CR and LF end a line. A "<br>" can be cut by the edge
// of a read, so a begun one is held until it is whole or is none.
class ListingSplitter {
public:
    // what: the listed folder, for the message on a name past maxName bytes.
    ListingSplitter(size_t maxName, std::string what) : FMaxName(maxName), FWhat(std::move(what)) {}

    void Feed(const char* data, size_t size) {
        for (size_t i = 0; i < size; ++i)
            Put(data[i]);
    }

    std::vector<std::string> Finish() {
        ReleaseHeld();
        if (!FLine.empty())
            EndLine();
        return std::move(FLines);
    }

    // The names so far: each takes its bookkeeping besides its bytes.
    size_t Count() const { return FLines.size(); }

private:
    void Put(char c) {
        static constexpr std::string_view kBreak = "<br>";
        if (!FHeld.empty() || c == '<') {
            if (std::tolower(static_cast<unsigned char>(c)) == kBreak[FHeld.size()]) {
                FAfterCR = false;
                FHeld += c;
                if (FHeld.size() == kBreak.size()) {
                    FHeld.clear();
                    EndLine();
                }
                return;
            }
            // No "<br>" after all; a "<" may start the next one.
            ReleaseHeld();
            if (c == '<') {
                FHeld += c;
                return;
            }
        }
        if (c == '\r') {
            EndLine();
            FAfterCR = true;
        } else if (c == '\n') {
            if (!FAfterCR)
                EndLine();
            FAfterCR = false;
        } else {
            FAfterCR = false;
            Append(c);
        }
    }

    void ReleaseHeld() {
        for (char held : FHeld)
            Append(held);
        FHeld.clear();
    }

    void Append(char c) {
        if (FLine.size() >= FMaxName)
            throw Error("Ein Name in der Liste von \"" + FWhat + "\" ist zu lang (mehr als " +
                        AmountText(FMaxName) + ").");
        FLine += c;
    }

    // A name with a zero byte could name no file.
    void EndLine() {
        if (FLine.find('\0') == std::string::npos)
            FLines.push_back(std::move(FLine));
        FLine.clear();
    }

    size_t FMaxName;
    std::string FWhat;
    std::vector<std::string> FLines;
    std::string FLine;
    std::string FHeld;  // the begun "<br>"
    bool FAfterCR = false;
};

std::string Trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), blank);
    auto end = std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), blank);
    return std::string(begin, end.base());
}

}  // namespace

TWebSource::TWebSource(bool alternative, const std::string& serverAddress, const std::string& root)
    : TSource(alternative) {
    // The folder goes into the request line as it is: a line break would end
    // it early and send the rest as header lines.
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; };
    if (std::any_of(root.begin(), root.end(), control)) {
        std::string shown = root;
        std::replace_if(shown.begin(), shown.end(), control, '?');
        throw Error("Das Verzeichnis auf dem Server \"" + shown +
                    "\" enthält ein Steuerzeichen (etwa ein Zeilenende) und wird nicht an den "
                    "Web-Server gesandt.");
    }
    Root = root;
    const std::string address = Trimmed(serverAddress);
    std::string hostPart = address;
    if (const size_t scheme = address.find("://"); scheme != std::string::npos) {
        std::string name = address.substr(0, scheme);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (name != "http" && name != "https")
            throw Error("Die Server Adresse \"" + address +
                        "\" beginnt mit einem unbekannten Protokoll; möglich sind \"http://\" "
                        "und \"https://\".");
        Secure = name == "https";
        hostPart = address.substr(scheme + 3);
        // "https://host/" as a browser shows it: the slash names no folder.
        if (!hostPart.empty() && hostPart.back() == '/')
            hostPart.pop_back();
    }
    const THostAddress parsed = ParseHostAddress(hostPart, Secure ? 443 : 80);
    if (parsed.Fault == TAddressFault::Port)
        throw Error("Ungültige Portnummer in der Server Adresse \"" + address + "\".");
    if (parsed.Fault == TAddressFault::Host)
        throw Error("Ungültige Server Adresse \"" + address + "\".");
    Server = parsed.Host;
    Port = parsed.Port;
}

std::unique_ptr<TSource> TWebSource::CloneForBackground() const {
    auto clone = std::unique_ptr<TWebSource>(new TWebSource(*this));
    clone->ProgressBar = nullptr;
    return clone;
}

std::string TWebSource::BaseUrl() const {
    const bool v6 = Server.find(':') != std::string::npos;
    return (Secure ? "https://" : "http://") + (v6 ? "[" + Server + "]" : Server) + ":" +
           std::to_string(Port) + "/";
}

std::string TWebSource::ListTarget(const std::string& folder) const {
    return Root + "tunrax.php?verzeichnis=" + UrlEncode(folder);
}

std::string TWebSource::FileTarget(const std::string& path) const {
    return Root + "tunrax.php?datei=" + UrlEncode(path);
}

void TWebSource::GetFile(std::ostream& dest, const std::string& path) {
    TShownProgress shown(ProgressBar);
    Fetch(*this, FileTarget(path), path, false, [&dest](const char* data, size_t size) {
        dest.write(data, static_cast<std::streamsize>(size));
        return static_cast<bool>(dest);
    });
}

void TWebSource::ListFiles(std::vector<std::string>& list, const std::string& folder) {
    ListingSplitter splitter(MaxNameBytes, folder);
    size_t received = 0;
    const auto tooLarge = [&] {
        return Error("Die Liste von \"" + folder + "\" ist zu groß (mehr als " +
                     AmountText(MaxListingBytes) + ").");
    };
    Fetch(*this, ListTarget(folder), folder, true, [&](const char* data, size_t size) {
        received += size;
        if (received > MaxListingBytes)
            throw tooLarge();
        splitter.Feed(data, size);
        // Counted as the memory it takes: a listing of bare line breaks is
        // millions of names of nothing, each costing its bookkeeping.
        if (received + splitter.Count() * sizeof(std::string) > MaxListingBytes)
            throw tooLarge();
        return true;
    });
    list = splitter.Finish();
}

std::vector<std::string> SplitListing(const std::string& body) {
    ListingSplitter splitter(std::string::npos, std::string());
    splitter.Feed(body.data(), body.size());
    return splitter.Finish();
}

}  // namespace tunrax
