#include "sources/FtpSource.h"
#include "sources/HostLookup.h"
#include "sources/SourceSettings.h"

#include <gtest/gtest.h>

#include <Poco/Net/NetException.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "collection/CopyFiles.h"
#include "io/Error.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "settings/PasswordScrambling.h"
#include "sources/TransferControl.h"
#include "support/ArrivingStream.h"
#include "support/ErrorOf.h"
#include "support/ForwardOnlyStream.h"
#include "support/RecordingProgress.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

using namespace tunrax;
using namespace tunrax::test;
using namespace std::chrono_literals;

namespace {

// pyftpdlib with a writable user and a read-only one (empty password); raw
// name bytes pass both ways; a folder named "odd" lists bad names as well;
// "short.mp3" is sent whole but announced one byte longer, as a server that
// cuts a transfer short without noticing would do.
const char* const kServerScript = R"(
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

class Fs(AbstractedFS):
    def listdir(self, path):
        names = super().listdir(path)
        if os.path.basename(path.rstrip("/")) == "odd":
            names = names + [".", "..", "x/y.mp3", "z\\w.mp3"]
        return names

    def getsize(self, path):
        return super().getsize(path) + (1 if path.endswith("short.mp3") else 0)

logging.basicConfig(level=logging.DEBUG)
authorizer = DummyAuthorizer()
authorizer.add_user("schreiber", "geheim", sys.argv[2], perm="elradfmwMT")
authorizer.add_user("leser", "", sys.argv[2], perm="elr")
FTPHandler.authorizer = authorizer
FTPHandler.abstracted_fs = Fs
FTPHandler.unicode_errors = "surrogateescape"
FTPHandler.auth_failed_timeout = 0
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";

const std::string kMaedchenUtf8 =
    "M\xc3\xa4"
    "dchen";
const std::string kMaedchen1252 =
    "M\xe4"
    "dchen";

std::set<std::string> AsSet(const std::vector<std::string>& list) {
    return {list.begin(), list.end()};
}

// A server on a free loopback port for the files below root; its log names
// every command it received.
class FtpServer {
public:
    explicit FtpServer(const std::string& root) {
        WriteFile(FFolder / "ftp_server.py", kServerScript);
        int port = FreePort();
        FProcess.Start({"/usr/bin/python3", FFolder / "ftp_server.py", std::to_string(port), root},
                       port, FFolder / "ftp.log");
    }
    ~FtpServer() {
        if (FProcess.Running())
            ::kill(FProcess.Pid(), SIGCONT);
    }

    std::string Address() const { return "127.0.0.1:" + std::to_string(FProcess.Port()); }
    pid_t Pid() const { return FProcess.Pid(); }
    // How often the log shows the command (as "<- COMMAND").
    int Count(const std::string& command) const {
        std::ifstream log(FFolder / "ftp.log");
        std::string line;
        int count = 0;
        while (std::getline(log, line))
            if (line.find("<- " + command) != std::string::npos)
                ++count;
        return count;
    }

private:
    TempDir FFolder;
    ServerProcess FProcess;
};

// tests/support/hostile_ftp.py on a free loopback port; options as the
// script takes them.
class HostileFtpServer {
public:
    explicit HostileFtpServer(const std::vector<std::string>& options) {
        std::vector<std::string> argv{
            "/usr/bin/python3", std::string(TUNRAX_SOURCE_DIR) + "/tests/support/hostile_ftp.py"};
        int port = FreePort();
        argv.push_back(std::to_string(port));
        argv.push_back(FFolder / "ftp.log");
        argv.insert(argv.end(), options.begin(), options.end());
        FProcess.Start(argv, port);
    }

    std::string Address() const { return "127.0.0.1:" + std::to_string(FProcess.Port()); }
    // How many lines of the log begin with text.
    int Count(const std::string& text) const {
        std::ifstream log(FFolder / "ftp.log");
        std::string line;
        int count = 0;
        while (std::getline(log, line))
            if (line.rfind(text, 0) == 0)
                ++count;
        return count;
    }

private:
    TempDir FFolder;
    ServerProcess FProcess;
};

class FtpSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Files = std::make_unique<TempDir>();
        const std::string mp3 = *Files / "mp3/";
        WriteFile(mp3 + "tunrax.copy", "");
        WriteFile(mp3 + "short.mp3", "short");
        WriteFile(mp3 + "Rock/a.mp3", std::string(5000, 'a'));
        WriteFile(mp3 + "Rock/b.MP3", "bb");
        WriteFile(mp3 + "Rock/c.wav", "c");
        WriteFile(mp3 + "Rock/cover.jpg", "jpg");
        WriteFile(mp3 + "Rock/notes.mp3.txt", "n");
        WriteFile(mp3 + "Rock/back\\slash.mp3", "s");
        MakeDirs(mp3 + "Rock/CD1");
        MakeDirs(mp3 + "Rock/Live 3");
        WriteFile(mp3 + kMaedchenUtf8 + "/Lied \xc3\xa4.mp3", "lied");
        WriteFile(mp3 +
                      "win/Gr\xfc\xdf"
                      "e.mp3",
                  "1252");
        WriteFile(mp3 + "odd/ok.mp3", "ok");
        MakeDirs(mp3 + "odd/sub");
        Server = std::make_unique<FtpServer>(Files->Path());
    }
    static void TearDownTestSuite() {
        Server.reset();
        Files.reset();
    }

    static std::unique_ptr<TFtpSource> Writer(bool utf8 = false) {
        auto writer = std::make_unique<TFtpSource>(false, Server->Address(), "schreiber", "geheim",
                                                   "/mp3/", utf8, 5s);
        writer->Connect();
        return writer;
    }

    static inline std::unique_ptr<TempDir> Files;
    static inline std::unique_ptr<FtpServer> Server;
};

TEST_F(FtpSourceTest, CapabilitiesFollowTheServersRights) {
    EXPECT_EQ(Writer()->Capabilities, CanCopy | CanRebuild | CanStoreCatalogue);
    EXPECT_TRUE(Exists(*Files / "mp3/tunrax.ro"));

    // Empty password, no rights to write.
    TFtpSource reader(false, Server->Address(), "leser", "", "/mp3/", false, 5s);
    reader.Connect();
    EXPECT_EQ(reader.Capabilities, CanCopy);

    // A "tunrax.copy" with content gives no copying.
    TempDir other;
    WriteFile(other / "mp3/tunrax.copy", "x");
    FtpServer second(other.Path());
    TFtpSource source(false, second.Address(), "leser", "", "/mp3/", false, 5s);
    source.Connect();
    EXPECT_EQ(source.Capabilities, 0);
}

// The FTP source that the settings file chooses, as the program makes it.
std::unique_ptr<TFtpSource> FtpSourceOf(TIniFile& settings) {
    TSourceSettings chosen = TSourceSettings::Read(settings);
    chosen.Type = static_cast<int>(TSourceKind::Ftp);
    std::unique_ptr<TSource> made = CreateSource(chosen, nullptr);
    auto* ftp = dynamic_cast<TFtpSource*>(made.get());
    if (!ftp)
        throw std::runtime_error("no FTP source");
    made.release();
    return std::unique_ptr<TFtpSource>(ftp);
}

TEST_F(FtpSourceTest, SettingsAndRefusedLogin) {
    TempDir tmp;
    TIniFile settings(tmp / "tunrax.ini");
    settings.WriteString("Einstellungen", "FTP Adresse", Server->Address());
    settings.WriteString("Einstellungen", "FTP Nutzer", "schreiber");
    settings.WriteString("Einstellungen", "FTP Passwort",
                         EncodePasswordWithStart("geheim", PasswordKey, 7));
    settings.WriteString("Einstellungen", "Root FTP", "/mp3/win/");
    std::unique_ptr<TFtpSource> made = FtpSourceOf(settings);
    TFtpSource& source = *made;
    source.Connect();
    EXPECT_EQ(source.Password, "geheim");
    EXPECT_EQ(source.Root, "/mp3/win/");
    EXPECT_FALSE(source.Utf8Names);
    std::ostringstream song;
    source.GetFile(song,
                   "\\Gr\xfc\xdf"
                   "e.mp3");
    EXPECT_EQ(song.str(), "1252");

    settings.WriteString("Einstellungen", "FTP Passwort",
                         EncodePasswordWithStart("falsch", PasswordKey, 7));
    try {
        FtpSourceOf(settings)->Connect();
        FAIL() << "login accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("lehnt die Anmeldung als \"schreiber\" ab"),
                  std::string::npos)
            << e.what();
    }
    // Nobody listens on the port any more.
    int port = FreePort();
    EXPECT_THROW(
        TFtpSource(false, "127.0.0.1:" + std::to_string(port), "x", "", "/", false, 5s).Connect(),
        Error);
    // Addresses are read as the web source reads them; the message says which.
    for (const std::string bad : {"127.0.0.1:", "[::1", "a b", "127.0.0.1:0000021"}) {
        try {
            TFtpSource(false, bad, "x", "", "/", false, 5s);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Ungültige FTP-Adresse \"" + bad + "\"", 0), 0u)
                << e.what();
        }
    }
}

TEST_F(FtpSourceTest, ListsSongsAndFoldersSkippingBadNames) {
    auto source = Writer();
    // pyftpdlib refuses "NLST *.*3": the plain listing is filtered instead.
    std::vector<std::string> files{"kept"};
    source->ListFiles(files, "\\Rock\\");
    EXPECT_EQ(AsSet(files), (std::set<std::string>{"kept", "a.mp3", "b.MP3"}));
    EXPECT_GE(Server->Count("NLST *.*3"), 1);
    EXPECT_GE(Server->Count("EPSV"), 1);

    files.clear();
    source->ListFiles(files, "\\odd\\");
    EXPECT_EQ(files, std::vector<std::string>{"ok.mp3"});

    int sizesBefore = Server->Count("SIZE");
    int loginsBefore = Server->Count("USER");
    auto scan = source->BeginScan();
    std::vector<std::string> folders{"stale"};
    source->ListFolders(folders, "\\Rock\\", scan.get());
    EXPECT_EQ(AsSet(folders), (std::set<std::string>{"CD1", "Live 3"}));
    source->ListFolders(folders, "\\odd\\", scan.get());
    EXPECT_EQ(folders, std::vector<std::string>{"sub"});
    source->ListFolders(folders, "", scan.get());
    EXPECT_EQ(AsSet(folders), (std::set<std::string>{"Rock", kMaedchenUtf8, "win", "odd"}));
    scan.reset();
    EXPECT_EQ(Server->Count("USER") - loginsBefore, 1);
    // Rock: c.wav cover.jpg notes.mp3.txt CD1 "Live 3"; odd: sub; root: 6 entries.
    EXPECT_EQ(Server->Count("SIZE") - sizesBefore, 5 + 1 + 6);

    EXPECT_THROW(source->ListFiles(files, "\\fehlt\\"), Error);
    EXPECT_THROW(source->ListFolders(folders, "\\fehlt\\", nullptr), Error);
}

TEST_F(FtpSourceTest, TransfersFilesWithProgress) {
    auto source = Writer();
    RecordingProgress bar;
    source->ProgressBar = &bar;
    std::ostringstream song;
    song << "prefix:";
    source->GetFile(song, "\\Rock\\a.mp3");
    EXPECT_EQ(song.str(), "prefix:" + std::string(5000, 'a'));
    EXPECT_EQ(bar.Maximum, 5000);
    EXPECT_EQ(bar.Position, 5000);
    EXPECT_FALSE(bar.Visible);

    std::ostringstream tiny;
    source->GetFile(tiny, "\\Rock\\b.MP3");
    EXPECT_EQ(bar.Maximum, 100);

    std::istringstream catalogue("Rock\r\n\tCD1\r\n");
    catalogue.seekg(5);
    source->PutFile(catalogue, "\\tunrax.dat");
    EXPECT_EQ(ReadFile(*Files / "mp3/tunrax.dat"), "Rock\r\n\tCD1\r\n");
    EXPECT_EQ(bar.Maximum, 12);
    EXPECT_FALSE(bar.Visible);
    ForwardOnlyStream forward("neu");
    EXPECT_THROW(source->PutFile(forward, "\\tunrax.dat"), Error)
        << "a stream that cannot start over";
    EXPECT_EQ(ReadFile(*Files / "mp3/tunrax.dat"), "Rock\r\n\tCD1\r\n");
    EXPECT_FALSE(bar.Visible);

    // 5000 / 1024 + 1, 2 / 1024 + 1, and 1 for a missing file.
    EXPECT_EQ(source->GetSizeKB({"\\Rock\\a.mp3", "\\Rock\\b.MP3", "\\Rock\\fehlt.mp3"}), 7);

    EXPECT_THROW(source->GetFile(song, "\\Rock\\fehlt.mp3"), Error);
    EXPECT_THROW(source->GetFile(song, "\\short.mp3"), Error);
    EXPECT_FALSE(bar.Visible);
    TFtpSource reader(false, Server->Address(), "leser", "", "/mp3/", false, 5s);
    reader.Connect();
    std::istringstream data("x");
    EXPECT_THROW(reader.PutFile(data, "\\tunrax.dat"), Error);
}

TEST_F(FtpSourceTest, ABackgroundCopyFetchesOnItsOwnConnectionWithoutProbingAgain) {
    auto source = Writer(true);
    source->Timeout = 3s;
    source->Pace.minBytes = 77;
    RecordingProgress bar;
    source->ProgressBar = &bar;
    const int logins = Server->Count("USER");
    const int uploads = Server->Count("STOR");
    std::unique_ptr<TSource> copy = source->CloneForBackground();
    ASSERT_TRUE(copy);
    EXPECT_EQ(Server->Count("USER"), logins) << "making the copy talked to the server";
    EXPECT_EQ(Server->Count("STOR"), uploads) << "the copy probed the rights again";
    auto* ftp = dynamic_cast<TFtpSource*>(copy.get());
    ASSERT_NE(ftp, nullptr);
    EXPECT_EQ(ftp->Capabilities, source->Capabilities);
    EXPECT_EQ(ftp->ProgressBar, nullptr);
    EXPECT_EQ(ftp->Root, "/mp3/");
    EXPECT_TRUE(ftp->Utf8Names);
    EXPECT_EQ(ftp->Timeout, 3s);
    EXPECT_EQ(ftp->Pace.minBytes, 77);

    // On a thread of its own, with its own log-in; the window's bar stays.
    std::string song, lied;
    std::thread background([&] {
        try {
            std::ostringstream a, b;
            ftp->GetFile(a, "\\Rock\\a.mp3");
            ftp->GetFile(b, "\\" + kMaedchen1252 + "\\Lied \xe4.mp3");
            song = a.str();
            lied = b.str();
        } catch (const Error& e) {
            song = e.what();
        }
    });
    background.join();
    EXPECT_EQ(song, std::string(5000, 'a'));
    EXPECT_EQ(lied, "lied") << "the copy lost the name conversion";
    EXPECT_EQ(Server->Count("USER"), logins + 2);
    EXPECT_EQ(bar.Letters, "");
}

TEST_F(FtpSourceTest, NameConversion) {
    auto plain = Writer(false);
    auto utf8 = Writer(true);
    EXPECT_EQ(plain->ToServerName(kMaedchen1252), kMaedchen1252);
    EXPECT_EQ(plain->FromServerName(kMaedchenUtf8), kMaedchenUtf8);
    EXPECT_EQ(utf8->ToServerName(kMaedchen1252), kMaedchenUtf8);
    EXPECT_EQ(utf8->ToServerName(kMaedchenUtf8), kMaedchenUtf8);
    EXPECT_EQ(utf8->FromServerName(kMaedchenUtf8), kMaedchen1252);
    EXPECT_EQ(utf8->ToServerName("\x80"), "\xe2\x82\xac");
    // Every UTF-8 server name comes back: characters outside Windows-1252,
    // the five bytes it leaves undefined, and names whose Windows-1252 form
    // would read as UTF-8.
    for (std::string name :
         {std::string("abc"), kMaedchenUtf8, std::string("\xe2\x82\xac \xc2\x81"),
          std::string("\xe6\x97\xa5\xc3\xa4"), std::string("\xc3\x83\xc2\xa4")})
        EXPECT_EQ(utf8->ToServerName(utf8->FromServerName(name)), name) << name;

    // A folder of the catalogue in Windows-1252 reaches the UTF-8 folder.
    std::vector<std::string> files;
    utf8->ListFiles(files, "\\" + kMaedchen1252 + "\\");
    EXPECT_EQ(files, std::vector<std::string>{"Lied \xe4.mp3"});
    std::ostringstream song;
    utf8->GetFile(song, "\\" + kMaedchen1252 + "\\" + files[0]);
    EXPECT_EQ(song.str(), "lied");
    // Without conversion, Windows-1252 names on the server pass unchanged.
    files.clear();
    plain->ListFiles(files, "\\win\\");
    EXPECT_EQ(files, std::vector<std::string>{"Gr\xfc\xdf"
                                              "e.mp3"});
    plain->GetFile(song, "\\win\\" + files[0]);
    EXPECT_EQ(song.str(), "lied1252");
}

// A scan called off by the window (its wait hook runs while the transfer
// waits): the scan's connection ends at once and sends nothing more, not
// even QUIT.
TEST_F(FtpSourceTest, CalledOffScanSendsNothingMore) {
    auto source = Writer();
    auto scan = source->BeginScan();
    std::vector<std::string> folders;
    source->ListFolders(folders, "\\Rock\\", scan.get());
    EXPECT_EQ(folders.size(), 2u);
    const int cwds = Server->Count("CWD");
    const int quits = Server->Count("QUIT");
    ASSERT_GT(quits, 0) << "the log shows QUIT";
    struct Hook {
        Hook() {
            SetTransferWaitHook([] { CancelRunningTransfers(); });
        }
        ~Hook() { SetTransferWaitHook(nullptr); }
    };
    {
        Hook hook;
        EXPECT_THROW(source->ListFolders(folders, "\\odd\\", scan.get()), TransferCancelled);
    }
    EXPECT_THROW(source->ListFolders(folders, "\\odd\\", scan.get()), TransferCancelled);
    scan.reset();
    EXPECT_EQ(Server->Count("CWD"), cwds);
    EXPECT_EQ(Server->Count("QUIT"), quits);
    // Later transfers run as usual.
    source->ListFolders(folders, "\\odd\\", nullptr);
    EXPECT_EQ(folders, std::vector<std::string>{"sub"});
}

TEST(FtpSourceFailure, ServerThatDiesOrHangsIsAnError) {
    TempDir files;
    const std::string big(24 << 20, 'x');
    WriteFile(files / "mp3/big.mp3", big);
    RecordingProgress bar;
    {
        FtpServer server(files.Path());
        TFtpSource source(false, server.Address(), "schreiber", "geheim", "/mp3/", false, 5s);
        source.Connect();
        source.ProgressBar = &bar;
        bar.OnPosition = [&](int64_t position) {
            if (position > 0 && server.Pid() > 0)
                ::kill(server.Pid(), SIGKILL);
        };
        std::ostringstream song;
        try {
            source.GetFile(song, "\\big.mp3");
            FAIL() << "short file accepted: " << song.str().size();
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("kann nicht vom FTP-Server geladen werden"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_LT(song.str().size(), big.size());
        EXPECT_FALSE(bar.Visible);
    }
    {
        FtpServer server(files.Path());
        TFtpSource source(false, server.Address(), "schreiber", "geheim", "/mp3/", false, 1s);
        source.Connect();
        source.ProgressBar = &bar;
        bar.OnPosition = [&](int64_t position) {
            if (position > 0)
                ::kill(server.Pid(), SIGSTOP);
        };
        std::ostringstream song;
        auto start = std::chrono::steady_clock::now();
        try {
            source.GetFile(song, "\\big.mp3");
            FAIL() << "stalled download accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("antwortet nicht"), std::string::npos) << e.what();
        }
        ::kill(server.Pid(), SIGCONT);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);

        std::istringstream upload(big);
        start = std::chrono::steady_clock::now();
        try {
            source.PutFile(upload, "\\up.mp3");
            FAIL() << "stalled upload accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("antwortet nicht"), std::string::npos) << e.what();
        }
        ::kill(server.Pid(), SIGCONT);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);

        // A server that accepts connections but never greets.
        ::kill(server.Pid(), SIGSTOP);
        start = std::chrono::steady_clock::now();
        try {
            TFtpSource(false, server.Address(), "schreiber", "geheim", "/mp3/", false, 1s)
                .Connect();
            FAIL() << "no time-out";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("antwortet nicht"), std::string::npos) << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    }
}

// A PASV reply may name any host, and a name may stand for another address
// each time it is looked up (round robin); the data must still go only to
// the server we are talking to. The name here finds the server at its first
// lookup in each operation and the decoy's address after that.
TEST(FtpSourceFailure, DataGoesOnlyToTheControlConnectionsPeer) {
    static std::atomic<int> lookups{0};
    struct Resolver {
        THostResolver system = HostResolver();
        ~Resolver() { HostResolver() = system; }
    } restore;
    HostResolver() = [](const std::string&, uint16_t port) {
        return Poco::Net::SocketAddress(lookups++ == 0 ? "127.0.0.1" : "127.0.0.2", port);
    };
    for (const std::string host : {"127.0.0.1", "wechselnd.example"}) {
        SCOPED_TRACE(host);
        HostileFtpServer server({"decoy"});
        const std::string address = host + server.Address().substr(server.Address().find(':'));
        TFtpSource source(false, address, "schreiber", "geheim", "/mp3/", false, 5s);
        lookups = 0;
        source.Connect();
        std::ostringstream song;
        lookups = 0;
        source.GetFile(song, "\\a.mp3");
        EXPECT_EQ(song.str(), "hallo");
        std::istringstream upload("neu");
        lookups = 0;
        source.PutFile(upload, "\\tunrax.dat");
        EXPECT_EQ(server.Count("<- PASV"), 3);  // probe, download, upload
        EXPECT_EQ(server.Count("data connection"), 3);
        EXPECT_EQ(server.Count("decoy connection"), 0);
    }
}

// A SIZE answer beyond any file size is an error, even one that would wrap
// round to the length actually sent.
TEST(FtpSourceFailure, SizeThatDoesNotFitIsAnError) {
    // 28 digits, 5 more than a multiple of 2^64.
    HostileFtpServer server({"size=1000000006930898827444486149"});
    TFtpSource source(false, server.Address(), "schreiber", "geheim", "/mp3/", false, 5s);
    source.Connect();
    std::ostringstream song;
    try {
        source.GetFile(song, "\\a.mp3");
        FAIL() << "accepted: " << song.str();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("unmögliche Größe"), std::string::npos) << e.what();
    }
    std::vector<std::string> names{"\\a.mp3"};
    EXPECT_THROW(source.GetSizeKB(names), Error);

    // The largest size there is, for every song of a long list: the sum
    // stays the largest number instead of turning negative.
    HostileFtpServer largest({"size=9223372036854775807"});
    TFtpSource huge(false, largest.Address(), "schreiber", "geheim", "/mp3/", false, 5s);
    huge.Connect();
    names.assign(1100, "\\a.mp3");
    EXPECT_EQ(huge.GetSizeKB(names), INT64_MAX);
}

// 1 KB in every second: a hostile server is caught within a second or two,
// an honest one on loopback is far faster.
TPaceLimits QuickPace() {
    TPaceLimits pace;
    pace.window = 1s;
    return pace;
}

std::chrono::steady_clock::duration Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::steady_clock::now() - start;
}

TEST(FtpSourceHostile, GreetingThatDripsOrNeverEndsIsAnError) {
    HostileFtpServer drip({"greeting=drip"});
    auto start = std::chrono::steady_clock::now();
    std::string message = ErrorOf([&] {
        TFtpSource(false, drip.Address(), "u", "p", "/mp3/", false, 5s, QuickPace()).Connect();
    });
    EXPECT_NE(message.find("zu langsam"), std::string::npos) << message;
    EXPECT_LT(Since(start), 3s);

    HostileFtpServer endless({"greeting=endless"});
    start = std::chrono::steady_clock::now();
    message = ErrorOf([&] {
        TFtpSource(false, endless.Address(), "u", "p", "/mp3/", false, 5s, QuickPace()).Connect();
    });
    EXPECT_NE(message.find("Antwort von mehr als 1 MB"), std::string::npos) << message;
    EXPECT_LT(Since(start), 5s);
}

// A server that says "wait" for ever, each time a whole reply, at a pace
// that no window finds too slow: the way in as a whole is bounded.
TEST(FtpSourceHostile, AGreetingThatWaitsForEverEndsAtTheLoginBound) {
    HostileFtpServer waiting({"greeting=wait"});
    TPaceLimits pace;
    pace.window = 1s;
    pace.minBytes = 10;
    pace.login = 2s;
    const auto start = std::chrono::steady_clock::now();
    const std::string message = ErrorOf([&] {
        TFtpSource(false, waiting.Address(), "u", "p", "/mp3/", false, 5s, pace).Connect();
    });
    EXPECT_NE(message.find("dauert zu lange (mehr als 2 s)"), std::string::npos) << message;
    EXPECT_LT(Since(start), 4s);
    EXPECT_EQ(TPaceLimits{}.login, 60s);
}

// Each reply has a window of its own: a server that thinks before every
// answer is slow, not hostile.
TEST(FtpSourceHostile, ServerThatThinksBeforeEachReplyIsNotCutOff) {
    HostileFtpServer server({"slow"});
    TPaceLimits pace;
    pace.window = 500ms;
    TFtpSource source(false, server.Address(), "u", "p", "/mp3/", false, 5s, pace);
    source.Connect();
    std::ostringstream song;
    source.GetFile(song, "\\a.mp3");
    EXPECT_EQ(song.str(), "hallo");
}

// The program's end (a signal, "Beenden") ends a transfer that hangs on a
// dripping server; the switch cannot be turned back, so it runs in a child.
TEST(FtpSourceHostile, EndingTheProgramEndsADrippingDownload) {
    HostileFtpServer server({"retr=drip"});
    EXPECT_EXIT(
        {
            TFtpSource source(false, server.Address(), "u", "p", "/mp3/", false, 5s);
            source.Connect();
            ArrivingStream song;
            // The program ends once the song is coming in.
            std::thread ender([&song] {
                WaitUntil([&song] { return song.Arrived() > 0; });
                EndAllTransfers();
            });
            const auto start = std::chrono::steady_clock::now();
            const std::string message = ErrorOf([&] { source.GetFile(song, "\\a.mp3"); });
            ender.join();
            std::exit(message == "abgebrochen" && Since(start) < 2s ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// A name server that never answers: the lookup is called off within a
// moment, as "Abbrechen", "Beenden" and SIGTERM do, and ends at the
// connection's bound when nobody calls it off.
TEST(FtpSourceHostile, ALookupThatNeverEndsIsCalledOffAtOnce) {
    const THostResolver system = HostResolver();
    static std::atomic<bool> asked{false};
    HostResolver() = [](const std::string&, uint16_t) -> Poco::Net::SocketAddress {
        asked = true;
        std::this_thread::sleep_for(10s);  // the name server that never answers
        throw Poco::Net::HostNotFoundException("stumm.example");
    };
    // Called off once the lookup is under way.
    std::thread canceller([] {
        WaitUntil([] { return asked.load(); });
        CancelRunningTransfers();
    });
    auto start = std::chrono::steady_clock::now();
    std::string message = ErrorOf(
        [&] { TFtpSource(false, "stumm.example", "u", "p", "/mp3/", false, 5s).Connect(); });
    canceller.join();
    EXPECT_EQ(message, "abgebrochen");
    EXPECT_LT(Since(start), 1s);

    start = std::chrono::steady_clock::now();
    message = ErrorOf(
        [&] { TFtpSource(false, "stumm.example", "u", "p", "/mp3/", false, 1s).Connect(); });
    EXPECT_NE(message.find("Der Name \"stumm.example\" wurde nicht innerhalb von 1 s aufgelöst"),
              std::string::npos)
        << message;
    EXPECT_LT(Since(start), 2s);
    HostResolver() = system;
}

TEST(FtpSourceHostile, UploadThatDripsIsTooSlow) {
    HostileFtpServer server({"stor=drip"});
    TFtpSource source(false, server.Address(), "u", "p", "/mp3/", false, 5s, QuickPace());
    source.Connect();
    std::istringstream upload(std::string(24 << 20, 'x'));
    const auto start = std::chrono::steady_clock::now();
    const std::string message = ErrorOf([&] { source.PutFile(upload, "\\tunrax.dat"); });
    EXPECT_NE(message.find("zu langsam (weniger als 1 KB in 1 s)"), std::string::npos) << message;
    EXPECT_LT(Since(start), 4s);
}

TEST(FtpSourceHostile, DrippingDownloadIsTooSlowOrCalledOff) {
    HostileFtpServer server({"retr=drip"});
    TFtpSource source(false, server.Address(), "u", "p", "/mp3/", false, 5s, QuickPace());
    source.Connect();
    std::ostringstream song;
    auto start = std::chrono::steady_clock::now();
    std::string message = ErrorOf([&] { source.GetFile(song, "\\a.mp3"); });
    EXPECT_NE(message.find("zu langsam (weniger als 1 KB in 1 s)"), std::string::npos) << message;
    EXPECT_LT(Since(start), 3s);

    // With the real bounds, called off by another thread while the song is
    // coming in.
    source.Pace = TPaceLimits();
    ArrivingStream coming;
    std::thread canceller([&coming] {
        WaitUntil([&coming] { return coming.Arrived() > 0; });
        CancelRunningTransfers();
    });
    start = std::chrono::steady_clock::now();
    message = ErrorOf([&] { source.GetFile(coming, "\\a.mp3"); });
    canceller.join();
    EXPECT_EQ(message, "abgebrochen");
    EXPECT_LT(Since(start), 2500ms);
}

TEST(FtpSourceHostile, ListingsAreBoundedInSizeAndTime) {
    HostileFtpServer longLine({"nlst=longline"});
    TFtpSource source(false, longLine.Address(), "u", "p", "/mp3/", false, 5s, QuickPace());
    source.Connect();
    std::vector<std::string> files;
    std::string message = ErrorOf([&] { source.ListFiles(files, "\\"); });
    EXPECT_NE(message.find("länger als 64 KB"), std::string::npos) << message;

    HostileFtpServer endless({"nlst=endless"});
    TFtpSource many(false, endless.Address(), "u", "p", "/mp3/", false, 5s, QuickPace());
    many.Connect();
    many.MaxListing = 1 << 20;
    message = ErrorOf([&] { many.ListFolders(files, "\\", nullptr); });
    EXPECT_NE(message.find("größer als 1 MB"), std::string::npos) << message;

    // Fast enough, but going on for ever.
    many.MaxListing = kFtpMaxListing;
    many.Pace.ceiling = 300ms;
    auto start = std::chrono::steady_clock::now();
    message = ErrorOf([&] { many.ListFiles(files, "\\"); });
    EXPECT_NE(message.find("dauert zu lange"), std::string::npos) << message;
    EXPECT_LT(Since(start), 3s);
}

TEST(FtpSourceHostile, NamesWithLineBreaksAreNeitherListedNorSent) {
    HostileFtpServer server({"nlst=odd"});
    TFtpSource source(false, server.Address(), "u", "p", "/mp3/", false, 5s);
    source.Connect();
    std::vector<std::string> names;
    source.ListFiles(names, "\\");
    EXPECT_EQ(names, std::vector<std::string>{"ok.mp3"});
    source.ListFolders(names, "\\", nullptr);
    EXPECT_EQ(names, std::vector<std::string>{});
    EXPECT_EQ(server.Count("<- SIZE crlfdir"), 0);
    EXPECT_EQ(server.Count("<- SIZE inj"), 0);
    EXPECT_EQ(server.Count("<- SIZE a"), 0);

    // A path from a favourite list is refused before anything is sent.
    std::ostringstream song;
    std::string message = ErrorOf([&] { source.GetFile(song, "\\x.mp3\rDELE tunrax.dat"); });
    EXPECT_NE(message.find("Zeilenende"), std::string::npos) << message;
    std::istringstream data("neu");
    message = ErrorOf([&] { source.PutFile(data, "\\neu\n.mp3"); });
    EXPECT_NE(message.find("Zeilenende"), std::string::npos) << message;
    // Names that reach a command without passing a listing.
    message = ErrorOf([&] { source.GetSizeKB({"\\a.mp3", "\\x.mp3\rDELE tunrax.dat"}); });
    EXPECT_NE(message.find("Zeilenende"), std::string::npos) << message;
    EXPECT_EQ(server.Count("<- SIZE /mp3/a.mp3"), 1);
    EXPECT_EQ(server.Count("<- DELE"), 0);
    EXPECT_EQ(server.Count("<- SIZE /mp3/x"), 0);
    EXPECT_EQ(server.Count("<- STOR /mp3/neu"), 0);
}

}  // namespace

// The copy wizard's way of fetching: a server that dies in the middle of a
// song leaves no part of it on the player, and the songs before it intact.
TEST(FtpSourceFailure, CopyThatFailsHalfWayLeavesNoPartialSong) {
    TempDir files, player;
    WriteFile(files / "mp3/A/01.mp3", "erstes");
    WriteFile(files / "mp3/A/02.mp3", std::string(24 << 20, 'x'));
    FtpServer server(files.Path());
    TFtpSource source(false, server.Address(), "schreiber", "geheim", "/mp3/", false, 5s);
    source.Connect();
    RecordingProgress bar;
    source.ProgressBar = &bar;
    EXPECT_TRUE(CopySong(source, "\\A\\01.mp3", player / "001-01.mp3"));
    bar.OnPosition = [&](int64_t position) {
        if (position > 0 && server.Pid() > 0)
            ::kill(server.Pid(), SIGKILL);
    };
    EXPECT_THROW(CopySong(source, "\\A\\02.mp3", player / "002-02.mp3"), Error);
    std::vector<std::string> left;
    FindFiles(left, player.Path(), "*", false, true);
    EXPECT_EQ(left, std::vector<std::string>{"001-01.mp3"});
    EXPECT_EQ(ReadFile(player / "001-01.mp3"), "erstes");
}
