"""The Windows programs under Wine against the Linux ones, on this machine: lanqi-cli.exe against lanqi-cli on
the sample sites (the same bytes out, the same exit codes), and convertText on Windows' code page 936
against glibc's GBK on the same corpus as the Linux cross-check. The differences between the two code
pages are written to $LANQI_DIFFERENCES, one character per line."""

import os
import random
import re
import subprocess
import sys
import tempfile
import time
import unittest

WINDOWS = os.environ.get("LANQI_WINDOWS_BUILD", "")
LINUX = os.environ.get("LANQI_LINUX_BUILD", "")
SOURCE = os.environ.get("LANQI_SOURCE_DIR", "")
STATE = os.environ.get("LANQI_SAMPLE_STATE", "")
WINE_RUN = os.path.join(SOURCE, "tests", "windows", "wine-run")
FIXTURES = os.path.join(SOURCE, "tests", "fixtures", "scrape")

sys.path.insert(0, os.path.join(SOURCE, "tests", "py"))
from test_convert_crosscheck import parse_records, records  # noqa: E402  (the convert_tool record format)


def exe(*parts):
    return os.path.join(WINDOWS, *parts)


def linux(*parts):
    return os.path.join(LINUX, *parts)


def server_base():
    with open(os.path.join(STATE, "port")) as f:
        return "http://127.0.0.1:%d" % int(f.read())


def run(command, env=None, data=None):
    return subprocess.run(command, env=env, input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)


@unittest.skipUnless(WINDOWS and LINUX and STATE and os.path.exists(linux("src", "app", "cli", "lanqi-cli")),
                     "needs both builds (the Linux one in LANQI_LINUX_BUILD) and the sample sites")
class CliAgainstLinux(unittest.TestCase):
    def env(self, modes=None):
        config = tempfile.mkdtemp(prefix="lanqi-win-config-")
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", config]))
        env = {k: v for k, v in os.environ.items() if not k.startswith("LANQI_SITE")}
        env["XDG_CONFIG_HOME"] = config
        for n in range(1, 7):
            env["LANQI_SITE%d_BASE" % n] = "%s/site%d%s" % (server_base(), n, (modes or {}).get(n, ""))
        return env

    def test_the_same_bytes_and_exit_codes_as_on_linux(self):
        cases = [
            (["--json", "超能陆战队"], {}),
            (["超能陆战队", "next"], {}),
            (["--json", "abc", "page", "3"], {n: "-items2" for n in range(1, 7)}),
            (["--json", "abc"], {2: "-down", 5: "-empty"}),
            (["--json", "abc"], {n: "-down" for n in range(1, 7)}),
            (["abc", "prev"], {}),
            (["sites"], {}),
            (["sites", "--export", "-"], {}),
            (["--json", "check-site", "site4", os.path.join(FIXTURES, "site4.html")], {}),
            (["--version"], {}),
        ]
        linux_time = windows_time = 0.0
        for args, modes in cases:
            with self.subTest(args=args, modes=modes):
                env = self.env(modes)
                start = time.monotonic()
                on_linux = run([linux("src", "app", "cli", "lanqi-cli")] + args, env)
                linux_time += time.monotonic() - start
                start = time.monotonic()
                on_windows = run([WINE_RUN, exe("src", "app", "cli", "lanqi-cli.exe")] + args, env)
                windows_time += time.monotonic() - start
                self.assertEqual(on_windows.returncode, on_linux.returncode, on_windows.stderr.decode(errors="replace"))
                # Every byte alike but the time each site took.
                timings = lambda out: re.sub(rb'"ms":\d+', b'"ms":0', out)
                self.assertEqual(timings(on_windows.stdout), timings(on_linux.stdout))
                self.assertEqual(on_windows.stderr, on_linux.stderr)
        sys.stderr.write("lanqi-cli runs: %.2f s on Linux, %.2f s under Wine (%.1f x)\n"
                         % (linux_time, windows_time, windows_time / linux_time))


def convert_both(src, dst, texts):
    data = records(texts)
    on_linux = run([linux("tests", "tools", "convert_tool"), src, dst], data=data)
    on_windows = run([WINE_RUN, exe("tests", "windows", "convert_tool.exe"), src, dst], data=data)
    assert on_linux.returncode == 0 and on_windows.returncode == 0, on_windows.stderr
    return parse_records(on_linux.stdout), parse_records(on_windows.stdout)


def gbk_space():
    """Every one- and two-byte sequence of the GBK lead and trail ranges."""
    chars = [bytes([c]) for c in range(0x00, 0x100)]
    for lead in range(0x81, 0xFF):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFF)):
            chars.append(bytes([lead, trail]))
    return chars


@unittest.skipUnless(WINDOWS and LINUX and os.path.exists(linux("tests", "tools", "convert_tool")),
                     "needs both builds")
class CodePage936AgainstGlibc(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.space = gbk_space()
        cls.linux, cls.windows = convert_both("GBK", "UTF-8", cls.space)
        cls.differences = [(c, l, w) for c, l, w in zip(cls.space, cls.linux, cls.windows) if l != w]
        cls.agreed = [c for c, l, w in zip(cls.space, cls.linux, cls.windows) if l == w and l]
        path = os.environ.get("LANQI_DIFFERENCES")
        if path:
            with open(path, "w") as f:
                f.write("# GBK bytes: glibc GBK -> Windows code page 936 (UTF-8 hex; - for not a character)\n")
                for c, l, w in cls.differences:
                    f.write("%s: %s -> %s\n" % (c.hex(), l.hex() or "-", w.hex() or "-"))

    def test_the_code_pages_differ_in_a_few_characters_only(self):
        self.assertGreater(len(self.agreed), 21000)
        # Windows maps GBK's user-defined areas to the private use area, where glibc has no characters; apart
        # from those the two tables differ in a handful of characters.
        private = lambda w: len(w) == 3 and 0xE000 <= int.from_bytes(w.decode("utf-8").encode("utf-32-be"), "big") <= 0xF8FF
        others = [(c, l, w) for c, l, w in self.differences if not (l == b"" and private(w))]
        self.assertLess(len(others), 40, [(c.hex(), l.hex(), w.hex()) for c, l, w in others])

    def test_random_texts_of_agreed_characters_convert_alike_both_ways(self):
        rng = random.Random(20261208)
        texts = [b"".join(rng.choice(self.agreed) for _ in range(rng.randint(1, 60))) for _ in range(3000)]
        texts += [b"".join(rng.choice(self.agreed) for _ in range(5000)) for _ in range(10)]
        on_linux, on_windows = convert_both("GBK", "UTF-8", texts)
        self.assertEqual(on_windows, on_linux)
        back_linux, back_windows = convert_both("UTF-8", "GBK", on_linux)
        self.assertEqual(back_windows, back_linux)
        self.assertEqual(back_windows, texts)

    def test_broken_input_is_refused_alike(self):
        broken = [b"abc\xb3", b"\x81", b"\xff\xff", b"ok\x80\x30"]
        on_linux, on_windows = convert_both("GBK", "UTF-8", broken)
        self.assertEqual([w == b"" for w in on_windows], [l == b"" for l in on_linux])


if __name__ == "__main__":
    unittest.main()
