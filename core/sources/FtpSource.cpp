#include "sources/FtpSource.h"

#include <Poco/Exception.h>
#include <Poco/Net/IPAddress.h>
#include <Poco/Net/SocketAddress.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>
#include <type_traits>
#include <utility>

#include "io/Error.h"
#include "settings/DisplayText.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "sources/FtpSocket.h"
#include "sources/HostAddress.h"
#include "sources/HostLookup.h"
#include "sources/TlsTrust.h"

namespace tunrax {

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBlock = 1 << 16;

// Host and port of the "FTP Adresse" setting; port 21 when none is given.
THostAddress SplitHost(const std::string& text) {
    const THostAddress parsed = ParseHostAddress(text, 21);
    if (parsed.Fault == TAddressFault::Port)
        throw Error("Ungültige FTP-Adresse \"" + text + "\": der Port muss eine Zahl sein");
    if (parsed.Fault == TAddressFault::Host)
        throw Error("Ungültige FTP-Adresse \"" + text + "\"");
    return parsed;
}

// A listed name that can stand for an entry of the folder itself.
bool UsableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

bool EndsInThreeAfterDot(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot != std::string::npos && dot + 1 < name.size() && name.back() == '3';
}

bool IsMp3(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".mp3";
}

// An error whose message says all there is to say.
class CompleteError : public Error {
public:
    using Error::Error;
};

// A line break in an argument would end the command early and let the rest
// of the name go to the server as a command of its own.
void RequireSafe(const std::string& name) {
    if (FtpSafeArgument(name))
        return;
    std::string shown = name;
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; },
        '?');
    throw CompleteError("Der Name \"" + shown +
                        "\" enthält ein Zeilenende oder ein NUL-Zeichen und wird nicht an den "
                        "FTP-Server gesandt");
}

using ftp::FtpSocket;
using ftp::LostConnection;
using ftp::NoAnswer;
using ftp::Refusal;
using ftp::TlsRefused;

// What a connection needs for TLS; no TLS when Secure is false.
struct TFtpTls {
    bool Secure = false;
    std::string Authorities;
    std::string Pinned;
};

struct TContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

}  // namespace

// One logged-in connection. Errors leave as tunrax::Error, a cancel as
// TransferCancelled; after a broken connection, a time-out or a cancel
// nothing more is sent, so that closing cannot wait a second time.
class FtpConnection {
public:
    FtpConnection(const std::string& address, const std::string& user, const std::string& password,
                  std::chrono::milliseconds timeout, const TPaceLimits& pace, uint64_t maxListing,
                  ProgressDisplay* progress, const TFtpTls& tls)
        : FAddress(address),
          FTimeout(timeout),
          FPace(pace),
          FMaxListing(maxListing),
          FProgress(progress),
          FTrust(tls.Pinned) {
        const THostAddress host = SplitHost(address);
        FHost = host.Host;
        // Each reply has a window of its own; the way in as a whole has a
        // bound too, or a server could greet for ever.
        const TTransferDeadline loggingIn(FPace.login, "Die Anmeldung am FTP-Server \"" + address +
                                                           "\" dauert zu lange (mehr als " +
                                                           SecondsText(FPace.login) + ").");
        Guarded("Keine Verbindung zum FTP-Server \"" + address + "\"", [&] {
            TTransferWatch watch(ControlWhat(), FPace);
            FControl.Connect(LookUpHost(host.Host, host.Port, watch, FTimeout), watch, FTimeout);
            TFtpReply greeting = Reply(watch);
            // "120 ready in a minute" comes before the real greeting.
            while (greeting.Code / 100 == 1)
                greeting = Reply(watch);
            if (greeting.Code / 100 != 2)
                throw Refusal{greeting};
        });
        if (tls.Secure)
            StartTls(tls.Authorities);
        Guarded("Anmeldung am FTP-Server \"" + address + "\" gescheitert", [&] {
            TTransferWatch watch(ControlWhat(), FPace);
            TFtpReply reply = Command("USER", user, watch);
            if (reply.Code == 331)
                reply = Command("PASS", password, watch);
            if (reply.Code / 100 != 2)
                throw CompleteError("Der FTP-Server \"" + address +
                                    "\" lehnt die Anmeldung als \"" + user +
                                    "\" ab: " + reply.Summary());
            reply = Command("TYPE", "I", watch);
            if (reply.Code / 100 != 2)
                throw Refusal{reply};
        });
        if (tls.Secure)
            ProtectData();
    }

    ~FtpConnection() {
        if (FBroken)
            return;
        try {
            TTransferWatch watch(ControlWhat(), FPace);
            Command("QUIT", "", watch);
        } catch (...) {
            // Nothing depends on a goodbye.
        }
    }

    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    void SetProgress(ProgressDisplay* progress) { FProgress = progress; }
    bool Broken() const { return FBroken; }

    void ChangeFolder(const std::string& path) {
        Guarded("FTP-Ordner \"" + path + "\" kann nicht geöffnet werden", [&] {
            TTransferWatch watch(ControlWhat(), FPace);
            const TFtpReply reply = Command("CWD", path, watch);
            if (reply.Code / 100 != 2)
                throw Refusal{reply};
        });
    }

    // Names of NLST [argument] in folder; false when the server refuses the
    // listing.
    bool List(const std::string& folder, const std::string& argument,
              std::vector<std::string>& names) {
        names.clear();
        const std::string what = "dem Inhalt des FTP-Ordners \"" + folder + "\"";
        return Guarded("Der Inhalt des FTP-Ordners \"" + folder + "\" kann nicht gelesen werden",
                       [&] {
                           TTransferWatch watch(what, FPace, true);
                           FtpSocket data;
                           try {
                               data = OpenData("NLST", argument, watch);
                           } catch (const Refusal&) {
                               return false;
                           }
                           TFtpListReader reader(names, FMaxListing);
                           std::vector<char> buffer(kBlock);
                           while (const size_t got =
                                      data.Receive(buffer.data(), buffer.size(), watch, FTimeout))
                               reader.Feed(buffer.data(), got);
                           reader.Finish();
                           data.Finish(watch, FTimeout);
                           if (Reply(watch).Code / 100 != 2) {
                               names.clear();
                               return false;
                           }
                           return true;
                       });
    }

    // The server's size of a file; -1 when it reports none.
    int64_t Size(const std::string& name) {
        const TFtpReply reply =
            Guarded("Die Größe von \"" + name + "\" kann nicht erfragt werden", [&] {
                TTransferWatch watch(ControlWhat(), FPace);
                return Command("SIZE", name, watch);
            });
        const std::string line = reply.Text.substr(0, reply.Text.find('\n'));
        if (reply.Code != 213 || line.size() < 5 || line[4] < '0' || line[4] > '9')
            return -1;
        int64_t size = 0;
        if (std::from_chars(line.data() + 4, line.data() + line.size(), size).ec ==
            std::errc::result_out_of_range)
            throw Error("Der FTP-Server meldet für \"" + name + "\" eine unmögliche Größe");
        return size;
    }

    // The whole file into dest, or an error; expected < 0 when unknown.
    void Download(const std::string& name, std::ostream& dest, int64_t expected) {
        const std::string what = "Datei \"" + name + "\" kann nicht vom FTP-Server geladen werden";
        int64_t received = 0;
        Guarded(what, [&] {
            TTransferWatch watch("\"" + name + "\"", FPace);
            FtpSocket data = OpenData("RETR", name, watch);
            std::vector<char> buffer(kBlock);
            while (const size_t got = data.Receive(buffer.data(), buffer.size(), watch, FTimeout)) {
                dest.write(buffer.data(), static_cast<std::streamsize>(got));
                if (!dest) {
                    FBroken = true;
                    throw CompleteError(what +
                                        ": Das Ziel nimmt keine Daten mehr an (Datenträger voll?)");
                }
                received += static_cast<int64_t>(got);
                if (FProgress)
                    FProgress->SetPosition(received);
            }
            data.Finish(watch, FTimeout);
            EndOfData(watch);
        });
        if (expected >= 0 && received != expected) {
            throw Error(what + ": nur " + std::to_string(received) + " von " +
                        std::to_string(expected) + " Bytes empfangen");
        }
    }

    void Upload(std::istream& src, const std::string& name) {
        const std::string what =
            "Datei \"" + name + "\" kann nicht auf den FTP-Server geschrieben werden";
        Guarded(what, [&] {
            TTransferWatch watch("\"" + name + "\"", FPace);
            FtpSocket data = OpenData("STOR", name, watch);
            std::vector<char> buffer(kBlock);
            int64_t sent = 0;
            while (src) {
                src.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                const std::streamsize got = src.gcount();
                if (got <= 0)
                    break;
                data.Send(buffer.data(), static_cast<size_t>(got), watch, FTimeout);
                sent += got;
                if (FProgress)
                    FProgress->SetPosition(sent);
            }
            if (src.bad()) {
                FBroken = true;
                throw CompleteError(what + ": Die Quelle kann nicht gelesen werden");
            }
            // Closing (with TLS: its goodbye) tells the server that the file
            // is whole.
            data.Finish(watch, FTimeout);
            EndOfData(watch);
        });
    }

private:
    // AUTH TLS and the handshake on the control connection. Nothing else is
    // sent before the handshake: a server that says no gets no log-in in
    // clear text.
    void StartTls(const std::string& authorities) {
        Guarded("Keine sichere Verbindung zum FTP-Server \"" + FAddress + "\"", [&] {
            FContext.reset(SSL_CTX_new(TLS_client_method()));
            if (!FContext)
                throw LostConnection{"OpenSSL steht nicht zur Verfügung"};
            SSL_CTX_set_min_proto_version(FContext.get(), TLS1_2_VERSION);
            TTlsTrust::LoadAuthorities(FContext.get(), authorities);
            FTrust.Watch(FContext.get());
            TTransferWatch watch(ControlWhat(), FPace);
            const TFtpReply reply = Command("AUTH", "TLS", watch);
            if (reply.Code != 234)
                throw CompleteError(
                    "Der FTP-Server \"" + FAddress +
                    "\" bietet keine verschlüsselte Verbindung (TLS) an: " + reply.Summary());
            // Bytes sent after the 234 but before the handshake came in
            // clear text; taken as a reply they would be anyone's words.
            if (!FPending.empty())
                throw LostConnection{"Der FTP-Server sendet nach AUTH TLS unverschlüsselte Daten"};
            FControl.StartTls(NewTls(), watch, FTimeout);
        });
    }

    // PBSZ 0 and PROT P: the data connections are TLS too, or none is made.
    void ProtectData() {
        Guarded("Keine sichere Verbindung zum FTP-Server \"" + FAddress + "\"", [&] {
            TTransferWatch watch(ControlWhat(), FPace);
            TFtpReply reply = Command("PBSZ", "0", watch);
            if (reply.Code / 100 == 2)
                reply = Command("PROT", "P", watch);
            if (reply.Code / 100 != 2)
                throw CompleteError(
                    "Der FTP-Server \"" + FAddress +
                    "\" verschlüsselt die Datenverbindungen nicht: " + reply.Summary());
        });
    }

    // A TLS connection of our context that checks the server's name (and
    // names it, for servers with several).
    SSL* NewTls() {
        SSL* tls = SSL_new(FContext.get());
        if (!tls)
            throw LostConnection{"OpenSSL steht nicht zur Verfügung"};
        FTrust.ExpectName(tls, FHost);
        Poco::Net::IPAddress ignored;
        if (!Poco::Net::IPAddress::tryParse(FHost, ignored))
            SSL_set_tlsext_host_name(tls, FHost.c_str());
        return tls;
    }

    // Data connections go on the control connection's TLS session: servers
    // take that as proof that the data comes from the one who logged in.
    // Its session tickets have arrived by now, with the first reply read
    // after the handshake.
    SSL* NewDataTls() {
        SSL* tls = NewTls();
        if (SSL_SESSION* session = SSL_get1_session(FControl.Tls())) {
            SSL_set_session(tls, session);
            SSL_SESSION_free(session);
        }
        return tls;
    }

    std::string ControlWhat() const { return "den Antworten des FTP-Servers \"" + FAddress + "\""; }

    // Runs body; its failure leaves as an error that starts with what.
    template <typename Body>
    std::invoke_result_t<Body> Guarded(const std::string& what, Body&& body) {
        if (FCancelled)
            throw TransferCancelled();
        if (FBroken)
            throw Error(what + ": Die Verbindung zum FTP-Server ist unterbrochen");
        try {
            return body();
        } catch (...) {
            Fail(what);
        }
    }

    // Called inside a catch block: the pending exception as a German error.
    [[noreturn]] void Fail(const std::string& what) {
        try {
            throw;
        } catch (const TransferCancelled&) {
            FBroken = FCancelled = true;
            throw;
        } catch (const CompleteError&) {
            throw;
        } catch (const Refusal& refusal) {
            // 550: no such file or folder (or none that may be used).
            if (refusal.Reply.Code == 550)
                throw NotFoundError(what + ": " + refusal.Reply.Summary());
            throw Error(what + ": " + refusal.Reply.Summary());
        } catch (const TLookupTimedOut&) {
            FBroken = true;
            throw Error(what + ": Der Name \"" + FAddress + "\" wurde nicht innerhalb von " +
                        std::to_string((FTimeout.count() + 999) / 1000) + " s aufgelöst");
        } catch (const NoAnswer&) {
            FBroken = true;
            throw Error(what + ": Der FTP-Server \"" + FAddress + "\" antwortet nicht (" +
                        std::to_string((FTimeout.count() + 999) / 1000) + " s gewartet)");
        } catch (const LostConnection& lost) {
            FBroken = true;
            throw Error(what + ": " + lost.Text);
        } catch (const TlsRefused& refused) {
            FBroken = true;
            FTrust.ThrowIfRefused(FHost, refused.Detail);
            throw Error(what + ": Der TLS-Handshake ist gescheitert (" + refused.Detail + ")");
        } catch (const Poco::Exception& e) {
            FBroken = true;
            throw Error(what + ": " + e.displayText());
        } catch (const std::exception& e) {
            // Too slow, too long, too large or no FTP at all.
            FBroken = true;
            throw Error(what + ": " + e.what());
        }
    }

    TFtpReply Command(const std::string& command, const std::string& argument,
                      TTransferWatch& watch) {
        std::string line = command;
        if (!argument.empty()) {
            RequireSafe(argument);
            line += ' ' + argument;
        }
        line += "\r\n";
        // A reply has a window of its own: a server may think before it answers.
        watch.Restart();
        FControl.Send(line.data(), line.size(), watch, FTimeout);
        return Reply(watch);
    }

    TFtpReply Reply(TTransferWatch& watch) {
        for (;;) {
            if (!FPending.empty()) {
                FPending.erase(0, FReader.Feed(FPending.data(), FPending.size()));
                if (FReader.Done())
                    return FReader.Take();
            }
            char buffer[4096];
            const size_t got = FControl.Receive(buffer, sizeof buffer, watch, FTimeout);
            if (got == 0)
                throw LostConnection{"Der FTP-Server hat die Verbindung beendet"};
            FPending.assign(buffer, got);
        }
    }

    // A passive data connection for command, to the server we talk to (a
    // reply naming another host could send our uploads elsewhere); a Refusal
    // when the server says no.
    FtpSocket OpenData(const std::string& command, const std::string& argument,
                       TTransferWatch& watch) {
        RequireSafe(argument);
        std::optional<uint16_t> port;
        if (!FNoEpsv) {
            const TFtpReply reply = Command("EPSV", "", watch);
            if (reply.Code / 100 == 2) {
                port = ParseEpsvPort(reply.Text);
                if (!port)
                    throw LostConnection{"Unverständliche Antwort auf EPSV: " + reply.Summary()};
            } else {
                FNoEpsv = true;
            }
        }
        if (!port) {
            const TFtpReply reply = Command("PASV", "", watch);
            if (reply.Code / 100 != 2)
                throw Refusal{reply};
            port = ParsePasvPort(reply.Text);
            if (!port)
                throw LostConnection{"Unverständliche Antwort auf PASV: " + reply.Summary()};
        }
        FtpSocket data;
        data.Connect(Poco::Net::SocketAddress(FControl.Peer().host(), *port), watch, FTimeout);
        const TFtpReply reply = Command(command, argument, watch);
        if (reply.Code / 100 != 1)
            throw Refusal{reply};
        // The server starts TLS once it has said yes to the command.
        if (FControl.Tls())
            data.StartTls(NewDataTls(), watch, FTimeout);
        return data;
    }

    // The server's word after the data connection closed.
    void EndOfData(TTransferWatch& watch) {
        const TFtpReply reply = Reply(watch);
        if (reply.Code / 100 != 2)
            throw Refusal{reply};
    }

    std::string FAddress;
    std::chrono::milliseconds FTimeout;
    TPaceLimits FPace;
    uint64_t FMaxListing;
    ProgressDisplay* FProgress;
    std::string FHost;
    // The context lives as long as the connections made of it.
    TTlsTrust FTrust;
    std::unique_ptr<SSL_CTX, TContextFree> FContext;
    FtpSocket FControl;
    TFtpReplyReader FReader;
    // Bytes of the control connection that belong to the next reply.
    std::string FPending;
    bool FNoEpsv = false;
    bool FBroken = false;
    bool FCancelled = false;
};

namespace {

class FtpScan : public TScanContext {
public:
    explicit FtpScan(std::unique_ptr<FtpConnection> connection)
        : Connection(std::move(connection)) {}
    std::unique_ptr<FtpConnection> Connection;
};

}  // namespace

TFtpSource::TFtpSource(bool alternative, const std::string& host, const std::string& user,
                       const std::string& password, const std::string& root, bool utf8Names,
                       std::chrono::milliseconds timeout, const TPaceLimits& pace)
    : TSource(alternative) {
    Host = host;
    User = user;
    Password = password;
    Root = root;
    Utf8Names = utf8Names;
    Timeout = timeout;
    Pace = pace;
    SplitHost(Host);  // an address that is none is refused now
}

TFtpSource::~TFtpSource() = default;

std::unique_ptr<TSource> TFtpSource::CloneForBackground() const {
    auto clone = std::unique_ptr<TFtpSource>(new TFtpSource(*this));
    clone->ProgressBar = nullptr;
    return clone;
}

std::unique_ptr<FtpConnection> TFtpSource::NewClient(bool withProgress) const {
    return std::make_unique<FtpConnection>(Host, User, Password, Timeout, Pace, MaxListing,
                                           withProgress ? ProgressBar : nullptr,
                                           TFtpTls{Secure, TrustedAuthorities, TrustedCertificate});
}

void TFtpSource::Connect() {
    auto client = NewClient(false);
    // The marker names go to the server as they are.
    if (client->Size(NormalizePath(Root + "tunrax.copy")) == 0)
        Capabilities |= CanCopy;
    std::string empty;
    std::istringstream nothing(empty);
    try {
        client->Upload(nothing, NormalizePath(Root + "tunrax.ro"));
        Capabilities |= CanRebuild | CanStoreCatalogue;
    } catch (const Error&) {
        // A refused upload makes the source read-only; a server that stops
        // answering or drops the connection is an error, and so is a cancel.
        if (client->Broken())
            throw;
    }
}

void TFtpSource::GetFile(std::ostream& dest, const std::string& path) {
    const std::string name = ToServerName(NormalizePath(Root + path));
    RequireSafe(name);
    auto client = NewClient(true);
    TShownProgress shown(ProgressBar, 100);
    int64_t size = client->Size(name);
    if (ProgressBar)
        ProgressBar->SetMaximum(std::max<int64_t>(size, 100));
    client->Download(name, dest, size);
}

void TFtpSource::PutFile(std::istream& src, const std::string& path) {
    const std::string name = NormalizePath(Root + path);
    RequireSafe(name);
    const int64_t size = RewindForPut(
        src, "Datei \"" + name + "\" kann nicht auf den FTP-Server geschrieben werden: ");
    auto client = NewClient(true);
    TShownProgress shown(ProgressBar, size);
    client->Upload(src, name);
}

void TFtpSource::ListFiles(std::vector<std::string>& list, const std::string& folder) {
    const std::string path = ToServerName(NormalizePath(Root + folder));
    RequireSafe(path);
    std::vector<std::string> names;
    {
        auto client = NewClient(false);
        client->ChangeFolder(path);
        // Servers that do not expand the pattern list everything instead.
        if (!client->List(path, "*.*3", names))
            client->List(path, "", names);
    }
    for (const std::string& name : names)
        if (UsableName(name) && EndsInThreeAfterDot(name))
            list.push_back(FromServerName(name));
}

void TFtpSource::ListFolders(std::vector<std::string>& list, const std::string& folder,
                             TScanContext* scan) {
    list.clear();
    const std::string path = ToServerName(NormalizePath(Root + folder));
    RequireSafe(path);
    std::unique_ptr<FtpConnection> own;
    FtpConnection* client = nullptr;
    if (auto* ftpScan = dynamic_cast<FtpScan*>(scan)) {
        client = ftpScan->Connection.get();
        client->SetProgress(nullptr);
    } else {
        own = NewClient(false);
        client = own.get();
    }
    client->ChangeFolder(path);
    std::vector<std::string> names;
    if (!client->List(path, "", names))
        return;
    std::vector<std::string> folders;
    for (const std::string& name : names) {
        if (!UsableName(name) || IsMp3(name))
            continue;
        // A folder is what the server reports no size for.
        if (client->Size(name) < 0)
            folders.push_back(name);
    }
    for (const std::string& name : folders)
        list.push_back(FromServerName(name));
}

int64_t TFtpSource::GetSizeKB(const std::vector<std::string>& files) {
    auto client = NewClient(false);
    int64_t sum = 0;
    for (const std::string& file : files) {
        const int64_t kiloBytes = client->Size(ToServerName(NormalizePath(Root + file))) / 1024 + 1;
        // Sizes from the server can add up beyond any number.
        sum = kiloBytes > INT64_MAX - sum ? INT64_MAX : sum + kiloBytes;
    }
    return sum;
}

std::unique_ptr<TScanContext> TFtpSource::BeginScan() {
    return std::make_unique<FtpScan>(NewClient(false));
}

std::string TFtpSource::ToServerName(const std::string& name) const {
    if (!Utf8Names || IsValidUtf8(name))
        return name;
    return Cp1252ToUtf8(name);
}

std::string TFtpSource::FromServerName(const std::string& name) const {
    if (!Utf8Names || !IsValidUtf8(name))
        return name;
    const std::optional<std::string> bytes = Utf8ToCp1252(name);
    // A result that reads as UTF-8 would not come back to the same name.
    return bytes && !IsValidUtf8(*bytes) ? *bytes : name;
}

}  // namespace tunrax
