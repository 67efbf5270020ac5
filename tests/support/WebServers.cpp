#include "support/WebServers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace tunrax::test {

namespace {

// The example values of the set-up files that a test replaces.
constexpr const char* kExampleFpmSocket = "/run/php/php8.2-fpm.sock";
constexpr const char* kExampleListen = "listen 80;";

// text with every `from` replaced; throws when there is none, so that a set-up
// file that changed its example fails instead of being tested half.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    size_t pos = text.find(from);
    if (pos == std::string::npos)
        throw std::runtime_error("the set-up file no longer holds \"" + from + "\"");
    for (; pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

std::string WithoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The first file in folder whose name starts with prefix and ends with suffix.
std::string FindFile(const std::string& folder, const std::string& prefix,
                     const std::string& suffix) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= prefix.size() + suffix.size() && name.rfind(prefix, 0) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            return entry.path().string();
    }
    throw std::runtime_error("no " + prefix + "*" + suffix + " in " + folder +
                             " (is the web server installed? scripts/deps.sh --test)");
}

bool RunsAsRoot() {
    return ::geteuid() == 0;
}

// As root the servers hand requests to workers running as "nobody", which
// must reach the test's folders: a fresh temporary folder is private.
void OpenForWorkers(const std::string& path) {
    if (!RunsAsRoot())
        return;
    for (fs::path p = fs::path(WithoutSlash(path)); p.has_relative_path(); p = p.parent_path()) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0)
            ::chmod(p.c_str(), (st.st_mode & 07777) | S_IROTH | S_IXOTH);
    }
}

bool IsSocket(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

const std::vector<WebServerKind>& AllWebServerKinds() {
    static const std::vector<WebServerKind> kinds = {
        WebServerKind::PhpBuiltIn, WebServerKind::NginxFpm, WebServerKind::ApacheFpm,
        WebServerKind::ApacheModPhp};
    return kinds;
}

std::string KindName(WebServerKind kind) {
    switch (kind) {
        case WebServerKind::PhpBuiltIn: return "PhpBuiltIn";
        case WebServerKind::NginxFpm: return "NginxFpm";
        case WebServerKind::ApacheFpm: return "ApacheFpm";
        case WebServerKind::ApacheModPhp: return "ApacheModPhp";
    }
    return "?";
}

std::string SetupFile(const std::string& relative) {
    return ReadFile(std::string(TUNRAX_SOURCE_DIR) + "/server/" + relative);
}

WebServer::WebServer(WebServerKind kind, const std::string& documentRoot,
                     const std::string& scratch) {
    const std::string collection = documentRoot + "mp3/";
    MakeDirs(collection);
    MakeDirs(scratch);
    fs::copy_file(ServerScriptPath(), collection + "tunrax.php",
                  fs::copy_options::overwrite_existing);
    OpenForWorkers(collection);
    OpenForWorkers(scratch);

    switch (kind) {
        case WebServerKind::PhpBuiltIn: {
            // As the README starts it: the script named last handles every request.
            const int port = FreePort();
            FServer.Start({"php", "-S", "127.0.0.1:" + std::to_string(port), "-t", collection,
                           collection + "tunrax.php"},
                          port, scratch + "php.log");
            break;
        }
        case WebServerKind::NginxFpm:
            StartPhpFpm(scratch);
            StartNginx(documentRoot, scratch);
            break;
        case WebServerKind::ApacheFpm:
            StartPhpFpm(scratch);
            StartApache(false, documentRoot, scratch);
            break;
        case WebServerKind::ApacheModPhp: StartApache(true, documentRoot, scratch); break;
    }
}

std::string WebServer::Address() const {
    return "127.0.0.1:" + std::to_string(Port());
}

void WebServer::StartPhpFpm(const std::string& scratch) {
    FFpmSocket = scratch + "php-fpm.sock";
    std::ostringstream conf;
    conf << "[global]\n"
         << "pid = " << scratch << "php-fpm.pid\n"
         << "error_log = " << scratch << "php-fpm.log\n"
         << "daemonize = no\n"
         << "[tunrax]\n";
    if (RunsAsRoot())
        conf << "user = nobody\ngroup = nogroup\n";
    conf << "listen = " << FFpmSocket << "\n"
         << "listen.mode = 0666\n"
         << "pm = static\n"
         << "pm.max_children = 4\n";
    WriteFile(scratch + "php-fpm.conf", conf.str());
    const std::string socket = FFpmSocket;
    FPhpFpm.StartUntil(
        {FindFile("/usr/sbin", "php-fpm", ""), "-F", "-y", scratch + "php-fpm.conf"},
        [socket] { return IsSocket(socket); }, scratch + "php-fpm.out");
}

void WebServer::StartNginx(const std::string& documentRoot, const std::string& scratch) {
    const int port = FreePort();
    std::string site = SetupFile("nginx/tunrax.conf");
    site = Replaced(site, kExampleListen, "listen 127.0.0.1:" + std::to_string(port) + ";");
    site = Replaced(site, std::string("root ") + kExampleDocumentRoot + ";",
                    "root " + WithoutSlash(documentRoot) + ";");
    site = Replaced(site, kExampleFpmSocket, FFpmSocket);
    WriteFile(scratch + "tunrax.conf", site);
    fs::copy_file("/etc/nginx/fastcgi_params", scratch + "fastcgi_params",
                  fs::copy_options::overwrite_existing);

    std::ostringstream conf;
    if (RunsAsRoot())
        conf << "user nobody nogroup;\n";
    conf << "worker_processes 2;\n"
         << "pid " << scratch << "nginx.pid;\n"
         << "error_log " << scratch << "nginx-error.log warn;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n"
         << "    access_log off;\n"
         << "    default_type application/octet-stream;\n";
    for (const char* temp : {"client_body", "fastcgi", "proxy", "scgi", "uwsgi"})
        conf << "    " << temp << "_temp_path " << scratch << temp << ";\n";
    conf << "    include " << scratch << "tunrax.conf;\n"
         << "}\n";
    WriteFile(scratch + "nginx.conf", conf.str());
    FServer.Start({"/usr/sbin/nginx", "-p", scratch, "-c", scratch + "nginx.conf", "-e",
                   scratch + "nginx-error.log", "-g", "daemon off;"},
                  port, scratch + "nginx.out");
}

void WebServer::StartApache(bool modPhp, const std::string& documentRoot,
                            const std::string& scratch) {
    const std::string modules = "/usr/lib/apache2/modules/";
    const std::string collectionFolder = std::string(kExampleDocumentRoot) + "/mp3";
    std::string snippet =
        SetupFile(modPhp ? "apache/tunrax-modphp.conf" : "apache/tunrax-fpm.conf");
    snippet = Replaced(snippet, "<Directory " + collectionFolder + ">",
                       "<Directory " + documentRoot + "mp3>");
    if (!modPhp)
        snippet = Replaced(snippet, kExampleFpmSocket, FFpmSocket);
    WriteFile(scratch + "tunrax.conf", snippet);

    const int port = FreePort();
    std::ostringstream conf;
    conf << "ServerRoot \"" << WithoutSlash(scratch) << "\"\n"
         << "ServerName 127.0.0.1\n"
         << "Listen 127.0.0.1:" << port << "\n"
         << "PidFile " << scratch << "apache.pid\n"
         << "DefaultRuntimeDir " << scratch << "\n"
         << "Mutex file:" << WithoutSlash(scratch) << " default\n"
         << "ErrorLog " << scratch << "apache-error.log\n"
         << "LogLevel warn\n";
    const char* moduleNames[] = {modPhp ? "mpm_prefork" : "mpm_event",
                                 "authz_core",
                                 "authz_host",
                                 "mime",
                                 "dir",
                                 "autoindex",
                                 "alias",
                                 "setenvif",
                                 "negotiation"};
    for (const char* name : moduleNames)
        conf << "LoadModule " << name << "_module " << modules << "mod_" << name << ".so\n";
    if (modPhp) {
        conf << "LoadModule php_module " << FindFile(modules, "libphp", ".so") << "\n"
             << "Include " << FindFile("/etc/apache2/mods-available", "php", ".conf") << "\n";
    } else {
        conf << "LoadModule proxy_module " << modules << "mod_proxy.so\n"
             << "LoadModule proxy_fcgi_module " << modules << "mod_proxy_fcgi.so\n";
    }
    if (RunsAsRoot())
        conf << "User nobody\nGroup nogroup\n";
    // The site around the collection as Debian's default site serves
    // /var/www: folder listings, links followed, .htaccess files obeyed.
    conf << "TypesConfig /etc/mime.types\n"
         << "DirectoryIndex index.html\n"
         << "AccessFileName .htaccess\n"
         << "DocumentRoot \"" << WithoutSlash(documentRoot) << "\"\n"
         << "<Directory />\n    Options FollowSymLinks\n    AllowOverride None\n"
         << "    Require all denied\n</Directory>\n"
         << "<Directory " << WithoutSlash(documentRoot) << ">\n"
         << "    Options Indexes FollowSymLinks\n    AllowOverride All\n"
         << "    Require all granted\n</Directory>\n"
         << "Include " << scratch << "tunrax.conf\n";
    WriteFile(scratch + "apache2.conf", conf.str());
    FServer.Start({"/usr/sbin/apache2", "-f", scratch + "apache2.conf", "-DFOREGROUND"}, port,
                  scratch + "apache.out");
}

}  // namespace tunrax::test
