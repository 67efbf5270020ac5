#include "io/FileTools.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "io/AtomicOutputFile.h"
#include "io/Error.h"

namespace tunrax {

namespace {

bool IsBlankOrControl(unsigned char c) {
    return c <= ' ';
}

std::string TrimBlanksAndControls(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string text) {
    for (char& c : text)
        c = LowerAscii(c);
    return text;
}

bool MatchFrom(const std::string& mask, size_t m, const std::string& name, size_t n) {
    // Iterative wildcard match with one back-tracking point per "*".
    size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() &&
                   (mask[m] == '?' || LowerAscii(mask[m]) == LowerAscii(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

struct FindContext {
    std::vector<std::string>& list;
    const std::string& mask;
    bool lowerCase;
    bool recurse;
};

// Lists one open folder (dirFd is taken over and closed here).
void Walk(int dirFd, const std::string& prefix, FindContext& ctx) {
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    std::vector<std::string> folders, files;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        bool isFolder = type == DT_DIR;
        bool isFile = type == DT_REG;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            struct stat st;
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISLNK(st.st_mode)) {
                // A link to a file counts as that file; a link to a folder
                // is neither listed nor entered (it could lead in a circle).
                if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0)
                    continue;
                isFile = S_ISREG(st.st_mode);
            } else {
                isFolder = S_ISDIR(st.st_mode);
                isFile = S_ISREG(st.st_mode);
            }
        }
        if (isFolder) {
            if (ctx.recurse && name[0] != '.')
                folders.push_back(std::move(name));
        } else if (isFile && MaskMatches(ctx.mask, name)) {
            files.push_back(std::move(name));
        }
    }
    for (const std::string& folder : folders) {
        int fd =
            ::openat(::dirfd(dir), folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            Walk(fd, prefix + folder + "\\", ctx);
    }
    ::closedir(dir);
    for (const std::string& file : files) {
        std::string entry = prefix + file;
        ctx.list.push_back(ctx.lowerCase ? LowerCase(std::move(entry)) : std::move(entry));
    }
}

}  // namespace

void ReplaceFileContents(const std::string& fileName, const std::string& bytes,
                         mode_t newFileMode) {
    TAtomicOptions options;
    options.newFileMode = newFileMode;
    WriteFileAtomically(fileName, bytes, options);
}

std::string NormalizeFolder(const std::string& text) {
    std::string folder = TrimBlanksAndControls(text);
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string CollapseSeparators(const std::string& path) {
    std::string result;
    result.reserve(path.size());
    for (char c : path) {
        if (c == '\\')
            c = '/';
        if (c == '/' && !result.empty() && result.back() == '/')
            continue;
        result += c;
    }
    return result;
}

bool MaskMatches(const std::string& mask, const std::string& name) {
    if (mask == "*.*" || mask == "*")
        return true;
    return MatchFrom(mask, 0, name, 0);
}

void FindFiles(std::vector<std::string>& list, const std::string& folder, const std::string& mask,
               bool lowerCase, bool recurse) {
    list.clear();
    int fd = ::open(NormalizeFolder(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    FindContext ctx{list, mask, lowerCase, recurse};
    Walk(fd, "", ctx);
}

int64_t FileSize64(const std::string& fileName) {
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

int32_t FileSizeOf(const std::string& fileName) {
    int64_t size = FileSize64(fileName);
    if (size < 0)
        return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(size) & 0xFFFFFFFFu));
}

std::string MakeValidFileName(const std::string& text) {
    std::string name = TrimBlanksAndControls(text);
    for (char& c : name) {
        switch (c) {
            case '"':
            case '*':
            case '/':
            case ':':
            case '<':
            case '>':
            case '?':
            case '\\':
            case '|': c = '_'; break;
            default: break;
        }
    }
    return name;
}

bool RemoveEmptyFolders(const std::string& folder, const std::string& root) {
    // Linux names differ by case, so the folders are compared as they are.
    std::string current = folder;
    while (current.size() > root.size() && current.compare(0, root.size(), root) == 0) {
        if (::rmdir(current.c_str()) != 0)
            return false;
        // Cut after the last "/" between the end of root and the next-to-last
        // character, which gives the parent folder.
        size_t from = root.empty() ? 0 : root.size() - 1;
        size_t slash =
            current.size() >= 2 ? current.rfind('/', current.size() - 2) : std::string::npos;
        if (slash == std::string::npos || slash < from)
            return false;
        current.resize(slash + 1);
    }
    return current == root;
}

}  // namespace tunrax
