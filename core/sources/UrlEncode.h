// Percent-encoding of the parameter that the HTTP source sends to the server
// script. Pure text operation; throws nothing.
#pragma once

#include <string>

namespace tunrax {

// Space, "#", "%", "&", "?" and "+", every byte below 0x20 and every byte from
// 0x80 up become "%" and two upper-case hex digits; any other byte, "\"
// included, is copied as it is.
std::string UrlEncode(const std::string& text);

}  // namespace tunrax
