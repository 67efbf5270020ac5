#include "sources/HostLookup.h"

#include <arpa/inet.h>

#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "sources/TransferControl.h"

namespace tunrax {

namespace {

bool IsAddress(const std::string& host) {
    unsigned char buffer[sizeof(struct in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// Shared by the lookup's thread and the caller, who may be gone before it.
struct TLookup {
    std::mutex Lock;
    bool Done = false;
    std::optional<Poco::Net::SocketAddress> Address;
    std::exception_ptr Failure;
};

}  // namespace

THostResolver& HostResolver() {
    static THostResolver resolver = [](const std::string& host, uint16_t port) {
        return Poco::Net::SocketAddress(host, port);
    };
    return resolver;
}

Poco::Net::SocketAddress LookUpHost(const std::string& host, uint16_t port, TTransferWatch& watch,
                                    std::chrono::milliseconds timeout) {
    if (IsAddress(host))
        return Poco::Net::SocketAddress(host, port);
    auto lookup = std::make_shared<TLookup>();
    std::thread([lookup, resolve = HostResolver(), host, port] {
        std::optional<Poco::Net::SocketAddress> address;
        std::exception_ptr failure;
        try {
            address = resolve(host, port);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(lookup->Lock);
        lookup->Address = std::move(address);
        lookup->Failure = failure;
        lookup->Done = true;
    }).detach();
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        {
            const std::lock_guard lock(lookup->Lock);
            if (lookup->Done) {
                if (lookup->Failure)
                    std::rethrow_exception(lookup->Failure);
                return *lookup->Address;
            }
        }
        watch.Check();
        if (std::chrono::steady_clock::now() - start > timeout)
            throw TLookupTimedOut{};
        std::this_thread::sleep_for(kTransferSlice);
    }
}

}  // namespace tunrax
