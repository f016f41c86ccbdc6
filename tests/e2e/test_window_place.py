"""The main window on a small screen at 200 % and where it comes back: the built lanqi-search on the shared X
server (1280 x 1024) with Qt scaling everything by two, its window measured with xdotool in the screen's own
pixels, resized, closed like a window manager closes it, and started again."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools"))

import drive_client  # noqa: E402

SEARCH = os.environ.get("LANQI_SEARCH", "")


def geometry(window):
    """The window's position and size in screen pixels."""
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)], stdout=subprocess.PIPE,
                         check=True, timeout=10).stdout.decode()
    values = dict(line.split("=", 1) for line in out.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def screen_size():
    out = subprocess.run(["xdotool", "getdisplaygeometry"], stdout=subprocess.PIPE, check=True,
                         timeout=10).stdout.decode().split()
    return int(out[0]), int(out[1])


@unittest.skipUnless(os.environ.get("LANQI_XVFB_STATE") and os.environ.get("LANQI_SAMPLE_STATE") and SEARCH,
                     "needs the xvfb and sample_sites fixtures and the built client")
class WindowPlace(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(os.environ["LANQI_XVFB_STATE"], "display")) as f:
            display = ":" + f.read().strip()
        os.environ["DISPLAY"] = display  # for the driver's own xdotool calls
        self.config = tempfile.mkdtemp(prefix="lanqi-window-place-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.config])
        with open(os.path.join(os.environ["LANQI_SAMPLE_STATE"], "port")) as f:
            vendor = "http://127.0.0.1:%d" % int(f.read().strip())  # the version check asks the sample vendor
        self.env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=self.config, QT_SCALE_FACTOR="2",
                        LANQI_VENDOR_BASE=vendor)

    def start(self):
        client = drive_client.Client(SEARCH, env=self.env)
        self.addCleanup(client.stop)
        window = client.accept_notice()
        client.wait_until_opaque()
        return client, window

    def close(self, client, window):
        drive_client.request_close(window)
        client.process.wait(timeout=20)

    def test_at_200_percent_the_window_fits_the_screen_and_comes_back_where_it_was(self):
        width, height = screen_size()
        client, window = self.start()
        x, y, w, h = geometry(window)
        self.assertLessEqual(x + w, width)
        self.assertLessEqual(y + h, height)
        self.assertGreaterEqual(x, 0)
        self.assertGreaterEqual(y, 0)

        # The user makes it smaller and moves it: it comes back so at the next start.
        subprocess.run(["xdotool", "windowsize", str(window), "1240", "860"], check=True, timeout=10)
        subprocess.run(["xdotool", "windowmove", str(window), "20", "60"], check=True, timeout=10)
        drive_client.wait_for("the resized window", lambda: geometry(window) == (20, 60, 1240, 860), 10)
        self.close(client, window)
        with open(os.path.join(self.config, "lanqi-search", "window.toml")) as f:
            saved = f.read()
        self.assertIn("width = 620\n", saved)  # in Qt's pixels, half the screen's
        self.assertIn("height = 430\n", saved)

        client, window = self.start()
        self.assertEqual(geometry(window), (20, 60, 1240, 860))
        self.close(client, window)


if __name__ == "__main__":
    unittest.main()
