"""The local swarm (swarm_fixture) for the Python tests: started in the background, read from its one JSON line,
and ended by its process when the test class is done. Only inside a network namespace with loopback alone."""

import json
import subprocess
import unittest

# A hash nobody in the local swarm has.
DEAD = "0123456789abcdef0123456789abcdef01234567"


def only_loopback():
    """Whether this process sees no network interface but loopback (/proc/net/dev, after its two heading lines)."""
    with open("/proc/net/dev") as f:
        names = [line.split(":")[0].strip() for line in f.readlines()[2:] if ":" in line]
    return names == ["lo"]


def start(fixture, lifetime=120):
    """(the fixture's process, what it printed); skips the test class outside a loopback-only namespace."""
    if not only_loopback():
        raise unittest.SkipTest("runs in a network namespace with loopback alone")
    process = subprocess.Popen([fixture, "--lifetime", str(lifetime)], stdout=subprocess.PIPE, text=True)
    return process, json.loads(process.stdout.readline())


def stop(process):
    process.terminate()
    process.wait()


def check_live_report(test, line, swarm):
    """`line` is lanqi-cli swarm --json's report of the swarm's seeded hash: every key in order, the torrent's
    metadata, and its one seeder as the only seed and peer (the check itself counted nowhere)."""
    report = json.loads(line)
    test.assertEqual(list(report), ["event", "hash", "peers", "seeds", "leechers", "name", "files", "totalSize",
                                    "seconds"])
    test.assertEqual((report["event"], report["hash"]), ("swarm", swarm["hash"]))
    test.assertEqual((report["name"], report["files"], report["totalSize"]),
                     (swarm["name"], swarm["files"], swarm["totalSize"]))
    test.assertEqual((report["seeds"], report["leechers"], report["peers"]), (1, 0, 1))
