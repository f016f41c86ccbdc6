"""The sample cloud-play service: what the client's player view loads for a magnet link.

  /api/api.php?u=<magnet link>&kltvv=c4|ck    a page titled "快乐TV云播接口" that plays a short test clip
  /api/sample.webm                            the clip (WebM/VP8, 5 s, no sound), with byte ranges

A mode in front of /api/ makes the service misbehave, so a test picks the outcome by the base address
alone (LANQI_PLAY_BASE=http://127.0.0.1:PORT/play-badtitle):

  /play-badtitle/api/...   the page, titled "快乐TV云播接囗" (one character off)
  /play-notitle/api/...    the page without a title
  /play-down/api/...       the connection is dropped at once

The link arrives unencoded in the query, so "u" is everything between "u=" and the last "&kltvv=": a
link holding "&" or "=" of its own still reaches the page whole. The page shows the raw query and the
link it read (elements #query, #link, #channel) for tests to check.

The clip is made by ffmpeg's own test source on first use and kept in the cache folder; nothing is
downloaded.
"""

import hashlib
import html
import os
import re
import subprocess
import tempfile
import threading

TITLE = "快乐TV云播接口"
BAD_TITLE = "快乐TV云播接囗"
CHANNELS = ("c4", "ck")
MODES = ("badtitle", "notitle", "down")

PLAY_PATH = re.compile(r"^(?:/play-(?P<mode>[a-z]+))?/api/(?P<file>api\.php|sample\.webm)$")

CLIP_COMMAND = [
    "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
    "-f", "lavfi", "-i", "testsrc=duration=5:size=320x180:rate=25",
    "-c:v", "libvpx", "-b:v", "300k", "-an", "-f", "webm",
]


def default_cache_dir():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "lanqi-sample-sites")


class Clip:
    """The test clip, made once per command line and cache folder; later servers reuse the file."""

    def __init__(self, cache_dir):
        self.cache_dir = cache_dir
        digest = hashlib.sha256("\0".join(CLIP_COMMAND).encode()).hexdigest()[:12]
        self.path = os.path.join(cache_dir, "sample-%s.webm" % digest)
        self.lock = threading.Lock()

    def data(self):
        """The clip's bytes, or None when ffmpeg is missing or fails (tried again on the next request)."""
        with self.lock:
            if not os.path.exists(self.path):
                os.makedirs(self.cache_dir, exist_ok=True)
                fd, tmp = tempfile.mkstemp(suffix=".webm", dir=self.cache_dir)
                os.close(fd)
                try:
                    subprocess.run(CLIP_COMMAND + ["-y", tmp], check=True, timeout=120,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                    os.replace(tmp, self.path)  # concurrent servers each write whole files
                except (OSError, subprocess.SubprocessError):
                    if os.path.exists(tmp):
                        os.remove(tmp)
                    return None
            with open(self.path, "rb") as f:
                return f.read()


def split_query(raw):
    """(link, channel) from the raw query "u=<link>&kltvv=<channel>"; None when it has another shape."""
    if not raw.startswith("u="):
        return None
    link, sep, channel = raw[2:].rpartition("&kltvv=")
    if not sep:
        return None
    return link, channel


def page(title, raw_query, link, channel):
    head_title = "<title>%s</title>" % html.escape(title) if title is not None else ""
    return ("""<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
%s
<style>
html, body { margin: 0; height: 100%%; background: #000; color: #9ab; overflow: hidden; font: 12px sans-serif; }
video { display: block; width: 100%%; height: calc(100%% - 20px); background: #000; }
#info { height: 20px; line-height: 20px; padding: 0 6px; white-space: nowrap; overflow: hidden; }
</style>
</head>
<body>
<video id="player" src="sample.webm" autoplay muted loop playsinline controls></video>
<div id="info">通道 <span id="channel">%s</span> · <span id="link">%s</span> · <span id="query">%s</span></div>
</body>
</html>
""" % (head_title, html.escape(channel), html.escape(link), html.escape(raw_query))).encode("utf-8")


def error_page(message):
    return ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>参数错误</title></head>"
            "<body>%s</body></html>" % html.escape(message)).encode("utf-8")


def parse_range(header, size):
    """(first, last) of a single "bytes=" range, None for the whole body, "bad" when unsatisfiable."""
    if not header:
        return None
    m = re.fullmatch(r"bytes=(\d*)-(\d*)", header.strip())
    if not m or (m.group(1) == "" and m.group(2) == ""):
        return None  # not a form we serve: the whole body
    if m.group(1) == "":
        n = int(m.group(2))
        if n == 0:
            return "bad"
        return max(0, size - n), size - 1
    first = int(m.group(1))
    last = int(m.group(2)) if m.group(2) else size - 1
    if first >= size or last < first:
        return "bad"
    return first, min(last, size - 1)


def send_clip(h, data):
    if data is None:
        return h.send_body(404, b"<html><body>no clip: ffmpeg missing</body></html>")
    wanted = parse_range(h.headers.get("Range"), len(data))
    if wanted == "bad":
        return h.send_body(416, b"", "video/webm", [("Content-Range", "bytes */%d" % len(data))])
    if wanted is None:
        return h.send_body(200, data, "video/webm", [("Accept-Ranges", "bytes")])
    first, last = wanted
    h.send_body(206, data[first:last + 1], "video/webm",
                [("Accept-Ranges", "bytes"), ("Content-Range", "bytes %d-%d/%d" % (first, last, len(data)))])


def make_handler(drop_connection, cache_dir):
    clip = Clip(cache_dir)

    def handle(h, parts, query):
        m = PLAY_PATH.match(parts.path)
        mode = m.group("mode") if m else None
        if not m or (mode is not None and mode not in MODES):
            return h.send_body(404, b"<html><body>404 not found</body></html>")
        if mode == "down":
            return drop_connection(h)
        if m.group("file") == "sample.webm":
            return send_clip(h, clip.data())
        request = split_query(parts.query)
        if request is None or request[1] not in CHANNELS:
            return h.send_body(400, error_page("u=<磁力链接>&kltvv=c4|ck"))
        title = {"badtitle": BAD_TITLE, "notitle": None}.get(mode, TITLE)
        h.send_body(200, page(title, parts.query, request[0], request[1]))

    return handle


def routes(drop_connection, cache_dir):
    """Prefix routes for the server: (path prefix, handler(h, parts, query))."""
    handle = make_handler(drop_connection, cache_dir)
    return [("/api/", handle), ("/play-", handle)]
