"""The README and docs/ point only at what exists: every relative link and image (and the heading a link names
after "#"), and every repository path they name in backticks."""

import os
import re
import unittest

SOURCE = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
CODE = re.compile(r"`([^`\s]+)`")
# Folders of this repository: a backticked word that starts with one of them is a path in it.
FOLDERS = ("src/", "tests/", "docs/", "scripts/", "tools/", "bench/", "resources/", "packaging/", ".ci/")
# A path written as a pattern (a placeholder, a wildcard, a range) names no one file.
PATTERN = re.compile(r"[*<>{}…]|\.\.\.|NAME|_N\b|\bN\b")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")


def anchors(path):
    """The places a link can name in a Markdown file: its headings as GitHub spells them (lower case, spaces as
    hyphens, punctuation dropped), outside code blocks."""
    found, fenced = set(), False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("```"):
                fenced = not fenced
            match = None if fenced else HEADING.match(line)
            if match:
                found.add(re.sub(r"[^\w\- ]", "", match.group(1).lower()).replace(" ", "-"))
    return found


def documents():
    yield os.path.join(SOURCE, "README.md")
    docs = os.path.join(SOURCE, "docs")
    for name in sorted(os.listdir(docs)):
        if name.endswith(".md"):
            yield os.path.join(docs, name)


def dangling(path):
    """(line number, what) of every reference in the document at `path` that names nothing."""
    found = []
    here = os.path.dirname(path)
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for number, line in enumerate(lines, 1):
        for target in LINK.findall(line):
            if re.match(r"^[a-z]+:", target):
                continue  # a web address
            file, _, place = target.partition("#")
            resolved = os.path.normpath(os.path.join(here, file)) if file else path
            if not os.path.exists(resolved):
                found.append((number, target))
            elif place and resolved.endswith(".md") and place not in anchors(resolved):
                found.append((number, target))
        for word in CODE.findall(line):
            word = word.rstrip(".,:;")
            if not word.startswith(FOLDERS) or PATTERN.search(word):
                continue
            word = word.split(":")[0]  # file:line
            if not os.path.exists(os.path.join(SOURCE, word)):
                found.append((number, word))
    return found


class DocumentLinks(unittest.TestCase):
    def test_every_relative_link_and_named_path_exists(self):
        for path in documents():
            with self.subTest(document=os.path.relpath(path, SOURCE)):
                self.assertEqual(dangling(path), [])

    def test_the_checker_sees_a_dangling_link_and_path(self):
        probe = os.path.join(SOURCE, "docs", "screenshots")
        self.assertTrue(os.path.isdir(probe))
        sample = os.path.join(os.environ.get("TMPDIR", "/tmp"), "lanqi-links-%d.md" % os.getpid())
        guide = os.path.relpath(os.path.join(SOURCE, "docs", "cli.md"), os.path.dirname(sample))
        with open(sample, "w", encoding="utf-8") as f:
            f.write("# A heading, here\n")
            f.write("![x](no-such-picture.png) [ok](https://example.test) `src/no/such/file.cpp` `src/app`\n")
            f.write("[here](#a-heading-here) [gone](#no-heading) [guide](%s#sharing-a-set-of-sites)\n" % guide)
            f.write("[missing](%s#no-such-section)\n" % guide)
        self.addCleanup(os.remove, sample)
        self.assertEqual(
            dangling(sample),
            [(2, "no-such-picture.png"), (2, "src/no/such/file.cpp"), (3, "#no-heading"),
             (4, guide + "#no-such-section")])

if __name__ == "__main__":
    unittest.main()
