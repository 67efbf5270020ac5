#include "sources/HostAddress.h"

#include <gtest/gtest.h>

#include <string>

using namespace tunrax;

TEST(HostAddress, ReadsTheFourFormsAndNamesWhatIsWrong) {
    struct Case {
        const char* address;
        const char* host;
        uint16_t port;
    };
    for (const Case& c :
         {Case{"musik.example", "musik.example", 21},
          Case{"musik.example:2121", "musik.example", 2121}, Case{"[::1]", "::1", 21},
          Case{"[fe80::1]:65535", "fe80::1", 65535}, Case{"fe80::1", "fe80::1", 21},
          Case{"127.0.0.1:00021", "127.0.0.1", 21}}) {
        SCOPED_TRACE(c.address);
        const THostAddress parsed = ParseHostAddress(c.address, 21);
        EXPECT_EQ(parsed.Fault, TAddressFault::None);
        EXPECT_EQ(parsed.Host, c.host);
        EXPECT_EQ(parsed.Port, c.port);
    }
    for (const char* bad : {"host:", "host:0", "host:65536", "host:000021", "host:8o",
                            "[::1]:", "[::1]:x", "host:-1"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ParseHostAddress(bad, 80).Fault, TAddressFault::Port);
    }
    for (const char* bad : {"", "[::1", "[::1]x", "[]", "a b", "u@host", "host/mp3", ":21",
                            "ho\tst:21", "[a b]:21"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ParseHostAddress(bad, 80).Fault, TAddressFault::Host);
    }
}
