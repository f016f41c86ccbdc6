// The swarm checker on libtorrent. One thread of its own owns the session: it starts with the first check,
// runs the checks (at most max_checks torrents at once, each without storage and wanting no piece), and ends
// with the session once nothing has been checked for a while. The user-interface thread only queues hashes and
// receives reports through the poster.

#include "swarm/torrent_swarm.h"

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/disabled_disk_io.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/detached_thread.h"
#include "swarm/torrent_session.h"

namespace lanqi {

bool swarmCheckAvailable() { return true; }

namespace {

using Clock = std::chrono::steady_clock;

// What the checker and its thread share. The thread keeps it alive after the checker has gone.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool alive = true;             // the checker is there: reports may still be posted
    std::uint64_t generation = 0;  // counts cancelAll calls; a report of an older generation is dropped
    TaskPoster* poster = nullptr;
    SwarmChecker::Listener listener;
    std::deque<std::string> queue;  // hashes waiting for a free place
    std::set<std::string> asked;    // hashes waiting, being checked, or checked in this session
    std::map<std::string, SwarmReport> known;
    bool workerRunning = false;
    bool workerEnded = true;  // the thread (and its session) is gone

    // One session at a time: a new thread waits for the old session to end.
    std::mutex sessionMutex;
};

std::int64_t nowSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Hands a report to the listener on the poster's thread, unless the checker has gone or its checks were
// cancelled in the meantime. Called with shared.mutex held.
void postLocked(const std::shared_ptr<Shared>& shared, SwarmReport report, bool kept = false) {
    if (!shared->alive) return;
    if (!kept) {
        report.checkedAt = nowSeconds();
        shared->known[report.hash] = report;
    }
    const std::uint64_t generation = shared->generation;
    shared->poster->post([shared, generation, report = std::move(report)] {
        SwarmChecker::Listener listener;
        {
            std::lock_guard lock(shared->mutex);
            if (!shared->alive || shared->generation != generation) return;
            listener = shared->listener;
        }
        if (listener) listener(report);
    });
}

// One running check.
struct Check {
    std::string hash;
    lt::sha1_hash v1;
    lt::torrent_handle handle;
    Clock::time_point started;
    SwarmReport report;
    bool scraped = false;
    // A tracker has answered this session's announce: from then on its counts hold this check as a leecher.
    bool announced = false;
    // A tracker's answer named every peer it counts, this check among them: the peer list holds it too.
    bool listedItself = false;
    std::uint64_t generation = 0;
    std::set<lt::tcp::endpoint> dhtPeers;  // the peers the DHT named
    Clock::time_point nextDhtAsk;
    long long secondsShown = 0;  // the whole seconds of the last report: a running check reports once a second
};

class Worker {
  public:
    Worker(std::shared_ptr<Shared> shared, SwarmSettings settings, TorrentSwarmOptions options)
        : m_shared(std::move(shared)), m_settings(std::move(settings)), m_options(std::move(options)) {}

    void run() {
        std::lock_guard sessionLock(m_shared->sessionMutex);
        try {
            runSession();
        } catch (const std::exception& error) {
            failAll(std::string("the BitTorrent session failed: ") + error.what());
        }
        if (m_options.onSession && m_started) m_options.onSession(false);
        std::lock_guard lock(m_shared->mutex);
        m_shared->workerEnded = true;
        m_shared->changed.notify_all();
    }

  private:
    void runSession() {
        lt::session_params params(torrentSessionSettings(m_settings));
        params.disk_io_constructor = lt::disabled_disk_io_constructor;
        m_session = std::make_unique<lt::session>(std::move(params));
        m_started = true;
        if (m_options.onSession) m_options.onSession(true);
        const Clock::time_point sessionStart = Clock::now();
        Clock::time_point lastBusy = sessionStart;
        bool listening = false;
        std::string listenProblem;

        for (;;) {
            {
                std::lock_guard lock(m_shared->mutex);
                if (!m_shared->alive) break;
                dropCancelledLocked();
                while (static_cast<int>(m_checks.size()) < std::max(1, m_settings.maxChecks) &&
                       !m_shared->queue.empty()) {
                    startLocked(m_shared->queue.front());
                    m_shared->queue.pop_front();
                }
                if (!m_checks.empty())
                    lastBusy = Clock::now();
                else if (m_shared->queue.empty() && Clock::now() - lastBusy >= m_options.idleAfter) {
                    m_shared->workerRunning = false;
                    break;
                }
            }

            m_session->wait_for_alert(std::chrono::milliseconds(50));
            std::vector<lt::alert*> alerts;
            m_session->pop_alerts(&alerts);
            for (lt::alert* alert : alerts) {
                if (lt::alert_cast<lt::listen_succeeded_alert>(alert)) {
                    listening = true;
                } else if (auto* failed = lt::alert_cast<lt::listen_failed_alert>(alert)) {
                    if (listenProblem.empty())
                        listenProblem =
                            "cannot listen on " + failed->address.to_string() + ": " + failed->error.message();
                } else if (auto* metadata = lt::alert_cast<lt::metadata_received_alert>(alert)) {
                    onMetadata(metadata->handle);
                } else if (auto* scrape = lt::alert_cast<lt::scrape_reply_alert>(alert)) {
                    onScrape(scrape->handle, scrape->complete, scrape->incomplete);
                } else if (auto* reply = lt::alert_cast<lt::tracker_reply_alert>(alert)) {
                    onAnnounce(reply->handle, reply->num_peers);
                } else if (auto* dht = lt::alert_cast<lt::dht_get_peers_reply_alert>(alert)) {
                    onDhtPeers(dht->info_hash, dht->peers());
                }
            }
            if (!listening && !listenProblem.empty() && Clock::now() - sessionStart > std::chrono::seconds(1)) {
                failAll(listenProblem);
                std::lock_guard lock(m_shared->mutex);
                m_shared->workerRunning = false;
                break;
            }
            tick();
        }
        for (auto& check : m_checks) m_session->remove_torrent(check.handle);
        m_checks.clear();
        // The session ends on this thread; the checker does not wait for it.
        m_session.reset();
    }

    Check* find(const lt::torrent_handle& handle) {
        for (auto& check : m_checks)
            if (check.handle == handle) return &check;
        return nullptr;
    }

    void startLocked(const std::string& hash) {
        Check check;
        check.hash = hash;
        check.started = Clock::now();
        check.nextDhtAsk = check.started;
        check.report.hash = hash;
        check.generation = m_shared->generation;
        lt::add_torrent_params params;
        lt::sha1_hash& v1 = check.v1;
        for (std::size_t i = 0; i < 20; ++i)
            v1[static_cast<int>(i)] = static_cast<std::uint8_t>(std::stoi(hash.substr(2 * i, 2), nullptr, 16));
        params.info_hashes = lt::info_hash_t(v1);
        params.save_path = ".";  // the storage is disabled: nothing is written
        params.trackers = m_settings.trackers;
        params.flags &=
            ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed | lt::torrent_flags::need_save_resume);
        // No piece is ever wanted. The torrent does not announce this session to the DHT: the check looks the
        // hash up there itself (tick) and hands the peers it hears of to the torrent.
        params.flags |= lt::torrent_flags::default_dont_download | lt::torrent_flags::disable_dht;
        lt::error_code error;
        check.handle = m_session->add_torrent(std::move(params), error);
        if (error) {
            check.report.finished = true;
            check.report.problem = "the check could not start: " + error.message();
            postLocked(m_shared, check.report);
            m_shared->asked.erase(hash);
            return;
        }
        for (int i = 0; i < static_cast<int>(m_settings.trackers.size()); ++i) check.handle.scrape_tracker(i);
        m_checks.push_back(std::move(check));
    }

    void onMetadata(const lt::torrent_handle& handle) {
        Check* check = find(handle);
        if (!check) return;
        const auto info = handle.torrent_file();
        if (!info) return;
        const lt::file_storage& files = info->files();
        check->report.name = info->name();
        check->report.files.clear();
        std::uint64_t total = 0;
        const std::string prefix = info->name() + "/";
        for (const lt::file_index_t index : files.file_range()) {
            if (files.pad_file_at(index)) continue;
            std::string path = files.file_path(index, "");
            std::replace(path.begin(), path.end(), '\\', '/');
            if (files.num_files() > 1 && path.rfind(prefix, 0) == 0) path.erase(0, prefix.size());
            const auto size = static_cast<std::uint64_t>(files.file_size(index));
            check->report.files.push_back({path, size});
            total += size;
        }
        check->report.totalSize = total;
        publish(*check);
    }

    void onScrape(const lt::torrent_handle& handle, int complete, int incomplete) {
        Check* check = find(handle);
        if (!check) return;
        check->scraped = true;
        if (complete >= 0) check->report.seeds = std::max(check->report.seeds.value_or(0), complete);
        if (incomplete >= 0)
            check->report.leechers = std::max(check->report.leechers.value_or(0), othersThan(*check, incomplete));
        publish(*check);
    }

    // A tracker's count of leechers without this check, once the tracker has counted it.
    static int othersThan(const Check& check, int incomplete) {
        return check.announced ? std::max(0, incomplete - 1) : incomplete;
    }

    void onDhtPeers(const lt::sha1_hash& hash, const std::vector<lt::tcp::endpoint>& peers) {
        for (auto& check : m_checks) {
            if (check.v1 != hash) continue;
            for (const auto& peer : peers)
                if (check.dhtPeers.insert(peer).second) check.handle.connect_peer(peer, lt::peer_info::dht);
        }
    }

    // An announce's answer carries the tracker's figures too, this check counted among its leechers.
    void onAnnounce(const lt::torrent_handle& handle, int listed) {
        Check* check = find(handle);
        if (!check) return;
        check->announced = true;
        bool changed = false;
        for (const auto& tracker : handle.trackers()) {
            for (const auto& endpoint : tracker.endpoints) {
                const auto& figures = endpoint.info_hashes[lt::protocol_version::V1];
                if (figures.scrape_complete >= 0) {
                    check->report.seeds = std::max(check->report.seeds.value_or(0), figures.scrape_complete);
                    check->scraped = changed = true;
                }
                if (figures.scrape_incomplete >= 0) {
                    check->report.leechers =
                        std::max(check->report.leechers.value_or(0), othersThan(*check, figures.scrape_incomplete));
                    check->scraped = changed = true;
                }
                // A list as long as the swarm the tracker counts (this check included) names this check too.
                if (figures.scrape_complete >= 0 && figures.scrape_incomplete >= 1 &&
                    listed >= figures.scrape_complete + figures.scrape_incomplete)
                    check->listedItself = true;
            }
        }
        if (changed) publish(*check);
    }

    void publish(Check& check) {
        check.report.seconds = std::chrono::duration<double>(Clock::now() - check.started).count();
        std::lock_guard lock(m_shared->mutex);
        if (check.generation == m_shared->generation) postLocked(m_shared, check.report);
    }

    // Counts the peers known, and ends the checks that know everything or ran out of time.
    void tick() {
        const auto limit = std::chrono::seconds(std::max(1, m_settings.timeoutSeconds));
        for (auto it = m_checks.begin(); it != m_checks.end();) {
            Check& check = *it;
            const Clock::time_point now = Clock::now();
            if (now >= check.nextDhtAsk) {
                // Often while the DHT may still be starting, then now and then.
                m_session->dht_get_peers(check.v1);
                check.nextDhtAsk = now + (now - check.started < std::chrono::seconds(3) ? std::chrono::milliseconds(500)
                                                                                        : std::chrono::seconds(3));
            }
            const lt::torrent_status status = check.handle.status(lt::status_flags_t{});
            const int listed = std::max(0, status.list_peers - (check.listedItself ? 1 : 0));
            // The figure follows the list as it is corrected (this check found in it, a peer dropped), but never
            // counts fewer than the peers connected or the DHT named, nor none once a peer gave the metadata.
            const int peers = std::max(
                {listed, static_cast<int>(check.dhtPeers.size()), status.num_peers, check.report.name ? 1 : 0});
            const auto second = std::chrono::duration_cast<std::chrono::seconds>(now - check.started).count();
            if (peers != check.report.peers || second != check.secondsShown) {
                check.report.peers = peers;
                check.secondsShown = second;
                publish(check);
            }
            const bool complete = check.report.name && (check.scraped || m_settings.trackers.empty());
            if (complete || Clock::now() - check.started >= limit) {
                check.report.finished = true;
                publish(check);
                m_session->remove_torrent(check.handle);
                it = m_checks.erase(it);
            } else {
                ++it;
            }
        }
    }

    // The checks cancelAll ended: removed without a word.
    void dropCancelledLocked() {
        for (auto it = m_checks.begin(); it != m_checks.end();) {
            if (it->generation != m_shared->generation) {
                m_session->remove_torrent(it->handle);
                it = m_checks.erase(it);
            } else {
                ++it;
            }
        }
    }

    void failAll(const std::string& problem) {
        std::lock_guard lock(m_shared->mutex);
        for (auto& check : m_checks) {
            if (check.generation != m_shared->generation) continue;
            check.report.finished = true;
            check.report.problem = problem;
            postLocked(m_shared, check.report);
            m_shared->asked.erase(check.hash);
        }
        if (m_session)
            for (auto& check : m_checks) m_session->remove_torrent(check.handle);
        m_checks.clear();
        for (const auto& hash : m_shared->queue) {
            SwarmReport report;
            report.hash = hash;
            report.finished = true;
            report.problem = problem;
            postLocked(m_shared, report);
            m_shared->asked.erase(hash);
        }
        m_shared->queue.clear();
    }

    std::shared_ptr<Shared> m_shared;
    SwarmSettings m_settings;
    TorrentSwarmOptions m_options;
    std::unique_ptr<lt::session> m_session;
    std::vector<Check> m_checks;
    bool m_started = false;
};

class TorrentSwarmChecker final : public SwarmChecker {
  public:
    TorrentSwarmChecker(SwarmSettings settings, TaskPoster& poster, Listener listener, TorrentSwarmOptions options)
        : m_shared(std::make_shared<Shared>()), m_settings(std::move(settings)), m_options(std::move(options)) {
        m_shared->poster = &poster;
        m_shared->listener = std::move(listener);
    }

    // Ends every check at once. The session's own end (its last words to the trackers) goes on on the
    // checker's thread for a moment; the checker waits a bounded while for it, never longer.
    ~TorrentSwarmChecker() override {
        std::unique_lock lock(m_shared->mutex);
        m_shared->alive = false;
        m_shared->queue.clear();
        m_shared->changed.wait_for(lock, std::chrono::seconds(2), [&] { return m_shared->workerEnded; });
    }

    void check(const std::string& text) override {
        const auto hash = parseInfoHash(text);
        std::lock_guard lock(m_shared->mutex);
        if (!hash) {
            SwarmReport report;
            report.hash = text;
            report.finished = true;
            report.problem = "not an info-hash: " + text;
            postLocked(m_shared, report);
            m_shared->known.erase(text);
            return;
        }
        if (m_shared->asked.count(*hash)) {
            if (auto it = m_shared->known.find(*hash); it != m_shared->known.end())
                postLocked(m_shared, it->second, true);
            return;
        }
        m_shared->asked.insert(*hash);
        m_shared->queue.push_back(*hash);
        if (!m_shared->workerRunning) {
            m_shared->workerRunning = true;
            m_shared->workerEnded = false;
            auto worker = std::make_shared<Worker>(m_shared, m_settings, m_options);
            if (!startDetachedThread([worker] { worker->run(); })) {
                m_shared->workerRunning = false;
                m_shared->workerEnded = true;
            }
        }
    }

    void cancelAll() override {
        std::lock_guard lock(m_shared->mutex);
        ++m_shared->generation;
        for (const auto& hash : m_shared->queue) m_shared->asked.erase(hash);
        m_shared->queue.clear();
        for (auto it = m_shared->known.begin(); it != m_shared->known.end();) {
            if (!it->second.finished) {
                m_shared->asked.erase(it->first);
                it = m_shared->known.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::optional<SwarmReport> known(const std::string& text) const override {
        const auto hash = parseInfoHash(text);
        if (!hash) return std::nullopt;
        std::lock_guard lock(m_shared->mutex);
        const auto it = m_shared->known.find(*hash);
        if (it == m_shared->known.end()) return std::nullopt;
        return it->second;
    }

  private:
    std::shared_ptr<Shared> m_shared;
    SwarmSettings m_settings;
    TorrentSwarmOptions m_options;
};

}  // namespace

std::unique_ptr<SwarmChecker> makeTorrentSwarmChecker(const SwarmSettings& settings, TaskPoster& poster,
                                                      SwarmChecker::Listener listener) {
    return makeTorrentSwarmCheckerWith(settings, poster, std::move(listener), TorrentSwarmOptions{});
}

std::unique_ptr<SwarmChecker> makeTorrentSwarmCheckerWith(const SwarmSettings& settings, TaskPoster& poster,
                                                          SwarmChecker::Listener listener,
                                                          TorrentSwarmOptions options) {
    return std::make_unique<TorrentSwarmChecker>(settings, poster, std::move(listener), std::move(options));
}

}  // namespace lanqi
