"""Checks of an installed copy of the client, shared by the install test and the Debian package test.

Every check takes a unittest.TestCase (to fail it) and the prefix of the installed tree, the folder that
holds bin/ and share/ (a `cmake --install` prefix, or <root>/usr of an installed package).
"""

import configparser
import os
import re
import shutil
import struct
import subprocess
import tempfile
import xml.etree.ElementTree as ET

APP_ID = "example.lanqi_studio.lanqi_search"
PRODUCT_NAME = "岚栖种子搜索神器"
PROGRAMS = ("lanqi-search", "lanqi-cli")
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
SVG_NS = "{http://www.w3.org/2000/svg}"
# The reserved .example top-level domain is not in the validator's list of domains, so it can only guess
# that the id is a reversed address: an information, raised to nothing more than a pedantic hint here.
APPSTREAM_VALIDATE = ["appstreamcli", "validate", "--no-net", "--strict", "--override=cid-maybe-not-rdns=pedantic"]

SOURCE_DIR = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
VERSION = os.environ.get("LANQI_VERSION", "")

CJK = re.compile("[\u4e00-\u9fff]")


def expected_files():
    """Every file an install puts under its prefix, relative to the prefix."""
    files = ["bin/" + p for p in PROGRAMS]
    files.append("share/applications/%s.desktop" % APP_ID)
    files.append("share/metainfo/%s.metainfo.xml" % APP_ID)
    files += ["share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID) for n in ICON_SIZES]
    files.append("share/icons/hicolor/scalable/apps/%s.svg" % APP_ID)
    files += ["share/man/man1/%s.1.gz" % p for p in PROGRAMS]
    files.append("share/bash-completion/completions/lanqi-cli")
    files += ["share/lanqi-search/sites/site%d.toml" % n for n in range(1, 7)]
    return sorted(files)


def check_manual_pages(test, prefix):
    """Each program's manual page renders without a warning from man or groff."""
    for program in PROGRAMS:
        page = os.path.join(prefix, "share", "man", "man1", program + ".1.gz")
        shown = run(["man", "--warnings", "-l", "-P", "cat", page], env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
        test.assertEqual(shown.returncode, 0, shown.stderr)
        test.assertEqual(shown.stderr, "", program)
        test.assertIn("EXIT STATUS" if program == "lanqi-cli" else "SEE ALSO", shown.stdout)


def check_completion(test, prefix):
    """bash completes lanqi-cli's options, and its commands once a keyword stands before them."""
    script = os.path.join(prefix, "share", "bash-completion", "completions", "lanqi-cli")
    probe = ("_init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; "
             "words=(\"${COMP_WORDS[@]}\"); cword=$COMP_CWORD; }; source %s; "
             "for line in 'lanqi-cli --j' 'lanqi-cli abc ne' 'lanqi-cli ne' 'lanqi-cli si'; do COMP_WORDS=($line); "
             "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _lanqi_cli; echo \"$line:${COMPREPLY[*]}\"; done"
             % script)
    done = run(["bash", "-c", probe])
    test.assertEqual(done.stdout.splitlines(), ["lanqi-cli --j:--json", "lanqi-cli abc ne:next", "lanqi-cli ne:",
                                              "lanqi-cli si:sites"],
                     done.stderr)


def files_under(prefix):
    found = []
    for folder, _, names in os.walk(prefix):
        for name in names:
            found.append(os.path.relpath(os.path.join(folder, name), prefix))
    return sorted(found)


def run(args, **kwargs):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120, **kwargs)


def png_size(path):
    """(width, height) from the PNG header, or None when the file is not a PNG."""
    with open(path, "rb") as f:
        head = f.read(24)
    if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def dynamic_section(test, path):
    answer = run(["readelf", "--dynamic", "--wide", path])
    test.assertEqual(answer.returncode, 0, answer.stderr)
    return answer.stdout


def check_programs(test, prefix, build_dir):
    for program in PROGRAMS:
        path = os.path.join(prefix, "bin", program)
        test.assertTrue(os.path.isfile(path), path)
        test.assertTrue(os.access(path, os.X_OK), "%s is not executable" % path)
        with open(path, "rb") as f:
            test.assertEqual(f.read(4), b"\x7fELF", path)
        # An installed program must not look for libraries in the tree it was built in.
        for line in dynamic_section(test, path).splitlines():
            if "(RPATH)" in line or "(RUNPATH)" in line:
                test.assertNotIn(os.path.realpath(build_dir), line, "%s keeps its build path: %s" % (program, line))
                test.assertNotIn(os.path.realpath(SOURCE_DIR), line, "%s keeps its source path: %s" % (program, line))


def read_desktop_entry(path):
    entry = configparser.ConfigParser(interpolation=None, strict=True)
    entry.optionxform = str  # keys are case-sensitive and carry [locale] suffixes
    with open(path, encoding="utf-8") as f:
        entry.read_file(f)
    return entry["Desktop Entry"]


def check_desktop_entry(test, prefix):
    path = os.path.join(prefix, "share", "applications", APP_ID + ".desktop")
    test.assertTrue(os.path.isfile(path), path)
    answer = run(["desktop-file-validate", path])
    test.assertEqual((answer.returncode, answer.stdout + answer.stderr), (0, ""), "desktop-file-validate " + path)

    entry = read_desktop_entry(path)
    test.assertEqual(entry["Type"], "Application")
    test.assertEqual(entry["Name"], PRODUCT_NAME)
    test.assertRegex(entry["Comment"], r"^[A-Za-z][ -~]+$", "the default comment is English")
    test.assertRegex(entry["Comment[zh_CN]"], CJK, "the zh_CN comment is Chinese")
    test.assertIn("Network", entry["Categories"].split(";"))
    test.assertEqual(entry["Terminal"], "false")
    program = entry["Exec"].split()[0]
    test.assertEqual(program, "lanqi-search")
    test.assertTrue(os.access(os.path.join(prefix, "bin", program), os.X_OK), "Exec names a program that is not installed")
    test.assertEqual(entry["TryExec"], program)
    test.assertEqual(entry["Icon"], APP_ID, "Icon names the installed theme icon")


def check_icons(test, prefix):
    theme = os.path.join(prefix, "share", "icons", "hicolor")
    svg = os.path.join(theme, "scalable", "apps", APP_ID + ".svg")
    test.assertTrue(os.path.isfile(svg), svg)
    root = ET.parse(svg).getroot()
    test.assertEqual(root.tag, SVG_NS + "svg")
    view = [float(v) for v in root.get("viewBox", "").split()]
    test.assertEqual(len(view), 4, "the scalable icon has a viewBox")
    test.assertEqual(view[2], view[3], "the scalable icon is square")

    if shutil.which("rsvg-convert") is None:
        test.fail("rsvg-convert is missing (librsvg2-bin; scripts/install-deps installs it)")
    with tempfile.TemporaryDirectory() as scratch:
        for n in ICON_SIZES:
            png = os.path.join(theme, "%dx%d" % (n, n), "apps", APP_ID + ".png")
            test.assertTrue(os.path.isfile(png), png)
            test.assertEqual(png_size(png), (n, n), "%s is %d pixels a side" % (png, n))
            # Each size is the scalable drawing at that size: a fresh rendering differs from it by at most a
            # trace (another librsvg may place an edge a little differently), while another picture, an icon
            # for another size scaled, or a stale file after the drawing changed differs by far more.
            fresh = os.path.join(scratch, "%d.png" % n)
            answer = run(["rsvg-convert", "--width", str(n), "--height", str(n), "--output", fresh, svg])
            test.assertEqual(answer.returncode, 0, answer.stderr)
            answer = run(["compare", "-metric", "RMSE", png, fresh, "null:"])
            test.assertIn(answer.returncode, (0, 1), answer.stderr)  # 1: they differ, 2: could not compare
            difference = float(re.search(r"\(([0-9.e+-]+)\)", answer.stderr).group(1))
            test.assertLess(difference, 0.02, "%s is not the scalable icon at %d pixels (RMSE %.4f)" % (png, n, difference))


def check_metainfo(test, prefix):
    path = os.path.join(prefix, "share", "metainfo", APP_ID + ".metainfo.xml")
    test.assertTrue(os.path.isfile(path), path)
    answer = run(APPSTREAM_VALIDATE + [path])
    test.assertEqual(answer.returncode, 0, "appstreamcli validate:\n" + answer.stdout + answer.stderr)

    root = ET.parse(path).getroot()
    test.assertEqual(root.tag, "component")
    test.assertEqual(root.get("type"), "desktop-application")
    test.assertEqual(root.findtext("id"), APP_ID)
    test.assertEqual(root.findtext("name"), PRODUCT_NAME)

    launchable = root.find("launchable[@type='desktop-id']")
    test.assertIsNotNone(launchable)
    test.assertTrue(os.path.isfile(os.path.join(prefix, "share", "applications", launchable.text)),
                    "the launchable desktop entry %s is installed" % launchable.text)
    binaries = sorted(b.text for b in root.findall("provides/binary"))
    test.assertEqual(binaries, sorted(PROGRAMS))

    releases = [r.get("version") for r in root.findall("releases/release")]
    test.assertTrue(releases, "at least one release")
    if VERSION:
        test.assertEqual(releases[0], VERSION, "the newest release is the version being built")

    # Screenshots are the README's (docs/screenshots/), published under the same names.
    images = [i.text.strip() for i in root.findall("screenshots/screenshot/image")]
    test.assertTrue(images, "at least one screenshot")
    for image in images:
        test.assertTrue(image.startswith("https://"), image)
        name = image.rsplit("/", 1)[1]
        test.assertTrue(os.path.isfile(os.path.join(SOURCE_DIR, "docs", "screenshots", name)),
                        "%s is not one of docs/screenshots" % image)
