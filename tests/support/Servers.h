// Real servers on loopback for the source tests: a free port, a child process
// that is started, waited for until its port accepts connections, and stopped
// again, and the PHP built-in web server serving our server script.
// Failures to start throw std::runtime_error.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tunrax::test {

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();

// True once a connection to 127.0.0.1:port succeeds within the time-out.
bool WaitForPort(int port, std::chrono::milliseconds timeout);

// True while a client holds an established TCP connection to the local port
// (IPv4 or IPv6), as the kernel lists it.
bool TcpConnectedTo(int port);

// One child process, stopped (SIGTERM, then SIGKILL) when the object goes.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Runs argv (argv[0] looked up on the PATH) with stdin from /dev/null and
    // stdout and stderr into logFile (/dev/null when empty), and waits until
    // 127.0.0.1:port accepts connections. Throws when the program cannot be
    // started, ends early or does not open the port within the time-out.
    void Start(const std::vector<std::string>& argv, int port,
               const std::string& logFile = std::string(),
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The same for a server that shows it is ready otherwise (a socket file,
    // say): waits until ready() holds.
    void StartUntil(const std::vector<std::string>& argv, const std::function<bool()>& ready,
                    const std::string& logFile = std::string(),
                    std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Ends the child and waits for it; nothing when none runs.
    void Stop();

    bool Running() const { return FPid > 0; }
    pid_t Pid() const { return FPid; }
    int Port() const { return FPort; }

private:
    pid_t FPid = -1;
    int FPort = 0;
};

// The server script in the source tree (TUNRAX_SOURCE_DIR/server/tunrax.php).
std::string ServerScriptPath();

// `php -S 127.0.0.1:PORT -t root` on a free port, with our server script
// copied into root + scriptFolder (folders ending in "/", made when missing).
class PhpServer {
public:
    // On port, or a free one for 0.
    explicit PhpServer(const std::string& root, const std::string& scriptFolder = std::string(),
                       int port = 0);

    int Port() const { return FProcess.Port(); }
    // "127.0.0.1:PORT", as the "Server Adresse" setting takes it.
    std::string Address() const;

private:
    ServerProcess FProcess;
};

// pyftpdlib on a free loopback port serving root to two users: "schreiber"
// (password "geheim") may write, "leser" (empty password) may only read.
class FtpTestServer {
public:
    explicit FtpTestServer(const std::string& root);

    int Port() const { return FProcess.Port(); }
    // "127.0.0.1:PORT", as the "FTP Adresse" setting takes it.
    std::string Address() const;

private:
    ServerProcess FProcess;
};

// One HTTP/1.0 request sent over a plain socket, exactly as given (target not
// encoded or checked), and the answer read to its end.
struct HttpReply {
    int status = 0;
    std::string headers;  // the header lines after the status line
    std::string body;
};
HttpReply RawHttpGet(int port, const std::string& target,
                     const std::string& extraHeaders = std::string());

}  // namespace tunrax::test
