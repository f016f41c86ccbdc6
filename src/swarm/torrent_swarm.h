#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/events.h"
#include "platform/settings.h"
#include "swarm/swarm_check.h"

namespace lanqi {

// Whether this build checks swarms (it has the BitTorrent library); when not, makeTorrentSwarmChecker makes
// nothing.
bool swarmCheckAvailable();

// How the checker's session lives, for the program and for tests that need it to go idle sooner.
struct TorrentSwarmOptions {
    // The session ends once no check has run for this long.
    std::chrono::milliseconds idleAfter{std::chrono::seconds(30)};
    // Told (on the checker's own thread) when the session starts (true) and when it has ended (false).
    std::function<void(bool running)> onSession;
};

// The checker on libtorrent, matching SwarmCheckerFactory: nothing when this build has no BitTorrent library.
std::unique_ptr<SwarmChecker> makeTorrentSwarmChecker(const SwarmSettings& settings, TaskPoster& poster,
                                                      SwarmChecker::Listener listener);
std::unique_ptr<SwarmChecker> makeTorrentSwarmCheckerWith(const SwarmSettings& settings, TaskPoster& poster,
                                                          SwarmChecker::Listener listener, TorrentSwarmOptions options);

}  // namespace lanqi
