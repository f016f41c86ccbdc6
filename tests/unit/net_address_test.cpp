#include <gtest/gtest.h>

#include "platform/net.h"

namespace lanqi {
namespace {

// Addresses that carry an IPv4 address count as that address; the other IPv6 ranges by their own prefix.
TEST(LocalNetworkAddress, AddressesThatCarryAnIpv4AddressAreJudgedByIt) {
    const struct {
        const char* address;
        bool local;
    } cases[] = {
        // IPv4-compatible: ::a.b.c.d
        {"::127.0.0.1", true},
        {"::10.0.0.1", true},
        {"::192.168.7.7", true},
        {"::8.8.8.8", false},
        // NAT64, the well-known prefix 64:ff9b::/96
        {"64:ff9b::127.0.0.1", true},
        {"64:ff9b::a00:1", true},      // 10.0.0.1
        {"64:ff9b::c0a8:101", true},   // 192.168.1.1
        {"64:ff9b::a9fe:a9fe", true},  // 169.254.169.254
        {"64:ff9b::808:808", false},   // 8.8.8.8
        {"64:ff9b:1::abcd", true},     // the local-use NAT64 prefix: any IPv4 address behind it
        // 6to4: 2002:AABB:CCDD::/48 carries AA.BB.CC.DD
        {"2002:7f00:1::", true},     // 127.0.0.1
        {"2002:c0a8:101::1", true},  // 192.168.1.1
        {"2002:ac10:5::1", true},    // 172.16.0.5
        {"2002:808:808::1", false},  // 8.8.8.8
        {"2002:ac20:1::1", false},   // 172.32.0.1
        // Teredo: 2001:0::/32, the client's IPv4 address inverted in the last four bytes
        {"2001:0:4136:e378:8000:63bf:80ff:fffe", true},   // client 127.0.0.1
        {"2001:0:4136:e378:8000:63bf:3f57:fefd", true},   // client 192.168.1.2
        {"2001:0:4136:e378:8000:63bf:f7f7:f7f7", false},  // client 8.8.8.8
        // Site-local (deprecated, still routed by some networks) fec0::/10
        {"fec0::1", true},
        {"feff:ffff::1", true},
        // Mapped, as before
        {"::ffff:10.1.1.1", true},
        {"::ffff:1.1.1.1", false},
        // Other documentation and public addresses stay public
        {"2001:db8::1", false},
        {"2001:4860::8888", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isLocalNetworkAddress(c.address), c.local) << c.address;
}

}  // namespace
}  // namespace lanqi
