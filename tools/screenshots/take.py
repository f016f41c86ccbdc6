#!/usr/bin/env python3
"""Takes the README's screenshots of lanqi-search running on the bundled sample sites.

  take.py OUT_DIR CLIENT [SHOT...]

SHOT is one of firstrun, notice, home, results, table, wide, menu, details, settings, player (default: all, in that
order). firstrun is a client of its own with no sites set up (no settings file, no LANQI_SITE<n>_BASE). The session has a
private X server (Xvfb) with a window manager (openbox, for title bars), the sample sites on loopback and the
client pointed at them; xdotool drives the client as a user would and ImageMagick's `import` captures the
screen. A shot the client cannot show is reported and its file is left as it was; the exit status is 1 then.

scripts/screenshots runs this as the first process of a PID namespace of its own: the player view switches
the protection shield on, and the shield must see nothing but this session. While the shield is on this
program starts no process at all (the shield ends those whose name was not running when the player page
began to load): it reads the screen from the X server's framebuffer file and ends the client by its pid.
"""

import os
import re
import shutil
import signal
import subprocess
import urllib.request
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import framebuffer  # noqa: E402

SHOTS = ("firstrun", "notice", "home", "results", "table", "wide", "menu", "details", "settings", "player")
TITLE = "岚栖种子搜索神器v1.9"
KEYWORD = "超能陆战队"
SCREEN = (1280, 1024)
SITES_PORT = 8680
# Positions inside the client areas (the windows' design geometry).
AGREE_BUTTON = (340, 264)  # 同意使用 on the usage notice
SEARCH_BOX = (300, 24)  # 搜索框
FIRST_ROW = (120, 110)  # the first row of 超级列表框1
UNIQUE_SWITCH = (420, 63)  # 合并相同资源
FAILED_SITE = 4  # answers with an error page: the site strip shows a failed site
# A seventh slot that asks Site2 again: its rows are the same torrents, so one row per torrent merges them.
SEVENTH_SLOT = '[site7]\nbase = "%s/site2"\ndefinition = "site2"\n'
PLAYING_LABEL = (0, 0, 85, 16)  # 标签1, shown with the player view
# "选择播放" from its top: 在线播放通道1, 在线播放通道2, 迅雷影音播放, 迅雷下载, 复制下载地址, -, 查看文件详情.
DETAILS_ENTRY_DOWN_PRESSES = 6


class NotShown(Exception):
    """The client did not show what a shot needs."""


def log(text):
    print("screenshots: " + text, flush=True)


class Session:
    def __init__(self, out_dir, client):
        self.out_dir = out_dir
        self.client_program = client
        self.state = tempfile.mkdtemp(prefix="lanqi-screenshots-")
        self.processes = []  # (name, Popen), ended in reverse order
        self.sites_started = False
        self.client = None
        self.env = None

    # --- the session's servers -------------------------------------------------------------------------
    def start(self):
        sites = os.path.join(self.state, "sites")
        sitectl = [sys.executable, os.path.join(SOURCE_DIR, "tools", "sample-sites", "sitectl"), "start", sites,
                   "--lifetime", "900"]
        # The same port every time, so that the addresses the windows show stay the same; any port if it is taken.
        started = subprocess.run(sitectl + ["--port", str(SITES_PORT)], stdout=subprocess.PIPE, text=True)
        if started.returncode != 0:
            started = subprocess.run(sitectl, check=True, stdout=subprocess.PIPE, text=True)
        port = started.stdout.strip()
        self.sites_started = True
        base = "http://127.0.0.1:%s" % port
        # The sample service makes its clip with ffmpeg on first use; make it now, since once the player shows
        # the shield ends every program that was not running when its page began to load, ffmpeg included.
        urllib.request.urlopen(base + "/api/sample.webm", timeout=120).read()

        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
                                 "-nolisten", "tcp", "-noreset", "-fbdir", self.state],
                                pass_fds=[write_end], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(("Xvfb", xvfb))
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

        home = os.path.join(self.state, "home")
        runtime = os.path.join(self.state, "runtime")
        temp = os.path.join(self.state, "tmp")
        for folder in (home, runtime, temp):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        base_env = {k: v for k, v in os.environ.items() if not k.startswith(("LD_", "QT_", "LANQI_"))}
        base_env.update({"DISPLAY": self.display, "HOME": home, "XDG_RUNTIME_DIR": runtime, "TMPDIR": temp,
                         "LANG": "C.UTF-8",
                         "DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent/lanqi-no-session-bus"})
        self.x_env = base_env

        openbox = subprocess.Popen(["openbox", "--sm-disable"], env=base_env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(("openbox", openbox))
        self.wait(lambda: "window id" in self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 15,
                  "the window manager did not start")

        self.env = dict(base_env)
        self.env.update({"QT_QPA_PLATFORM": "xcb",
                         "LANQI_VENDOR_BASE": base, "LANQI_PLAY_BASE": base,
                         "QTWEBENGINE_DISABLE_SANDBOX": "1", "QTWEBENGINE_CHROMIUM_FLAGS": "--disable-gpu"})
        for n in range(1, 7):
            self.env["LANQI_SITE%d_BASE" % n] = "%s/site%d%s" % (base, n, "-error" if n == FAILED_SITE else "")
        config = os.path.join(home, ".config", "lanqi-search")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "config.toml"), "w") as f:
            f.write(SEVENTH_SLOT % base)
        log("sample sites on %s, X server %s" % (base, self.display))

    def stop(self):
        self.end_client()
        for _, process in reversed(self.processes):
            end(process)
        if self.sites_started:
            subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "tools", "sample-sites", "sitectl"), "stop",
                            os.path.join(self.state, "sites")])
        shutil.rmtree(self.state, ignore_errors=True)

    # --- the client --------------------------------------------------------------------------------------
    def start_client(self):
        self.client_log = open(os.path.join(self.state, "client.log"), "w")
        self.client = subprocess.Popen([os.path.abspath(self.client_program)], env=self.env, cwd=self.state,
                                       stdin=subprocess.DEVNULL, stdout=self.client_log, stderr=subprocess.STDOUT)

    def end_client(self):
        if self.client is not None:
            end(self.client)
            self.client = None

    def client_output(self):
        with open(os.path.join(self.state, "client.log"), errors="replace") as f:
            return f.read()[-2000:]

    # --- X -----------------------------------------------------------------------------------------------
    def x(self, args, check=False):
        answer = subprocess.run(args, env=self.x_env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True, timeout=30)
        if check and answer.returncode != 0:
            raise RuntimeError("%s: %s" % (" ".join(args), answer.stderr.strip()))
        return answer.stdout

    def xdotool(self, *args):
        return self.x(["xdotool"] + [str(a) for a in args], check=True)

    def wait(self, condition, seconds, failure):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.client is not None and self.client.poll() is not None:
                raise NotShown("the client ended (%d): %s" % (self.client.returncode, self.client_output()))
            found = condition()
            if found:
                return found
            time.sleep(0.2)
        raise NotShown(failure)

    def client_windows(self, name=None):
        """The client's shown windows (ids as text), optionally only those whose name matches."""
        args = ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.client.pid)]
        args += ["--name", name] if name else ["--class", "."]
        return self.x(args).split()

    def window_name(self, window):
        return self.x(["xdotool", "getwindowname", window]).strip()

    def rect(self, window):
        """The window with its window-manager frame: x, y, width, height on the screen."""
        while True:
            tree = self.x(["xwininfo", "-tree", "-id", window])
            root = re.search(r"Root window id: (0x[0-9a-f]+)", tree).group(1)
            parent = re.search(r"Parent window id: (0x[0-9a-f]+)", tree).group(1)
            if parent == root:
                break
            window = parent
        info = self.x(["xwininfo", "-id", window])
        get = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))  # noqa: E731
        return get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height")

    def capture(self, rects, name):
        """The smallest screen rectangle that holds every rectangle in `rects`, as OUT_DIR/name.png."""
        left = max(0, min(r[0] for r in rects))
        top = max(0, min(r[1] for r in rects))
        right = min(SCREEN[0], max(r[0] + r[2] for r in rects))
        bottom = min(SCREEN[1], max(r[1] + r[3] for r in rects))
        whole = os.path.join(self.state, "screen.png")
        self.x(["import", "-window", "root", whole], check=True)
        self.save(whole, (left, top, right - left, bottom - top), name)

    def save(self, picture, rect, name):
        out = os.path.join(self.out_dir, name + ".png")
        subprocess.run(["convert", picture, "-crop", "%dx%d+%d+%d" % (rect[2], rect[3], rect[0], rect[1]),
                        "+repage", "-strip", "-define", "png:exclude-chunks=date,time", out], check=True)
        log("%s: %s (%dx%d)" % (name, out, rect[2], rect[3]))

    def click(self, window, position, button=1, repeat=1):
        self.xdotool("mousemove", "--window", window, position[0], position[1])
        self.xdotool("click", "--repeat", repeat, "--delay", 120, button)


def end(process):
    """Ends a process this program started, by its pid."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def take_first_run(session, made):
    """A first search with only the built-in placeholder addresses: the message that asks for the sites."""
    normal = session.env
    empty = os.path.join(session.state, "no-config")
    os.makedirs(empty, exist_ok=True)
    session.env = {k: v for k, v in normal.items() if not k.startswith("LANQI_SITE")}
    session.env["XDG_CONFIG_HOME"] = empty
    try:
        session.start_client()
        notice = session.wait(lambda: session.client_windows("^" + re.escape(TITLE) + "$"), 30, "no usage notice")[0]
        time.sleep(0.5)
        session.click(notice, AGREE_BUTTON)
        main = session.wait(lambda: [w for w in session.client_windows("^" + re.escape(TITLE))
                                     if w != notice and "Width: 813" in session.x(["xwininfo", "-id", w])],
                            30, "no main window after 同意使用")[0]
        time.sleep(2.0)
        session.xdotool("windowactivate", "--sync", main)
        session.click(main, SEARCH_BOX)
        session.xdotool("type", "--delay", 60, KEYWORD)
        session.xdotool("key", "Return")
        box = session.wait(lambda: session.client_windows("^尚未设置搜索站点$"), 10, "no first-run message")[0]
        time.sleep(0.8)
        session.capture([session.rect(box)], "firstrun")
        made.append("firstrun")
    finally:
        session.end_client()
        session.env = normal


def take(session, wanted, made):
    if "firstrun" in wanted:
        take_first_run(session, made)
        if wanted == ["firstrun"]:
            return
    last = max(SHOTS.index(s) for s in wanted)  # every shot needs the steps before it
    session.start_client()

    notice = session.wait(lambda: session.client_windows("^" + re.escape(TITLE) + "$"), 30,
                          "no usage notice")[0]
    time.sleep(0.8)
    if "notice" in wanted:
        session.capture([session.rect(notice)], "notice")
        made.append("notice")
    if last == SHOTS.index("notice"):
        return

    session.click(notice, AGREE_BUTTON)
    main = session.wait(lambda: [w for w in session.client_windows("^" + re.escape(TITLE))
                                 if w != notice and "Width: 813" in session.x(["xwininfo", "-id", w])],
                        30, "no main window after 同意使用")[0]
    time.sleep(2.0)  # the fade-in
    main_rect = session.rect(main)
    if "home" in wanted:
        session.capture([main_rect], "home")
        made.append("home")
    if last == SHOTS.index("home"):
        return

    session.xdotool("windowactivate", "--sync", main)
    session.click(main, SEARCH_BOX)
    session.xdotool("type", "--delay", 60, KEYWORD)
    session.xdotool("key", "Return")
    try:
        session.wait(lambda: "搜索完成" in session.window_name(main), 60, "")
    except NotShown:
        raise NotShown("no results after searching %s: the title stayed %r" % (KEYWORD, session.window_name(main)))
    time.sleep(1.5)  # the list's pictures
    if "results" in wanted:
        session.capture([main_rect], "results")
        made.append("results")

    if "table" in wanted:
        # The table view, one row per torrent, filtered to videos; then back to the pictures for the rest.
        session.xdotool("key", "ctrl+2")
        session.click(main, UNIQUE_SWITCH)
        session.xdotool("key", "ctrl+f")
        session.xdotool("type", "--delay", 40, "kind:video")
        time.sleep(0.8)
        session.capture([main_rect], "table")
        made.append("table")
        if "wide" in wanted:
            # The same, the window made larger: the table takes the room.
            session.xdotool("windowsize", "--sync", main, 1200, 760)
            time.sleep(0.8)
            session.capture([session.rect(main)], "wide")
            made.append("wide")
            session.xdotool("windowsize", "--sync", main, 813, 549)
            time.sleep(0.5)
        session.xdotool("key", "ctrl+a", "BackSpace")
        session.click(main, UNIQUE_SWITCH)
        session.xdotool("key", "ctrl+1")
        time.sleep(0.8)

    if "menu" in wanted or "details" in wanted:
        session.click(main, FIRST_ROW, button=3)
        menu = session.wait(lambda: [w for w in session.client_windows() if w not in (main, notice)], 10,
                            "no action menu after a right-click on the first row")[0]
        time.sleep(0.5)
        if "menu" in wanted:
            session.capture([main_rect, session.rect(menu)], "menu")
            made.append("menu")
        if "details" in wanted:
            for _ in range(DETAILS_ENTRY_DOWN_PRESSES):
                session.xdotool("key", "Down")
            session.xdotool("key", "Return")
            box = session.wait(lambda: session.client_windows("^文件详情$"), 10,
                               "no 文件详情 box after 查看文件详情")[0]
            time.sleep(0.5)
            session.capture([main_rect, session.rect(box)], "details")
            made.append("details")
            session.xdotool("key", "Return")
        else:
            session.xdotool("key", "Escape")
        time.sleep(0.5)

    if "settings" in wanted:
        # Ctrl+, opens it wherever the strip's buttons reach: with a seventh slot they cover the footer's right.
        session.xdotool("windowactivate", "--sync", main)
        session.xdotool("key", "ctrl+comma")
        window = session.wait(lambda: session.client_windows("^站点设置$"), 10, "no 站点设置 window")[0]
        time.sleep(0.8)
        session.capture([main_rect, session.rect(window)], "settings")
        made.append("settings")
        session.xdotool("key", "Escape")
        time.sleep(0.5)

    if "player" in wanted:
        take_player(session, main, main_rect)
        made.append("player")


def take_player(session, main, main_rect):
    """A double-click on the first row plays it online; the shield is on from then until the client ends."""
    screen_file = os.path.join(session.state, "Xvfb_screen0")
    info = session.x(["xwininfo", "-id", main])
    client_x, client_y = (int(re.search(key + r":\s+(-?\d+)", info).group(1))
                          for key in ("Absolute upper-left X", "Absolute upper-left Y"))
    label = (client_x + PLAYING_LABEL[0], client_y + PLAYING_LABEL[1], PLAYING_LABEL[2], PLAYING_LABEL[3])
    before = framebuffer.Screen.read(screen_file).rgb(*label)
    session.xdotool("mousemove", "--window", main, FIRST_ROW[0], FIRST_ROW[1])
    # The last process started until the client has ended: it clicks twice and ends by itself.
    session.xdotool("click", "--repeat", 2, "--delay", 80, 1)

    # First the loading notice 标签5 covers the whole window (plain where 标签1 will be); the player view is
    # up when 标签1 shows its text there.
    def player_shown():
        pixels = framebuffer.Screen.read(screen_file).rgb(*label)
        return pixels != before and len({pixels[i:i + 3] for i in range(0, len(pixels), 3)}) > 1

    deadline = time.monotonic() + 60
    while not player_shown():
        if time.monotonic() > deadline or session.client.poll() is not None:
            session.end_client()
            raise NotShown("the player view did not show within 60 s")
        time.sleep(0.25)
    time.sleep(4.0)  # the cloud-play page paints
    picture = os.path.join(session.state, "player.ppm")
    with open(picture, "wb") as f:
        f.write(framebuffer.Screen.read(screen_file).ppm(*main_rect))
    session.end_client()  # the shield ends with the client
    session.save(picture, (0, 0, main_rect[2], main_rect[3]), "player")


def main(argv):
    if len(argv) < 3 or any(s not in SHOTS for s in argv[3:]):
        sys.stderr.write(__doc__)
        return 2
    out_dir, client = argv[1], argv[2]
    wanted = [s for s in SHOTS if s in argv[3:]] or list(SHOTS)
    os.makedirs(out_dir, exist_ok=True)
    session = Session(out_dir, client)
    made = []
    try:
        session.start()
        take(session, wanted, made)
        problem = None
    except NotShown as e:
        problem = str(e)
    finally:
        session.stop()
    missing = [s for s in wanted if s not in made]
    log("made: %s" % (" ".join(made) or "none"))
    if missing:
        log("not made: %s (%s); their files were left as they were" % (" ".join(missing), problem))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
