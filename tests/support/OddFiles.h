// Files that are not regular files, for the readers that must refuse them: a
// FIFO (whose plain open blocks until a writer comes) and a link to a device.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

namespace tunrax::test {

inline void MakeFifo(const std::string& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

inline void LinkToDevice(const std::string& path, const char* device = "/dev/zero") {
    ASSERT_EQ(::symlink(device, path.c_str()), 0) << path;
}

// Runs action (which reads fifo) in a thread; when it has not come back
// after two seconds, a writer opens and closes the FIFO so that a blocked
// open sees the end of the data and the test fails instead of hanging.
// True when the action finished in time.
template <typename Action>
bool FinishesWithoutWriter(const std::string& fifo, Action&& action) {
    auto done = std::async(std::launch::async, std::forward<Action>(action));
    if (done.wait_for(std::chrono::seconds(2)) == std::future_status::ready) {
        done.get();
        return true;
    }
    for (int i = 0;
         i < 100 && done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready;
         ++i) {
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    return false;
}

// A file of size bytes that takes no room on the disk.
inline void MakeSparseFile(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << path;
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

}  // namespace tunrax::test
