// The FTP server source. Every operation opens its own connection (log-in,
// binary transfers, passive data connections), except that one scan keeps one
// connection for all its ListFolders calls. What the server allows is found
// out once, by Connect, from two marker files in Root: an empty
// "tunrax.copy" gives CanCopy, a successful upload of an empty "tunrax.ro"
// gives CanRebuild and CanStoreCatalogue.
//
// Errors are tunrax::Error with a German message: server unreachable, log-in
// refused, a server that stops answering within Timeout or moves less than
// Pace allows, a listing past Pace.ceiling or MaxListing, a reply or name
// past its bound (FtpProtocol.h), a folder that cannot be entered, a name
// holding CR, LF or NUL, a download or upload that fails (also half-way); a
// 550 answer (no such file or folder) is a NotFoundError. With Secure every
// connection is TLS (explicit: AUTH TLS after the greeting, PROT P for the
// data) or none is made: a server that refuses TLS or its protection of the
// data is an error before the log-in is sent, a certificate that is not
// trusted a TUntrustedCertificate (TlsTrust.h). A
// listing that the server refuses is an empty listing. A cancel (see
// TransferControl.h) ends any operation within kTransferSlice with
// TransferCancelled; its connection sends nothing more.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sources/FtpProtocol.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

class FtpConnection;

class TFtpSource : public TSource {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};

    // Talks to nobody until Connect or an operation; host is read by
    // ParseHostAddress (port 21 when none is given; "[::1]:2121" for an IPv6
    // address with a port), which throws for an address that is none.
    TFtpSource(bool alternative, const std::string& host, const std::string& user,
               const std::string& password, const std::string& root, bool utf8Names,
               std::chrono::milliseconds timeout = kDefaultTimeout, const TPaceLimits& pace = {});
    ~TFtpSource() override;

    std::string Host;
    std::string User;
    std::string Password;
    bool Utf8Names = false;
    // For connecting, each answer of the server and each block of data.
    std::chrono::milliseconds Timeout = kDefaultTimeout;
    // The least progress of every operation; the ceiling bounds listings.
    TPaceLimits Pace;
    // The most bytes one listing may take.
    uint64_t MaxListing = kFtpMaxListing;
    // TLS on the control and every data connection; nothing, the log-in
    // least of all, goes in clear text after the greeting.
    bool Secure = false;
    // A PEM file of the authorities to trust instead of the system's (empty:
    // the system's store).
    std::string TrustedAuthorities;
    // The fingerprint of the one certificate the user trusted for this
    // server (TlsTrust.h), accepted in place of the authorities' word.
    std::string TrustedCertificate;

    void GetFile(std::ostream& dest, const std::string& path) override;
    void PutFile(std::istream& src, const std::string& path) override;
    // Names ending in "3" after a dot, in the order the server lists them.
    // Appends to list.
    void ListFiles(std::vector<std::string>& list, const std::string& folder) override;
    // Entries that the server reports no size for (one SIZE per entry that
    // does not end in ".mp3"); uses the scan's connection, or one of its own
    // when scan is none.
    void ListFolders(std::vector<std::string>& list, const std::string& folder,
                     TScanContext* scan) override;
    int64_t GetSizeKB(const std::vector<std::string>& files) override;
    std::unique_ptr<TScanContext> BeginScan() override;
    // Takes over what the probe found; talks to the server only when used.
    std::unique_ptr<TSource> CloneForBackground() const override;

    // With Utf8Names: Windows-1252 bytes to UTF-8 (valid UTF-8 stays as it
    // is); without: unchanged.
    std::string ToServerName(const std::string& name) const;
    // With Utf8Names: UTF-8 to Windows-1252 where every character has a
    // Windows-1252 form and the result cannot be mistaken for UTF-8;
    // otherwise unchanged. ToServerName(FromServerName(n)) == n for every
    // UTF-8 name n (a server that announces UTF-8 names gives no others).
    std::string FromServerName(const std::string& name) const;

    // Finds out what the server allows from the two marker files.
    void Connect() override;

private:
    TFtpSource(const TFtpSource&) = default;
    std::unique_ptr<FtpConnection> NewClient(bool withProgress) const;
};

}  // namespace tunrax
