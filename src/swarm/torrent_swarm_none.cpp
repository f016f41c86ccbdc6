// The build without a BitTorrent library: no swarm check.
#include "swarm/torrent_swarm.h"

namespace lanqi {

bool swarmCheckAvailable() { return false; }

std::unique_ptr<SwarmChecker> makeTorrentSwarmChecker(const SwarmSettings&, TaskPoster&, SwarmChecker::Listener) {
    return nullptr;
}

std::unique_ptr<SwarmChecker> makeTorrentSwarmCheckerWith(const SwarmSettings&, TaskPoster&, SwarmChecker::Listener,
                                                          TorrentSwarmOptions) {
    return nullptr;
}

}  // namespace lanqi
