#include "support/Servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

#ifndef TUNRAX_SOURCE_DIR
#error "TUNRAX_SOURCE_DIR must name the source tree"
#endif

namespace tunrax::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

bool WaitForPort(int port, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_in address = Loopback(port);
        bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

bool TcpConnectedTo(int port) {
    char local[8];
    std::snprintf(local, sizeof local, ":%04X", port);
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // the column heads
        while (std::getline(in, line)) {
            // sl local_address rem_address st ...; state 01 is ESTABLISHED.
            std::istringstream fields(line);
            std::string slot, localAddress, remoteAddress, state;
            fields >> slot >> localAddress >> remoteAddress >> state;
            if (state == "01" && localAddress.size() > 5 &&
                localAddress.compare(localAddress.size() - 5, 5, local) == 0)
                return true;
        }
    }
    return false;
}

ServerProcess::~ServerProcess() {
    Stop();
}

void ServerProcess::Start(const std::vector<std::string>& argv, int port,
                          const std::string& logFile, std::chrono::milliseconds timeout) {
    StartUntil(
        argv, [port] { return WaitForPort(port, std::chrono::milliseconds(50)); }, logFile,
        timeout);
    FPort = port;
}

void ServerProcess::StartUntil(const std::vector<std::string>& argv,
                               const std::function<bool()>& ready, const std::string& logFile,
                               std::chrono::milliseconds timeout) {
    if (argv.empty())
        throw std::runtime_error("no program to start");
    Stop();
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::string log = logFile.empty() ? "/dev/null" : logFile;

    pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A group of its own: Apache's prefork signals its whole process
        // group when it shuts down, which would end the test too.
        ::setpgid(0, 0);
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (in >= 0)
            ::dup2(in, 0);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    FPid = pid;
    FPort = 0;

    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            throw std::runtime_error(argv[0] + " ended before it was ready" +
                                     (logFile.empty() ? "" : " (see " + logFile + ")"));
        }
        if (std::chrono::steady_clock::now() >= end) {
            Stop();
            throw std::runtime_error(argv[0] + " was not ready in time" +
                                     (logFile.empty() ? "" : " (see " + logFile + ")"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ServerProcess::Stop() {
    if (FPid <= 0)
        return;
    ::kill(FPid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, &status, 0);
    FPid = -1;
}

std::string ServerScriptPath() {
    return std::string(TUNRAX_SOURCE_DIR) + "/server/tunrax.php";
}

PhpServer::PhpServer(const std::string& root, const std::string& scriptFolder, int port) {
    fs::create_directories(root + scriptFolder);
    fs::copy_file(ServerScriptPath(), fs::path(root + scriptFolder) / "tunrax.php",
                  fs::copy_options::overwrite_existing);
    if (port == 0)
        port = FreePort();
    FProcess.Start({"php", "-S", "127.0.0.1:" + std::to_string(port), "-t", root}, port);
}

std::string PhpServer::Address() const {
    return "127.0.0.1:" + std::to_string(Port());
}

namespace {

const char* const kFtpServerScript = R"(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

authorizer = DummyAuthorizer()
authorizer.add_user("schreiber", "geheim", sys.argv[2], perm="elradfmwMT")
authorizer.add_user("leser", "", sys.argv[2], perm="elr")
FTPHandler.authorizer = authorizer
FTPHandler.auth_failed_timeout = 0
FTPServer(("127.0.0.1", int(sys.argv[1])), FTPHandler).serve_forever()
)";

}  // namespace

FtpTestServer::FtpTestServer(const std::string& root) {
    const int port = FreePort();
    // pyftpdlib is installed for the system's Python only.
    FProcess.Start({"/usr/bin/python3", "-c", kFtpServerScript, std::to_string(port), root}, port);
}

std::string FtpTestServer::Address() const {
    return "127.0.0.1:" + std::to_string(Port());
}

HttpReply RawHttpGet(int port, const std::string& target, const std::string& extraHeaders) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    const std::string request = "GET " + target +
                                " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" +
                                extraHeaders + "\r\n";
    for (size_t sent = 0; sent < request.size();) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    std::string answer;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    ::close(fd);

    HttpReply reply;
    const size_t end = answer.find("\r\n\r\n");
    const size_t lineEnd = answer.find("\r\n");
    if (end == std::string::npos || answer.compare(0, 5, "HTTP/") != 0)
        throw std::runtime_error("no HTTP answer for " + target);
    reply.status = std::stoi(answer.substr(answer.find(' ') + 1, 3));
    reply.headers = answer.substr(lineEnd + 2, end - lineEnd);
    reply.body = answer.substr(end + 4);
    return reply;
}

}  // namespace tunrax::test
