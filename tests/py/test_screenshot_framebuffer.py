"""The screenshot tool's framebuffer reader (tools/screenshots/framebuffer.py) against a real X server: what it
reads from Xvfb's framebuffer file is what `import` captures from the same screen."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("LANQI_BUILD_DIR", os.path.join(SOURCE, "build", "default"))
TITLED_WINDOW = os.path.join(BUILD, "tests", "gui", "titled_window")
sys.path.insert(0, os.path.join(SOURCE, "tools", "screenshots"))
import framebuffer  # noqa: E402

SCREEN = (320, 240)
WINDOW = (200, 100)  # titled_window's size
ORANGE = bytes((0xFF, 0x80, 0x10))


def end(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@unittest.skipUnless(shutil.which("Xvfb") and os.path.exists(TITLED_WINDOW), "needs Xvfb and the GUI test programs")
class FramebufferOfXvfb(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="lanqi-framebuffer-")
        read_end, write_end = os.pipe()
        cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
                                     "-nolisten", "tcp", "-fbdir", cls.dir], pass_fds=[write_end],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            cls.env = dict(os.environ, DISPLAY=":" + f.readline().strip(), QT_QPA_PLATFORM="xcb")
        style = os.path.join(cls.dir, "orange.qss")
        with open(style, "w") as f:
            f.write("QWidget { background: #ff8010; }\n")
        cls.window = subprocess.Popen([TITLED_WINDOW, "-stylesheet", style, "orange"], env=cls.env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.screen_file = os.path.join(cls.dir, "Xvfb_screen0")

    @classmethod
    def tearDownClass(cls):
        end(cls.window)
        end(cls.xvfb)
        shutil.rmtree(cls.dir, ignore_errors=True)

    def shown_screen(self):
        """The screen once the orange window is painted on it."""
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            screen = framebuffer.Screen.read(self.screen_file)
            if ORANGE in screen.rgb(0, 0, *SCREEN):
                return screen
            time.sleep(0.1)
        self.fail("the window never showed")

    def test_reads_the_same_pixels_as_import(self):
        screen = self.shown_screen()
        self.assertEqual((screen.width, screen.height), SCREEN)
        time.sleep(0.3)  # let the window finish painting
        screen = framebuffer.Screen.read(self.screen_file)
        captured = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env,
                                  stdout=subprocess.PIPE, check=True, timeout=30).stdout
        self.assertEqual(screen.rgb(0, 0, *SCREEN), captured)

    def test_red_green_and_blue_in_order_and_rows_at_their_stride(self):
        pixels = self.shown_screen().rgb(0, 0, *SCREEN)
        colours = [pixels[i:i + 3] for i in range(0, len(pixels), 3)]
        self.assertEqual(colours.count(ORANGE), WINDOW[0] * WINDOW[1])

    def test_a_part_of_the_screen_as_ppm(self):
        screen = self.shown_screen()
        whole = screen.rgb(0, 0, *SCREEN)
        x, y, width, height = 7, 5, 11, 3
        picture = screen.ppm(x, y, width, height)
        header = b"P6\n11 3\n255\n"
        self.assertTrue(picture.startswith(header))
        rows = [whole[((y + r) * SCREEN[0] + x) * 3:((y + r) * SCREEN[0] + x + width) * 3] for r in range(height)]
        self.assertEqual(picture[len(header):], b"".join(rows))

    def test_refuses_rectangles_off_the_screen(self):
        screen = self.shown_screen()
        for rect in ((-1, 0, 10, 10), (0, 0, SCREEN[0] + 1, 1), (SCREEN[0] - 5, 0, 6, 1), (0, SCREEN[1], 1, 1),
                     (0, 0, 0, 5)):
            with self.assertRaises(ValueError, msg=str(rect)):
                screen.rgb(*rect)

    def test_refuses_files_that_are_not_whole_dumps(self):
        with open(self.screen_file, "rb") as f:
            data = f.read()
        with self.assertRaises(ValueError):
            framebuffer.Screen(data[:len(data) - 1])
        with self.assertRaises(ValueError):
            framebuffer.Screen(data[:40])
        with self.assertRaises(ValueError):
            framebuffer.Screen(b"\x89PNG\r\n\x1a\n" + bytes(200))


if __name__ == "__main__":
    unittest.main()
