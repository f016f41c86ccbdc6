#pragma once

// The libtorrent session's settings for a swarm check, apart so that tests can see what a session will do
// before one starts.

#include <libtorrent/settings_pack.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings.h"

namespace lanqi {

// libtorrent's listen_interfaces for the `listen` setting: every interface for "", else the interface with
// port 0 (any free port) unless it names one.
std::string listenInterfaces(std::string_view listen);

// Whether the node's host is a loopback address ("127.x.x.x", "::1", "localhost").
bool isLoopbackNode(std::string_view node);

// The session's settings: DHT on (bootstrapped from `dhtBootstrap`, else the library's routers), local
// service discovery, UPnP and NAT-PMP off, no payload ever wanted. When every bootstrap node is a loopback
// address, the DHT also accepts nodes and peers that share one address, so that a swarm on one machine works.
lt::settings_pack torrentSessionSettings(const SwarmSettings& settings);

}  // namespace lanqi
