// Which server certificate a secure connection of a source accepts, and the
// German words for one it refuses. Either the authorities (the system's, or
// a file of them) and the host name decide, or the user has trusted exactly
// one certificate for the server by its SHA-256 fingerprint: then that
// certificate and no other is accepted, whoever issued it and whatever name
// it bears. Works on OpenSSL's contexts, ours (FTP) and libcurl's (HTTPS).
#pragma once

#include <openssl/types.h>

#include <string>

#include "io/Error.h"

namespace tunrax {

// "AB:CD:…:EF": the SHA-256 of the certificate's DER bytes, 32 pairs, as
// browsers show it.
std::string CertificateFingerprint(X509* certificate);
// A fingerprint as typed or stored, in the form above; empty when it is none.
std::string NormalisedFingerprint(const std::string& text);

// A server certificate that was refused. Fingerprint() is that certificate's,
// so that the user can compare it and choose to trust it.
class TUntrustedCertificate : public Error {
public:
    TUntrustedCertificate(const std::string& message, std::string fingerprint)
        : Error(message), FFingerprint(std::move(fingerprint)) {}
    const std::string& Fingerprint() const { return FFingerprint; }

private:
    std::string FFingerprint;
};

// The check of one handshake. Lives as long as the context it watches.
class TTlsTrust {
public:
    // pinned: the fingerprint trusted for this server ("" for none).
    explicit TTlsTrust(std::string pinned = std::string());
    TTlsTrust(const TTlsTrust&) = delete;
    TTlsTrust& operator=(const TTlsTrust&) = delete;

    bool Pinned() const { return !FPinned.empty(); }
    // Makes every handshake on context check the server's certificate this
    // way and note what it saw.
    void Watch(SSL_CTX* context);
    // The authorities of our own contexts: authoritiesFile (PEM), or the
    // system's when it is empty. Throws Error when the file cannot be read.
    static void LoadAuthorities(SSL_CTX* context, const std::string& authoritiesFile);
    // The name the certificate must bear (host name or address), unless a
    // certificate is pinned.
    void ExpectName(SSL* connection, const std::string& host) const;

    // The server's certificate, once a handshake got that far.
    const std::string& SeenFingerprint() const { return FSeen; }
    // Throws TUntrustedCertificate when the last handshake refused the
    // certificate; detail is what the TLS library said, for a refusal it did
    // not report through the check (libcurl checks the name itself).
    void ThrowIfRefused(const std::string& server, const std::string& detail) const;

private:
    static int Verify(int preverified, X509_STORE_CTX* store);
    std::string FPinned;
    std::string FSeen;
    int FProblem = 0;  // the first X509_V_ERR_* of the chain, 0 for none
    bool FChanged = false;
};

}  // namespace tunrax
