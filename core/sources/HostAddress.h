// The one reading of a server address from the settings, for the web-server
// and the FTP source: "name", "name:port", "[v6]" or "[v6]:port"; an address
// with several colons and no brackets is an IPv6 address without a port.
#pragma once

#include <cstdint>
#include <string>

namespace tunrax {

// What is wrong with an address, in the order it is checked; each source
// words its own message.
enum class TAddressFault { None, Host, Port };

struct THostAddress {
    std::string Host;  // without brackets
    uint16_t Port = 0;
    TAddressFault Fault = TAddressFault::None;
};

// Host and port of address (defaultPort when none is given). A port is one
// to five digits for 1..65535; a host is not empty and has none of
// "/@?#[]", blanks or tabs (it goes into a URL or a socket address as it
// is). Never throws.
THostAddress ParseHostAddress(const std::string& address, uint16_t defaultPort);

}  // namespace tunrax
