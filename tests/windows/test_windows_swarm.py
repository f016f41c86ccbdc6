"""lanqi-cli.exe swarm under Wine against the local swarm of the Linux build (tests/swarm/swarm_fixture): the
Windows program's checker on the cross-built libtorrent gets the torrent's metadata and the tracker's figures.
Runs in a network namespace where only loopback is up (tests/swarm/in-loopback-netns), with a Wine prefix whose
Wine server starts in that namespace too (Wine makes the sockets in its server)."""

import json
import os
import subprocess
import tempfile
import time
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "swarm"))
import local_swarm  # noqa: E402
WINDOWS = os.environ.get("LANQI_WINDOWS_BUILD", "")
LINUX = os.environ.get("LANQI_LINUX_BUILD", "")
CLI = os.path.join(WINDOWS, "src", "app", "cli", "lanqi-cli.exe")
FIXTURE = os.path.join(LINUX, "tests", "swarm", "swarm_fixture")
DEAD = local_swarm.DEAD


@unittest.skipUnless(WINDOWS and LINUX and os.path.exists(FIXTURE),
                     "needs the Linux build's swarm_fixture (LANQI_LINUX_BUILD) beside the Windows build")
class WindowsCliSwarm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fixture, cls.swarm = local_swarm.start(FIXTURE)
        cls.config = tempfile.TemporaryDirectory(prefix="lanqi-win-swarm-")

    @classmethod
    def tearDownClass(cls):
        local_swarm.stop(cls.fixture)
        cls.config.cleanup()
        # The prefix's Wine server ends by itself a moment after its last program; the namespace lives until then.
        subprocess.run(["/usr/lib/wine/wineserver", "--wait"], check=False)

    def run_cli(self, *arguments):
        env = dict(os.environ, XDG_CONFIG_HOME=self.config.name)
        local = ["--listen", "127.0.0.1", "--tracker", self.swarm["tracker"], "--bootstrap", self.swarm["dhtNode"]]
        start = time.monotonic()
        done = subprocess.run([os.path.join(HERE, "wine-run"), CLI, "swarm", *local, *arguments],
                              capture_output=True, env=env, timeout=120)
        return done, time.monotonic() - start

    def test_live_hash_gives_name_files_size_and_a_seed(self):
        done, seconds = self.run_cli("--json", "magnet:?xt=urn:btih:" + self.swarm["hash"].upper())
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertLess(seconds, 30)
        lines = done.stdout.decode().splitlines()
        self.assertEqual(len(lines), 1)
        local_swarm.check_live_report(self, lines[0], self.swarm)

    def test_plain_lines_for_a_live_and_a_dead_hash(self):
        done, _ = self.run_cli("--timeout", "3", self.swarm["hash"], DEAD)
        self.assertEqual(done.returncode, 4, done.stderr)
        lines = sorted(done.stdout.decode("utf-8").splitlines())
        self.assertEqual(lines[0], DEAD + "  ? seeds · ? leechers · 0 peers  -")
        size = "(%d files, %.1f KiB)" % (len(self.swarm["files"]), self.swarm["totalSize"] / 1024)
        self.assertRegex(lines[1], "^%s  [1-9][0-9]* seeds · [0-9]+ leechers · [1-9][0-9]* peers  " % self.swarm["hash"])
        self.assertTrue(lines[1].endswith("  %s  %s" % (self.swarm["name"], size)), lines[1])

    def test_dead_hash_ends_at_its_time_limit_with_nothing(self):
        done, seconds = self.run_cli("--json", "--timeout", "2", DEAD)
        self.assertEqual(done.returncode, 3, done.stderr)
        report = json.loads(done.stdout)
        self.assertEqual((report["peers"], report["name"], report["files"], report["totalSize"]), (0, None, [], None))
        self.assertGreaterEqual(report["seconds"], 2)


if __name__ == "__main__":
    unittest.main()
