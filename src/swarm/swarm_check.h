#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/events.h"
#include "platform/settings.h"

namespace lanqi {

// The swarm check: for one info-hash, what the BitTorrent network says of it (peers found through the DHT
// and the trackers, seeds and leechers from the trackers' scrape, the torrent's own metadata from a peer).
// Nothing but metadata is downloaded and nothing is uploaded.

// One file of the torrent as its metadata lists it (pad files left out).
struct SwarmFile {
    std::string path;  // UTF-8, "/" between folders, without the torrent's own name in front
    std::uint64_t size = 0;

    bool operator==(const SwarmFile&) const = default;
};

// What a check knows of one hash so far. Reports come as figures arrive; the last one of a check has
// `finished` set.
struct SwarmReport {
    std::string hash;                 // 40 lower-case hex digits
    bool finished = false;            // the check is over: its time limit ran out, everything was known, or it failed
    int peers = 0;                    // distinct peers found through the DHT and the trackers
    std::optional<int> seeds;         // the trackers' scrape (the largest a tracker gave); none: no scrape answered
    std::optional<int> leechers;      // likewise
    std::optional<std::string> name;  // the metadata's name (UTF-8); none: no metadata came
    std::vector<SwarmFile> files;
    std::optional<std::uint64_t> totalSize;  // of `files`
    double seconds = 0;                      // since the check started
    std::int64_t checkedAt = 0;              // when this report was made, seconds since 1970 (UTC)
    std::string problem;                     // why the check could not run, in English; "" when it ran

    bool operator==(const SwarmReport&) const = default;
};

// The 40 lower-case hex digits of an info-hash written as 40 hex digits or 32 base32 letters (either case), or
// of the btih of a magnet link; nothing for anything else.
std::optional<std::string> parseInfoHash(std::string_view hashOrMagnet);

// What is wrong with a tracker's announce address: "" when it is an http, https or udp address with a host.
std::string trackerAddressProblem(std::string_view address);
// What is wrong with a DHT bootstrap node: "" when it is "host:port" with a port from 1 to 65535.
std::string bootstrapNodeProblem(std::string_view node);

// The checks of a session. Every report is handed to the listener on the poster's thread (the user-interface
// thread), never on the caller's stack; a hash checked before in this session answers from what is kept.
class SwarmChecker {
  public:
    using Listener = std::function<void(const SwarmReport&)>;
    virtual ~SwarmChecker() = default;
    // Checks `hash` (as parseInfoHash gives it): at once, or once fewer than max_checks run. Asking again for a
    // hash being checked or checked before changes nothing but reports what is known.
    virtual void check(const std::string& hash) = 0;
    // Ends every check and empties the queue; nothing more is reported for them.
    virtual void cancelAll() = 0;
    // What is known of `hash` in this session, if it was asked for.
    virtual std::optional<SwarmReport> known(const std::string& hash) const = 0;
};

// Makes the session's checker with these settings; nothing when this build has no BitTorrent library. The
// BitTorrent session itself starts on the first check and ends when no check has run for a while, and when
// the checker goes.
using SwarmCheckerFactory =
    std::function<std::unique_ptr<SwarmChecker>(const SwarmSettings&, TaskPoster&, SwarmChecker::Listener)>;

}  // namespace lanqi
