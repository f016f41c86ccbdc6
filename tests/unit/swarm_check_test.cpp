// The swarm check's hash and address rules.

#include "swarm/swarm_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace lanqi {
namespace {

TEST(SwarmCheck, ParseInfoHash) {
    // 40 hex digits and their base32 form (RFC 4648) name the same 20 bytes.
    const std::string hex = "b206b6fb431ca4579e0dde6548f2b1dcc406147d";
    struct Case {
        std::string text;
        std::optional<std::string> hash;
    };
    const Case cases[] = {
        {hex, hex},
        {"B206B6FB431CA4579E0DDE6548F2B1DCC406147D", hex},
        {"  b206b6fb431ca4579e0dde6548f2b1dcc406147d\n", hex},
        {"WIDLN62DDSSFPHQN3ZSUR4VR3TCAMFD5", hex},
        {"widln62ddssfphqn3zsur4vr3tcamfd5", hex},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", std::string(40, '0')},
        {"77777777777777777777777777777777", std::string(40, 'f')},
        {"magnet:?xt=urn:btih:" + hex + "&dn=x", hex},
        {"MAGNET:?dn=x&tr=udp%3A%2F%2Ft&xt=urn:BTIH:WIDLN62DDSSFPHQN3ZSUR4VR3TCAMFD5", hex},
        {"magnet:?xt=urn:btmh:1220" + hex + "&xt=urn:btih:" + hex, hex},
        {"magnet:?xt=urn:btmh:1220" + hex, std::nullopt},
        {"magnet:?dn=" + hex, std::nullopt},
        {hex.substr(1), std::nullopt},
        {hex + "0", std::nullopt},
        {"g206b6fb431ca4579e0dde6548f2b1dcc406147d", std::nullopt},
        {"WIDLN62DDSSFPHQN3ZSUR4VR3TCAMFD1", std::nullopt},  // "1" is no base32 letter
        {"WIDLN62DDSSFPHQN3ZSUR4VR3TCAMFD", std::nullopt},
        {"b206b6fb 431ca4579e0dde6548f2b1dcc406147d", std::nullopt},
        {"", std::nullopt},
        {"magnet:?xt=urn:btih:", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseInfoHash(c.text), c.hash) << c.text;
}

TEST(SwarmCheck, AddressProblems) {
    struct Case {
        bool tracker;  // a tracker's address; else a DHT bootstrap node
        std::string text;
        std::string problem;
    };
    const Case cases[] = {
        {true, "http://127.0.0.1:6969/announce", ""},
        {true, "https://tracker.example.org/announce?key=1", ""},
        {true, "UDP://tracker.example.org:1337", ""},
        {true, "udp://[2001:db8::1]:6969/announce", ""},
        {true, "http://tracker.example.org", ""},
        {true, "", "the tracker address is empty"},
        {true, "ftp://tracker.example.org/announce", "the tracker address must start with http://, https:// or udp://"},
        {true, "tracker.example.org:6969", "the tracker address must start with http://, https:// or udp://"},
        {true, "http:///announce", "the tracker address has no host"},
        {true, "udp://:6969", "the tracker address has no host"},
        {true, "http://t.example.org:0/announce", "the tracker address's port must be a number from 1 to 65535"},
        {true, "http://t.example.org:65536/", "the tracker address's port must be a number from 1 to 65535"},
        {true, "http://t.example.org:x/", "the tracker address's port must be a number from 1 to 65535"},
        {true, "udp://tracker.example.org/announce", "a udp tracker address needs a port"},
        {true, "http://t.example.org/an nounce", "the tracker address contains a space or a control character"},
        {true, "http://user:pw@t.example.org/", "the tracker address must not hold a user name or password"},
        {true, "udp://[2001:db8::1:6969", "the tracker address has a broken [IPv6] host"},
        {false, "127.0.0.1:6881", ""},
        {false, "router.example.org:65535", ""},
        {false, "[::1]:6881", ""},
        {false, "", "the DHT node is empty"},
        {false, "router.example.org", "the DHT node must be written host:port"},
        {false, ":6881", "the DHT node has no host"},
        {false, "router.example.org:0", "the DHT node's port must be a number from 1 to 65535"},
        {false, "router.example.org:70000", "the DHT node's port must be a number from 1 to 65535"},
        {false, "router.example.org:", "the DHT node's port must be a number from 1 to 65535"},
        {false, "http://router.example.org:6881", "the DHT node's host is not a host name or address"},
        {false, "router .example.org:6881", "the DHT node contains a space or a control character"},
        {false, "[::1:6881", "the DHT node has a broken [IPv6] host"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.tracker ? trackerAddressProblem(c.text) : bootstrapNodeProblem(c.text), c.problem) << c.text;
}

}  // namespace
}  // namespace lanqi
