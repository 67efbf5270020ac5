// Looking a server's name up where a transfer's bounds and cancellation reach
// it: the system's resolver blocks for as long as a silent name server keeps
// it, and nothing can call it off. The lookup runs in a thread of its own
// while the caller's watch gives the program its turn every slice; a lookup
// given up on ends in its thread unseen.
#pragma once

#include <Poco/Net/SocketAddress.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tunrax {

class TTransferWatch;

// How a name becomes an address: the system's resolver through Poco by
// default. Tests put one of their own (a name server that never answers).
using THostResolver = std::function<Poco::Net::SocketAddress(const std::string&, uint16_t)>;
THostResolver& HostResolver();

// The address of host (a name, or an IPv4 or IPv6 address, which needs no
// lookup). Throws what the resolver throws, TransferCancelled and the
// watch's errors while it waits, and TLookupTimedOut after timeout.
struct TLookupTimedOut {};
Poco::Net::SocketAddress LookUpHost(const std::string& host, uint16_t port, TTransferWatch& watch,
                                    std::chrono::milliseconds timeout);

}  // namespace tunrax
