"""lanqi-search as its user meets it: the built binary on the shared X server, driven with xdotool keystrokes and
clicks, its title read back with `xdotool getwindowname` and its clipboard with `xclip`, against the sample
sites. The expected rows come from lanqi-cli --json on the same sites."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools"))

import drive_client  # noqa: E402

SEARCH = os.environ.get("LANQI_SEARCH", "")
CLI = os.environ.get("LANQI_CLI", "")
ARTIFACTS = os.environ.get("LANQI_E2E_ARTIFACTS", "")
KEYWORD = "超能陆战队"


def state_value(variable, name):
    with open(os.path.join(os.environ[variable], name)) as f:
        return int(f.read().strip())


@unittest.skipUnless(os.environ.get("LANQI_XVFB_STATE") and os.environ.get("LANQI_SAMPLE_STATE") and SEARCH,
                     "needs the xvfb and sample_sites fixtures and the built client")
class DesktopClient(unittest.TestCase):
    def setUp(self):
        base = "http://127.0.0.1:%d" % state_value("LANQI_SAMPLE_STATE", "port")
        self.env = dict(os.environ, DISPLAY=":%d" % state_value("LANQI_XVFB_STATE", "display"),
                        LANQI_VENDOR_BASE=base)
        for n in range(1, 7):
            self.env["LANQI_SITE%d_BASE" % n] = "%s/site%d" % (base, n)
        os.environ["DISPLAY"] = self.env["DISPLAY"]  # for the driver's own xdotool, xprop and import calls
        os.makedirs(ARTIFACTS, exist_ok=True)
        self.log = os.path.join(ARTIFACTS, self.id().rsplit(".", 1)[1] + ".log")
        self.client = drive_client.Client(SEARCH, env=self.env, log=self.log)
        self.addCleanup(self.client.stop)

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.terminate()
            process.wait(timeout=10)

    def cli(self):
        """The rows and the final state lanqi-cli reports for the keyword on the same sites."""
        done = subprocess.run([CLI, "--json", KEYWORD], env=self.env, stdout=subprocess.PIPE, timeout=120, check=True)
        events = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
        return [e for e in events if e["event"] == "row"], events[-1]

    def test_a_typed_search_completes_with_the_status_lanqi_cli_reports(self):
        self.client.accept_notice()
        self.assertEqual(self.client.title(), "岚栖种子搜索神器v1.9")
        title = self.client.search(KEYWORD)
        rows, done = self.cli()
        self.assertEqual(title, done["title"])
        self.assertRegex(title, r"^岚栖种子搜索神器v1\.9 --- 搜索完成，共\d+页，\d+个结果 - 第1页 $")

        shot = drive_client.screenshot(os.path.join(ARTIFACTS, "search-completed.png"))
        # The first row's caption has been drawn: its area right of the picture is not blank.
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(self.client.main_window)],
                                  stdout=subprocess.PIPE, check=True).stdout.decode()
        position = dict(line.split("=") for line in geometry.split())
        left, top = int(position["X"]), int(position["Y"])
        ink = subprocess.run(["convert", shot, "-crop", "280x30+%d+%d" % (left + 90, top + 78 + 28), "-colorspace",
                              "Gray", "-format", "%[fx:mean]", "info:"], stdout=subprocess.PIPE, check=True)
        self.assertLess(float(ink.stdout), 0.97, "no caption drawn in %s" % shot)
        self.assertTrue(rows)

    def test_copy_download_address_puts_the_rows_magnet_link_on_the_clipboard(self):
        # Something else owns the clipboard first; it ends as soon as the client takes the clipboard over.
        other = subprocess.Popen(["xclip", "-i", "-selection", "clipboard", "-quiet"], env=self.env,
                                 stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        other.stdin.write(b"not a magnet link")
        other.stdin.close()
        self.addCleanup(self.stop, other)

        self.client.accept_notice()
        self.client.search(KEYWORD)
        # The third row; "复制下载地址" is the fifth entry of "选择播放".
        self.client.row_menu(2, ["Down"] * 5 + ["Return"])
        drive_client.wait_for("the confirmation", lambda: drive_client.windows_of(self.client.pid, "^已复制$"), 10)
        drive_client.screenshot(os.path.join(ARTIFACTS, "copied.png"))
        self.client.answer_box("已复制")
        clipboard = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, stdout=subprocess.PIPE,
                                   timeout=10, check=True).stdout.decode("utf-8")
        rows, _ = self.cli()
        self.assertEqual(clipboard, rows[2]["magnetLink"])
        self.assertRegex(clipboard, r"^magnet:\?xt=urn:btih:[0-9A-Fa-f]{40}$")

    def test_shift_f10_opens_the_row_menu_and_the_keyboard_copies_the_link(self):
        self.client.accept_notice()
        self.client.search(KEYWORD)
        # Tab from the search box through 按钮1, 组合框1 and 按钮3 (上一页 is hidden on page 1), then the results
        # tool row's view pair (one stop), 筛选框 and 合并相同资源 (停止 is off once the run is over) into the
        # results; Home selects the first row, Right the second.
        self.client.focus(self.client.main_window)
        drive_client.xdotool("key", "--delay", 80, *(["Tab"] * 7), "Home", "Right")
        before = set(self.client.all_windows())
        drive_client.xdotool("key", "shift+F10")
        drive_client.wait_for("the row's menu", lambda: set(self.client.all_windows()) - before, 10)
        time.sleep(0.1)
        drive_client.xdotool("key", "--delay", 60, *(["Down"] * 5 + ["Return"]))
        self.client.answer_box("已复制")
        clipboard = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, stdout=subprocess.PIPE,
                                   timeout=10, check=True).stdout.decode("utf-8")
        rows, _ = self.cli()
        self.assertEqual(clipboard, rows[1]["magnetLink"])

    def test_the_downloader_entry_hands_the_link_to_the_desktops_magnet_handler(self):
        # Temporary XDG folders in which a recording program is the desktop's handler for magnet links.
        xdg = tempfile.mkdtemp(prefix="lanqi-xdg-")
        self.addCleanup(shutil.rmtree, xdg, True)
        record = os.path.join(xdg, "record")
        handler = os.path.join(xdg, "magnet-handler")
        with open(handler, "w") as f:
            f.write('#!/bin/sh\nprintf "%s" "$1" > "{0}.tmp" && mv "{0}.tmp" "{0}"\n'.format(record))
        os.chmod(handler, 0o755)
        os.makedirs(os.path.join(xdg, "data", "applications"))
        os.makedirs(os.path.join(xdg, "config"))
        with open(os.path.join(xdg, "data", "applications", "lanqi-magnet.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Magnet\nExec=%s %%u\n"
                    "MimeType=x-scheme-handler/magnet;\nNoDisplay=true\n" % handler)
        mimeapps = os.path.join(xdg, "config", "mimeapps.list")
        with open(mimeapps, "w") as f:
            f.write("[Default Applications]\nx-scheme-handler/magnet=lanqi-magnet.desktop\n")
        self.client.stop()
        env = dict(self.env, XDG_DATA_HOME=os.path.join(xdg, "data"), XDG_DATA_DIRS=os.path.join(xdg, "data"),
                   XDG_CONFIG_HOME=os.path.join(xdg, "config"), XDG_CONFIG_DIRS=os.path.join(xdg, "config"),
                   XDG_CURRENT_DESKTOP="", WINEPREFIX=os.path.join(xdg, "no-wine"))
        self.client = drive_client.Client(SEARCH, env=env, log=self.log)
        self.addCleanup(self.client.stop)
        self.client.accept_notice()
        self.client.search(KEYWORD)
        rows, _ = self.cli()
        # "迅雷下载" is the fourth entry of "选择播放": no question, the handler gets the first row's link.
        self.client.row_menu(0, ["Down"] * 4 + ["Return"])
        drive_client.wait_for("the handler's record", lambda: os.path.exists(record), 15)
        with open(record) as f:
            self.assertEqual(f.read(), rows[0]["magnetLink"])
        self.assertEqual(drive_client.windows_of(self.client.pid, "^未安装迅雷$"), [])

        # Without a handler the hand-over fails, and the user is told so.
        os.remove(os.path.join(xdg, "data", "applications", "lanqi-magnet.desktop"))
        with open(mimeapps, "w") as f:
            f.write("[Default Applications]\n")
        self.client.row_menu(0, ["Down"] * 4 + ["Return"])
        self.client.answer_box("未安装迅雷", key="Escape")  # no downloader: the question chain (No), then force it
        self.client.answer_box("强制下载")  # Return: 是
        drive_client.wait_for("the failure message", lambda: drive_client.windows_of(self.client.pid, "^下载失败$"), 15)
        drive_client.screenshot(os.path.join(ARTIFACTS, "handover-failed.png"))
        self.client.answer_box("下载失败")

    def test_closing_the_window_while_a_site_stalls_ends_the_program_within_a_second_of_the_exit_fade(self):
        # Site 3 stalls: it sends its status line and headers, then nothing for 120 s, so the search cannot finish.
        self.client.stop()
        env = dict(self.env, LANQI_SITE3_BASE=self.env["LANQI_SITE3_BASE"] + "-stall")
        self.client = drive_client.Client(SEARCH, env=env, log=self.log)
        self.addCleanup(self.client.stop)
        self.client.accept_notice()
        self.assertIn("正在搜索", self.client.start_search(KEYWORD))
        time.sleep(1.0)
        self.assertIn("正在搜索", self.client.title())  # still searching, held up by site 3

        closed = time.monotonic()
        drive_client.request_close(self.client.main_window)
        while self.client.process.poll() is None and time.monotonic() - closed < 30:
            time.sleep(0.01)
        took = time.monotonic() - closed
        sys.stderr.write("closed while site 3 stalls: the client ended %.2f s after the close request\n" % took)
        # The exit fade is 64 ticks of 15 ms (0.96 s); after it the program has 1 s to end. 0.3 s more for a loaded
        # machine: fade-timer ticks that come late, the close request's way through the X server and the 10 ms
        # polling here (with no search running, the client ends about 1.0 s after the request).
        self.assertLessEqual(took, 0.96 + 1.0 + 0.3, "the client ran %.2f s after the close request" % took)
        self.assertEqual(self.client.process.returncode, 0)


if __name__ == "__main__":
    unittest.main()
