#include "sources/FTPTransfer.h"

#include <Poco/Exception.h>
#include <Poco/Net/DialogSocket.h>
#include <Poco/Net/FTPClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/SocketStream.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Net/StreamSocketImpl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>

#include "io/Error.h"
#include "settings/Vel_ini.h"
#include "settings/vel_text.h"
#include "settings/vel_tools.h"
#include "sources/HostAddress.h"

namespace tunrax {

namespace {

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

// Poco's session opens the data connection to whatever host a PASV reply
// names, so a hostile server could send our uploads elsewhere. Only the port
// of the reply is used; the host is always the one we are talking to.
class PeerOnlySession : public Poco::Net::FTPClientSession {
public:
    explicit PeerOnlySession(const Poco::Net::StreamSocket& control)
        : Poco::Net::FTPClientSession(control, false) {}

protected:
    Poco::Net::StreamSocket establishDataConnection(const std::string& command,
                                                    const std::string& argument) override {
        const Poco::Net::SocketAddress offered = sendPassiveCommand();
        const Poco::Net::SocketAddress peer(_pControlSocket->peerAddress().host(), offered.port());
        Poco::Net::StreamSocket data;
        data.connect(peer, getTimeout());
        data.setReceiveTimeout(getTimeout());
        data.setSendTimeout(getTimeout());
        std::string response;
        const int status = sendCommand(command, argument, response);
        if (!isPositivePreliminary(status))
            throw Poco::Net::FTPException(command + " command failed", response, status);
        return data;
    }
};

}  // namespace

// One logged-in connection. Errors leave as tunrax::Error; after a broken
// connection or a time-out nothing more is sent, so that closing cannot wait
// a second time.
class FtpConnection {
public:
    FtpConnection(const std::string& address, const std::string& user, const std::string& password,
                  std::chrono::milliseconds timeout, ProgressDisplay* progress)
        : FAddress(address), FTimeout(timeout), FProgress(progress) {
        const THostAddress host = SplitHost(address);
        Poco::Timespan span(static_cast<Poco::Timespan::TimeDiff>(timeout.count()) * 1000);
        try {
            FSocket.connect(Poco::Net::SocketAddress(host.Host, host.Port), span);
            FSocket.setReceiveTimeout(span);
            FSocket.setSendTimeout(span);
            // The greeting is read here, within our time-out; Poco's session
            // would wait for it with its own default.
            Poco::Net::DialogSocket dialog(FSocket);
            std::string greeting;
            int status = dialog.receiveStatusMessage(greeting);
            if (status / 100 != 2)
                throw Error("Keine Verbindung zum FTP-Server \"" + address +
                            "\": " + (status ? greeting : "keine Begrüßung"));
            FSession = std::make_unique<PeerOnlySession>(FSocket);
            FSession->setTimeout(span);
            FSession->setPassive(true);
        } catch (...) {
            Fail("Keine Verbindung zum FTP-Server \"" + address + "\"");
        }
        try {
            FSession->login(user, password);
        } catch (const Poco::Net::FTPException& e) {
            throw Error("Der FTP-Server \"" + address + "\" lehnt die Anmeldung als \"" + user +
                        "\" ab: " + e.message());
        } catch (...) {
            Fail("Anmeldung am FTP-Server \"" + address + "\" gescheitert");
        }
    }

    ~FtpConnection() {
        if (FBroken)
            FSocket.close();
        // Poco's session says goodbye (QUIT) and closes; errors are of no use now.
        try {
            FSession.reset();
        } catch (...) {
        }
    }

    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    void SetProgress(ProgressDisplay* progress) { FProgress = progress; }
    bool Broken() const { return FBroken; }

    void ChangeFolder(const std::string& path) {
        try {
            FSession->setWorkingDirectory(path);
        } catch (...) {
            Fail("FTP-Ordner \"" + path + "\" kann nicht geöffnet werden");
        }
    }

    // Names of NLST [argument]; false when the server refuses the listing.
    bool List(const std::string& argument, std::vector<std::string>& names) {
        names.clear();
        try {
            std::istream& in = FSession->beginList(argument, false);
            in.exceptions(std::ios::badbit);
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (!line.empty())
                    names.push_back(line);
            }
            FSession->endList();
            return true;
        } catch (const Poco::Net::FTPException&) {
            names.clear();
            return false;
        } catch (...) {
            Fail("Der Inhalt eines FTP-Ordners kann nicht gelesen werden");
        }
    }

    // The server's size of a file; -1 when it reports none.
    int64_t Size(const std::string& name) {
        std::string response;
        int status = 0;
        try {
            status = FSession->sendCommand("SIZE", name, response);
        } catch (...) {
            Fail("Die Größe von \"" + name + "\" kann nicht erfragt werden");
        }
        if (status != 213 || response.size() < 5 || response[4] < '0' || response[4] > '9')
            return -1;
        int64_t size = 0;
        const char* digits = response.data() + 4;
        if (std::from_chars(digits, response.data() + response.size(), size).ec ==
            std::errc::result_out_of_range)
            throw Error("Der FTP-Server meldet für \"" + name + "\" eine unmögliche Größe");
        return size;
    }

    // The whole file into dest, or an error; expected < 0 when unknown.
    void Download(const std::string& name, std::ostream& dest, int64_t expected) {
        std::string what = "Datei \"" + name + "\" kann nicht vom FTP-Server geladen werden";
        int64_t received = 0;
        try {
            Poco::Net::StreamSocketImpl& data = DataSocket(FSession->beginDownload(name));
            std::vector<char> buffer(kBlock);
            for (;;) {
                int got = data.receiveBytes(buffer.data(), static_cast<int>(buffer.size()));
                if (got <= 0)
                    break;
                dest.write(buffer.data(), got);
                if (!dest) {
                    FBroken = true;
                    throw Error(what + ": Das Ziel nimmt keine Daten mehr an (Datenträger voll?)");
                }
                received += got;
                if (FProgress)
                    FProgress->SetPosition(received);
            }
            FSession->endDownload();
        } catch (...) {
            Fail(what);
        }
        if (expected >= 0 && received != expected) {
            throw Error(what + ": nur " + std::to_string(received) + " von " +
                        std::to_string(expected) + " Bytes empfangen");
        }
    }

    void Upload(std::istream& src, const std::string& name) {
        std::string what =
            "Datei \"" + name + "\" kann nicht auf den FTP-Server geschrieben werden";
        try {
            Poco::Net::StreamSocketImpl& data = DataSocket(FSession->beginUpload(name));
            std::vector<char> buffer(kBlock);
            int64_t sent = 0;
            while (src) {
                src.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                std::streamsize got = src.gcount();
                if (got <= 0)
                    break;
                data.sendBytes(buffer.data(), static_cast<int>(got));
                sent += got;
                if (FProgress)
                    FProgress->SetPosition(sent);
            }
            if (src.bad()) {
                FBroken = true;
                throw Error(what + ": Die Quelle kann nicht gelesen werden");
            }
            FSession->endUpload();
        } catch (...) {
            Fail(what);
        }
    }

private:
    // The data connection itself: Poco's stream reads and writes it in
    // blocks of 1 KB, too small for songs. Nothing has gone through the
    // stream yet, so its buffer holds nothing.
    static Poco::Net::StreamSocketImpl& DataSocket(std::ios& stream) {
        auto* buffer = dynamic_cast<Poco::Net::SocketStreamBuf*>(stream.rdbuf());
        if (!buffer || !buffer->socketImpl())
            throw Poco::IllegalStateException("no data connection");
        return *buffer->socketImpl();
    }

    std::string NoAnswer() const {
        return "Der FTP-Server \"" + FAddress + "\" antwortet nicht (" +
               std::to_string((FTimeout.count() + 999) / 1000) + " s gewartet)";
    }

    // Called inside a catch block: the pending exception as a German error.
    [[noreturn]] void Fail(const std::string& what) {
        try {
            throw;
        } catch (const Error&) {
            throw;
        } catch (const Poco::Net::FTPException& e) {
            throw Error(what + ": " + e.message());
        } catch (const Poco::TimeoutException&) {
            FBroken = true;
            throw Error(what + ": " + NoAnswer());
        } catch (const Poco::Exception& e) {
            FBroken = true;
            // A send time-out reaches Poco as "would block".
            if (e.code() == EAGAIN || e.code() == EWOULDBLOCK)
                throw Error(what + ": " + NoAnswer());
            throw Error(what + ": " + e.displayText());
        } catch (const std::exception& e) {
            FBroken = true;
            throw Error(what + ": " + e.what());
        }
    }

    std::string FAddress;
    std::chrono::milliseconds FTimeout;
    ProgressDisplay* FProgress;
    Poco::Net::StreamSocket FSocket;
    std::unique_ptr<Poco::Net::FTPClientSession> FSession;
    bool FBroken = false;
};

namespace {

class FtpScan : public TScanContext {
public:
    explicit FtpScan(std::unique_ptr<FtpConnection> connection)
        : Connection(std::move(connection)) {}
    std::unique_ptr<FtpConnection> Connection;
};

}  // namespace

TFTPTransfer::TFTPTransfer(bool alternative, TVelIniFile& settings) : TCustomTransfer(alternative) {
    Host = settings.ReadString("Einstellungen", "FTP Adresse", "localhost");
    User = settings.ReadString("Einstellungen", "FTP Nutzer", "tunrax");
    Password =
        DecodePassword(settings.ReadString("Einstellungen", "FTP Passwort", ""), PasswordKey);
    Root = settings.ReadString("Einstellungen", "Root FTP", "/mp3/");
    Utf8Names = settings.ReadBool("Einstellungen", "FTP UTF8", false);
    Probe();
}

TFTPTransfer::TFTPTransfer(bool alternative, const std::string& host, const std::string& user,
                           const std::string& password, const std::string& root, bool utf8Names,
                           std::chrono::milliseconds timeout)
    : TCustomTransfer(alternative) {
    Host = host;
    User = user;
    Password = password;
    Root = root;
    Utf8Names = utf8Names;
    Timeout = timeout;
    Probe();
}

TFTPTransfer::~TFTPTransfer() = default;

std::unique_ptr<FtpConnection> TFTPTransfer::NewClient(bool withProgress) const {
    return std::make_unique<FtpConnection>(Host, User, Password, Timeout,
                                           withProgress ? ProgressBar : nullptr);
}

void TFTPTransfer::Probe() {
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
        // answering or drops the connection is an error.
        if (client->Broken())
            throw;
    }
}

void TFTPTransfer::GetFile(std::ostream& dest, const std::string& path) {
    auto client = NewClient(true);
    TShownProgress shown(ProgressBar, 100);
    std::string name = ToServerName(NormalizePath(Root + path));
    int64_t size = client->Size(name);
    if (ProgressBar)
        ProgressBar->SetMaximum(std::max<int64_t>(size, 100));
    client->Download(name, dest, size);
}

void TFTPTransfer::PutFile(std::istream& src, const std::string& path) {
    const std::string name = NormalizePath(Root + path);
    const int64_t size = RewindForPut(
        src, "Datei \"" + name + "\" kann nicht auf den FTP-Server geschrieben werden: ");
    auto client = NewClient(true);
    TShownProgress shown(ProgressBar, size);
    client->Upload(src, name);
}

void TFTPTransfer::ListFiles(std::vector<std::string>& list, const std::string& folder) {
    std::vector<std::string> names;
    {
        auto client = NewClient(false);
        client->ChangeFolder(ToServerName(NormalizePath(Root + folder)));
        // Servers that do not expand the pattern list everything instead.
        if (!client->List("*.*3", names))
            client->List("", names);
    }
    for (const std::string& name : names)
        if (UsableName(name) && EndsInThreeAfterDot(name))
            list.push_back(FromServerName(name));
}

void TFTPTransfer::ListFolders(std::vector<std::string>& list, const std::string& folder,
                               TScanContext* scan) {
    list.clear();
    std::unique_ptr<FtpConnection> own;
    FtpConnection* client = nullptr;
    if (auto* ftpScan = dynamic_cast<FtpScan*>(scan)) {
        client = ftpScan->Connection.get();
        client->SetProgress(nullptr);
    } else {
        own = NewClient(false);
        client = own.get();
    }
    client->ChangeFolder(ToServerName(NormalizePath(Root + folder)));
    std::vector<std::string> names;
    if (!client->List("", names))
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

int64_t TFTPTransfer::GetSizeKB(const std::vector<std::string>& files) {
    auto client = NewClient(false);
    int64_t sum = 0;
    for (const std::string& file : files) {
        const int64_t kiloBytes = client->Size(ToServerName(NormalizePath(Root + file))) / 1024 + 1;
        // Sizes from the server can add up beyond any number.
        sum = kiloBytes > INT64_MAX - sum ? INT64_MAX : sum + kiloBytes;
    }
    return sum;
}

std::unique_ptr<TScanContext> TFTPTransfer::BeginScan() {
    return std::make_unique<FtpScan>(NewClient(false));
}

std::string TFTPTransfer::ToServerName(const std::string& name) const {
    if (!Utf8Names || IsValidUtf8(name))
        return name;
    return Cp1252ToUtf8(name);
}

std::string TFTPTransfer::FromServerName(const std::string& name) const {
    if (!Utf8Names || !IsValidUtf8(name))
        return name;
    const std::optional<std::string> bytes = Utf8ToCp1252(name);
    // A result that reads as UTF-8 would not come back to the same name.
    return bytes && !IsValidUtf8(*bytes) ? *bytes : name;
}

}  // namespace tunrax
