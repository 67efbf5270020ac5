#include "sources/TlsTrust.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cctype>

namespace tunrax {

namespace {

// Where a context keeps its TTlsTrust, for the check that OpenSSL calls.
int TrustIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

std::string Hex(const unsigned char* bytes, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (i > 0)
            text += ':';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

// The words after "Das Zertifikat des Servers "…" " for a failed check.
std::string ProblemWords(int problem) {
    switch (problem) {
        case X509_V_ERR_CERT_HAS_EXPIRED: return "ist abgelaufen.";
        case X509_V_ERR_CERT_NOT_YET_VALID: return "ist noch nicht gültig.";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
            return "ist selbst ausgestellt; ihm wird nicht vertraut.";
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return "stammt von einem unbekannten Aussteller; ihm wird nicht vertraut.";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH: return "gilt nicht für diesen Namen.";
        case X509_V_ERR_CERT_REVOKED: return "ist zurückgezogen.";
        default:
            return std::string("ist ungültig (") + X509_verify_cert_error_string(problem) + ").";
    }
}

}  // namespace

std::string CertificateFingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &size) != 1)
        return std::string();
    return Hex(digest, size);
}

std::string NormalisedFingerprint(const std::string& text) {
    std::string digits;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (c != ':' && c != ' ')
            return std::string();
    }
    if (digits.size() != 64)
        return std::string();
    std::string pairs;
    for (size_t i = 0; i < digits.size(); i += 2)
        pairs += (i > 0 ? ":" : "") + digits.substr(i, 2);
    return pairs;
}

TTlsTrust::TTlsTrust(std::string pinned) : FPinned(NormalisedFingerprint(pinned)) {}

void TTlsTrust::Watch(SSL_CTX* context) {
    SSL_CTX_set_ex_data(context, TrustIndex(), this);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, &TTlsTrust::Verify);
}

void TTlsTrust::LoadAuthorities(SSL_CTX* context, const std::string& authoritiesFile) {
    const int loaded = authoritiesFile.empty() ? SSL_CTX_set_default_verify_paths(context)
                                               : SSL_CTX_load_verify_locations(
                                                     context, authoritiesFile.c_str(), nullptr);
    if (loaded != 1)
        throw Error(
            "Die vertrauenswürdigen Zertifizierungsstellen konnten nicht geladen werden" +
            (authoritiesFile.empty() ? std::string(".") : " (\"" + authoritiesFile + "\")."));
}

void TTlsTrust::ExpectName(SSL* connection, const std::string& host) const {
    if (Pinned())
        return;
    X509_VERIFY_PARAM* param = SSL_get0_param(connection);
    // An address must be among the certificate's addresses, a name among its
    // names; neither may stand for the other.
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1)
        return;
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
}

int TTlsTrust::Verify(int preverified, X509_STORE_CTX* store) {
    const auto* connection = static_cast<const SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* trust = connection ? static_cast<TTlsTrust*>(
                                   SSL_CTX_get_ex_data(SSL_get_SSL_CTX(connection), TrustIndex()))
                             : nullptr;
    if (!trust)
        return 0;
    // The certificate of the server itself, at whatever depth the chain is.
    const std::string seen = CertificateFingerprint(X509_STORE_CTX_get0_cert(store));
    trust->FSeen = seen;
    if (trust->Pinned()) {
        trust->FChanged = seen != trust->FPinned;
        return trust->FChanged ? 0 : 1;
    }
    if (!preverified && trust->FProblem == 0)
        trust->FProblem = X509_STORE_CTX_get_error(store);
    return preverified;
}

void TTlsTrust::ThrowIfRefused(const std::string& server, const std::string& detail) const {
    const std::string certificate = "Das Zertifikat des Servers \"" + server + "\" ";
    if (FChanged)
        throw TUntrustedCertificate(
            certificate +
                "ist nicht mehr das, dem Sie vertraut haben. Prüfen Sie den neuen "
                "Fingerabdruck, bevor Sie ihm vertrauen.",
            FSeen);
    if (FProblem != 0)
        throw TUntrustedCertificate(certificate + ProblemWords(FProblem), FSeen);
    // libcurl checks the name after the handshake, and says so in English.
    if (!FSeen.empty() && (detail.find("subject name") != std::string::npos ||
                           detail.find("does not match") != std::string::npos))
        throw TUntrustedCertificate(certificate + ProblemWords(X509_V_ERR_HOSTNAME_MISMATCH),
                                    FSeen);
}

}  // namespace tunrax
