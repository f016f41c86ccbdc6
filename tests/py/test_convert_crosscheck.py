"""convertText cross-checked against Python's own GBK codec on thousands of random texts."""

import os
import random
import subprocess
import unittest

TOOL = os.path.join(os.environ.get("LANQI_BUILD_DIR", "../../build/default"), "tests", "tools", "convert_tool")


def records(texts):
    """convert_tool's input: each text as "<length>\\n<bytes>"."""
    return b"".join(b"%d\n" % len(t) + t for t in texts)


def parse_records(out):
    """convert_tool's output, back into its texts."""
    results, pos = [], 0
    while pos < len(out):
        nl = out.index(b"\n", pos)
        n = int(out[pos:nl])
        results.append(out[nl + 1:nl + 1 + n])
        pos = nl + 1 + n
    return results


def run_tool(src, dst, texts):
    out = subprocess.run([TOOL, src, dst], input=records(texts), stdout=subprocess.PIPE, check=True, timeout=120).stdout
    return parse_records(out)


def gbk_alphabet():
    """Every double-byte GBK character that Python's codec and glibc's agree exist: both GB2312 levels,
    the GBK extension areas, plus printable ASCII."""
    chars = [bytes([c]) for c in range(0x20, 0x7F)]
    for lead in range(0x81, 0xFF):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFF)):
            b = bytes([lead, trail])
            try:
                b.decode("gbk")
            except UnicodeDecodeError:
                continue
            chars.append(b)
    return chars


class ConvertCrossCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.alphabet = gbk_alphabet()
        # Which characters glibc accepts: the reference table must be the same one the client uses.
        per_char = run_tool("GBK", "UTF-8", cls.alphabet)
        cls.agreed = [c for c, u in zip(cls.alphabet, per_char) if u == c.decode("gbk").encode("utf-8")]
        cls.disagreed = [c for c, u in zip(cls.alphabet, per_char) if u != c.decode("gbk").encode("utf-8")]

    def test_codecs_agree_on_almost_every_character(self):
        # The two tables differ on a handful of code points at most (vendor-specific mappings).
        self.assertGreater(len(self.agreed), 21000)
        self.assertLess(len(self.disagreed), 100, [c.hex() for c in self.disagreed[:20]])

    def random_texts(self, rng, count, max_len):
        return [b"".join(rng.choice(self.agreed) for _ in range(rng.randint(1, max_len))) for _ in range(count)]

    def test_gbk_to_utf8_matches_python(self):
        rng = random.Random(20261208)
        texts = self.random_texts(rng, 3000, 60) + self.random_texts(rng, 20, 5000)
        got = run_tool("GBK", "UTF-8", texts)
        for t, g in zip(texts, got):
            self.assertEqual(g, t.decode("gbk").encode("utf-8"), t.hex())

    def test_utf8_to_gbk_matches_python(self):
        rng = random.Random(7)
        texts = [t.decode("gbk").encode("utf-8") for t in self.random_texts(rng, 3000, 60)]
        got = run_tool("UTF-8", "GBK", texts)
        for t, g in zip(texts, got):
            self.assertEqual(g, t.decode("utf-8").encode("gbk"), t.hex())

    def test_corrupted_texts_give_empty_or_the_exact_conversion(self):
        rng = random.Random(99)
        texts = []
        for t in self.random_texts(rng, 2000, 40):
            b = bytearray(t)
            b[rng.randrange(len(b))] = rng.randrange(256)
            cut = rng.randint(0, len(b))
            texts.append(bytes(b[:cut]))
        got = run_tool("GBK", "UTF-8", texts)
        for t, g in zip(texts, got):
            try:
                expected = t.decode("gbk").encode("utf-8")
            except UnicodeDecodeError:
                expected = b""
            # glibc reads the lone byte 0x80 as the euro sign (code page 936); Python's codec does not.
            if b"\x80" in t:
                continue
            if expected and any(t[i:i + 2] in self.disagreed for i in range(len(t))):
                continue
            self.assertEqual(g, expected, t.hex())


if __name__ == "__main__":
    unittest.main()
