// The control and data sockets of the FTP source, and the reasons an
// operation on them fails. A socket never blocks longer than kTransferSlice,
// so that a transfer can be called off and bounded (TransferControl.h); with
// TLS (StartTls) the handshake, reading, writing and the goodbye wait in the
// same slices. Internal to the FTP source.
#pragma once

#include <openssl/types.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <Poco/Net/SocketAddress.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <string>
#include <utility>

#include "io/Error.h"
#include "sources/FtpProtocol.h"
#include "sources/TransferControl.h"

namespace tunrax::ftp {

using Clock = std::chrono::steady_clock;

// Why an operation failed; FtpConnection::Fail makes German messages of them.
struct NoAnswer {};
struct LostConnection {
    std::string Text;
};
// The TLS handshake failed; Detail is what OpenSSL said.
struct TlsRefused {
    std::string Detail;
};
// The server said no; the connection can go on.
struct Refusal {
    TFtpReply Reply;
};

// The source speaks the few commands it needs itself: a library client waits
// in blocking calls that nothing can call off and reads replies without bound.

// A socket that never blocks longer than kTransferSlice: between the slices
// the watch gives the program its turn and ends the wait when called off or
// too slow; Timeout bounds a wait with no progress at all.
class FtpSocket {
public:
    FtpSocket() = default;
    ~FtpSocket() { Close(); }
    FtpSocket(FtpSocket&& other) noexcept
        : FFd(std::exchange(other.FFd, -1)), FTls(std::exchange(other.FTls, nullptr)) {}
    FtpSocket& operator=(FtpSocket&& other) noexcept {
        if (this != &other) {
            Close();
            FFd = std::exchange(other.FFd, -1);
            FTls = std::exchange(other.FTls, nullptr);
        }
        return *this;
    }

    // Sends nothing more, not even TLS's goodbye: after a cancel or a broken
    // connection nothing may wait a second time.
    void Close();

    // Speaks TLS over this connection from now on, tls (owned from here on)
    // made for it; throws TlsRefused when the handshake fails.
    void StartTls(SSL* tls, TTransferWatch& watch, std::chrono::milliseconds timeout);
    SSL* Tls() const { return FTls; }
    // Closes a data connection once its transfer is done. With TLS it says
    // goodbye (close_notify) and waits for the server's, so that the server
    // knows an upload is whole and no unread byte turns the close into a
    // reset that could cost the server the upload's end.
    void Finish(TTransferWatch& watch, std::chrono::milliseconds timeout);

    void Connect(const Poco::Net::SocketAddress& address, TTransferWatch& watch,
                 std::chrono::milliseconds timeout) {
        Close();
        FFd = ::socket(address.af(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (FFd < 0)
            throw LostConnection{SystemErrorText(errno)};
        if (::connect(FFd, address.addr(), address.length()) == 0)
            return;
        if (errno != EINPROGRESS)
            throw LostConnection{SystemErrorText(errno)};
        Wait(POLLOUT, watch, timeout);
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(FFd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0)
            throw LostConnection{SystemErrorText(error)};
    }

    // At most size bytes, at least one; 0 at the end of the data.
    size_t Receive(char* buffer, size_t size, TTransferWatch& watch,
                   std::chrono::milliseconds timeout) {
        if (FTls)
            return ReceiveTls(buffer, size, watch, timeout);
        for (;;) {
            watch.Check();
            const ssize_t got = ::recv(FFd, buffer, size, MSG_DONTWAIT);
            if (got >= 0) {
                watch.Moved(static_cast<uint64_t>(got));
                return static_cast<size_t>(got);
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                Wait(POLLIN, watch, timeout);
            else if (errno != EINTR)
                throw LostConnection{SystemErrorText(errno)};
        }
    }

    void Send(const char* data, size_t size, TTransferWatch& watch,
              std::chrono::milliseconds timeout) {
        if (FTls)
            return SendTls(data, size, watch, timeout);
        while (size > 0) {
            watch.Check();
            const ssize_t sent = ::send(FFd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent >= 0) {
                watch.Moved(static_cast<uint64_t>(sent));
                data += sent;
                size -= static_cast<size_t>(sent);
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                Wait(POLLOUT, watch, timeout);
            } else if (errno != EINTR) {
                throw LostConnection{SystemErrorText(errno)};
            }
        }
    }

    Poco::Net::SocketAddress Peer() const {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getpeername(FFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw LostConnection{SystemErrorText(errno)};
        return Poco::Net::SocketAddress(reinterpret_cast<const sockaddr*>(&address), length);
    }

private:
    size_t ReceiveTls(char* buffer, size_t size, TTransferWatch& watch,
                      std::chrono::milliseconds timeout);
    void SendTls(const char* data, size_t size, TTransferWatch& watch,
                 std::chrono::milliseconds timeout);
    // Waits as OpenSSL asks after a call that returned result; false when
    // the call failed for good.
    bool WaitForTls(int result, TTransferWatch& watch, std::chrono::milliseconds timeout);
    void AwaitGoodbye(TTransferWatch& watch, std::chrono::milliseconds timeout);

    void Wait(short events, TTransferWatch& watch, std::chrono::milliseconds timeout) {
        const Clock::time_point end = Clock::now() + timeout;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left <= std::chrono::milliseconds::zero())
                throw NoAnswer{};
            pollfd entry{FFd, events, 0};
            const int ready =
                ::poll(&entry, 1, static_cast<int>(std::min(left, kTransferSlice).count()));
            if (ready > 0)
                return;
            if (ready < 0 && errno != EINTR)
                throw LostConnection{SystemErrorText(errno)};
            watch.Check();
        }
    }

    int FFd = -1;
    SSL* FTls = nullptr;
};

}  // namespace tunrax::ftp
