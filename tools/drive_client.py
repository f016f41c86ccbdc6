#!/usr/bin/env python3
"""Drives a running lanqi-search on an X display the way a user would, with xdotool (an outside client): accept
the usage notice, type a keyword into 搜索框, press Enter, read the title bar, right-click a row, pick menu
entries with the keyboard, ask a window to close as a window manager does, take screenshots. Used by scripts/demo
and by the end-to-end tests.

  drive_client.py search --binary PATH --keyword K --screenshot FILE [--timeout S]

starts the client on $DISPLAY (the environment says where its sites are), searches, waits until the title shows
the outcome, saves a screenshot of the screen, prints the screenshot's path and the final title, and ends the
client by its pid. Exit code 0 when the search completed, 1 otherwise.
"""

import argparse
import contextlib
import ctypes
import ctypes.util
import os
import subprocess
import sys
import time

TITLE = "岚栖种子搜索神器v1.9"
SEARCH_BOX_CENTRE = (264 + 196, 8 + 16)  # 搜索框 at 264, 8, 392 x 32 in the client area
OUTCOMES = ("搜索完成", "连接服务器失败", "未搜索到结果")

# The results list's rows as the main window lays them out: cells of 390 x 86 from (-1, 48), two to a line.
LIST_TOP, CELL_WIDTH, CELL_HEIGHT = 78, 390, 86  # 超级列表框1 under the results tool row


def xdotool(*args, check=True):
    done = subprocess.run(["xdotool"] + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=30)
    if check and done.returncode != 0:
        raise RuntimeError("xdotool %s: %s" % (" ".join(map(str, args)), done.stderr.decode(errors="replace")))
    return done.stdout.decode("utf-8", "replace")


def window_name(window):
    return xdotool("getwindowname", window, check=False).rstrip("\n")


def windows_of(pid, title_pattern="."):
    """The client's mapped windows whose title matches (a regular expression), oldest first."""
    out = xdotool("search", "--all", "--onlyvisible", "--pid", pid, "--name", title_pattern, check=False)
    return [int(w) for w in out.split()]


def wait_for(what, predicate, timeout):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(0.05)


class Client:
    """A lanqi-search process on $DISPLAY."""

    def __init__(self, binary, env=None, log=None):
        self.log = open(log, "ab") if log else subprocess.DEVNULL
        self.process = subprocess.Popen([binary], env=env, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=self.log)
        self.main_window = None

    @property
    def pid(self):
        return self.process.pid

    def stop(self):
        """Ends the client by its pid."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.log is not subprocess.DEVNULL:
            self.log.close()

    def focus(self, window):
        xdotool("windowfocus", "--sync", window)

    def accept_notice(self, timeout=30):
        """Enter on the usage notice (同意使用 is its default button); returns the main window once it is shown."""
        notice = wait_for("the usage notice", lambda: windows_of(self.pid, "^%s$" % TITLE), timeout)[0]
        self.focus(notice)
        xdotool("key", "Return")
        self.main_window = wait_for("the main window",
                                    lambda: [w for w in windows_of(self.pid, "^%s" % TITLE) if w != notice], timeout)[0]
        return self.main_window

    def title(self):
        return window_name(self.main_window)

    def wait_until_opaque(self, timeout=10):
        """Waits for the end of the main window's fade-in (its opacity property at 100 % or gone)."""
        def opaque():
            out = subprocess.run(["xprop", "-id", str(self.main_window), "_NET_WM_WINDOW_OPACITY"],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10).stdout.decode()
            return "not found" in out or out.strip().endswith("= 4294967295")
        wait_for("the end of the fade-in", opaque, timeout)

    def search(self, keyword, timeout=60, attempts=3):
        """Types the keyword into 搜索框, presses Enter and returns the final title."""
        self.start_search(keyword, attempts)
        return wait_for("the search outcome",
                        lambda: (lambda t: t if any(o in t for o in OUTCOMES) else None)(self.title()), timeout)

    def start_search(self, keyword, attempts=3):
        """Types the keyword into 搜索框, presses Enter and returns the title once the search has started, without
        waiting for the outcome.

        On a loaded machine a key can reach the client before it has the focus; when no search has started a
        few seconds after Enter, the box is clicked, emptied and typed into again."""
        self.wait_until_opaque()
        started = lambda: (lambda t: t if ("正在搜索" in t or any(o in t for o in OUTCOMES)) else None)(self.title())
        for attempt in range(attempts):
            self.focus(self.main_window)
            if attempt > 0:
                xdotool("mousemove", "--window", self.main_window, *SEARCH_BOX_CENTRE)
                xdotool("click", 1)
                xdotool("key", "ctrl+a", "BackSpace")
            with characters_on_the_keyboard(keyword):
                xdotool("type", "--delay", 40, keyword)
                time.sleep(0.2)  # typed before the keys lose their characters again
            xdotool("key", "Return")
            try:
                return wait_for("the search to start", started, 8)
            except TimeoutError:
                if attempt == attempts - 1:
                    raise

    def row_menu(self, row, keys):
        """Right-clicks row `row` (from 0) and presses `keys` in its menu."""
        x = (row % 2) * CELL_WIDTH + CELL_WIDTH // 3
        y = LIST_TOP + (row // 2) * CELL_HEIGHT + CELL_HEIGHT // 2
        self.focus(self.main_window)
        xdotool("mousemove", "--window", self.main_window, x, y)
        before = set(self.all_windows())
        xdotool("click", 3)
        # The keys must reach the menu: pressed on the list instead, Enter would play the row.
        wait_for("the row's menu", lambda: set(self.all_windows()) - before, 10)
        time.sleep(0.1)
        xdotool("key", "--delay", 60, *keys)

    def all_windows(self):
        """Every mapped window of the client, titled or not (a popup menu has no title)."""
        return xdotool("search", "--all", "--onlyvisible", "--pid", self.pid, check=False).split()

    def answer_box(self, title, key="Return", timeout=10):
        """Presses `key` in the client's message box titled `title` and waits until the box has gone."""
        box = wait_for("the box " + title, lambda: windows_of(self.pid, "^%s$" % title), timeout)[0]
        self.focus(box)
        xdotool("key", key)
        wait_for("the box %s to close" % title, lambda: box not in windows_of(self.pid, "^%s$" % title), timeout)


@contextlib.contextmanager
def characters_on_the_keyboard(text):
    """Binds every character of `text` that the keyboard map lacks to a free key for as long as the block runs.

    Left alone, xdotool types such a character by binding it to a spare key, pressing that key and undoing the
    binding at once, so a client that reads the new keyboard map a moment too late sees a key with no character:
    typed Chinese loses characters now and then. With the characters on the map, xdotool only presses keys."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
    x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                           ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
    x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        raise RuntimeError("cannot open $DISPLAY")
    bound = []
    try:
        low, high = ctypes.c_int(), ctypes.c_int()
        x11.XDisplayKeycodes(display, ctypes.byref(low), ctypes.byref(high))
        per = ctypes.c_int()
        count = high.value - low.value + 1
        table = x11.XGetKeyboardMapping(display, low.value, count, ctypes.byref(per))
        rows = [[table[i * per.value + k] for k in range(per.value)] for i in range(count)]
        x11.XFree(table)
        present = {sym for row in rows for sym in row}
        wanted = []
        for character in dict.fromkeys(text):
            sym = ord(character) if ord(character) < 0x100 else 0x1000000 + ord(character)
            if sym not in present:
                wanted.append(sym)
        free = [low.value + i for i, row in enumerate(rows) if not any(row)]
        if len(free) < len(wanted):
            raise RuntimeError("not enough free keys for %d characters" % len(wanted))
        for code, sym in zip(reversed(free), wanted):
            syms = (ctypes.c_ulong * 1)(sym)
            x11.XChangeKeyboardMapping(display, code, 1, syms, 1)
            bound.append(code)
        x11.XSync(display, 0)
        time.sleep(0.3 if bound else 0)  # the client reads the new map
        yield
    finally:
        for code in bound:
            x11.XChangeKeyboardMapping(display, code, 1, (ctypes.c_ulong * 1)(0), 1)
        x11.XSync(display, 0)
        x11.XCloseDisplay(display)


class _ClientMessage(ctypes.Structure):  # XClientMessageEvent, format 32
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class _Event(ctypes.Union):  # XEvent: 24 longs whatever the kind
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


def request_close(window):
    """Asks `window` to close the way a window manager does for its close button: a WM_PROTOCOLS client message
    carrying WM_DELETE_WINDOW, sent to the window itself. (xdotool's windowclose destroys the window instead.)"""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_Event)]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        raise RuntimeError("cannot open $DISPLAY")
    try:
        event = _Event()
        event.client.type = 33  # ClientMessage
        event.client.window = int(window)
        event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.l[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.client.l[1] = 0  # CurrentTime
        if not x11.XSendEvent(display, int(window), 0, 0, ctypes.byref(event)):
            raise RuntimeError("XSendEvent failed for window %s" % window)
        x11.XSync(display, 0)
    finally:
        x11.XCloseDisplay(display)


def screenshot(path):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    subprocess.run(["import", "-window", "root", path], check=True, timeout=60)
    return path


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("command", choices=["search"])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--keyword", required=True)
    ap.add_argument("--screenshot", required=True)
    ap.add_argument("--timeout", type=float, default=60)
    ap.add_argument("--log", help="the client's output goes here")
    args = ap.parse_args(argv)
    if not os.environ.get("DISPLAY"):
        sys.stderr.write("drive_client.py: no $DISPLAY\n")
        return 2

    client = Client(args.binary, log=args.log)
    try:
        client.accept_notice(args.timeout)
        title = client.search(args.keyword, args.timeout)
        time.sleep(0.3)  # the last rows and the paging controls are painted
        screenshot(args.screenshot)
    finally:
        client.stop()
    print("screenshot: %s" % os.path.abspath(args.screenshot))
    print("title: %s" % title)
    return 0 if "搜索完成" in title else 1


if __name__ == "__main__":
    sys.exit(main())
