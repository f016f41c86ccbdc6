// A BitTorrent swarm on 127.0.0.1 for the swarm check's tests and benchmarks: opentracker, a DHT node to
// bootstrap from, and a seeder of a small multi-file torrent made from a seed number (the same seed makes the
// same torrent, so the same info-hash). Also an HTTP "tracker" that answers garbage.
//
//   swarm_fixture [--seed N] [--lifetime SECONDS]
//
// Once everything runs it prints one JSON line on stdout:
//   {"tracker":URL,"garbageTracker":URL,"dhtNode":"127.0.0.1:PORT","seeder":"127.0.0.1:PORT","hash":HEX,
//    "name":NAME,"files":[{"path":PATH,"size":N}...],"totalSize":N}
// and then serves until its lifetime ends (default 120 s), it is sent SIGTERM, or its parent goes.
// Every socket it opens is on 127.0.0.1; local service discovery, UPnP and NAT-PMP are off.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_info.hpp>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

std::string hex(const char* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[(static_cast<unsigned char>(bytes[i]) >> 4) & 0xf];
        text += kDigits[static_cast<unsigned char>(bytes[i]) & 0xf];
    }
    return text;
}

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "swarm_fixture: " << message << "\n";
    std::exit(1);
}

// A port free on 127.0.0.1 now (for opentracker, which takes its port on the command line).
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("cannot bind 127.0.0.1");
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Settings every session here starts from: loopback only, no discovery, a DHT among local nodes.
lt::settings_pack localSettings(const std::string& bootstrap) {
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_bool(lt::settings_pack::enable_dht, true);
    pack.set_str(lt::settings_pack::dht_bootstrap_nodes, bootstrap);
    pack.set_bool(lt::settings_pack::dht_restrict_routing_ips, false);
    pack.set_bool(lt::settings_pack::dht_restrict_search_ips, false);
    pack.set_bool(lt::settings_pack::dht_prefer_verified_node_ids, false);
    pack.set_bool(lt::settings_pack::dht_ignore_dark_internet, false);
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    pack.set_int(lt::settings_pack::alert_mask, lt::alert_category::status | lt::alert_category::error |
                                                    lt::alert_category::tracker | lt::alert_category::dht);
    return pack;
}

// Refuses to go on with a session that could reach anything but loopback.
void checkLocal(const lt::settings_pack& pack) {
    if (pack.get_str(lt::settings_pack::listen_interfaces).rfind("127.0.0.1:", 0) != 0 ||
        pack.get_bool(lt::settings_pack::enable_lsd) || pack.get_bool(lt::settings_pack::enable_upnp) ||
        pack.get_bool(lt::settings_pack::enable_natpmp))
        fail("a session would not be loopback only");
    const std::string nodes = pack.get_str(lt::settings_pack::dht_bootstrap_nodes);
    if (!nodes.empty() && nodes.rfind("127.0.0.1:", 0) != 0) fail("a session would bootstrap from a node off loopback");
}

int listenPort(lt::session& session) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        session.wait_for_alert(std::chrono::milliseconds(100));
        std::vector<lt::alert*> alerts;
        session.pop_alerts(&alerts);
        for (lt::alert* alert : alerts) {
            if (auto* ok = lt::alert_cast<lt::listen_succeeded_alert>(alert))
                if (ok->socket_type == lt::socket_type_t::udp) return ok->port;
            if (auto* bad = lt::alert_cast<lt::listen_failed_alert>(alert))
                fail("cannot listen: " + bad->error.message());
        }
    }
    fail("no listen socket");
}

// The torrent's content: a few files whose bytes come from the seed.
struct Content {
    std::string name;
    std::vector<std::pair<std::string, std::int64_t>> files;  // path below the name, size
};

Content makeContent(const fs::path& folder, unsigned seed) {
    Content content;
    content.name = "lanqi-sample-" + std::to_string(seed);
    content.files = {{"readme.txt", 1234}, {"video/part1.mkv", 200000}, {"video/part2.mkv", 77777}};
    std::mt19937 random(seed);
    for (const auto& [path, size] : content.files) {
        const fs::path file = folder / content.name / path;
        fs::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        for (std::int64_t i = 0; i < size; ++i) out.put(static_cast<char>(random() & 0xff));
    }
    return content;
}

// Answers every request with a 200 and bytes that are no bencoding.
void serveGarbage(int listener) {
    while (!g_stop) {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        char buffer[4096];
        (void)!recv(client, buffer, sizeof buffer, 0);
        const char reply[] =
            "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nd8:completei\xff\xfe garbage 5:peers9999:";
        (void)!send(client, reply, sizeof reply - 1, MSG_NOSIGNAL);
        close(client);
    }
}

// Runs opentracker and ends it when this program goes. opentracker will not run as root and a change of user
// clears the signal a child gets when its parent dies, so a small watcher that stays the same user holds
// opentracker's life: it ends opentracker when it is sent SIGTERM, when the fixture dies, or at the lifetime.
[[noreturn]] void watchTracker(const fs::path& folder, int port, int lifetime) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const pid_t tracker = fork();
    if (tracker == 0) {
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        const std::string text = std::to_string(port);
        execlp("opentracker", "opentracker", "-i", "127.0.0.1", "-p", text.c_str(), "-P", text.c_str(), "-d",
               folder.c_str(), "-u", "nobody", "-w", "whitelist.txt", static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto end = Clock::now() + std::chrono::seconds(lifetime + 5);
    const timespec wait{0, 200000000};
    while (Clock::now() < end) {
        if (sigtimedwait(&signals, nullptr, &wait) == SIGTERM) break;
        if (waitpid(tracker, nullptr, WNOHANG) == tracker) _exit(0);
    }
    kill(tracker, SIGKILL);
    waitpid(tracker, nullptr, 0);
    _exit(0);
}

int garbageListener() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0)
        fail("cannot listen on 127.0.0.1");
    timeval wait{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned seed = 1;
    int lifetime = 120;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc)
            seed = static_cast<unsigned>(std::stoul(argv[++i]));
        else if (arg == "--lifetime" && i + 1 < argc)
            lifetime = std::stoi(argv[++i]);
        else
            fail("usage: swarm_fixture [--seed N] [--lifetime SECONDS]");
    }
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    signal(SIGTERM, onSignal);
    signal(SIGINT, onSignal);
    signal(SIGPIPE, SIG_IGN);
    const auto endOfLife = Clock::now() + std::chrono::seconds(lifetime);

    char folderTemplate[] = "/tmp/lanqi-swarm-XXXXXX";
    if (!mkdtemp(folderTemplate)) fail("cannot make a folder");
    const fs::path folder = folderTemplate;
    // opentracker reads its list there after it has become "nobody".
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    const Content content = makeContent(folder, seed);

    // The torrent, made the same way each time (no date, no creator), so its hash depends on the seed alone.
    lt::file_storage storage;
    lt::add_files(storage, (folder / content.name).string());
    lt::create_torrent maker(storage, 16 * 1024);
    lt::set_piece_hashes(maker, folder.string());
    maker.set_creator("");
    std::vector<char> bytes;
    lt::bencode(std::back_inserter(bytes), maker.generate());
    auto info = std::make_shared<lt::torrent_info>(bytes, lt::from_span);
    const std::string hash = hex(info->info_hashes().v1.data(), 20);

    // opentracker tracks only the hashes it is told of.
    {
        std::ofstream allowed(folder / "whitelist.txt");
        allowed << hash << "\n";
        if (info->info_hashes().has_v2()) allowed << hex(info->info_hashes().v2.data(), 20) << "\n";
    }
    const int trackerPort = freePort();
    const pid_t tracker = fork();
    if (tracker == 0) watchTracker(folder, trackerPort, lifetime);
    const std::string trackerUrl = "http://127.0.0.1:" + std::to_string(trackerPort) + "/announce";

    const int garbage = garbageListener();
    sockaddr_in garbageAddress{};
    socklen_t length = sizeof garbageAddress;
    getsockname(garbage, reinterpret_cast<sockaddr*>(&garbageAddress), &length);
    std::thread garbageThread(serveGarbage, garbage);
    const std::string garbageUrl = "http://127.0.0.1:" + std::to_string(ntohs(garbageAddress.sin_port)) + "/announce";

    // The DHT node everyone bootstraps from.
    lt::settings_pack nodeSettings = localSettings("");
    checkLocal(nodeSettings);
    lt::session node(lt::session_params{nodeSettings});
    const std::string nodeAddress = "127.0.0.1:" + std::to_string(listenPort(node));

    lt::settings_pack seederSettings = localSettings(nodeAddress);
    checkLocal(seederSettings);
    lt::session seeder(lt::session_params{seederSettings});
    const int seederPort = listenPort(seeder);
    lt::add_torrent_params params;
    params.ti = info;
    params.save_path = folder.string();
    params.trackers = {trackerUrl};
    params.flags |= lt::torrent_flags::seed_mode;
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    seeder.add_torrent(std::move(params));

    // A second DHT node, so that the DHT holds more than the seeder and the node it started from; it also
    // asks the DHT for the seeder until it answers.
    lt::settings_pack proberSettings = localSettings(nodeAddress);
    proberSettings.set_int(lt::settings_pack::alert_mask, lt::alert_category::dht_operation);
    checkLocal(proberSettings);
    lt::session prober(lt::session_params{proberSettings});

    // Ready once the tracker and the DHT have heard of the seeder.
    bool announced = false;
    bool inDht = false;
    const auto readyBy = Clock::now() + std::chrono::seconds(30);
    auto nextAsk = Clock::now() + std::chrono::milliseconds(500);
    while (!(announced && inDht) && Clock::now() < readyBy && !g_stop) {
        seeder.wait_for_alert(std::chrono::milliseconds(100));
        std::vector<lt::alert*> alerts;
        seeder.pop_alerts(&alerts);
        for (lt::alert* alert : alerts) {
            if (lt::alert_cast<lt::tracker_reply_alert>(alert))
                announced = true;
            else if (auto* error = lt::alert_cast<lt::tracker_error_alert>(alert))
                std::cerr << "swarm_fixture: " << error->message() << "\n";
        }
        node.pop_alerts(&alerts);
        prober.pop_alerts(&alerts);
        for (lt::alert* alert : alerts)
            if (auto* reply = lt::alert_cast<lt::dht_get_peers_reply_alert>(alert))
                inDht = inDht || reply->num_peers() > 0;
        if (!inDht && Clock::now() >= nextAsk) {
            prober.dht_get_peers(info->info_hashes().v1);
            nextAsk = Clock::now() + std::chrono::seconds(1);
        }
    }
    if (!announced || !inDht)
        fail(std::string("the seeder was not announced to the ") + (announced ? "DHT" : "tracker"));

    nlohmann::json line;
    line["tracker"] = trackerUrl;
    line["garbageTracker"] = garbageUrl;
    line["dhtNode"] = nodeAddress;
    line["seeder"] = "127.0.0.1:" + std::to_string(seederPort);
    line["hash"] = hash;
    line["name"] = content.name;
    line["files"] = nlohmann::json::array();
    std::int64_t total = 0;
    for (const auto& [path, size] : content.files) {
        line["files"].push_back({{"path", path}, {"size", size}});
        total += size;
    }
    line["totalSize"] = total;
    std::cout << line.dump() << std::endl;

    while (!g_stop && Clock::now() < endOfLife) {
        seeder.wait_for_alert(std::chrono::milliseconds(200));
        std::vector<lt::alert*> alerts;
        seeder.pop_alerts(&alerts);
        node.pop_alerts(&alerts);
        prober.pop_alerts(&alerts);
        if (getppid() == 1) break;
    }
    g_stop = true;
    kill(tracker, SIGTERM);
    waitpid(tracker, nullptr, 0);
    garbageThread.join();
    close(garbage);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
