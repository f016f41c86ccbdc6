"""lanqi-cli swarm against the local swarm (swarm_fixture), with [swarm] from a settings file. Runs in a network
namespace where only loopback is up (in-loopback-netns)."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import local_swarm

CLI = os.environ["LANQI_CLI"]
FIXTURE = os.environ["LANQI_SWARM_FIXTURE"]
SAMPLE_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "sample-sites",
                             "server.py")
DEAD = local_swarm.DEAD


class CliSwarmTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fixture, cls.swarm = local_swarm.start(FIXTURE)
        cls.home = tempfile.TemporaryDirectory()
        folder = os.path.join(cls.home.name, "lanqi-search")
        os.makedirs(folder)
        with open(os.path.join(folder, "config.toml"), "w") as f:
            f.write('[swarm]\ntrackers = ["%s"]\ndht_bootstrap = ["%s"]\nlisten = "127.0.0.1"\n'
                    % (cls.swarm["tracker"], cls.swarm["dhtNode"]))

    @classmethod
    def tearDownClass(cls):
        local_swarm.stop(cls.fixture)
        cls.home.cleanup()

    def run_cli(self, *arguments, limit=30):
        env = dict(os.environ, XDG_CONFIG_HOME=self.home.name)
        start = time.monotonic()
        done = subprocess.run([CLI, *arguments], capture_output=True, text=True, env=env, timeout=limit)
        return done, time.monotonic() - start

    def test_live_hash_gives_name_files_size_and_a_seed(self):
        done, seconds = self.run_cli("swarm", "magnet:?xt=urn:btih:" + self.swarm["hash"].upper(), "--json")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertLess(seconds, 15)
        lines = done.stdout.splitlines()
        self.assertEqual(len(lines), 1)
        local_swarm.check_live_report(self, lines[0], self.swarm)

    def test_plain_lines_for_a_live_and_a_dead_hash(self):
        done, _ = self.run_cli("swarm", "--timeout", "2", self.swarm["hash"], DEAD)
        self.assertEqual(done.returncode, 4, done.stderr)
        lines = sorted(done.stdout.splitlines())
        self.assertEqual(lines[0], DEAD + "  ? seeds · ? leechers · 0 peers  -")
        self.assertRegex(lines[1], "^%s  [1-9][0-9]* seeds · [0-9]+ leechers · [1-9][0-9]* peers  %s  \\(3 files, "
                         "272.5 KiB\\)$" % (self.swarm["hash"], self.swarm["name"]))

    def test_dead_hash_ends_at_its_time_limit_with_nothing(self):
        done, seconds = self.run_cli("swarm", "--json", "--timeout", "2", DEAD)
        self.assertEqual(done.returncode, 3, done.stderr)
        report = json.loads(done.stdout)
        self.assertEqual((report["peers"], report["name"], report["files"], report["totalSize"]), (0, None, [], None))
        self.assertGreaterEqual(report["seconds"], 2)
        self.assertLess(seconds, 6)

    def test_search_with_swarm_adds_the_figures_to_the_rows_of_the_checked_hash(self):
        # The sample sites, each with the seeded hash on its first row, inside this namespace.
        state = tempfile.mkdtemp(prefix="lanqi-swarm-sites-")
        port_file = os.path.join(state, "port")
        server = subprocess.Popen([sys.executable, SAMPLE_SERVER, "--port-file", port_file, "--lifetime", "60",
                                   "--cache-dir", state], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 15
            while not os.path.exists(port_file) and time.monotonic() < deadline:
                time.sleep(0.05)
            with open(port_file) as f:
                base = "http://127.0.0.1:%s" % f.read().strip()
            sites = {"LANQI_SITE%d_BASE" % n: "%s/site%d-items2-hash%s" % (base, n, self.swarm["hash"])
                     for n in range(1, 7)}
            os.environ.update(sites)
            try:
                done, _ = self.run_cli("--json", "--swarm", "1", "--timeout", "5", "abc")
                table, _ = self.run_cli("--swarm", "1", "--timeout", "5", "abc")
            finally:
                for key in sites:
                    del os.environ[key]
        finally:
            server.terminate()
            server.wait()
            shutil.rmtree(state, ignore_errors=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        rows = [json.loads(line) for line in done.stdout.splitlines() if '"event":"row"' in line]
        self.assertEqual(len(rows), 12)
        checked = [row for row in rows if (row["hash"] or "").lower() == self.swarm["hash"]]
        self.assertEqual(len(checked), 6)
        for row in rows:
            if row in checked:
                swarm = row["swarm"]
                self.assertEqual(list(swarm), ["peers", "seeds", "leechers", "name", "files", "totalSize", "seconds"])
                self.assertEqual(swarm["name"], self.swarm["name"])
                self.assertEqual(swarm["totalSize"], self.swarm["totalSize"])
                self.assertGreaterEqual(swarm["seeds"], 1)
            else:
                self.assertNotIn("swarm", row)
        marked = [line for line in table.stdout.splitlines() if " seeds · " in line]
        self.assertEqual(len(marked), 6, table.stdout)
        for line in marked:
            self.assertRegex(line, r"  \[[1-9][0-9]* seeds · [0-9]+ leechers · [1-9][0-9]* peers\]  magnet:\?xt=urn:btih:"
                             "(?i:%s)" % self.swarm["hash"])

    def test_options_replace_the_settings(self):
        # A garbage tracker instead of the file's: the DHT still brings the metadata, no scrape ever answers.
        done, _ = self.run_cli("swarm", "--json", "--timeout", "3", "--tracker", self.swarm["garbageTracker"],
                               self.swarm["hash"])
        self.assertEqual(done.returncode, 0, done.stderr)
        report = json.loads(done.stdout)
        self.assertEqual((report["name"], report["seeds"], report["leechers"]), (self.swarm["name"], None, None))
        self.assertGreaterEqual(report["seconds"], 3)
        # An interface this namespace does not have instead of the file's 127.0.0.1.
        done, _ = self.run_cli("swarm", "--json", "--listen", "192.0.2.1", DEAD)
        self.assertEqual(done.returncode, 3, done.stderr)
        report = json.loads(done.stdout)
        self.assertTrue(report["problem"].startswith("cannot listen on 192.0.2.1: "), report)
        self.assertEqual(report["peers"], 0)

    def test_bad_hashes_and_addresses_are_refused_before_anything_starts(self):
        cases = [
            (["swarm", "0123"], "lanqi-cli: not an info-hash (40 hex digits or 32 base32 letters) or a magnet link "
                                "with one: 0123"),
            (["swarm", DEAD, "magnet:?dn=x"], "lanqi-cli: not an info-hash (40 hex digits or 32 base32 letters) or "
                                              "a magnet link with one: magnet:?dn=x"),
            (["swarm", "--tracker", "ftp://t/", DEAD], "lanqi-cli: the tracker address must start with http://, "
                                                       "https:// or udp://: ftp://t/"),
            (["swarm", "--bootstrap", "127.0.0.1", DEAD], "lanqi-cli: the DHT node must be written host:port: "
                                                          "127.0.0.1"),
            (["swarm", "--timeout", "0x", DEAD], None),
        ]
        for arguments, message in cases:
            done, seconds = self.run_cli(*arguments)
            self.assertEqual(done.returncode, 1, arguments)
            self.assertEqual(done.stdout, "", arguments)
            self.assertLess(seconds, 2, arguments)
            if message:
                self.assertEqual(done.stderr.splitlines()[0], message)


if __name__ == "__main__":
    unittest.main()
