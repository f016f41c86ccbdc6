// The libtorrent checker against a real swarm on 127.0.0.1: opentracker, a DHT node and a seeder
// (swarm_fixture), in a network namespace where only loopback is up.

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <thread>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/local_swarm.h"
#include "swarm/torrent_session.h"
#include "swarm/torrent_swarm.h"

namespace lanqi {
namespace {

using namespace std::chrono_literals;

}  // namespace

// Readable reports in failures.
void PrintTo(const SwarmReport& r, std::ostream* out) {
    *out << "{" << r.hash << " finished=" << r.finished << " peers=" << r.peers << " seeds=" << r.seeds.value_or(-1)
         << " leechers=" << r.leechers.value_or(-1) << " name=" << r.name.value_or("-") << " files=" << r.files.size()
         << " seconds=" << r.seconds << " at=" << r.checkedAt << " problem=" << r.problem << "}";
}

namespace {

using Clock = std::chrono::steady_clock;

const char* const kDeadHash = "0123456789abcdef0123456789abcdef01234567";

test::LocalSwarm* g_swarm = nullptr;

class SwarmCheckTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        g_swarm = new test::LocalSwarm;
        if (test::onlyLoopback()) g_swarm->start(LANQI_SWARM_FIXTURE);
    }
    static void TearDownTestSuite() {
        delete g_swarm;
        g_swarm = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(test::onlyLoopback()) << "these tests run in a network namespace with loopback alone";
        ASSERT_EQ(g_swarm->problem, "");
        ASSERT_EQ(g_swarm->hash.size(), 40u);
    }

    // Settings that keep a session on loopback, checked before any session starts.
    SwarmSettings localSettings(std::vector<std::string> trackers, int timeoutSeconds) {
        SwarmSettings settings;
        settings.enabled = true;
        settings.listen = "127.0.0.1";
        settings.dhtBootstrap = {g_swarm->dhtNode};
        settings.trackers = std::move(trackers);
        settings.timeoutSeconds = timeoutSeconds;
        expectLocal(settings);
        return settings;
    }

    static void expectLocal(const SwarmSettings& settings) {
        const lt::settings_pack pack = torrentSessionSettings(settings);
        EXPECT_EQ(pack.get_str(lt::settings_pack::listen_interfaces), "127.0.0.1:0");
        EXPECT_FALSE(pack.get_bool(lt::settings_pack::enable_lsd));
        EXPECT_FALSE(pack.get_bool(lt::settings_pack::enable_upnp));
        EXPECT_FALSE(pack.get_bool(lt::settings_pack::enable_natpmp));
        EXPECT_EQ(pack.get_str(lt::settings_pack::dht_bootstrap_nodes), g_swarm->dhtNode);
        for (const auto& tracker : settings.trackers) EXPECT_EQ(tracker.rfind("http://127.0.0.1:", 0), 0u) << tracker;
    }

    // Every report handed to the listener, in order, and the moment each came.
    struct Seen {
        std::vector<SwarmReport> reports;
        std::vector<double> at;
        Clock::time_point start = Clock::now();
        const SwarmReport* last(const std::string& hash) const {
            for (auto it = reports.rbegin(); it != reports.rend(); ++it)
                if (it->hash == hash) return &*it;
            return nullptr;
        }
        bool finished(const std::string& hash) const {
            const SwarmReport* report = last(hash);
            return report && report->finished;
        }
    };

    std::unique_ptr<SwarmChecker> makeChecker(const SwarmSettings& settings, Seen& seen,
                                              TorrentSwarmOptions options = {}) {
        return makeTorrentSwarmCheckerWith(
            settings, m_queue,
            [&seen](const SwarmReport& report) {
                seen.reports.push_back(report);
                seen.at.push_back(std::chrono::duration<double>(Clock::now() - seen.start).count());
            },
            std::move(options));
    }

    // Runs the posted reports until every hash has a finished one, or `limit` has passed.
    void runUntilFinished(const Seen& seen, const std::vector<std::string>& hashes, std::chrono::seconds limit) {
        const auto deadline = Clock::now() + limit;
        m_queue.runUntil([&] {
            if (Clock::now() >= deadline) return true;
            for (const auto& hash : hashes)
                if (!seen.finished(hash)) return false;
            return true;
        });
    }

    TaskQueue m_queue;
};

TEST_F(SwarmCheckTest, SettingsStayLocalOnlyForLoopbackNodes) {
    struct Case {
        std::vector<std::string> nodes;
        std::string listen;
        std::string interfaces;
        bool relaxed;  // the DHT accepts many nodes and peers on one address
    };
    const Case cases[] = {
        {{"127.0.0.1:6881"}, "127.0.0.1", "127.0.0.1:0", true},
        {{"127.0.0.1:6881", "[::1]:6881", "localhost:7000"}, "127.0.0.1:6999", "127.0.0.1:6999", true},
        {{"127.0.0.1:6881", "router.example.org:6881"}, "", "0.0.0.0:0,[::]:0", false},
        {{}, "::1", "[::1]:0", false},
        {{"10.0.0.1:6881"}, "[::1]:7000", "[::1]:7000", false},
    };
    for (const Case& c : cases) {
        SwarmSettings settings;
        settings.dhtBootstrap = c.nodes;
        settings.listen = c.listen;
        const lt::settings_pack pack = torrentSessionSettings(settings);
        const std::string label = c.listen + " " + (c.nodes.empty() ? "" : c.nodes.front());
        EXPECT_EQ(pack.get_str(lt::settings_pack::listen_interfaces), c.interfaces) << label;
        EXPECT_FALSE(pack.get_bool(lt::settings_pack::enable_lsd)) << label;
        EXPECT_FALSE(pack.get_bool(lt::settings_pack::enable_upnp)) << label;
        EXPECT_FALSE(pack.get_bool(lt::settings_pack::enable_natpmp)) << label;
        EXPECT_TRUE(pack.get_bool(lt::settings_pack::enable_dht)) << label;
        EXPECT_EQ(pack.get_bool(lt::settings_pack::dht_restrict_routing_ips), !c.relaxed) << label;
        EXPECT_EQ(pack.get_bool(lt::settings_pack::dht_restrict_search_ips), !c.relaxed) << label;
        EXPECT_EQ(pack.get_bool(lt::settings_pack::dht_prefer_verified_node_ids), !c.relaxed) << label;
        EXPECT_EQ(pack.get_bool(lt::settings_pack::dht_ignore_dark_internet), !c.relaxed) << label;
        if (c.nodes.empty())
            EXPECT_EQ(pack.get_str(lt::settings_pack::dht_bootstrap_nodes),
                      lt::settings_pack().get_str(lt::settings_pack::dht_bootstrap_nodes));
    }
}

TEST_F(SwarmCheckTest, LiveHashThroughTrackerAndDhtGivesMetadataAndSeeds) {
    Seen seen;
    auto checker = makeChecker(localSettings({g_swarm->tracker}, 15), seen);
    checker->check(g_swarm->hash);
    EXPECT_TRUE(seen.reports.empty()) << "no report on the caller's stack";
    runUntilFinished(seen, {g_swarm->hash}, 20s);

    const SwarmReport* report = seen.last(g_swarm->hash);
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->finished);
    EXPECT_EQ(report->problem, "");
    ASSERT_TRUE(report->name.has_value());
    EXPECT_EQ(*report->name, g_swarm->name);
    std::vector<std::pair<std::string, std::uint64_t>> files;
    for (const auto& file : report->files) files.emplace_back(file.path, file.size);
    EXPECT_EQ(files, g_swarm->files);
    EXPECT_EQ(report->totalSize, std::optional<std::uint64_t>(g_swarm->totalSize));
    ASSERT_TRUE(report->seeds.has_value());
    EXPECT_GE(*report->seeds, 1);
    // One seeder and nobody else: the check, which the tracker counts and may list, is not one of them.
    EXPECT_EQ(report->leechers, std::optional<int>(0));
    EXPECT_EQ(report->peers, 1);
    EXPECT_LT(report->seconds, 15) << "a check that knows everything ends before its time limit";
    EXPECT_GT(report->checkedAt, 0);
    // Reports come in order, the last one alone finished (the peer figure may be corrected down on the way).
    for (std::size_t i = 1; i < seen.reports.size(); ++i) {
        EXPECT_GE(seen.reports[i].seconds, seen.reports[i - 1].seconds);
        EXPECT_FALSE(seen.reports[i - 1].finished);
    }
    // Asked again, the checker answers from what it kept, later and never on the caller's stack.
    const SwarmReport last = *report;
    ASSERT_EQ(checker->known(g_swarm->hash), last);
    ASSERT_EQ(checker->known(std::string(kDeadHash)), std::nullopt);
    const std::size_t before = seen.reports.size();
    checker->check("magnet:?xt=urn:btih:" + g_swarm->hash);
    EXPECT_EQ(seen.reports.size(), before);
    m_queue.runPending(1s);
    ASSERT_EQ(seen.reports.size(), before + 1);
    EXPECT_EQ(seen.reports.back(), last);
}

TEST_F(SwarmCheckTest, DhtAloneFindsThePeerAndTheMetadata) {
    Seen seen;
    auto checker = makeChecker(localSettings({}, 15), seen);
    checker->check(g_swarm->hash);
    runUntilFinished(seen, {g_swarm->hash}, 20s);
    const SwarmReport* report = seen.last(g_swarm->hash);
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->finished);
    EXPECT_GE(report->peers, 1);
    EXPECT_EQ(report->name, std::optional<std::string>(g_swarm->name));
    EXPECT_EQ(report->seeds, std::nullopt) << "no tracker, no scrape";
    EXPECT_EQ(report->leechers, std::nullopt);
    EXPECT_LT(report->seconds, 15) << "with metadata and no tracker there is nothing more to wait for";
}

TEST_F(SwarmCheckTest, DeadHashEndsAtItsTimeLimitWithNothing) {
    Seen seen;
    auto checker = makeChecker(localSettings({g_swarm->tracker}, 3), seen);
    checker->check(kDeadHash);
    runUntilFinished(seen, {kDeadHash}, 10s);
    const SwarmReport* report = seen.last(kDeadHash);
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->finished);
    EXPECT_EQ(report->problem, "");
    EXPECT_EQ(report->peers, 0);
    EXPECT_EQ(report->name, std::nullopt);
    EXPECT_TRUE(report->files.empty());
    EXPECT_EQ(report->totalSize, std::nullopt);
    EXPECT_GE(report->seconds, 3.0);
    EXPECT_LT(report->seconds, 4.5);
}

TEST_F(SwarmCheckTest, GarbageTrackerDoesNotEndTheCheck) {
    Seen seen;
    auto checker = makeChecker(localSettings({g_swarm->garbageTracker}, 4), seen);
    checker->check(g_swarm->hash);
    runUntilFinished(seen, {g_swarm->hash}, 10s);
    const SwarmReport* report = seen.last(g_swarm->hash);
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->finished);
    EXPECT_EQ(report->problem, "");
    EXPECT_EQ(report->name, std::optional<std::string>(g_swarm->name)) << "the DHT still brought the seeder";
    EXPECT_GE(report->peers, 1);
    EXPECT_EQ(report->seeds, std::nullopt);
    EXPECT_GE(report->seconds, 4.0) << "no scrape answered, so the check waits for one to its time limit";
}

TEST_F(SwarmCheckTest, QueueRunsAtMostMaxChecksAtOnce) {
    Seen seen;
    SwarmSettings settings = localSettings({}, 2);
    settings.maxChecks = 1;
    auto checker = makeChecker(settings, seen);
    const std::string second = "1123456789abcdef0123456789abcdef01234567";
    checker->check(kDeadHash);
    checker->check(second);
    runUntilFinished(seen, {kDeadHash, second}, 10s);
    const SwarmReport* first = seen.last(kDeadHash);
    const SwarmReport* next = seen.last(second);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(first->finished && next->finished);
    // The second waited for the first: it finished a time limit later.
    const auto finishedAt = [&](const std::string& hash) {
        for (std::size_t i = 0; i < seen.reports.size(); ++i)
            if (seen.reports[i].hash == hash && seen.reports[i].finished) return seen.at[i];
        return 0.0;
    };
    EXPECT_GE(finishedAt(second) - finishedAt(kDeadHash), 1.8);
}

TEST_F(SwarmCheckTest, DestroyingTheCheckerEndsItsChecksPromptly) {
    Seen seen;
    std::atomic<int> sessions{0};
    TorrentSwarmOptions options;
    options.onSession = [&sessions](bool running) { sessions += running ? 1 : -1; };
    auto checker = makeChecker(localSettings({g_swarm->tracker}, 20), seen, options);
    checker->check(g_swarm->hash);
    checker->check(kDeadHash);
    checker->check("2123456789abcdef0123456789abcdef01234567");
    checker->check("3123456789abcdef0123456789abcdef01234567");
    checker->check("4123456789abcdef0123456789abcdef01234567");
    m_queue.runPending(500ms);
    const auto start = Clock::now();
    checker.reset();
    EXPECT_LT(Clock::now() - start, 2500ms);
    const std::size_t before = seen.reports.size();
    while (m_queue.runPending(200ms)) {
    }
    EXPECT_EQ(seen.reports.size(), before) << "nothing is reported once the checker has gone";
    const auto deadline = Clock::now() + 5s;
    while (sessions != 0 && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sessions, 0) << "the session ended";
}

TEST_F(SwarmCheckTest, CancelAllSilencesTheChecksAndSessionEndsWhenIdle) {
    Seen seen;
    std::atomic<int> started{0};
    std::atomic<int> ended{0};
    TorrentSwarmOptions options;
    options.idleAfter = 300ms;
    options.onSession = [&](bool running) { (running ? started : ended) += 1; };
    auto checker = makeChecker(localSettings({}, 20), seen, options);
    checker->check(kDeadHash);
    m_queue.runPending(300ms);
    checker->cancelAll();
    EXPECT_EQ(checker->known(kDeadHash), std::nullopt);
    const std::size_t before = seen.reports.size();
    const auto deadline = Clock::now() + 5s;
    while (ended == 0 && Clock::now() < deadline) m_queue.runPending(50ms);
    EXPECT_EQ(seen.reports.size(), before);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(ended, 1) << "the idle session ended";
    // A later check starts a new session.
    checker->check(g_swarm->hash);
    runUntilFinished(seen, {g_swarm->hash}, 20s);
    EXPECT_EQ(started, 2);
    ASSERT_NE(seen.last(g_swarm->hash), nullptr);
    EXPECT_EQ(seen.last(g_swarm->hash)->name, std::optional<std::string>(g_swarm->name));
}

TEST_F(SwarmCheckTest, SessionThatCannotListenFinishesWithAProblem) {
    Seen seen;
    SwarmSettings settings = localSettings({}, 5);
    settings.listen = "192.0.2.1";  // on no interface here
    auto checker = makeChecker(settings, seen);
    checker->check(kDeadHash);
    runUntilFinished(seen, {kDeadHash}, 10s);
    const SwarmReport* report = seen.last(kDeadHash);
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->finished);
    EXPECT_EQ(report->problem.rfind("cannot listen on 192.0.2.1: ", 0), 0u) << report->problem;
    EXPECT_EQ(report->peers, 0);
}

}  // namespace
}  // namespace lanqi
