"""The Debian package: made with cpack from the build tree, inspected with dpkg-deb, installed with dpkg into
a throw-away root, and its client started from there on the test X server until its usage notice shows."""

import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import installed_tree

BUILD_DIR = os.environ.get("LANQI_BUILD_DIR", "")
XVFB_STATE = os.environ.get("LANQI_XVFB_STATE", "")
NOTICE_TITLE = installed_tree.PRODUCT_NAME + "v1.9"
NOTICE_SIZE = (490, 319)  # the usage notice's client area
# Where a started client would go on the network: a loopback port that nothing listens on.
NOWHERE = "http://127.0.0.1:9"
# Libraries that Qt opens only when they are installed, and does without otherwise.
OPTIONAL_LIBRARIES = {
    "libXcursor.so": "the X11 platform plugin reads the cursor theme with it",
}


def run(args, **kwargs):
    kwargs.setdefault("timeout", 300)
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)


def package_names(relation_field):
    """The package names of a Depends-style field: 'a (>= 1), b | c' gives {'a', 'b', 'c'}."""
    names = set()
    for clause in relation_field.split(","):
        for alternative in clause.split("|"):
            name = alternative.strip().split(" ")[0].split(":")[0]
            if name:
                names.add(name)
    return names


def owners(paths):
    """The Debian package that owns each file, from the host's dpkg database: {path: package}. A library is
    recorded under /lib or /usr/lib, whichever its package shipped, so both spellings are asked."""
    spellings = {}
    for path in paths:
        candidates = [path, os.path.realpath(path)]
        for c in list(candidates):
            if c.startswith("/usr/lib/"):
                candidates.append(c[len("/usr"):])
            elif c.startswith("/lib/"):
                candidates.append("/usr" + c)
        spellings[path] = candidates
    asked = sorted({c for candidates in spellings.values() for c in candidates})
    owner_of = {}
    # One line per file found: "libc6:amd64: /lib/x86_64-linux-gnu/libc.so.6"; the rest go to stderr.
    for line in run(["dpkg-query", "--search"] + asked).stdout.splitlines():
        if line.startswith("diversion ") or ": " not in line:
            continue
        packages, path = line.rsplit(": ", 1)
        owner_of[path] = packages.split(",")[0].split(":")[0].strip()
    found = {}
    for path, candidates in spellings.items():
        for candidate in candidates:
            if candidate in owner_of:
                found[path] = owner_of[candidate]
                break
    return found


def soname_stem(path):
    """libXcursor.so.1.0.2 -> libXcursor.so"""
    return re.sub(r"\.so\..*$", ".so", os.path.basename(path))


def is_essential(package):
    answer = run(["dpkg-query", "--show", "--showformat=${Essential}", package])
    return answer.returncode == 0 and answer.stdout.strip() == "yes"


def x_display():
    with open(os.path.join(XVFB_STATE, "display")) as f:
        return ":" + f.read().strip()


def xdotool(display, *args):
    return run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=display), timeout=20)


class StartedClient:
    """The installed lanqi-search on the test X server, ended by its pid on exit."""

    def __init__(self, program, scratch):
        self.program = program
        self.scratch = scratch
        self.process = None
        self.display = x_display()

    def __enter__(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("LD_", "QT_", "LANQI_SITE"))}
        runtime = os.path.join(self.scratch, "runtime")
        temp = os.path.join(self.scratch, "tmp")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        os.makedirs(temp, exist_ok=True)
        env.update({
            "DISPLAY": self.display,
            "QT_QPA_PLATFORM": "xcb",
            "XDG_RUNTIME_DIR": runtime,
            "TMPDIR": temp,
            "HOME": self.scratch,
            "LANQI_VENDOR_BASE": NOWHERE,
            "LANQI_PLAY_BASE": NOWHERE,
            "QTWEBENGINE_DISABLE_SANDBOX": "1",
            "QTWEBENGINE_CHROMIUM_FLAGS": "--disable-gpu",
        })
        for n in range(1, 7):
            env["LANQI_SITE%d_BASE" % n] = NOWHERE
        self.log = open(os.path.join(self.scratch, "client.log"), "w")
        self.process = subprocess.Popen([self.program], env=env, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)
        self.log.close()
        return False

    def output(self):
        self.log.flush()
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def wait_for_window(self, title, seconds=30):
        """The id of this process's shown top-level window named exactly `title`, or None."""
        pattern = "^" + re.escape(title) + "$"
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and self.process.poll() is None:
            answer = xdotool(self.display, "search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                             "--name", pattern)
            ids = answer.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.2)
        return None

    def mapped_libraries(self):
        """Every shared object the process has loaded."""
        with open("/proc/%d/maps" % self.process.pid) as f:
            paths = {line.split(None, 5)[5].strip() for line in f if len(line.split(None, 5)) == 6}
        return sorted(p for p in paths if p.startswith("/") and re.search(r"\.so(\.|$)", os.path.basename(p)))


@unittest.skipUnless(BUILD_DIR and os.path.isfile(os.path.join(BUILD_DIR, "CPackConfig.cmake")),
                     "needs LANQI_BUILD_DIR, a configured and built tree with its CPack configuration")
class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="lanqi-deb-")
        out = os.path.join(cls.work, "out")
        cls.cpack = run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"), "-B", out])
        debs = glob.glob(os.path.join(out, "*.deb"))
        cls.deb = debs[0] if len(debs) == 1 else None
        cls.fields = {}
        if cls.deb:
            for field in ("Package", "Version", "Architecture", "Section", "Maintainer", "Homepage", "Depends",
                          "Recommends", "Description"):
                cls.fields[field] = run(["dpkg-deb", "--field", cls.deb, field]).stdout.rstrip("\n")
            cls.unpacked = os.path.join(cls.work, "unpacked")
            cls.unpack = run(["dpkg-deb", "--extract", cls.deb, cls.unpacked])
            cls.root = cls.dpkg_root("root")
            cls.dpkg_install = cls.dpkg(cls.root, "--install", cls.deb)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def dpkg_root(cls, name):
        """An empty throw-away system root with an empty dpkg database."""
        root = os.path.join(cls.work, name)
        for folder in ("info", "updates"):
            os.makedirs(os.path.join(root, "var", "lib", "dpkg", folder))
        open(os.path.join(root, "var", "lib", "dpkg", "status"), "w").close()
        return root

    @staticmethod
    def dpkg(root, *args):
        # The root's own database has none of the libraries, hence --force-depends; the host's are used.
        return run(["dpkg", "--root=" + root, "--force-depends", "--force-not-root", "--log=/dev/null"] + list(args))

    def setUp(self):
        self.assertIsNotNone(self.deb, "cpack made no single .deb:\n" + self.cpack.stdout + self.cpack.stderr)
        self.assertEqual(self.unpack.returncode, 0, self.unpack.stderr)

    def depends(self):
        return package_names(self.fields["Depends"])

    def test_control_fields_name_the_client_its_maker_and_its_section(self):
        self.assertEqual(self.fields["Package"], "lanqi-search")
        self.assertTrue(installed_tree.VERSION, "LANQI_VERSION is not set")
        self.assertEqual(self.fields["Version"], installed_tree.VERSION)
        self.assertEqual(self.fields["Architecture"], run(["dpkg", "--print-architecture"]).stdout.strip())
        self.assertEqual(self.fields["Section"], "net")
        self.assertRegex(self.fields["Maintainer"], r"^岚栖工作室 <[^@>\s]+@[^>\s]+\.example>$")
        self.assertRegex(self.fields["Homepage"], r"^https://[^/]+\.example/")
        self.assertEqual(package_names(self.fields["Recommends"]), {"fonts-noto-cjk", "xdg-utils"})
        # A one-line synopsis, then a long description in lines a terminal shows whole.
        lines = self.fields["Description"].split("\n")
        self.assertIn(installed_tree.PRODUCT_NAME, lines[0])
        self.assertGreater(len(lines), 2, "the long description is missing")
        for line in lines:
            self.assertLessEqual(len(line), 80, "description line too long: %r" % line)
        self.assertEqual(run(["dpkg-deb", "--info", self.deb]).returncode, 0)

    def test_depends_name_the_qt_widgets_curl_and_jpeg_libraries(self):
        depends = self.depends()
        for package in ("libqt6widgets6", "libqt6gui6", "libqt6core6", "libcurl4", "libjpeg62-turbo", "libc6"):
            self.assertIn(package, depends, "Depends: " + self.fields["Depends"])
        # The embedded player's browser engine, once the client links it.
        needed = run(["readelf", "--dynamic", os.path.join(self.unpacked, "usr", "bin", "lanqi-search")]).stdout
        if "libQt6WebEngineWidgets" in needed:
            self.assertIn("libqt6webenginewidgets6", depends, "Depends: " + self.fields["Depends"])

    def test_depends_cover_every_library_the_programs_link(self):
        depends = self.depends()
        for program in installed_tree.PROGRAMS:
            path = os.path.join(self.unpacked, "usr", "bin", program)
            needed = re.findall(r"\(NEEDED\).*\[(.+)\]", run(["readelf", "--dynamic", path]).stdout)
            self.assertIn("libc.so.6", needed)
            resolved = dict(re.findall(r"^\s*(\S+) => (/\S+)", run(["ldd", path]).stdout, re.M))
            for soname in needed:
                if soname.startswith("ld-linux"):
                    continue  # the dynamic loader, part of libc6
                self.assertIn(soname, resolved, "%s: %s not found" % (program, soname))
                owner = owners([resolved[soname]]).get(resolved[soname])
                self.assertIsNotNone(owner, "%s: no package owns %s" % (program, resolved[soname]))
                self.assertIn(owner, depends, "%s links %s from %s, which Depends lacks" % (program, soname, owner))

    def test_contents_are_the_install_under_usr_owned_by_root(self):
        listing = run(["dpkg-deb", "--contents", self.deb]).stdout.splitlines()
        files = {}
        for line in listing:
            mode, owner, _, _, _, name = line.split(None, 5)
            self.assertEqual(owner, "root/root", line)
            if not mode.startswith("d"):
                files[name[len("./usr/"):]] = mode
        self.assertEqual(sorted(files), installed_tree.expected_files())
        for name, mode in files.items():
            self.assertEqual(mode, "-rwxr-xr-x" if name.startswith("bin/") else "-rw-r--r--", name)

    def test_programs_are_stripped(self):
        for program in installed_tree.PROGRAMS:
            sections = run(["readelf", "--section-headers", "--wide",
                            os.path.join(self.unpacked, "usr", "bin", program)]).stdout
            self.assertIn(".text", sections)
            self.assertNotIn(".debug_info", sections, program)
            self.assertNotIn(".symtab", sections, program)

    def test_dpkg_installs_it_into_a_throwaway_root(self):
        self.assertEqual(self.dpkg_install.returncode, 0, self.dpkg_install.stdout + self.dpkg_install.stderr)
        status = run(["dpkg-query", "--root=" + self.root, "--show", "--showformat=${Status} ${Version}",
                      "lanqi-search"])
        self.assertEqual(status.stdout, "install ok installed " + self.fields["Version"])
        prefix = os.path.join(self.root, "usr")
        self.assertEqual(installed_tree.files_under(prefix), installed_tree.expected_files())
        installed_tree.check_programs(self, prefix, BUILD_DIR)
        installed_tree.check_desktop_entry(self, prefix)
        installed_tree.check_icons(self, prefix)
        installed_tree.check_metainfo(self, prefix)
        installed_tree.check_manual_pages(self, prefix)

    def test_lintian_finds_nothing_wrong_with_the_manual_pages(self):
        report = run(["lintian", "--tag-display-limit", "0", "--display-info", self.deb])
        # Exit 2 is for the errors it finds elsewhere (no changelog, no copyright file: see the README).
        self.assertIn(report.returncode, (0, 2), report.stdout + report.stderr)
        self.assertNotIn("Syntax: lintian", report.stdout + report.stderr)
        about_manuals = [line for line in report.stdout.splitlines()
                         if re.search(r"manual-page|manpage|groff|bash-completion", line)]
        self.assertEqual(about_manuals, [])

    def test_dpkg_removes_every_file_it_installed(self):
        root = self.dpkg_root("root-removed")
        self.assertEqual(self.dpkg(root, "--install", self.deb).returncode, 0)
        self.assertTrue(os.path.isfile(os.path.join(root, "usr", "bin", "lanqi-search")))
        removal = self.dpkg(root, "--purge", "lanqi-search")
        self.assertEqual(removal.returncode, 0, removal.stdout + removal.stderr)
        self.assertEqual(installed_tree.files_under(os.path.join(root, "usr")) if os.path.isdir(
            os.path.join(root, "usr")) else [], [])

    @unittest.skipUnless(XVFB_STATE, "needs the xvfb fixture (LANQI_XVFB_STATE)")
    def test_installed_client_starts_and_shows_its_usage_notice(self):
        self.assertEqual(self.dpkg_install.returncode, 0, self.dpkg_install.stderr)
        program = os.path.join(self.root, "usr", "bin", "lanqi-search")
        with StartedClient(program, os.path.join(self.work, "run-notice")) as client:
            window = client.wait_for_window(NOTICE_TITLE)
            self.assertIsNotNone(window, "no usage notice; the client said:\n" + client.output())
            self.assertEqual(os.path.realpath("/proc/%d/exe" % client.process.pid), os.path.realpath(program))
            self.assertEqual(xdotool(client.display, "getwindowname", window).stdout.strip(), NOTICE_TITLE)
            geometry = dict(line.split("=", 1) for line in
                            xdotool(client.display, "getwindowgeometry", "--shell", window).stdout.split())
            self.assertEqual((int(geometry["WIDTH"]), int(geometry["HEIGHT"])), NOTICE_SIZE)
            self.assertIsNone(client.process.poll(), "the client ended while its notice was up")

    @unittest.skipUnless(XVFB_STATE, "needs the xvfb fixture (LANQI_XVFB_STATE)")
    def test_a_bare_system_gets_every_library_the_started_client_loads(self):
        # What apt would install on a system with no package at all, following Depends only: every library
        # the running client has loaded (Qt's X11 platform plugin among them) must come with it.
        empty_status = os.path.join(self.work, "empty-status")
        open(empty_status, "w").close()
        plan = run(["apt-get", "--simulate", "--quiet", "-o", "Dir::State::status=" + empty_status,
                    "-o", "APT::Install-Recommends=false", "-o", "Debug::NoLocking=1", "install", self.deb])
        if plan.returncode != 0 and "Unable to locate" in plan.stderr + plan.stdout:
            self.skipTest("apt has no package lists here (run apt-get update)")
        self.assertEqual(plan.returncode, 0, plan.stdout + plan.stderr)
        brought = set(re.findall(r"^Inst (\S+)", plan.stdout, re.M))
        self.assertIn("lanqi-search", brought)

        program = os.path.join(self.root, "usr", "bin", "lanqi-search")
        with StartedClient(program, os.path.join(self.work, "run-libraries")) as client:
            self.assertIsNotNone(client.wait_for_window(NOTICE_TITLE), client.output())
            libraries = client.mapped_libraries()
        self.assertTrue(any("/qt6/plugins/platforms/" in p for p in libraries), "no Qt platform plugin loaded")
        # What the program and the plugins Qt loaded link, directly or not, is needed to start. Everything
        # else was opened on the way (iconv's converters, ...) and must come with the package all the same,
        # unless it is one of the few libraries that Qt uses only when they happen to be there (or one of
        # theirs).
        def linked_by(paths):
            found = set()
            for path in paths:
                found.add(os.path.realpath(path))
                ldd = run(["ldd", path]).stdout
                self.assertNotIn("not found", ldd, path)
                found.update(os.path.realpath(p) for p in re.findall(r"=> (/\S+)", ldd))
            return found

        needed = linked_by([program] + [p for p in libraries if "/qt6/plugins/" in p])
        optional = linked_by([p for p in libraries if soname_stem(p) in OPTIONAL_LIBRARIES]) - needed
        owned = owners(libraries)
        for library in libraries:
            self.assertIn(library, owned, "no package owns %s" % library)
            package = owned[library]
            if package in brought or is_essential(package):
                continue
            self.assertIn(os.path.realpath(library), optional,
                          "%s comes from %s, which installing the package does not bring" % (library, package))

if __name__ == "__main__":
    unittest.main()
