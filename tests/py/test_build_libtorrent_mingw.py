"""scripts/build-libtorrent-mingw: it returns at once while its cache is complete, touches nothing then, and
when a tool it needs is missing it stops before any work and names the tool. The full cross-build is proved
by the Windows build's integration.win32_libtorrent_test."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

SOURCE = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SCRIPT = os.path.join(SOURCE, "scripts", "build-libtorrent-mingw")
CACHE = os.environ.get("LANQI_CACHE_DIR", os.path.join(os.path.expanduser("~"), ".cache", "lanqi-search"))
VERSION = "2.0.8"


def bin_without(folder, tool):
    """A folder of links to every program on this machine's PATH but `tool`."""
    for place in ("/usr/local/bin", "/usr/bin", "/usr/sbin"):
        if not os.path.isdir(place):
            continue
        for name in os.listdir(place):
            link = os.path.join(folder, name)
            if name != tool and not os.path.lexists(link):
                os.symlink(os.path.join(place, name), link)
    return folder


class BuildLibtorrentMingw(unittest.TestCase):
    def run_script(self, env):
        return subprocess.run([SCRIPT], env=env, capture_output=True, text=True, timeout=120)

    def test_a_missing_tool_stops_it_before_any_work(self):
        # Each with a stale stamp in the cache, which must not count as a finished build.
        for tool in ("x86_64-w64-mingw32-g++-posix", "cmake", "ninja", "dpkg-source"):
            with self.subTest(tool=tool), tempfile.TemporaryDirectory() as tmp:
                cache = os.path.join(tmp, "cache")
                prefix = os.path.join(cache, "libtorrent-mingw-" + VERSION)
                os.makedirs(prefix)
                with open(os.path.join(prefix, "lanqi-stamp"), "w") as f:
                    f.write("libtorrent-rasterbar 1.2.0\n")
                os.makedirs(os.path.join(tmp, "bin"))
                path = bin_without(os.path.join(tmp, "bin"), tool)
                env = dict(os.environ, LANQI_CACHE_DIR=cache, PATH=path)
                result = self.run_script(env)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertEqual(
                    result.stderr, "build-libtorrent-mingw: %s is missing: scripts/install-deps installs it\n" % tool
                )
                # Nothing fetched, written or removed: the cache holds the old stamp alone.
                self.assertEqual(sorted(os.listdir(cache)), ["libtorrent-mingw-" + VERSION])
                self.assertEqual(sorted(os.listdir(prefix)), ["lanqi-stamp"])

    def test_a_complete_cache_returns_at_once(self):
        prefix = os.path.join(CACHE, "libtorrent-mingw-" + VERSION)
        stamp = os.path.join(prefix, "lanqi-stamp")
        if not os.path.exists(stamp):
            self.skipTest("no libtorrent cache in %s: scripts/build-libtorrent-mingw makes it" % CACHE)
        log = os.path.join(CACHE, "libtorrent-mingw-%s.log" % VERSION)
        before = {path: os.stat(path).st_mtime_ns for path in (stamp, log)}
        start = time.monotonic()
        result = self.run_script(dict(os.environ, LANQI_CACHE_DIR=CACHE))
        took = time.monotonic() - start
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "libtorrent-mingw: %s\n" % prefix)
        self.assertEqual(result.stderr, "")
        self.assertLess(took, 5.0)
        self.assertEqual({path: os.stat(path).st_mtime_ns for path in before}, before)
        for part in ("lib/libtorrent-rasterbar.a", "include/libtorrent/session.hpp", "include/boost/version.hpp"):
            self.assertTrue(os.path.exists(os.path.join(prefix, part)), part)


if __name__ == "__main__":
    unittest.main()
