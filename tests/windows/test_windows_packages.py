"""The Windows packages of the windows-packages target: the zip's entries, and the installer under Wine in a
prefix of its own ($LANQI_INSTALL_WINEPREFIX), for every user and for this user only: a silent install puts the
files, the Start-menu shortcuts and the uninstall entry in place, the installed programs run from there
(lanqi-cli.exe reads the installed site definitions, lanqi-search.exe comes up to its usage notice on an X server
of the test's own), and the silent uninstall the entry names takes away everything it and the program wrote but
the user's settings, and no value that another program keeps in the same keys."""

import getpass
import json
import os
import re
import select
import shutil
import subprocess
import time
import unittest
import zipfile

BUILD = os.environ.get("LANQI_WINDOWS_BUILD", "")
SOURCE = os.environ.get("LANQI_SOURCE_DIR", "")
VERSION = os.environ.get("LANQI_VERSION", "")
PREFIX = os.environ.get("LANQI_INSTALL_WINEPREFIX", "")
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

PRODUCT = "岚栖种子搜索神器"
PUBLISHER = "岚栖工作室"
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\lanqi-search"
EMULATION_KEY = r"HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION"
PACKAGE_FOLDER = "lanqi-search-%s" % VERSION
SETUP = os.path.join(BUILD, "lanqi-search-%s-setup.exe" % VERSION)
ZIP = os.path.join(BUILD, "lanqi-search-%s-windows-x64.zip" % VERSION)
CONFIGURED = bool(BUILD and SOURCE and VERSION and PREFIX)


def site_files():
    return sorted(name for name in os.listdir(os.path.join(SOURCE, "sites")) if name.endswith(".toml"))


def zip_files():
    """The zip's files (not its folders) by their paths inside the package folder, with their bytes."""
    with zipfile.ZipFile(ZIP) as z:
        return {info.filename[len(PACKAGE_FOLDER) + 1:]: z.read(info) for info in z.infolist() if not info.is_dir()}


def wine_env(display=None):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("LANQI_") and k not in ("XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY")}
    env.update(WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    if display is not None:
        env["DISPLAY"] = display
    return env


def wine(*args, timeout=120):
    return subprocess.run([WINE] + list(args), env=wine_env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)


def end_wine():
    subprocess.run([WINESERVER, "-k"], env=wine_env(), stderr=subprocess.DEVNULL, timeout=60)


class Mode:
    """A way of installing: its command-line option, where the uninstall entry, the programs and the Start-menu
    folder go."""

    def __init__(self, option, root, folder, menu):
        self.option, self.root, self.folder, self.menu = option, root, folder, menu

    @property
    def key(self):
        return self.root + "\\" + UNINSTALL_KEY


def menu_of(*parts):
    return os.path.join(PREFIX, "drive_c", *parts, "Microsoft", "Windows", "Start Menu", "Programs", PRODUCT)


ALL_USERS = Mode("/AllUsers", "HKLM", r"C:\Program Files\lanqi-search", menu_of("ProgramData"))
THIS_USER = Mode("/CurrentUser", "HKCU", r"C:\users\%s\AppData\Local\Programs\lanqi-search" % getpass.getuser(),
                 menu_of("users", getpass.getuser(), "AppData", "Roaming"))


def exported_values(key):
    """The values of a registry key as reg export writes them (names to texts, a DWORD as "dword:..."), or None
    when there is no such key. (reg query writes them to a pipe in the console's code page, where the Chinese
    ones are lost; reg export writes UTF-16.)"""
    exported = host_path(r"C:\lanqi-exported.reg")
    out = wine("reg", "export", key, r"C:\lanqi-exported.reg", "/y")
    if out.returncode != 0:
        return None
    with open(exported, encoding="utf-16") as f:
        lines = f.read().splitlines()
    os.remove(exported)
    values = {}
    for line in lines:
        match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"=(?:"((?:[^"\\]|\\.)*)"|(dword:[0-9a-f]{8}))', line)
        if match:
            name = re.sub(r"\\(.)", r"\1", match.group(1))
            values[name] = re.sub(r"\\(.)", r"\1", match.group(2)) if match.group(2) is not None else match.group(3)
    return values


def uninstall_entry(mode=ALL_USERS):
    """The text values of the uninstall entry, or None when there is none."""
    values = exported_values(mode.key)
    return None if values is None else {k: v for k, v in values.items() if not v.startswith("dword:")}


def host_path(windows_path):
    """Where a C:\\ path of the prefix is on this machine."""
    drive, _, rest = windows_path.partition("\\")
    assert drive.upper() == "C:", windows_path
    return os.path.join(PREFIX, "drive_c", *[part for part in rest.split("\\") if part])


def user_settings_folder():
    return os.path.join(PREFIX, "drive_c", "users", getpass.getuser(), "AppData", "Roaming", "lanqi-search")


def fresh_install(mode):
    """Clears what an earlier run left in the prefix, then installs silently the given way."""
    for other in (ALL_USERS, THIS_USER):
        wine("reg", "delete", other.key, "/f")
        for folder in (host_path(other.folder), other.menu):
            shutil.rmtree(folder, ignore_errors=True)
    shutil.rmtree(user_settings_folder(), ignore_errors=True)
    out = wine(SETUP, "/S", mode.option)
    if out.returncode != 0:
        raise AssertionError("%s /S %s: exit %d %s" % (SETUP, mode.option, out.returncode,
                                                       out.stderr.decode(errors="replace")))


@unittest.skipUnless(CONFIGURED, "run by ctest (py.test_windows_packages), which builds the packages first")
class ZipPackage(unittest.TestCase):
    def test_the_zip_holds_the_programs_the_site_definitions_and_the_read_me(self):
        with zipfile.ZipFile(ZIP) as z:
            names = sorted(z.namelist())
        top = PACKAGE_FOLDER + "/"
        expected = [top, top + "bin/", top + "bin/lanqi-cli.exe", top + "bin/lanqi-search.exe", top + "share/",
                    top + "share/lanqi-search/", top + "share/lanqi-search/sites/", top + "README-windows.txt"]
        expected += [top + "share/lanqi-search/sites/" + name for name in site_files()]
        self.assertEqual(names, sorted(expected))

    def test_the_read_me_is_utf8_with_a_byte_order_mark_and_crlf_lines(self):
        text = zip_files()["README-windows.txt"]
        self.assertTrue(text.startswith(b"\xef\xbb\xbf"))
        self.assertNotRegex(text, rb"[^\r]\n")
        text.decode("utf-8")


class InstalledPackage:
    """What an installation made the given way holds (a mixin: the classes below name the way)."""
    mode = None

    @classmethod
    def setUpClass(cls):
        fresh_install(cls.mode)
        cls.entry = uninstall_entry(cls.mode)
        cls.folder = (cls.entry or {}).get("InstallLocation", "")

    @classmethod
    def tearDownClass(cls):
        end_wine()

    def test_the_uninstall_entry(self):
        self.assertIsNotNone(self.entry, "no " + self.mode.key)
        self.assertEqual(self.folder, self.mode.folder)
        self.assertEqual(self.entry.get("DisplayName"), PRODUCT)
        self.assertEqual(self.entry.get("DisplayVersion"), VERSION)
        self.assertEqual(self.entry.get("Publisher"), PUBLISHER)
        self.assertEqual(self.entry.get("UninstallString"), '"%s\\uninstall.exe" %s' % (self.folder, self.mode.option))
        self.assertEqual(self.entry.get("QuietUninstallString"),
                         '"%s\\uninstall.exe" %s /S' % (self.folder, self.mode.option))
        # The other way left nothing.
        other = THIS_USER if self.mode is ALL_USERS else ALL_USERS
        self.assertIsNone(uninstall_entry(other))
        self.assertFalse(os.path.exists(other.menu))

    def test_the_installed_files_are_the_zips_and_the_uninstaller(self):
        root = host_path(self.folder)
        installed = {}
        for folder, _, files in os.walk(root):
            for name in files:
                path = os.path.join(folder, name)
                with open(path, "rb") as f:
                    installed[os.path.relpath(path, root).replace(os.sep, "/")] = f.read()
        uninstaller = installed.pop("uninstall.exe", b"")
        self.assertTrue(uninstaller.startswith(b"MZ"), "no uninstall.exe")
        self.assertEqual(installed, zip_files())

    def test_the_start_menu_shortcuts(self):
        for name, target in ((PRODUCT + ".lnk", self.folder + r"\bin\lanqi-search.exe"),
                             ("卸载" + PRODUCT + ".lnk", self.folder + r"\uninstall.exe")):
            with self.subTest(shortcut=name):
                path = os.path.join(self.mode.menu, name)
                self.assertTrue(os.path.isfile(path), path)
                with open(path, "rb") as f:
                    link = f.read()
                self.assertTrue(target.encode("ascii") in link or target.encode("utf-16-le") in link,
                                "%s does not point at %s" % (name, target))

    def test_the_installed_cli_reads_the_installed_site_definitions(self):
        out = wine(host_path(self.folder + r"\bin\lanqi-cli.exe"), "--json", "sites")
        self.assertEqual(out.returncode, 0, out.stderr.decode(errors="replace"))
        files = [event["definitionFile"].replace("/", "\\")
                 for event in map(json.loads, out.stdout.decode("utf-8").splitlines()) if event["event"] == "site"]
        self.assertEqual(files, [self.folder + "\\share\\lanqi-search\\sites\\site%d.toml" % n for n in range(1, 7)])

    def test_the_installed_client_starts_to_its_usage_notice(self):
        program = host_path(self.folder + r"\bin\lanqi-search.exe")
        display = self.start_xvfb()
        # Every address on loopback, where nothing answers: whatever the client fetches, it stays on this machine.
        env = wine_env(display)
        env.update({"LANQI_SITE%d_BASE" % n: "http://127.0.0.1:9/site%d" % n for n in range(1, 7)})
        env.update(LANQI_VENDOR_BASE="http://127.0.0.1:9", LANQI_PLAY_BASE="http://127.0.0.1:9")
        client = subprocess.Popen([WINE, program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def end_client():
            client.kill()
            client.wait(timeout=30)
            end_wine()
        self.addCleanup(end_client)

        title = "%sv%s" % (PRODUCT, VERSION)
        search_env = dict(os.environ, DISPLAY=display, LC_ALL="C.UTF-8")
        deadline = time.monotonic() + 60
        found = b""
        while not found and time.monotonic() < deadline and client.poll() is None:
            time.sleep(0.5)
            found = subprocess.run(["xdotool", "search", "--name", "^%s$" % re.escape(title)], env=search_env,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30).stdout.strip()
        self.assertTrue(found, "no window titled %s within 60 s (the program %s)"
                        % (title, "is still running" if client.poll() is None else "ended: %s" % client.returncode))

    def start_xvfb(self):
        """An X server of this test's own on a free display; it is ended by its pid afterwards."""
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)

        def end_xvfb():
            xvfb.terminate()
            xvfb.wait(timeout=30)
        self.addCleanup(end_xvfb)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            while not number.endswith(b"\n") and select.select([pipe], [], [], 15)[0]:
                chunk = os.read(pipe.fileno(), 16)
                if not chunk:
                    break
                number += chunk
        self.assertRegex(number, rb"^\d+\n$", "Xvfb took no display")
        return ":" + number.decode().strip()


@unittest.skipUnless(CONFIGURED, "run by ctest (py.test_windows_packages), which builds the packages first")
class InstalledForEveryUser(InstalledPackage, unittest.TestCase):
    mode = ALL_USERS


@unittest.skipUnless(CONFIGURED, "run by ctest (py.test_windows_packages), which builds the packages first")
class InstalledForThisUser(InstalledPackage, unittest.TestCase):
    mode = THIS_USER


@unittest.skipUnless(CONFIGURED, "run by ctest (py.test_windows_packages), which builds the packages first")
class Uninstall(unittest.TestCase):
    def uninstall(self, mode, foreign):
        """Installs the given way, lets the client's and another program's values in, then uninstalls with the
        entry's quiet command; `foreign` also leaves a value of another program in the uninstall entry's key."""
        fresh_install(mode)
        self.addCleanup(end_wine)
        settings = os.path.join(user_settings_folder(), "config.toml")
        os.makedirs(os.path.dirname(settings))
        with open(settings, "w") as f:
            f.write("[site3]\nenabled = false\n")
        # What the client writes at its first play, beside another program's value of the same key.
        for name in ("lanqi-search.exe", "other-tool.exe"):
            self.assertEqual(0, wine("reg", "add", EMULATION_KEY, "/v", name, "/t", "REG_DWORD", "/d", "11001",
                                     "/f").returncode)
        if foreign:
            self.assertEqual(0, wine("reg", "add", mode.key, "/v", "OtherToolNote", "/d", "kept", "/f").returncode)
        entry = uninstall_entry(mode)
        self.assertIsNotNone(entry, "no " + mode.key)
        folder = host_path(entry["InstallLocation"])
        self.assertTrue(os.path.isdir(folder))
        self.assertTrue(os.path.isdir(mode.menu))

        command = re.fullmatch(r'"([^"]+)"\s*(.*)', entry["QuietUninstallString"])
        out = wine(command.group(1), *command.group(2).split())
        self.assertEqual(out.returncode, 0, out.stderr.decode(errors="replace"))
        # The uninstaller runs on from a copy of itself in the temporary folder: wait for the prefix's last program.
        subprocess.run([WINESERVER, "-w"], env=wine_env(), timeout=120)

        self.assertFalse(os.path.exists(folder), sorted(os.listdir(folder)) if os.path.isdir(folder) else folder)
        self.assertFalse(os.path.exists(mode.menu))
        self.assertEqual(exported_values(EMULATION_KEY), {"other-tool.exe": "dword:00002af9"})
        with open(settings) as f:
            self.assertEqual(f.read(), "[site3]\nenabled = false\n")
        return exported_values(mode.key)

    def test_the_quiet_uninstall_removes_the_program_but_not_the_settings(self):
        for mode in (ALL_USERS, THIS_USER):
            with self.subTest(mode=mode.option):
                self.assertIsNone(self.uninstall(mode, foreign=False))

    def test_the_uninstall_keeps_another_programs_value_in_the_entrys_key(self):
        for mode in (ALL_USERS, THIS_USER):
            with self.subTest(mode=mode.option):
                self.assertEqual(self.uninstall(mode, foreign=True), {"OtherToolNote": "kept"})


if __name__ == "__main__":
    unittest.main()
