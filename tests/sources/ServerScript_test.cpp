// The server script under each web server that the server README sets up
// (PHP's built-in server, nginx and Apache with php-fpm, Apache with mod_php),
// asked with raw requests: through the script, and around it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WebServers.h"

using namespace tunrax::test;

namespace {

class ServerScriptTest : public ::testing::TestWithParam<WebServerKind> {
protected:
    ServerScriptTest() {
        WriteFile(tmp / "secret.txt", "geheim");
        MakeDirs(tmp / "outside");
        WriteFile(tmp / "outside/leak.mp3", "geheim");
        WriteFile(root + "ok.mp3", "0123456789");
        WriteFile(root + "Band/A B.MP3", "ab");
        WriteFile(root + "Band/x+y & z.mp3", "plus");
        WriteFile(root + "Band/note.wav", "wav");
        MakeDirs(root + "Band/folder.mp3");
        WriteFile(root + "conf.php", "<?php // password");
        symlink((tmp / "secret.txt").c_str(), (root + "Band/evil.mp3").c_str());
        symlink((root + "ok.mp3").c_str(), (root + "Band/inside.mp3").c_str());
        symlink((tmp / "outside").c_str(), (root + "out").c_str());
    }

    HttpReply Get(const std::string& query, const std::string& headers = std::string()) {
        return RawHttpGet(server.Port(), std::string(kCollectionUrlPath) + "tunrax.php?" + query,
                          headers);
    }

    TempDir tmp;
    const std::string documentRoot = tmp / "www/";
    // The collection folder, where the script lies.
    const std::string root = documentRoot + "mp3/";
    WebServer server{GetParam(), documentRoot, tmp / "server/"};
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(EachWebServer, ServerScriptTest, ::testing::ValuesIn(AllWebServerKinds()),
                         [](const auto& kind) { return KindName(kind.param); });

TEST_P(ServerScriptTest, ListsSongFilesOfAFolder) {
    HttpReply reply = Get("verzeichnis=\\Band\\");
    EXPECT_EQ(reply.status, 200);
    // Regular files inside the collection only: no wav, no folder, no link out.
    EXPECT_EQ(reply.body, "A B.MP3\ninside.mp3\nx+y & z.mp3\n");
    EXPECT_EQ(Get("verzeichnis=").body, "ok.mp3\n");
    EXPECT_EQ(Get("verzeichnis=%5CBand%5C").body, reply.body);
}

TEST_P(ServerScriptTest, SendsFilesWholeAndInRanges) {
    HttpReply reply = Get("datei=\\ok.mp3");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "0123456789");
    // Apache's FastCGI proxy drops the script's length (a client of
    // HTTP/1.1 gets the song chunked, its end marked all the same).
    if (GetParam() != WebServerKind::ApacheFpm) {
        EXPECT_NE(reply.headers.find("Content-Length: 10\r\n"), std::string::npos);
    }
    EXPECT_EQ(Get("datei=\\Band\\A%20B.MP3").body, "ab");
    // "+" is a plus sign, raw or encoded.
    EXPECT_EQ(Get("datei=\\Band\\x%2By%20%26%20z.mp3").body, "plus");
    EXPECT_EQ(Get("datei=\\Band\\x+y%20%26%20z.mp3").body, "plus");
    EXPECT_EQ(Get("datei=\\Band\\inside.mp3").body, "0123456789");

    reply = Get("datei=\\ok.mp3", "Range: bytes=2-4\r\n");
    EXPECT_EQ(reply.status, 206);
    EXPECT_EQ(reply.body, "234");
    EXPECT_NE(reply.headers.find("Content-Range: bytes 2-4/10"), std::string::npos);
    EXPECT_EQ(Get("datei=\\ok.mp3", "Range: bytes=7-\r\n").body, "789");
    EXPECT_EQ(Get("datei=\\ok.mp3", "Range: bytes=-2\r\n").body, "89");
    EXPECT_EQ(Get("datei=\\ok.mp3", "Range: bytes=10-\r\n").status, 416);
}

TEST_P(ServerScriptTest, RefusesEverythingOutsideTheCollection) {
    const std::string longName(300, 'a');
    const char* refused[] = {
        "datei=..\\secret.txt",
        "datei=\\..\\secret.txt",
        "datei=..\\..\\etc\\passwd",
        "datei=\\Band\\..\\..\\secret.txt",
        "datei=%2e%2e%5csecret.txt",
        "datei=%2e%2e/secret.txt",
        "datei=/etc/passwd",
        "datei=%2Fetc%2Fpasswd",
        "datei=\\Band\\evil.mp3",
        "datei=\\out\\leak.mp3",
        "verzeichnis=\\out\\",
        "verzeichnis=..\\",
        "datei=\\ok.mp3%00.txt",
        "datei=ok%00.mp3",
        "verzeichnis=\\Band%00\\",
        "datei=\\Band\\",
        "verzeichnis=\\ok.mp3",
        "datei=\\missing.mp3",
        "datei=tunrax.php",
        "datei=\\conf.php",
        "",
        "datei=\\ok.mp3&verzeichnis=\\",
        "Datei=\\ok.mp3",
    };
    for (const char* query : refused) {
        SCOPED_TRACE(query);
        HttpReply reply = Get(query);
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.body, "");
    }
    for (const std::string& query :
         {"datei=\\" + longName + ".mp3", "datei=" + std::string(5000, 'b'),
          "verzeichnis=\\" + longName + "\\"}) {
        SCOPED_TRACE(query.size());
        EXPECT_EQ(Get(query).status, 404);
    }
}

TEST_P(ServerScriptTest, ServesOnlySongsAndTheCatalogues) {
    WriteFile(root + "tunrax.dat", "katalog");
    WriteFile(root + "tunrax2.dat", "katalog2");
    WriteFile(root + "Band/Laut.Mp3", "laut");
    WriteFile(root + "Band/tunrax.dat", "nicht hier");
    WriteFile(root + "TUNRAX.DAT", "andere");
    const char* others[] = {"d.pht",      "e.phps",    "f.inc",       "g.php.",      "h.php ",
                            ".htpasswd",  ".user.ini", "notes.txt",   ".hidden.mp3", "i.mp3.",
                            "j.mp3 ",     "k.mp3.bak", "tunrax.dat~", ".mp3",        "Band/.x.mp3",
                            ".dir/y.mp3", "cover.jpg"};
    for (const char* name : others)
        WriteFile(root + name, "geheim");
    // Links whose names look right but that lead to files the script keeps back.
    symlink((root + ".htpasswd").c_str(), (root + "Band/pw.mp3").c_str());
    symlink((root + "notes.txt").c_str(), (root + "Band/notes.mp3").c_str());
    symlink((root + ".dir").c_str(), (root + "visible").c_str());

    // What the player asks for.
    EXPECT_EQ(Get("datei=tunrax.dat").body, "katalog");
    EXPECT_EQ(Get("datei=%5Ctunrax2.dat").body, "katalog2");
    EXPECT_EQ(Get("datei=\\Band\\Laut.Mp3").body, "laut");
    EXPECT_EQ(Get("datei=\\Band\\A%20B.MP3").body, "ab");

    for (const char* name : others) {
        SCOPED_TRACE(name);
        std::string query = "datei=\\";
        for (const char* c = name; *c; ++c)
            query += *c == ' '   ? std::string("%20")
                     : *c == '/' ? std::string("\\")
                                 : std::string(1, *c);
        HttpReply reply = Get(query);
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.body, "");
    }
    for (const char* query :
         {"datei=\\Band\\tunrax.dat", "datei=TUNRAX.DAT", "datei=\\Band\\pw.mp3",
          "datei=\\Band\\notes.mp3", "datei=\\visible\\y.mp3", "datei=\\.\\ok.mp3",
          "verzeichnis=\\.dir\\", "verzeichnis=\\visible\\"}) {
        SCOPED_TRACE(query);
        EXPECT_EQ(Get(query).status, 404);
    }

    // Listings name songs only, never a dot-name or a link to a file kept back.
    EXPECT_EQ(Get("verzeichnis=").body, "ok.mp3\n");
    EXPECT_EQ(Get("verzeichnis=\\Band\\").body, "A B.MP3\nLaut.Mp3\ninside.mp3\nx+y & z.mp3\n");
}

// Requests that pass the script by, straight for the collection folder: the
// web server itself must refuse every one and give nothing away, whatever
// lies in the folder (links out of it, hidden files, PHP sources, a
// .htaccess file that would open it).
TEST_P(ServerScriptTest, NothingIsServedAroundTheScript) {
    WriteFile(root + "tunrax.dat", "Band\n");
    WriteFile(root + ".user.ini", "geheim");
    WriteFile(root + ".hidden/h.mp3", "geheim");
    WriteFile(root + "f.inc", "<?php $geheim = 1;");
    for (const char* name : {"d.pht", "g.php.", "run.php", "run.phtml", "x.phar"})
        WriteFile(root + name, "<?php echo 'ausgef' . 'uehrt';");
    WriteFile(root + ".htaccess", "Options +Indexes +FollowSymLinks\nRequire all granted\n");
    WriteFile(documentRoot + "sib/s.mp3", "geheim");
    symlink("/etc/passwd", (root + "passwd.mp3").c_str());
    symlink((documentRoot + "sib/s.mp3").c_str(), (root + "sib.mp3").c_str());

    const std::string paths[] = {
        "/mp3/",
        "/mp3",
        "/mp3/ok.mp3",
        "/mp3/Band/",
        "/mp3/Band/A%20B.MP3",
        "/mp3/tunrax.dat",
        "/mp3/passwd.mp3",
        "/mp3/sib.mp3",
        "/mp3/Band/evil.mp3",
        "/mp3/out/leak.mp3",
        "/mp3/out/",
        "/mp3/.user.ini",
        "/mp3/.htaccess",
        "/mp3/.hidden/h.mp3",
        "/mp3/.hidden/",
        "/mp3/f.inc",
        "/mp3/d.pht",
        "/mp3/g.php.",
        "/mp3/run.php",
        "/mp3/run.phtml",
        "/mp3/x.phar",
        "/mp3/conf.php",
        "/mp3/tunrax.phps",
        "/mp3/TUNRAX.PHP",
        "/mp3/tunrax.php",
        "/mp3/tunrax.php/ok.mp3",
        "/mp3/tunrax.php/../ok.mp3",
        "/mp3//ok.mp3",
        "/mp3/./ok.mp3",
        "/mp3/Band/../ok.mp3",
        "/mp3/%2e%2e/mp3/ok.mp3",
        "/mp3/%2e/ok.mp3",
        "/mp3/%6fk.mp3",
        "/mp3/ok.mp3%00",
        "/mp3/ok.mp3%00.php",
        "/mp3/%c0%ae%c0%ae/%c0%ae%c0%ae/secret.txt",
        "/mp3/%252e%252e/%252e%252e/secret.txt",
        "/mp3/..%2f..%2fsecret.txt",
        "/mp3/../../secret.txt",
        "/mp3\\ok.mp3",
        "/mp3/Band\\..\\ok.mp3",
        "/mp3/" + std::string(5000, 'a'),
        "/mp3/ok.mp3?datei=\\ok.mp3",
    };
    const char* disclosures[] = {"geheim", "root:",   "ausgefuehrt", "<?php",  "0123456789",
                                 "ok.mp3", "A B.MP3", "Index of",    "Band\n", "Options"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path.substr(0, 80));
        // PHP's built-in server hands every request to the script, which
        // answers by the query alone.
        if (GetParam() == WebServerKind::PhpBuiltIn && path.find('?') != std::string::npos)
            continue;
        HttpReply reply = RawHttpGet(server.Port(), path);
        EXPECT_TRUE(reply.status >= 300 && reply.status < 600) << reply.status;
        for (const char* secret : disclosures)
            EXPECT_EQ(reply.body.find(secret), std::string::npos) << secret;
    }
    // The script still answers beside all that.
    EXPECT_EQ(Get("datei=\\ok.mp3").body, "0123456789");
    EXPECT_EQ(Get("datei=tunrax.dat").body, "Band\n");
}

// The set-ups people copy from the server README are the files tested above.
TEST(ServerSetUps, TheReadmeShowsTheTestedFilesWordForWord) {
    const std::string readme = SetupFile("README.md");
    for (const char* file :
         {"nginx/tunrax.conf", "apache/tunrax-fpm.conf", "apache/tunrax-modphp.conf"}) {
        SCOPED_TRACE(file);
        EXPECT_NE(readme.find(SetupFile(file) + "```\n"), std::string::npos);
    }
}
