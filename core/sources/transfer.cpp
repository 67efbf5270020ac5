#include "sources/transfer.h"

#include <cerrno>
#include <istream>
#include <string_view>

#include "io/Error.h"
#include "settings/IniFile.h"
#include "sources/FTPTransfer.h"
#include "sources/FileTransfer.h"
#include "sources/HTTPTransfer.h"

namespace tunrax {

bool IsListableName(const std::string& name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

int64_t RewindForPut(std::istream& src, const std::string& context) {
    src.clear();
    src.seekg(0, std::ios::end);
    const std::streamoff size = src.tellg();
    src.seekg(0);
    if (!src || size < 0)
        throw SystemError(ESPIPE, context);
    return static_cast<int64_t>(size);
}

TCustomTransfer::TCustomTransfer(bool alternative) : Alternative(alternative) {}

TCustomTransfer::~TCustomTransfer() = default;

std::string TCustomTransfer::NormalizePath(const std::string& path) const {
    std::string slashed = path;
    for (char& c : slashed)
        if (c == '\\')
            c = '/';
    // One pass from the left: "//" becomes "/", so "///" becomes "//".
    std::string result;
    result.reserve(slashed.size());
    for (size_t i = 0; i < slashed.size(); ++i) {
        result += slashed[i];
        if (slashed[i] == '/' && i + 1 < slashed.size() && slashed[i + 1] == '/')
            ++i;
    }
    return result;
}

bool TCustomTransfer::GetFileToDescriptor(TBorrowedFd, const std::string&) {
    return false;
}

void TCustomTransfer::PutFile(std::istream&, const std::string&) {}

void TCustomTransfer::ListFolders(std::vector<std::string>& list, const std::string&,
                                  TScanContext*) {
    list.clear();
}

int64_t TCustomTransfer::GetSizeKB(const std::vector<std::string>&) {
    return 0;
}

std::unique_ptr<TScanContext> TCustomTransfer::BeginScan() {
    return nullptr;
}

std::unique_ptr<TCustomTransfer> TCustomTransfer::CloneForBackground() const {
    return nullptr;
}

std::unique_ptr<TCustomTransfer> CreateTransfer(int sourceType, bool alternative,
                                                ProgressDisplay* progressBar,
                                                TIniFile& settings) {
    std::unique_ptr<TCustomTransfer> source;
    switch (sourceType) {
        case 0: source = std::make_unique<TFileTransfer>(alternative, settings); break;
        case 1: source = std::make_unique<THTTPTransfer>(alternative, settings); break;
        case 2: source = std::make_unique<TFTPTransfer>(alternative, settings); break;
        default: return nullptr;
    }
    // Set only now, so that a constructor talking to a server shows nothing.
    source->ProgressBar = progressBar;
    return source;
}

std::unique_ptr<TCustomTransfer> CreateTransfer(int sourceType, bool alternative,
                                                ProgressDisplay* progressBar) {
    return CreateTransfer(sourceType, alternative, progressBar, SettingsFile());
}

}  // namespace tunrax
