#include "swarm/torrent_session.h"

#include <algorithm>
#include <libtorrent/alert.hpp>

namespace lanqi {

std::string listenInterfaces(std::string_view listen) {
    if (listen.empty()) return "0.0.0.0:0,[::]:0";
    std::string value(listen);
    if (value.front() == '[') return value.find("]:") == std::string::npos ? value + ":0" : value;
    const auto colons = std::count(value.begin(), value.end(), ':');
    if (colons > 1)  // a bare IPv6 address
        return "[" + value + "]:0";
    return colons == 1 ? value : value + ":0";
}

bool isLoopbackNode(std::string_view node) {
    std::string_view host = node;
    if (!host.empty() && host.front() == '[') {
        host = host.substr(1, host.find(']') == std::string_view::npos ? host.size() : host.find(']') - 1);
    } else if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
        host = host.substr(0, colon);
    }
    return host == "localhost" || host == "::1" || host.substr(0, 4) == "127.";
}

lt::settings_pack torrentSessionSettings(const SwarmSettings& settings) {
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, listenInterfaces(settings.listen));
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_bool(lt::settings_pack::enable_dht, true);
    if (!settings.dhtBootstrap.empty()) {
        std::string nodes;
        for (const auto& node : settings.dhtBootstrap) nodes += (nodes.empty() ? "" : ",") + node;
        pack.set_str(lt::settings_pack::dht_bootstrap_nodes, nodes);
    }
    const bool local =
        !settings.dhtBootstrap.empty() && std::all_of(settings.dhtBootstrap.begin(), settings.dhtBootstrap.end(),
                                                      [](const std::string& node) { return isLoopbackNode(node); });
    if (local) {
        pack.set_bool(lt::settings_pack::dht_restrict_routing_ips, false);
        pack.set_bool(lt::settings_pack::dht_restrict_search_ips, false);
        pack.set_bool(lt::settings_pack::dht_prefer_verified_node_ids, false);
        pack.set_bool(lt::settings_pack::dht_ignore_dark_internet, false);
    }
    // Peers on one address but on different ports are different peers.
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    pack.set_bool(lt::settings_pack::announce_to_all_trackers, true);
    pack.set_bool(lt::settings_pack::announce_to_all_tiers, true);
    pack.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    pack.set_int(lt::settings_pack::active_downloads, -1);
    pack.set_int(lt::settings_pack::active_limit, -1);
    pack.set_int(lt::settings_pack::alert_mask, lt::alert_category::status | lt::alert_category::error |
                                                    lt::alert_category::tracker | lt::alert_category::dht_operation);
    return pack;
}

}  // namespace lanqi
