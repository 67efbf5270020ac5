// Bounds the test process's address space while it lives, so that a test of
// memory bounds fails with bad_alloc when they regress, instead of taking
// the machine's memory. Nothing under the sanitizers, which reserve vast
// address ranges of their own.
#pragma once

#include <sys/resource.h>

#include <cstdint>

namespace tunrax::test {

class ScopedAddressSpaceLimit {
public:
    explicit ScopedAddressSpaceLimit(uint64_t bytes) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        (void)bytes;
#else
        if (::getrlimit(RLIMIT_AS, &FOld) != 0)
            return;
        rlimit limit = FOld;
        limit.rlim_cur = bytes < FOld.rlim_max ? bytes : FOld.rlim_max;
        FSet = ::setrlimit(RLIMIT_AS, &limit) == 0;
#endif
    }
    ~ScopedAddressSpaceLimit() {
        if (FSet)
            ::setrlimit(RLIMIT_AS, &FOld);
    }
    ScopedAddressSpaceLimit(const ScopedAddressSpaceLimit&) = delete;
    ScopedAddressSpaceLimit& operator=(const ScopedAddressSpaceLimit&) = delete;

private:
    rlimit FOld{};
    bool FSet = false;
};

}  // namespace tunrax::test
