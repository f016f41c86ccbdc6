// The cross-built libtorrent-rasterbar (scripts/build-libtorrent-mingw) under Wine: its hashes on Windows'
// CryptoAPI, a .torrent read from memory, and two sessions on 127.0.0.1 handing a torrent's metadata from one
// to the other (BEP 9). The test runs in a network namespace where only loopback is up, and every session
// here listens on 127.0.0.1 with DHT, LSD, UPnP and NAT-PMP off.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/disabled_disk_io.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/torrent_flags.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>

namespace {

template <typename Digest>
std::string hex(const Digest& digest) {
    std::ostringstream out;
    out << digest;
    return out.str();
}

std::string bencodedString(const std::string& s) { return std::to_string(s.size()) + ":" + s; }

std::string sha1Bytes(const std::string& data) {
    const lt::sha1_hash digest = lt::hasher(data.data(), static_cast<int>(data.size())).final();
    return std::string(digest.data(), digest.size());
}

// A one-piece torrent of two files, its info dictionary apart so that the test knows the bytes its hash covers.
struct SmallTorrent {
    std::string info;
    std::string file;
};

SmallTorrent smallTorrent() {
    const std::string payload = "abcdefgh";  // a.txt then b.txt
    SmallTorrent t;
    t.info =
        "d5:filesl"
        "d6:lengthi3e4:pathl" +
        bencodedString("a.txt") +
        "ee"
        "d6:lengthi5e4:pathl" +
        bencodedString("b.txt") +
        "ee"
        "e4:name" +
        bencodedString("lanqi-two") + "12:piece lengthi16384e6:pieces" + bencodedString(sha1Bytes(payload)) + "e";
    t.file = "d4:info" + t.info + "e";
    return t;
}

TEST(Win32Libtorrent, HashesMatchTheStandardVectors) {
    struct Case {
        std::string input;
        std::string sha1;
        std::string sha256;
    };
    // FIPS 180 examples.
    const std::vector<Case> cases = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(hex(lt::hasher(c.input.data(), static_cast<int>(c.input.size())).final()), c.sha1);
        EXPECT_EQ(hex(lt::hasher256(c.input.data(), static_cast<int>(c.input.size())).final()), c.sha256);
    }
    // Fed in pieces, the same digest as at once.
    lt::hasher pieces;
    pieces.update("ab", 2).update("c", 1);
    EXPECT_EQ(hex(pieces.final()), cases[1].sha1);
}

TEST(Win32Libtorrent, ReadsATorrentFromMemory) {
    const SmallTorrent t = smallTorrent();
    lt::error_code ec;
    const lt::torrent_info info(t.file.data(), static_cast<int>(t.file.size()), ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(info.name(), "lanqi-two");
    EXPECT_EQ(info.total_size(), 8);
    EXPECT_EQ(info.num_pieces(), 1);
    ASSERT_EQ(info.num_files(), 2);
    EXPECT_EQ(info.files().file_path(lt::file_index_t{0}), "lanqi-two\\a.txt");
    EXPECT_EQ(info.files().file_size(lt::file_index_t{1}), 5);
    EXPECT_EQ(info.info_hashes().v1, lt::hasher(t.info.data(), static_cast<int>(t.info.size())).final());

    const std::string broken = t.file.substr(0, t.file.size() - 2);
    const lt::torrent_info none(broken.data(), static_cast<int>(broken.size()), ec);
    EXPECT_TRUE(ec);
}

// A session on 127.0.0.1 only, nothing that looks for peers or routers beyond it, no storage.
lt::session_params loopbackSession() {
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_str(lt::settings_pack::dht_bootstrap_nodes, "");
    pack.set_int(lt::settings_pack::alert_mask, lt::alert_category::status | lt::alert_category::error);
    lt::session_params params(std::move(pack));
    params.disk_io_constructor = lt::disabled_disk_io_constructor;
    return params;
}

void expectLoopbackOnly(const lt::session& ses) {
    const lt::settings_pack s = ses.get_settings();
    EXPECT_EQ(s.get_str(lt::settings_pack::listen_interfaces), "127.0.0.1:0");
    EXPECT_FALSE(s.get_bool(lt::settings_pack::enable_dht));
    EXPECT_FALSE(s.get_bool(lt::settings_pack::enable_lsd));
    EXPECT_FALSE(s.get_bool(lt::settings_pack::enable_upnp));
    EXPECT_FALSE(s.get_bool(lt::settings_pack::enable_natpmp));
    EXPECT_EQ(s.get_str(lt::settings_pack::dht_bootstrap_nodes), "");
}

// Waits up to ten seconds for an alert for which `done` holds; false at the time limit. The error alerts seen on
// the way are gathered in `errors`.
bool waitFor(lt::session& ses, const std::function<bool(lt::alert*)>& done, std::string& errors) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        ses.wait_for_alert(std::chrono::milliseconds(200));
        std::vector<lt::alert*> alerts;
        ses.pop_alerts(&alerts);
        for (lt::alert* a : alerts) {
            if (a->category() & lt::alert_category::error) errors += a->message() + "\n";
            if (done(a)) return true;
        }
    }
    return false;
}

int tcpListenPort(lt::session& ses) {
    int port = 0;
    std::string errors;
    const bool listening = waitFor(
        ses,
        [&](lt::alert* a) {
            auto* ok = lt::alert_cast<lt::listen_succeeded_alert>(a);
            if (ok == nullptr || ok->socket_type != lt::socket_type_t::tcp) return false;
            EXPECT_EQ(ok->address.to_string(), "127.0.0.1");
            port = ok->port;
            return true;
        },
        errors);
    EXPECT_TRUE(listening) << errors;
    return port;
}

TEST(Win32Libtorrent, HandsMetadataBetweenTwoLoopbackSessions) {
    const SmallTorrent t = smallTorrent();
    lt::error_code ec;
    auto info = std::make_shared<lt::torrent_info>(t.file.data(), static_cast<int>(t.file.size()), ec);
    ASSERT_FALSE(ec) << ec.message();

    lt::session seeder(loopbackSession());
    lt::session leecher(loopbackSession());
    expectLoopbackOnly(seeder);
    expectLoopbackOnly(leecher);
    const int seederPort = tcpListenPort(seeder);
    ASSERT_GT(seederPort, 0);
    EXPECT_EQ(seeder.listen_port(), seederPort);
    ASSERT_GT(tcpListenPort(leecher), 0);

    lt::add_torrent_params seed;
    seed.ti = info;
    seed.save_path = ".";
    seed.flags = lt::torrent_flags::seed_mode;
    seeder.add_torrent(seed, ec);
    ASSERT_FALSE(ec) << ec.message();

    // The leecher knows the hash and the seeder's address, nothing else; it asks for no piece.
    lt::add_torrent_params magnet;
    magnet.info_hashes = info->info_hashes();
    magnet.save_path = ".";
    magnet.flags = lt::torrent_flags::upload_mode;
    magnet.peers.emplace_back(lt::make_address("127.0.0.1"), static_cast<unsigned short>(seederPort));
    lt::torrent_handle handle = leecher.add_torrent(magnet, ec);
    ASSERT_FALSE(ec) << ec.message();

    std::string errors;
    const bool received = waitFor(
        leecher, [](lt::alert* a) { return lt::alert_cast<lt::metadata_received_alert>(a) != nullptr; }, errors);
    ASSERT_TRUE(received) << errors;
    const std::shared_ptr<const lt::torrent_info> got = handle.torrent_file();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->name(), "lanqi-two");
    EXPECT_EQ(got->total_size(), 8);
    ASSERT_EQ(got->num_files(), 2);
    EXPECT_EQ(got->files().file_size(lt::file_index_t{0}), 3);
    EXPECT_EQ(got->info_hashes().v1, info->info_hashes().v1);
    leecher.remove_torrent(handle);
}

}  // namespace
