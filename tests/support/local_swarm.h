#pragma once

// The local BitTorrent swarm (tests/swarm/swarm_fixture) for a test: started in the background, read from its
// one JSON line, and stopped by its PID when the object goes.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace lanqi::test {

struct LocalSwarm {
    pid_t pid = -1;
    std::string tracker;         // "http://127.0.0.1:PORT/announce" (opentracker)
    std::string garbageTracker;  // an HTTP server on 127.0.0.1 that answers garbage
    std::string dhtNode;         // "127.0.0.1:PORT"
    std::string hash;            // the seeded torrent's info-hash, 40 lower-case hex digits
    std::string name;
    std::vector<std::pair<std::string, std::uint64_t>> files;
    std::uint64_t totalSize = 0;
    std::string problem;  // why it did not start; "" when it runs

    LocalSwarm() = default;
    LocalSwarm(const LocalSwarm&) = delete;
    LocalSwarm& operator=(const LocalSwarm&) = delete;

    // Starts the fixture program and waits (up to 30 s) for its line.
    void start(const std::string& program, unsigned seed = 1, int lifetimeSeconds = 240) {
        int fds[2];
        if (pipe(fds) != 0) {
            problem = "no pipe";
            return;
        }
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            const std::string seedText = std::to_string(seed);
            const std::string lifetime = std::to_string(lifetimeSeconds);
            execl(program.c_str(), program.c_str(), "--seed", seedText.c_str(), "--lifetime", lifetime.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd wait{fds[0], POLLIN, 0};
            if (poll(&wait, 1, 200) <= 0) continue;
            char buffer[4096];
            const ssize_t got = read(fds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            line.append(buffer, static_cast<std::size_t>(got));
        }
        close(fds[0]);
        const auto json = nlohmann::json::parse(line, nullptr, false);
        if (json.is_discarded() || !json.is_object()) {
            problem = "the swarm fixture printed no line: " + line;
            return;
        }
        tracker = json.at("tracker");
        garbageTracker = json.at("garbageTracker");
        dhtNode = json.at("dhtNode");
        hash = json.at("hash");
        name = json.at("name");
        for (const auto& file : json.at("files"))
            files.emplace_back(file.at("path").get<std::string>(), file.at("size").get<std::uint64_t>());
        totalSize = json.at("totalSize");
    }

    ~LocalSwarm() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Whether this process sees no network interface but loopback (it runs in a network namespace of its own).
// /proc/net/dev lists the interfaces of the process's own namespace, after two heading lines.
inline bool onlyLoopback() {
    std::ifstream in("/proc/net/dev");
    std::string line;
    int interfaces = 0;
    for (int number = 0; std::getline(in, line); ++number) {
        if (number < 2) continue;
        const auto start = line.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        if (line.compare(start, 3, "lo:") != 0) return false;
        ++interfaces;
    }
    return interfaces == 1;
}

}  // namespace lanqi::test
