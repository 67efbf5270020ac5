// The music source: one interface over a local folder, a web server with the
// server script, and an FTP server. Paths that callers pass are relative to
// Root and use "\" as separator ("\Artist\Album\" for a folder, the empty
// text for the root, "\Artist\Album\01.mp3" for a song).
//
// Operations throw tunrax::Error with a German message when a file cannot be
// read or written; listings of missing folders are empty. The caller owns the
// source; the source never owns the progress display.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "io/Error.h"
#include "io/FileDescriptor.h"
#include "sources/ProgressDisplay.h"

namespace tunrax {

struct TSourceSettings;
class TPasswordStore;

enum TCapability : uint8_t {
    CanCopy = 1,            // songs may be copied to a portable player
    CanRebuild = 2,         // the catalogue may be built by scanning folders
    CanStoreCatalogue = 4,  // a scanned catalogue may be written back
};

// The server answered that what was asked for is not there (a web server's
// 404 or 410, an FTP server's 550): the connection itself works.
class NotFoundError : public Error {
public:
    using Error::Error;
};

// What one scan of the folders keeps open; freed by the caller after the scan.
class TScanContext {
public:
    virtual ~TScanContext() = default;
};

class TSource {
public:
    explicit TSource(bool alternative);
    virtual ~TSource();
    TSource& operator=(const TSource&) = delete;

    ProgressDisplay* ProgressBar = nullptr;  // not owned, may be none
    std::string Root;
    uint8_t Capabilities = 0;
    bool Alternative = false;

    bool Can(TCapability capability) const { return (Capabilities & capability) != 0; }

    // Finds out what the server allows (the capabilities): the one step
    // that talks to a server before anything is asked for, so that making a
    // source never blocks. Throws like the operations (server unreachable,
    // log-in refused). Base: nothing.
    virtual void Connect();

    // "\" becomes "/", then each "//" becomes "/" in one pass.
    virtual std::string NormalizePath(const std::string& path) const;
    // Writes the whole file into dest from dest's current position.
    virtual void GetFile(std::ostream& dest, const std::string& path) = 0;
    // Writes the whole file into the open file fd from its current position
    // when the source can hand the bytes to the kernel directly, and says so;
    // false when it does not offer this (use GetFile). Throws like GetFile.
    // Base: false.
    virtual bool GetFileToDescriptor(TBorrowedFd fd, const std::string& path);
    // Writes the whole of src, from its start, into the file. Base: nothing.
    virtual void PutFile(std::istream& src, const std::string& path);
    // Names (without folder) of the folder's song files.
    virtual void ListFiles(std::vector<std::string>& list, const std::string& folder) = 0;
    // Names of the folder's direct sub-folders. Base: empties the list.
    virtual void ListFolders(std::vector<std::string>& list, const std::string& folder,
                             TScanContext* scan);
    // Sum over the files of size/1024 + 1; 0 means unknown. Base: 0.
    virtual int64_t GetSizeKB(const std::vector<std::string>& files);
    // What a scan needs open; none by default.
    virtual std::unique_ptr<TScanContext> BeginScan();
    // A second source for the same collection with its own connections and
    // no progress display, for a transfer on another thread while this one
    // goes on; it asks the server nothing when made. None when the source
    // cannot make one (base). Does not throw.
    virtual std::unique_ptr<TSource> CloneForBackground() const;

protected:
    // For the clones: every setting is copied, the progress display too
    // (a clone for the background then lets it go).
    TSource(const TSource&) = default;
};

// Whether a name from a listing (a song, a folder, or a path of them) may be
// listed: not when it holds a CR, LF or zero byte, which the line-based
// catalogue and favourite lists could not carry and no command may send.
// Every source and every list built from a listing applies it.
bool IsListableName(const std::string& name);

// Sets src back to its start for PutFile and gives its size. Throws
// SystemError(ESPIPE) after context when the stream cannot go back (one that
// reads only forward), so that a file is never replaced by a part of its
// new content, or by nothing.
int64_t RewindForPut(std::istream& src, const std::string& context);

// The source the settings choose, with progressBar (not owned, may be none),
// not yet connected: nothing here talks to a server. The FTP password comes
// from ReadFtpPassword with passwords (not owned, may be none), which only an
// FTP source asks. None when the settings name no kind. Throws tunrax::Error
// for a value the source cannot take (an address that is no address, a stored
// FTP password that cannot be read, a keyring holding it that does not answer).
std::unique_ptr<TSource> CreateSource(const TSourceSettings& settings, ProgressDisplay* progressBar,
                                      TPasswordStore* passwords = nullptr);

}  // namespace tunrax
