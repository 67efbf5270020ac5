#include "support/TempDir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tunrax::test {

TempDir::TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tunrax-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    FPath = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests take write or read permissions away; give them back so that
    // everything can be removed.
    for (auto it = fs::recursive_directory_iterator(
             FPath, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(FPath.c_str(), 0700);
    fs::remove_all(FPath, ec);
}

void MakeDirs(const std::string& path) {
    fs::create_directories(path);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::path p(path);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : FName(name) {
    const char* old = std::getenv(name);
    FHadOld = old != nullptr;
    if (old)
        FOld = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (FHadOld)
        ::setenv(FName.c_str(), FOld.c_str(), 1);
    else
        ::unsetenv(FName.c_str());
}

}  // namespace tunrax::test
