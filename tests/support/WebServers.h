// The web servers people serve the collection with, each started on a free
// loopback port from the set-up file that the server README shows (nginx or
// Apache with php-fpm, Apache with mod_php), or PHP's built-in server as the
// README starts it. The set-up files are used as they stand, with only their
// example paths and port replaced by the test's; a file that no longer holds
// one of them fails the test, so the README and the tested set-up stay alike.
#pragma once

#include <string>
#include <vector>

#include "support/Servers.h"

namespace tunrax::test {

enum class WebServerKind { PhpBuiltIn, NginxFpm, ApacheFpm, ApacheModPhp };

const std::vector<WebServerKind>& AllWebServerKinds();
// "PhpBuiltIn", "NginxFpm", ... for test names.
std::string KindName(WebServerKind kind);

// The example path of the set-up files ("/srv/www"): the web server's
// document root, with the collection in its folder "mp3".
inline constexpr const char* kExampleDocumentRoot = "/srv/www";
// The URL path of the collection folder, as "Root Server" takes it.
inline constexpr const char* kCollectionUrlPath = "/mp3/";

// A web server serving documentRoot (ending in "/"), with the collection in
// documentRoot + "mp3/" and our server script copied into it. Its own files
// (configuration, logs, sockets) go into scratch. When the tests run as root
// the servers' workers run as "nobody": documentRoot and the folders above it
// must then be readable for everybody.
class WebServer {
public:
    WebServer(WebServerKind kind, const std::string& documentRoot, const std::string& scratch);

    int Port() const { return FServer.Port(); }
    // "127.0.0.1:PORT", as the "Server Adresse" setting takes it.
    std::string Address() const;

private:
    void StartPhpFpm(const std::string& scratch);
    void StartNginx(const std::string& documentRoot, const std::string& scratch);
    void StartApache(bool modPhp, const std::string& documentRoot, const std::string& scratch);

    ServerProcess FPhpFpm;
    ServerProcess FServer;
    std::string FFpmSocket;
};

// The set-up file below server/ (e.g. "nginx/tunrax.conf"), as it stands.
std::string SetupFile(const std::string& relative);

}  // namespace tunrax::test
