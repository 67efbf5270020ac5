#include "sources/HostAddress.h"

#include <algorithm>

namespace tunrax {

namespace {

bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const long port = std::stol(text);
    return port >= 1 && port <= 65535;
}

}  // namespace

THostAddress ParseHostAddress(const std::string& address, uint16_t defaultPort) {
    THostAddress result{address, defaultPort, TAddressFault::None};
    std::string portText;
    bool hasPort = false;
    if (!address.empty() && address.front() == '[') {
        const size_t close = address.find(']');
        if (close == std::string::npos)
            return {address, defaultPort, TAddressFault::Host};
        result.Host = address.substr(1, close - 1);
        const std::string rest = address.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return {address, defaultPort, TAddressFault::Host};
        hasPort = !rest.empty();
        portText = hasPort ? rest.substr(1) : std::string();
    } else if (std::count(address.begin(), address.end(), ':') == 1) {
        const size_t colon = address.find(':');
        result.Host = address.substr(0, colon);
        hasPort = true;
        portText = address.substr(colon + 1);
    }
    if (hasPort) {
        if (!IsPort(portText))
            return {result.Host, defaultPort, TAddressFault::Port};
        result.Port = static_cast<uint16_t>(std::stol(portText));
    }
    // A control character (a line break above all) would reach the request.
    const bool control = std::any_of(address.begin(), address.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    if (result.Host.empty() || control ||
        result.Host.find_first_of("/@?#[] \t") != std::string::npos)
        result.Fault = TAddressFault::Host;
    return result;
}

}  // namespace tunrax
