// Holds a thread at chosen system calls until the test has acted: a way to
// change the file system at exactly the moment the code under test is about
// to use it. Built on the kernel's seccomp user notification, which only the
// thread that runs the action is put under.
#pragma once

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace tunrax::test {

// Runs action on a thread of its own. Each time that thread makes one of
// calls (system call numbers), the call waits until onCall has run on this
// thread, then goes ahead. False, with why, when the kernel (or a container's
// own filter) lets no test do so; action has not run then.
inline bool RunStoppingAtCalls(const std::vector<int>& calls, const std::function<void()>& action,
                               const std::function<void(const seccomp_data& call)>& onCall,
                               std::string& why) {
    std::promise<int> listening;
    std::future<int> listener = listening.get_future();
    std::thread worker([&] {
        std::vector<sock_filter> program;
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
        for (int call : calls) {
            program.push_back(
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(call), 0, 1));
            program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF));
        }
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
        // No new privileges: asked of this thread only, as is the filter.
        long fd = -1;
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0)
            fd = ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER,
                           &filter);
        listening.set_value(fd < 0 ? -errno : static_cast<int>(fd));
        if (fd >= 0)
            action();
    });
    const int fd = listener.get();
    if (fd < 0) {
        worker.join();
        why = std::string("no seccomp user notification here: ") + std::strerror(-fd);
        return false;
    }
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if ((ready.revents & POLLIN) == 0)
            break;  // the thread has ended
        seccomp_notif call{};
        if (::ioctl(fd, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0) {
            if (errno == EINTR || errno == ENOENT)
                continue;
            break;
        }
        onCall(call.data);
        seccomp_notif_resp answer{};
        answer.id = call.id;
        answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        ::ioctl(fd, SECCOMP_IOCTL_NOTIF_SEND, &answer);
    }
    worker.join();
    ::close(fd);
    return true;
}

}  // namespace tunrax::test
