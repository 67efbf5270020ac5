#include "sources/FtpSocket.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstring>

namespace tunrax::ftp {

namespace {

// What OpenSSL said last, for a message.
std::string TlsErrorText() {
    const unsigned long code = ERR_peek_last_error();
    if (code == 0)
        return "unbekannter TLS-Fehler";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// OpenSSL writes to its sockets without MSG_NOSIGNAL: a server gone away
// would end the program with SIGPIPE. The same sockets, written with it.
int WriteWithoutSignal(BIO* bio, const char* data, int size) {
    const int fd = static_cast<int>(BIO_get_fd(bio, nullptr));
    BIO_clear_retry_flags(bio);
    const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int PutsWithoutSignal(BIO* bio, const char* text) {
    return WriteWithoutSignal(bio, text, static_cast<int>(std::strlen(text)));
}

const BIO_METHOD* SocketsWithoutSignal() {
    static BIO_METHOD* const method = [] {
        const BIO_METHOD* socket = BIO_s_socket();
        BIO_METHOD* made = BIO_meth_new(
            BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "ftp socket");
        if (made) {
            BIO_meth_set_write(made, WriteWithoutSignal);
            BIO_meth_set_puts(made, PutsWithoutSignal);
            BIO_meth_set_read(made, BIO_meth_get_read(socket));
            BIO_meth_set_ctrl(made, BIO_meth_get_ctrl(socket));
            BIO_meth_set_create(made, BIO_meth_get_create(socket));
            BIO_meth_set_destroy(made, BIO_meth_get_destroy(socket));
        }
        return made;
    }();
    return method;
}

}  // namespace

void FtpSocket::Close() {
    if (FTls)
        SSL_free(FTls);
    FTls = nullptr;
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
}

bool FtpSocket::WaitForTls(int result, TTransferWatch& watch, std::chrono::milliseconds timeout) {
    switch (SSL_get_error(FTls, result)) {
        case SSL_ERROR_WANT_READ: Wait(POLLIN, watch, timeout); return true;
        case SSL_ERROR_WANT_WRITE: Wait(POLLOUT, watch, timeout); return true;
        default: return false;
    }
}

void FtpSocket::StartTls(SSL* tls, TTransferWatch& watch, std::chrono::milliseconds timeout) {
    if (FTls)
        SSL_free(FTls);
    FTls = tls;
    BIO* bio = SocketsWithoutSignal() ? BIO_new(SocketsWithoutSignal()) : nullptr;
    if (!bio)
        throw TlsRefused{TlsErrorText()};
    BIO_set_fd(bio, FFd, BIO_NOCLOSE);
    SSL_set_bio(FTls, bio, bio);
    for (;;) {
        watch.Check();
        ERR_clear_error();
        errno = 0;
        const int result = SSL_connect(FTls);
        if (result == 1)
            return;
        const int error = SSL_get_error(FTls, result);
        if (WaitForTls(result, watch, timeout))
            continue;
        if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN ||
            ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
            throw LostConnection{errno != 0 ? SystemErrorText(errno)
                                            : "Der FTP-Server hat die Verbindung beendet"};
        throw TlsRefused{TlsErrorText()};
    }
}

size_t FtpSocket::ReceiveTls(char* buffer, size_t size, TTransferWatch& watch,
                             std::chrono::milliseconds timeout) {
    for (;;) {
        watch.Check();
        ERR_clear_error();
        errno = 0;
        size_t got = 0;
        if (SSL_read_ex(FTls, buffer, size, &got) == 1) {
            watch.Moved(got);
            return got;
        }
        const int error = SSL_get_error(FTls, 0);
        if (error == SSL_ERROR_ZERO_RETURN)
            return 0;
        if (WaitForTls(0, watch, timeout))
            continue;
        // Without TLS's goodbye the end may have been cut off by anyone
        // on the way: the data cannot be taken as whole.
        if (error == SSL_ERROR_SYSCALL && errno != 0)
            throw LostConnection{SystemErrorText(errno)};
        if (error == SSL_ERROR_SYSCALL ||
            ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
            throw LostConnection{
                "Der FTP-Server hat die TLS-Verbindung ohne Abschluss beendet; es können "
                "Daten fehlen"};
        throw LostConnection{"TLS-Fehler: " + TlsErrorText()};
    }
}

void FtpSocket::SendTls(const char* data, size_t size, TTransferWatch& watch,
                        std::chrono::milliseconds timeout) {
    while (size > 0) {
        watch.Check();
        ERR_clear_error();
        errno = 0;
        size_t sent = 0;
        // After WANT_WRITE OpenSSL wants the same bytes again.
        if (SSL_write_ex(FTls, data, size, &sent) == 1) {
            watch.Moved(sent);
            data += sent;
            size -= sent;
            continue;
        }
        const int error = SSL_get_error(FTls, 0);
        if (WaitForTls(0, watch, timeout))
            continue;
        if (error == SSL_ERROR_SYSCALL && errno != 0)
            throw LostConnection{SystemErrorText(errno)};
        throw LostConnection{"TLS-Fehler: " + TlsErrorText()};
    }
}

void FtpSocket::AwaitGoodbye(TTransferWatch& watch, std::chrono::milliseconds timeout) {
    // What comes before the server's goodbye (session tickets, say) is read
    // and dropped; a server that keeps sending is too slow by the watch.
    char sink[4096];
    for (;;) {
        watch.Check();
        ERR_clear_error();
        size_t got = 0;
        if (SSL_read_ex(FTls, sink, sizeof sink, &got) == 1)
            continue;
        if (!WaitForTls(0, watch, timeout))
            return;
    }
}

void FtpSocket::Finish(TTransferWatch& watch, std::chrono::milliseconds timeout) {
    if (FTls) {
        for (;;) {
            watch.Check();
            ERR_clear_error();
            const int result = SSL_shutdown(FTls);
            if (result == 1)
                break;
            if (result == 0) {
                AwaitGoodbye(watch, timeout);
                break;
            }
            // Else the server is gone; what it got, its reply tells.
            if (!WaitForTls(result, watch, timeout))
                break;
        }
    }
    Close();
}

}  // namespace tunrax::ftp
