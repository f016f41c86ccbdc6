"""lanqi-search.exe under Wine on a private X display, driven as a user drives it with xdotool: the usage notice
accepted, a keyword typed, the window title compared with the one lanqi-cli.exe reports for the same search,
复制下载地址 on the first row read back from the X clipboard, a play that fails for want of a browser engine, and
the exit fade ending the program. Screenshots of
each step go to $LANQI_WINDOWS_BUILD/screenshots."""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

WINDOWS = os.environ.get("LANQI_WINDOWS_BUILD", "")
SOURCE = os.environ.get("LANQI_SOURCE_DIR", "")
STATE = os.environ.get("LANQI_SAMPLE_STATE", "")
PREFIX = os.environ.get("LANQI_CLIENT_WINEPREFIX", os.path.join(WINDOWS, "wineprefix"))
CLIENT = os.path.join(WINDOWS, "src", "app", "win32", "lanqi-search.exe")
CLI = os.path.join(WINDOWS, "src", "app", "cli", "lanqi-cli.exe")
TITLE = "岚栖种子搜索神器v1.9"
KEYWORD = "test"
EMULATION_KEY = r"HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION"


def wait_for(what, check, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


@unittest.skipUnless(WINDOWS and STATE and os.path.exists(CLIENT) and shutil.which("xdotool"),
                     "needs the Windows build, the sample sites and xdotool")
class WindowsClient(unittest.TestCase):
    def setUp(self):
        self.shots = os.path.join(WINDOWS, "screenshots")
        os.makedirs(self.shots, exist_ok=True)
        # A display of our own: Xvfb picks a free number and writes it to the pipe.
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten",
                                      "tcp"], pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            display = ":" + pipe.readline().strip()
        self.addCleanup(self.stop, self.xvfb)
        with open(os.path.join(STATE, "port")) as f:
            base = "http://127.0.0.1:%d" % int(f.read())
        config = tempfile.mkdtemp(prefix="lanqi-win-client-")
        self.addCleanup(shutil.rmtree, config, True)
        self.env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config, LANQI_VENDOR_BASE=base,
                        LANQI_PLAY_BASE=base, WINEPREFIX=PREFIX, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        for n in range(1, 7):
            self.env["LANQI_SITE%d_BASE" % n] = "%s/site%d" % (base, n)
        # A window manager gives the windows their title bars and the keyboard focus.
        self.manager = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, self.manager)

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def tool(self, *arguments):
        done = subprocess.run(["xdotool", *arguments], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=30)
        return done.stdout.decode("utf-8", "replace").split("\n")

    def windows_named(self, pattern):
        return [w for w in self.tool("search", "--onlyvisible", "--name", pattern) if w]

    def title_of(self, window):
        return self.tool("getwindowname", window)[0]

    def activate(self, window):
        self.tool("windowactivate", "--sync", window)

    def answer(self, box, title, key="Return", attempts=4):
        """Presses `key` in the message box `box` once it is the active window, until the box titled `title` has
        gone. On a loaded machine the activation can come after the key; a key is pressed only while the box is
        active, so it never reaches the main window (where Enter would play the selected row again)."""
        for _ in range(attempts):
            self.activate(box)
            try:
                wait_for("the box to be active", lambda: self.tool("getactivewindow")[0].strip() == box, 5)
            except AssertionError:
                continue
            self.tool("key", key)
            try:
                return wait_for("the box %s to close" % title, lambda: not self.windows_named("^%s$" % title), 10)
            except AssertionError:
                if not self.windows_named("^%s$" % title):
                    return True
        raise AssertionError("the box %s did not close" % title)

    def shot(self, name):
        subprocess.run(["import", "-window", "root", os.path.join(self.shots, name + ".png")], env=self.env,
                       timeout=60, check=True)

    def cli_run(self):
        env = {k: v for k, v in self.env.items() if k != "DISPLAY"}
        done = subprocess.run([os.path.join(SOURCE, "tests", "windows", "wine-run"), CLI, "--json", KEYWORD], env=env,
                              stdout=subprocess.PIPE, timeout=300, check=True)
        events = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines() if line.strip()]
        rows = [e for e in events if e["event"] == "row"]
        return [e for e in events if e["event"] == "done"][-1]["title"], rows[0]["magnetLink"]

    def tearDown(self):
        if "LANQI_CLIENT_WINEPREFIX" in os.environ:  # the test's own prefix: whatever still runs there ends
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL, timeout=60)

    def test_notice_search_copy_and_exit_fade(self):
        expected_title, first_link = self.cli_run()
        # What an earlier run left in the prefix's registry goes first (below, the client writes it anew).
        subprocess.run(["/usr/lib/wine/wine64", "reg", "delete", EMULATION_KEY, "/v", "lanqi-search.exe", "/f"],
                       env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        client = subprocess.Popen(["/usr/lib/wine/wine64", CLIENT], env=self.env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, client)

        notice = wait_for("the usage notice", lambda: self.windows_named("^" + TITLE + "$"))[0]
        time.sleep(1)  # its pictures are drawn
        self.shot("windows-notice")
        self.activate(notice)
        self.tool("key", "Return")  # 同意使用 is the default

        main = wait_for("the main window", lambda: [w for w in self.windows_named("^" + TITLE) if w != notice])[0]
        self.activate(main)
        self.tool("type", "--delay", "40", KEYWORD)
        self.tool("key", "Return")
        title = wait_for("the search to end", lambda: (lambda t: t if "搜索完成" in t else None)(self.title_of(main)))
        self.assertEqual(expected_title, title)
        self.shot("windows-results")

        # The right button on the first row brings up 选择播放; its fifth entry is 复制下载地址.
        self.tool("mousemove", "--window", main, "200", "140")
        self.tool("click", "3")
        time.sleep(1)
        self.shot("windows-row-menu")
        self.tool("key", "Down", "Down", "Down", "Down", "Down", "Return")
        copied = wait_for("the copy message", lambda: self.windows_named("^已复制$"))[0]
        clipboard = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, stdout=subprocess.PIPE,
                                   timeout=30).stdout.decode()
        self.assertEqual(first_link, clipboard)
        self.answer(copied, "已复制")

        # Enter on the selected row plays it online. Wine's browser control has no engine here: the play ends in
        # the box that says so (not the network-error box), and the search view comes back.
        self.activate(main)
        self.tool("mousemove", "--window", main, "200", "140")
        self.tool("click", "1")
        self.tool("key", "Return")
        failed = wait_for("the play to fail", lambda: self.windows_named("^播放错误$"))[0]
        self.shot("windows-play-failed")
        self.assertEqual([], self.windows_named("^网络错误$"))
        self.answer(failed, "播放错误")

        # Closing the window starts the exit fade, after which the program ends by itself.
        self.activate(main)
        self.tool("key", "alt+F4")
        self.assertEqual(0, client.wait(30))

        # The browser control was asked for the engine's standards mode (11001), not Internet Explorer 7's: the
        # value stands in the prefix's registry once Wine's server has written it out.
        subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=self.env, timeout=60)
        with open(os.path.join(PREFIX, "user.reg"), encoding="utf-8", errors="replace") as f:
            registry = f.read()
        key = registry.find("[Software\\\\Microsoft\\\\Internet Explorer\\\\Main\\\\FeatureControl\\\\FEATURE_BROWSER_EMULATION]")
        self.assertGreaterEqual(key, 0)
        self.assertIn('"lanqi-search.exe"=dword:00002af9', registry[key:registry.find("\n\n", key)])


if __name__ == "__main__":
    unittest.main()
