#include "sources/WebSource.h"
#include "sources/SourceSettings.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "collection/CatalogueScan.h"
#include "io/Error.h"
#include "settings/IniFile.h"
#include "sources/TransferControl.h"
#include "sources/UrlEncode.h"
#include "support/ArrivingStream.h"
#include "support/RecordingProgress.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/TlsServers.h"
#include "support/WaitUntil.h"
#include "support/WebServers.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Answers one connection on a loopback port with a canned response, keeps it
// open for up to holdMs (until the client hangs up) and remembers the request.
class CannedServer {
public:
    CannedServer(std::string response, int holdMs = 0) {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length);
        ::listen(FListen, 1);
        port = ntohs(address.sin_port);
        FThread = std::thread([this, response = std::move(response), holdMs] {
            int fd = ::accept(FListen, nullptr, nullptr);
            if (fd < 0)
                return;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            ::send(fd, response.data(), response.size(), MSG_NOSIGNAL);
            pollfd wait{fd, POLLIN, 0};
            if (holdMs > 0 && ::poll(&wait, 1, holdMs) > 0)
                ::recv(fd, buffer, sizeof buffer, 0);
            ::close(fd);
        });
    }
    ~CannedServer() {
        ::shutdown(FListen, SHUT_RDWR);
        FThread.join();
        ::close(FListen);
    }

    int port = 0;
    std::string request;

private:
    int FListen = -1;
    std::thread FThread;
};

// tests/support/hostile_http.py in one of its modes on a free loopback port.
class HostileHttp {
public:
    explicit HostileHttp(const std::string& mode) {
        const int port = FreePort();
        FProcess.Start(
            {"/usr/bin/python3", std::string(TUNRAX_SOURCE_DIR) + "/tests/support/hostile_http.py",
             std::to_string(port), mode},
            port);
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(FProcess.Port()); }
    int Port() const { return FProcess.Port(); }

private:
    ServerProcess FProcess;
};

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TPaceLimits Pace(int64_t minBytes, std::chrono::milliseconds window,
                 std::chrono::milliseconds ceiling = 60s) {
    TPaceLimits pace;
    pace.minBytes = minBytes;
    pace.window = window;
    pace.ceiling = ceiling;
    return pace;
}

// The message of what action throws ("" for nothing), and how long it took.
template <typename Action>
std::string Failure(Action action, Clock::duration& took) {
    const auto start = Clock::now();
    std::string message;
    try {
        action();
    } catch (const Error& e) {
        message = e.what();
    }
    took = Clock::now() - start;
    return message;
}

// One request to a server that misbehaves (a mode of hostile_http.py): it
// fails with the message within the bound.
struct Refusal {
    const char* Trace;
    const char* Mode;
    std::function<void(TWebSource&)> SetUp;
    std::function<void(TWebSource&)> Ask;
    const char* Message;
    std::chrono::milliseconds Bound;
};

std::function<void(TWebSource&)> WithPace(TPaceLimits pace) {
    return [pace](TWebSource& source) { source.Pace = pace; };
}

std::function<void(TWebSource&)> WithListingCeiling(size_t bytes) {
    return [bytes](TWebSource& source) { source.MaxListingBytes = bytes; };
}

// A song; the bar it shows appears and ends hidden, however the fetch ends.
void AskForSong(TWebSource& source) {
    RecordingProgress bar;
    source.ProgressBar = &bar;
    struct BarCheck {
        TWebSource& Source;
        RecordingProgress& Bar;
        ~BarCheck() {
            Source.ProgressBar = nullptr;
            EXPECT_EQ(Bar.Letters.substr(0, 3), "SP0");
            EXPECT_EQ(Bar.Letters.back(), 'H');
        }
    } check{source, bar};
    std::ostringstream dest;
    source.GetFile(dest, "\\a.mp3");
}

// A listing into the list given; a refused one must leave it as it was.
std::function<void(TWebSource&)> AskForListing(std::vector<std::string>& list) {
    return [&list](TWebSource& source) { source.ListFiles(list, "\\A\\"); };
}

std::function<void(TWebSource&)> AskForCatalogue(
    std::chrono::milliseconds limit = std::chrono::milliseconds::max()) {
    return [limit](TWebSource& source) {
        if (limit == std::chrono::milliseconds::max())
            FetchCatalogueText(source, 1 << 20);
        else
            FetchCatalogueText(source, 1 << 20, limit);
    };
}

class WebSourceTest : public ::testing::Test {
protected:
    // Each request fails as the table says.
    void ExpectRefusals(const std::vector<Refusal>& refusals);

    TWebSource Source(const std::string& address, const std::string& root = "/mp3/") {
        settings.WriteString("Einstellungen", "Server Adresse", address);
        settings.WriteString("Einstellungen", "Root Server", root);
        const TSourceSettings chosen = TSourceSettings::Read(settings);
        return TWebSource(false, chosen.WebAddress, chosen.WebRoot);
    }

    // GetFile that must fail; returns the message, checks that the bar ended
    // hidden, and keeps what reached the stream in received.
    std::string FailedGet(TWebSource& source, const std::string& path = "\\a.mp3") {
        RecordingProgress bar;
        source.ProgressBar = &bar;
        std::ostringstream dest;
        std::string message;
        try {
            source.GetFile(dest, path);
            ADD_FAILURE() << "GetFile succeeded";
        } catch (const Error& e) {
            message = e.what();
        }
        EXPECT_EQ(bar.Letters.substr(0, 3), "SP0");
        EXPECT_EQ(bar.Letters.back(), 'H');
        received = dest.str();
        return message;
    }

    TempDir tmp;
    TIniFile settings{tmp / "settings.ini"};
    std::string received;
};

}  // namespace

TEST(UrlEncodeTest, EncodesWhatTheServerWouldMisread) {
    EXPECT_EQ(UrlEncode("\\AC DC\\Live & Loud\\"), "\\AC%20DC\\Live%20%26%20Loud\\");
    EXPECT_EQ(UrlEncode("100% Hits.mp3"), "100%25%20Hits.mp3");
    EXPECT_EQ(UrlEncode("#?+"), "%23%3F%2B");
    EXPECT_EQ(UrlEncode(std::string("a\0\x1f\x7f", 4)), "a%00%1F\x7f");
    EXPECT_EQ(UrlEncode("\xC3\xA4\xE4\xFF\x80"), "%C3%A4%E4%FF%80");
    EXPECT_EQ(UrlEncode("/\\:;=,'\"()*!~-_.<>[]{}|^`@$09azAZ"),
              "/\\:;=,'\"()*!~-_.<>[]{}|^`@$09azAZ");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(SplitListingTest, BreaksAndEmptyLines) {
    using L = std::vector<std::string>;
    EXPECT_EQ(SplitListing(""), L{});
    EXPECT_EQ(SplitListing("a.mp3<br>b.mp3"), (L{"a.mp3", "b.mp3"}));
    EXPECT_EQ(SplitListing("01 Intro.mp3<BR>02 Song.mp3<Br>"), (L{"01 Intro.mp3", "02 Song.mp3"}));
    EXPECT_EQ(SplitListing("a\r\nb\rc\nd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitListing("a\n\nb\n"), (L{"a", "", "b"}));
    EXPECT_EQ(SplitListing("a<br>\r\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(SplitListing("\n"), L{""});
    EXPECT_EQ(SplitListing("a\r\r\n"), (L{"a", ""}));
    EXPECT_EQ(SplitListing("<b<br>r>"), (L{"<b", "r>"}));
    // A name with a zero byte could name no file; the lines around it stay.
    EXPECT_EQ(SplitListing(std::string("a\n\0b<br>\0\r\nc\0", 13)), L{"a"});
    EXPECT_EQ(SplitListing(std::string("\0\n\nb", 4)), (L{"", "b"}));
}

TEST_F(WebSourceTest, SettingsAndRequestTargets) {
    TIniFile empty(tmp / "empty.ini");
    const TSourceSettings stored = TSourceSettings::Read(empty);
    TWebSource defaults(true, stored.WebAddress, stored.WebRoot);
    EXPECT_EQ(defaults.Root, "/mp3/");
    EXPECT_EQ(defaults.Server, "localhost");
    EXPECT_EQ(defaults.Port, 80);
    EXPECT_EQ(defaults.Capabilities, 0);
    EXPECT_TRUE(defaults.Alternative);
    EXPECT_EQ(defaults.BaseUrl(), "http://localhost:80/");
    EXPECT_EQ(defaults.FileTarget("tunrax.dat"), "/mp3/tunrax.php?datei=tunrax.dat");
    EXPECT_EQ(defaults.ListTarget("\\AC DC\\Live & Loud\\"),
              "/mp3/tunrax.php?verzeichnis=\\AC%20DC\\Live%20%26%20Loud\\");

    TWebSource noSlash = Source("musik.example:8080", "/mp3");
    EXPECT_EQ(noSlash.Server, "musik.example");
    EXPECT_EQ(noSlash.Port, 8080);
    EXPECT_EQ(noSlash.FileTarget("tunrax.dat"), "/mp3tunrax.php?datei=tunrax.dat");

    TWebSource v6 = Source("[::1]:81");
    EXPECT_EQ(v6.Server, "::1");
    EXPECT_EQ(v6.Port, 81);
    EXPECT_EQ(v6.BaseUrl(), "http://[::1]:81/");

    for (const char* bad : {"host:", "host:0", "host:65536", "host:8o", "[::1", "a b", "u@host"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(Source(bad), Error);
    }
    for (const char* bad : {"ho\r\nst", "host\x7f", "host\t:80"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(TWebSource(false, bad, "/mp3/"), Error);
    }
    // A line break in the folder would end the request line early and send
    // the rest as header lines of the user's making: refused, as by the FTP
    // source, before anything is sent.
    for (const std::string& bad :
         {std::string("/mp3/\r\nX-Boese: 1\r\n"), std::string("/mp3\n/"),
          std::string("/mp3/\0/", 7), std::string("/mp\t3/"), std::string("/mp3\x7f/")}) {
        SCOPED_TRACE(bad);
        try {
            TWebSource(false, "localhost", bad);
            ADD_FAILURE() << "taken";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find("Verzeichnis auf dem Server"),
                      std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(Source("localhost", "/Musik für alle/").Root, "/Musik für alle/");
}

// The player's source against each web server set-up of the server README.
class WebSourceServerTest : public WebSourceTest,
                            public ::testing::WithParamInterface<WebServerKind> {};

INSTANTIATE_TEST_SUITE_P(EachWebServer, WebSourceServerTest,
                         ::testing::ValuesIn(AllWebServerKinds()),
                         [](const auto& kind) { return KindName(kind.param); });

TEST_P(WebSourceServerTest, ListsAndFetchesFromTheServerScript) {
    const std::string music = tmp / "www/mp3/";
    std::string song;
    for (int i = 0; i < 300000; ++i)
        song += static_cast<char>(i * 7 % 256);
    const std::string name = "\\AC DC\\100% Live & L\xC3\xBCt #1+2?\\";
    WriteFile(music + "AC DC/100% Live & L\xC3\xBCt #1+2?/B\xE4r.mp3", song);
    WriteFile(music + "AC DC/100% Live & L\xC3\xBCt #1+2?/c.wav", "");
    WriteFile(music + "tunrax.dat", "\\AC DC\\\r\n");
    WebServer server(GetParam(), tmp / "www/", tmp / "server/");
    TWebSource source = Source(server.Address());
    RecordingProgress bar;
    source.ProgressBar = &bar;

    std::vector<std::string> list{"old"};
    source.ListFiles(list, name);
    EXPECT_EQ(list, std::vector<std::string>{"B\xE4r.mp3"});
    EXPECT_EQ(bar.Letters.find_first_not_of('.'), std::string::npos) << "listing shows no bar";

    bar.Letters.clear();
    std::ostringstream dest;
    dest << "vorher";
    source.GetFile(dest, name + "B\xE4r.mp3");
    EXPECT_EQ(dest.str(), "vorher" + song);
    const std::string& events = bar.Letters;
    EXPECT_EQ(events.substr(0, 3), "SP0");
    EXPECT_EQ(events.back(), 'H');
    EXPECT_GE(events.size(), 5u) << events;
    EXPECT_EQ(events.find_first_not_of('.', 3), events.size() - 1) << events;

    std::ostringstream catalogue;
    source.GetFile(catalogue, "tunrax.dat");
    EXPECT_EQ(catalogue.str(), "\\AC DC\\\r\n");

    // A copy for the background reaches the same server, without the bar.
    source.ConnectTimeoutMs = 4321;
    std::unique_ptr<TSource> copy = source.CloneForBackground();
    ASSERT_TRUE(copy);
    const auto* http = dynamic_cast<const TWebSource*>(copy.get());
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->BaseUrl(), source.BaseUrl());
    EXPECT_EQ(http->Root, "/mp3/");
    EXPECT_EQ(http->ConnectTimeoutMs, 4321);
    EXPECT_EQ(http->ProgressBar, nullptr);
    bar.Letters.clear();
    std::ostringstream fetched;
    copy->GetFile(fetched, name + "B\xE4r.mp3");
    EXPECT_EQ(fetched.str(), song);
    EXPECT_EQ(bar.Letters, "");

    SCOPED_TRACE("failures of the script");
    EXPECT_NE(FailedGet(source, "\\fehlt.mp3").find("Fehler 404 für \"\\fehlt.mp3\""),
              std::string::npos);
    EXPECT_THROW(source.ListFiles(list, "\\fehlt\\"), Error);
}

TEST_F(WebSourceTest, SendsThePlainRequestAndReadsAListing) {
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 18\r\n\r\na.mp3<br>b.mp3\r\n\r\n");
    TWebSource source = Source("127.0.0.1:" + std::to_string(server.port), "/m p3/");
    std::vector<std::string> list;
    source.ListFiles(list, "\\A B\\");
    EXPECT_EQ(list, (std::vector<std::string>{"a.mp3", "b.mp3", ""}));
    EXPECT_EQ(server.request.substr(0, server.request.find("\r\n")),
              "GET /m p3/tunrax.php?verzeichnis=\\A%20B\\ HTTP/1.1");
    EXPECT_NE(server.request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port) + "\r\n"),
              std::string::npos);
}

TEST_F(WebSourceTest, FailuresAreGermanErrors) {
    {
        SCOPED_TRACE("nobody listens");
        TWebSource source = Source("127.0.0.1:" + std::to_string(FreePort()));
        EXPECT_NE(FailedGet(source).find("Keine Verbindung"), std::string::npos);
    }
    {
        SCOPED_TRACE("body shorter than announced");
        CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc");
        TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
        EXPECT_NE(FailedGet(source).find("abgebrochen"), std::string::npos);
    }
    {
        SCOPED_TRACE("length beyond any number, then the connection closes");
        CannedServer server(
            "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999999\r\n\r\nhallo");
        TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
        EXPECT_NE(FailedGet(source).find("unmögliche Länge"), std::string::npos);
        EXPECT_EQ(received, "");
    }
    {
        SCOPED_TRACE("redirect");
        CannedServer elsewhere("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nfalsch");
        CannedServer server(
            "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(elsewhere.port) +
            "/anders.mp3\r\nContent-Length: 5\r\n\r\nmoved");
        TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
        EXPECT_NE(FailedGet(source).find("weiter"), std::string::npos);
        EXPECT_EQ(received, "");
    }
    {
        SCOPED_TRACE("server error with a body");
        CannedServer server("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops");
        TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
        EXPECT_EQ(FailedGet(source), "Der Server meldet Fehler 500 für \"\\a.mp3\".");
        EXPECT_EQ(received, "");
    }
    {
        SCOPED_TRACE("stalled transfer");
        CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab", 10000);
        TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
        source.Pace = Pace(1024, 1s);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NE(FailedGet(source).find("zu langsam"), std::string::npos);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    {
        SCOPED_TRACE("the stream refuses to take the file");
        CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
        TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
        std::ostringstream dest;
        dest.setstate(std::ios::badbit);
        EXPECT_THROW(source.GetFile(dest, "\\a.mp3"), Error);
    }
}

TEST_F(WebSourceTest, ConnectTimeOut) {
    // A listening socket whose one-place queue is full: further handshakes
    // are never answered.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::listen(fd, 0);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    // The queue is full once the first handshake is through.
    pollfd first{fillers.front(), POLLOUT, 0};
    ASSERT_EQ(::poll(&first, 1, 2000), 1) << "no filler got into the queue";

    TWebSource source = Source("127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    source.ConnectTimeoutMs = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(FailedGet(source).find("antwortet nicht"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    for (int filler : fillers)
        ::close(filler);
    ::close(fd);
}

// Each refusal comes the same in plain HTTP and over TLS.
void WebSourceTest::ExpectRefusals(const std::vector<Refusal>& refusals) {
    for (const Refusal& refusal : refusals) {
        HostileHttp server(refusal.Mode);
        const TlsFront front(server.Port(), "good");
        for (const bool secure : {false, true}) {
            SCOPED_TRACE(std::string(refusal.Trace) + (secure ? " (HTTPS)" : ""));
            TWebSource source(false, secure ? front.Address() : server.Address(), "/mp3/");
            source.TrustedAuthorities = TestCertificates::Get().Authority();
            if (refusal.SetUp)
                refusal.SetUp(source);
            Clock::duration took{};
            EXPECT_EQ(Failure([&] { refusal.Ask(source); }, took), refusal.Message);
            EXPECT_LT(took, refusal.Bound);
        }
    }
}

// A server that begins the TLS handshake and never ends it is bounded by the
// time allowed for connecting, and a cancel ends it at once.
TEST_F(WebSourceTest, ADrippingTlsHandshakeIsBounded) {
    HostileHttp server("drip-handshake");
    TWebSource source(false, "https://" + server.Address(), "/mp3/");
    source.ConnectTimeoutMs = 500;
    auto start = Clock::now();
    EXPECT_EQ(FailedGet(source), "Der Server \"127.0.0.1\" antwortet nicht.");
    EXPECT_LT(Clock::now() - start, 2s);

    source.ConnectTimeoutMs = 10000;
    int turns = 0;
    SetTransferWaitHook([&turns] {
        if (++turns == 3)
            CancelRunningTransfers();
    });
    start = Clock::now();
    EXPECT_EQ(FailedGet(source), "Die Übertragung wurde abgebrochen.");
    SetTransferWaitHook(nullptr);
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST_F(WebSourceTest, SlowServersEndWithinTheirBounds) {
    std::vector<std::string> list;
    ExpectRefusals({
        {"a body of 100 bytes a second", "drip-body", WithPace(Pace(1024, 1s)), AskForSong,
         "Die Übertragung von \"\\a.mp3\" ist zu langsam (weniger als 1 KB in 1 s).", 3s},
        {"header lines that never end", "drip-headers", WithPace(Pace(1024, 1s)),
         AskForListing(list),
         "Die Übertragung von \"\\A\\\" ist zu langsam (weniger als 1 KB in 1 s).", 3s},
        {"fast enough, but a listing has a ceiling", "slow-file", WithPace(Pace(10, 1s, 200ms)),
         AskForListing(list), "Die Übertragung von \"\\A\\\" dauert zu lange (mehr als 0,2 s).",
         1s},
        {"the catalogue has a time limit of its own", "drip-body", WithPace(Pace(10, 1s)),
         AskForCatalogue(500ms),
         "Das Laden des Katalogs \"tunrax.dat\" dauert zu lange (mehr als 0,5 s).", 2s},
    });

    SCOPED_TRACE("fast enough, and a song has no ceiling");
    HostileHttp server("slow-file");
    TWebSource source = Source(server.Address());
    source.Pace = Pace(10, 1s, 200ms);
    std::ostringstream dest;
    source.GetFile(dest, "\\a.mp3");
    EXPECT_EQ(dest.str(), "01234567890123456789012345678901234567890123456789");
}

TEST_F(WebSourceTest, CancellingEndsARunningRequestAtOnce) {
    HostileHttp server("drip-body");
    TWebSource source = Source(server.Address());
    RecordingProgress bar;
    source.ProgressBar = &bar;
    ArrivingStream dest;
    Clock::time_point cancelled;
    // Called off once the body is running.
    std::thread other([&cancelled, &dest] {
        WaitUntil([&dest] { return dest.Arrived() > 0; });
        cancelled = Clock::now();
        CancelRunningTransfers();
    });
    const auto start = Clock::now();
    try {
        source.GetFile(dest, "\\a.mp3");
        ADD_FAILURE() << "GetFile succeeded";
    } catch (const TransferCancelled& e) {
        EXPECT_STREQ(e.what(), "Die Übertragung wurde abgebrochen.");
    } catch (const Error& e) {
        ADD_FAILURE() << "not a cancel: " << e.what();
    }
    const auto end = Clock::now();
    other.join();
    EXPECT_LT(end - cancelled, 1s);
    EXPECT_LT(end - start, 2s);
    EXPECT_FALSE(dest.Text().empty()) << "the body was running";
    EXPECT_EQ(bar.Letters.back(), 'H');

    SCOPED_TRACE("the window's turn: a click on \"Beenden\" there ends the listing");
    int turns = 0;
    SetTransferWaitHook([&turns] {
        if (++turns == 5)
            CancelRunningTransfers();
    });
    std::vector<std::string> list;
    Clock::duration took{};
    const std::string message = Failure([&] { source.ListFiles(list, "\\A\\"); }, took);
    SetTransferWaitHook(nullptr);
    EXPECT_EQ(message, "Die Übertragung wurde abgebrochen.");
    EXPECT_EQ(turns, 5);
    EXPECT_LT(took, 2s);
}

TEST_F(WebSourceTest, ListingsAreBoundedInSizeAndSkipNamesWithZeroBytes) {
    std::vector<std::string> list{"alt"};
    ExpectRefusals({
        {"a listing that never ends", "endless-list", WithListingCeiling(1 << 20),
         AskForListing(list), "Die Liste von \"\\A\\\" ist zu groß (mehr als 1 MB).", 3s},
        {"a catalogue that never ends", "endless-list", WithListingCeiling(1 << 20),
         AskForCatalogue(), "Der Katalog \"tunrax.dat\" ist zu groß (mehr als 1 MB).", 3s},
        {"header lines that never end, for a song too", "endless-headers", nullptr, AskForSong,
         "Der Server schickt für \"\\a.mp3\" zu viele Kopfzeilen (mehr als 256 KB).", 3s},
        // 100 KB of line breaks: each an empty name, counted with what it takes.
        {"bare line breaks", "breaks-list", WithListingCeiling(1 << 20), AskForListing(list),
         "Die Liste von \"\\A\\\" ist zu groß (mehr als 1 MB).", 3s},
        {"one name that never ends", "endless-line", nullptr, AskForListing(list),
         "Ein Name in der Liste von \"\\A\\\" ist zu lang (mehr als 64 KB).", 3s},
    });
    EXPECT_EQ(list, std::vector<std::string>{"alt"}) << "a refused listing leaves the list";
    {
        SCOPED_TRACE("zero bytes");
        HostileHttp server("nul-names");
        TWebSource source = Source(server.Address());
        source.ListFiles(list, "\\A\\");
        EXPECT_EQ(list, (std::vector<std::string>{"a.mp3", "d.mp3", "f.mp3"}));
    }
}

TEST_F(WebSourceTest, LongListingsSplitTheSameInEveryPieceAndNamesUpToTheLimit) {
    // Many reads, so that breaks of every kind fall on the edges of reads.
    std::string body;
    std::vector<std::string> names;
    const char* breaks[] = {"<br>", "<bR>\r\n", "\r\n", "\r", "\n", "<BR>"};
    for (int i = 0; i < 30000; ++i) {
        names.push_back(std::to_string(i) + (i % 7 == 0 ? "<b" : "") + ".mp3");
        body += names.back() + breaks[i % 6];
        if (i % 6 == 1)
            names.push_back("");
    }
    const std::string longName(1000, 'x');
    body += longName;
    names.push_back(longName);
    EXPECT_EQ(SplitListing(body), names);
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\n\r\n" + body);
    TWebSource source = Source("127.0.0.1:" + std::to_string(server.port));
    source.MaxNameBytes = longName.size();
    // The bound holds the bytes and the bookkeeping of every name.
    source.MaxListingBytes = body.size() + names.size() * sizeof(std::string);
    std::vector<std::string> list;
    source.ListFiles(list, "\\A\\");
    EXPECT_EQ(list, names);

    SCOPED_TRACE("one byte more is too much");
    CannedServer again("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\n\r\n" + body);
    TWebSource smaller = Source("127.0.0.1:" + std::to_string(again.port));
    smaller.MaxNameBytes = longName.size() - 1;
    Clock::duration took{};
    EXPECT_EQ(Failure([&] { smaller.ListFiles(list, "\\A\\"); }, took),
              "Ein Name in der Liste von \"\\A\\\" ist zu lang (mehr als 999 Bytes).");
}
