// Whether a writer puts a file's data on the disk before it gives the file
// its name: a rename that reaches the disk before the data leaves an empty
// file under the new name after a power cut. Watches the writer's thread at
// its fsync, fdatasync and rename calls (support/StopAtCalls.h).
#pragma once

#include <fcntl.h>
#include <limits.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/StopAtCalls.h"

namespace tunrax::test {

// The zero-ended name at address in this process, copied by the kernel: the
// thread that wrote it waits in a system call, which no race detector sees
// as a hand-over.
inline std::string NameAt(uint64_t address) {
    std::string name;
    const long page = ::sysconf(_SC_PAGESIZE);
    while (name.size() < PATH_MAX) {
        char chunk[256];
        const uint64_t room = static_cast<uint64_t>(page) - address % static_cast<uint64_t>(page);
        iovec local{chunk, std::min<size_t>(sizeof chunk, room)};
        iovec remote{reinterpret_cast<void*>(address), local.iov_len};
        const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
        if (got <= 0)
            break;
        const size_t length = ::strnlen(chunk, static_cast<size_t>(got));
        name.append(chunk, length);
        if (length < static_cast<size_t>(got))
            break;
        address += static_cast<uint64_t>(got);
    }
    return name;
}

// Runs write on a thread of its own and tells what became of the file that
// took the name target: "synced, then renamed", "renamed unsynced" or "not
// renamed". Empty, with why, where no test may watch system calls.
inline std::string SyncBeforeRename(const std::string& target, const std::function<void()>& write,
                                    std::string& why) {
    // The writer is one of our threads: its descriptors are ours to look at
    // while it waits in the call.
    auto pathOf = [](long fd) {
        char path[PATH_MAX];
        const ssize_t n =
            ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
        return n < 0 ? std::string() : std::string(path, static_cast<size_t>(n));
    };
    auto resolve = [&](long folder, uint64_t name) {
        const std::string text = NameAt(name);
        if (text.starts_with("/"))
            return text;
        return (static_cast<int>(folder) == AT_FDCWD ? std::filesystem::current_path().string()
                                                     : pathOf(folder)) +
               "/" + text;
    };
    const std::string wanted = std::filesystem::weakly_canonical(target).string();
    std::set<std::string> synced;
    std::string verdict = "not renamed";
    std::vector<int> calls = {SYS_fsync, SYS_fdatasync, SYS_renameat, SYS_renameat2};
#ifdef SYS_rename
    calls.push_back(SYS_rename);
#endif
    const bool ran = RunStoppingAtCalls(
        calls, write,
        [&](const seccomp_data& call) {
            const int nr = static_cast<int>(call.nr);
            if (nr == SYS_fsync || nr == SYS_fdatasync) {
                synced.insert(pathOf(static_cast<long>(call.args[0])));
                return;
            }
            bool plain = false;  // rename(): both names relative to the working folder
#ifdef SYS_rename
            plain = nr == SYS_rename;
#endif
            const std::string from = plain ? resolve(AT_FDCWD, call.args[0])
                                           : resolve(static_cast<long>(call.args[0]), call.args[1]);
            const std::string to = plain ? resolve(AT_FDCWD, call.args[1])
                                         : resolve(static_cast<long>(call.args[2]), call.args[3]);
            if (to == wanted)
                verdict = synced.count(from) != 0 ? "synced, then renamed" : "renamed unsynced";
        },
        why);
    return ran ? verdict : std::string();
}

}  // namespace tunrax::test
