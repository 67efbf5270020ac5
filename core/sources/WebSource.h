// The source for a collection on a web server that runs our server script
// tunrax.php in the folder Root. Read-only: no capabilities, no sub-folders,
// no sizes. Every operation opens its own connection and closes it again; no
// redirect is followed. GetFile and ListFiles throw tunrax::Error with a German
// message when the server cannot be reached, fails the certificate check of
// HTTPS, answers with anything but a 2xx
// status (NotFoundError for 404 and 410), stalls, or breaks off the transfer. The progress bar is
// not owned.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

class TWebSource : public TSource {
public:
    // The address as "Server Adresse" holds it ("name:port" or "[v6]:port"
    // sets Port; "https://" before it asks for HTTPS, on port 443 unless one
    // is given; "http://" or no scheme is plain HTTP as ever), the root as
    // "Root Server" (kept exactly as written). Throws tunrax::Error for a
    // port that is not a number from 1 to 65535, an unknown scheme or a
    // control character in either.
    TWebSource(bool alternative, const std::string& serverAddress, const std::string& root);

    std::string Server;  // host name or address, without scheme or port
    int Port = 80;
    // HTTPS: the server's certificate is checked against the trusted
    // authorities and the host name; a failed check ends the transfer with
    // a German message that says what failed, and nothing goes in clear text.
    bool Secure = false;
    // A PEM file of the authorities to trust instead of the system's (empty:
    // the system's store).
    std::string TrustedAuthorities;
    // The fingerprint of the one certificate the user trusted for this
    // server (TlsTrust.h), accepted in place of the authorities' word.
    std::string TrustedCertificate;
    // Limits of one request: the connection must stand within ConnectTimeoutMs;
    // fewer than Pace.minBytes in any Pace.window end it, and a listing also
    // ends after Pace.ceiling.
    long ConnectTimeoutMs = 15000;
    TPaceLimits Pace;
    // A listing is refused when its body passes MaxListingBytes or one of its
    // names MaxNameBytes: a server must not fill the memory.
    size_t MaxListingBytes = size_t{256} << 20;
    size_t MaxNameBytes = size_t{64} << 10;

    // Writes the file's bytes into dest from its current position on; shows
    // the progress bar meanwhile (hidden again on every path).
    void GetFile(std::ostream& dest, const std::string& path) override;
    // The entries of the script's listing for the folder (see SplitListing).
    void ListFiles(std::vector<std::string>& list, const std::string& folder) override;
    std::unique_ptr<TSource> CloneForBackground() const override;

    // "http://host:port/" (or "https://…") and the request target sent for a
    // parameter.
    std::string BaseUrl() const;
    std::string ListTarget(const std::string& folder) const;
    std::string FileTarget(const std::string& path) const;

private:
    TWebSource(const TWebSource&) = default;
};

// The entries of a listing body: every "<BR>" (any letter case) is a line
// break, lines end at CR LF, CR or LF, empty lines are entries, and a break at
// the very end adds none. Lines holding a zero byte are left out.
std::vector<std::string> SplitListing(const std::string& body);

}  // namespace tunrax
