// A file system mounted for one test and unmounted when the object goes.
// Only root may mount: where mounting fails, Mounted() is false and the test
// skips.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tunrax::test {

class ScopedMount {
public:
    // A tmpfs of size ("160k", "1m") at folder.
    static ScopedMount Tmpfs(const std::string& folder, const std::string& size) {
        return ScopedMount(folder, "-t tmpfs -o size=" + size + " tmpfs");
    }
    // The file system in an image file at folder, through a loop device.
    static ScopedMount Image(const std::string& image, const std::string& folder) {
        return ScopedMount(folder, "-o loop '" + image + "'");
    }

    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    ~ScopedMount() {
        if (FMounted) [[maybe_unused]]
            const int rc = std::system(("umount '" + FFolder + "'").c_str());
    }

    bool Mounted() const { return FMounted; }

private:
    ScopedMount(const std::string& folder, const std::string& what) : FFolder(folder) {
        FMounted = ::geteuid() == 0 &&
                   std::system(("mount " + what + " '" + folder + "' 2>/dev/null").c_str()) == 0;
    }

    std::string FFolder;
    bool FMounted = false;
};

}  // namespace tunrax::test
