// The server script under the PHP built-in web server, asked with raw requests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/Servers.h"
#include "support/TempDir.h"

using namespace tunrax::test;

namespace {

class ServerScriptTest : public ::testing::Test {
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
        return RawHttpGet(server.Port(), "/tunrax.php?" + query, headers);
    }

    TempDir tmp;
    const std::string root = tmp / "www/";
    PhpServer server{root};
};

}  // namespace

TEST_F(ServerScriptTest, ListsSongFilesOfAFolder) {
    HttpReply reply = Get("verzeichnis=\\Band\\");
    EXPECT_EQ(reply.status, 200);
    // Regular files inside the collection only: no wav, no folder, no link out.
    EXPECT_EQ(reply.body, "A B.MP3\ninside.mp3\nx+y & z.mp3\n");
    EXPECT_EQ(Get("verzeichnis=").body, "ok.mp3\n");
    EXPECT_EQ(Get("verzeichnis=%5CBand%5C").body, reply.body);
}

TEST_F(ServerScriptTest, SendsFilesWholeAndInRanges) {
    HttpReply reply = Get("datei=\\ok.mp3");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "0123456789");
    EXPECT_NE(reply.headers.find("Content-Length: 10\r\n"), std::string::npos);
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

TEST_F(ServerScriptTest, RefusesEverythingOutsideTheCollection) {
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

TEST_F(ServerScriptTest, ServesOnlySongsAndTheCatalogues) {
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
