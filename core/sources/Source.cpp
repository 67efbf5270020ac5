#include "sources/Source.h"

#include <cerrno>
#include <istream>
#include <optional>
#include <string_view>

#include "io/Error.h"
#include "io/FileTools.h"
#include "sources/FtpSource.h"
#include "sources/LocalSource.h"
#include "sources/SourceSettings.h"
#include "sources/WebSource.h"

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

TSource::TSource(bool alternative) : Alternative(alternative) {}

TSource::~TSource() = default;

std::string TSource::NormalizePath(const std::string& path) const {
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

bool TSource::GetFileToDescriptor(TBorrowedFd, const std::string&) {
    return false;
}

void TSource::PutFile(std::istream&, const std::string&) {}

void TSource::ListFolders(std::vector<std::string>& list, const std::string&, TScanContext*) {
    list.clear();
}

int64_t TSource::GetSizeKB(const std::vector<std::string>&) {
    return 0;
}

std::unique_ptr<TScanContext> TSource::BeginScan() {
    return nullptr;
}

void TSource::Connect() {}

std::unique_ptr<TSource> TSource::CloneForBackground() const {
    return nullptr;
}

std::unique_ptr<TSource> CreateSource(const TSourceSettings& settings, ProgressDisplay* progressBar,
                                      TPasswordStore* passwords) {
    const std::optional<TSourceKind> kind = settings.Kind();
    if (!kind)
        return nullptr;
    std::unique_ptr<TSource> source;
    switch (*kind) {
        case TSourceKind::Local:
            source = std::make_unique<TLocalSource>(settings.Alternative,
                                                    NormalizeFolder(settings.Folder));
            break;
        case TSourceKind::Web: {
            auto web = std::make_unique<TWebSource>(settings.Alternative, settings.WebAddress,
                                                    settings.WebRoot);
            web->TrustedCertificate =
                TrustedFingerprint(settings.WebCertificate, settings.WebAddress);
            source = std::move(web);
            break;
        }
        case TSourceKind::Ftp: {
            auto ftp = std::make_unique<TFtpSource>(
                settings.Alternative, settings.FtpAddress, settings.FtpUser,
                ReadFtpPassword(settings, passwords), settings.FtpRoot, settings.FtpUtf8);
            ftp->Secure = settings.FtpTls;
            ftp->TrustedCertificate =
                TrustedFingerprint(settings.FtpCertificate, settings.FtpAddress);
            source = std::move(ftp);
            break;
        }
    }
    source->ProgressBar = progressBar;
    return source;
}

}  // namespace tunrax
