"""The vendor's web site, as the client sees it at start-up and from its menus.

  /soft/qabrelto/bbxx.txt             the version file (GBK): "岚栖种子搜索神器v1.9", notes, then the download
                                      address as the file's last text
  /soft/qabrelto/qabrelto1.9.html     this version's page (the client visits it and reads nothing back)
  /vendor-new/soft/qabrelto/...       the same under a vendor base that announces version 2.0
  /vendor-stall/...                   accepts the request and answers nothing until the server stops (120 s at most)
  /vendor-TAG/soft/qabrelto/...       the same as without a tag: a tag of its own keeps a test's visits apart
  /, /vendor-TAG/                     the vendor's home page
  /_vendor/visits?prefix=P            the paths requested so far that start with P, one a line, oldest first

So LANQI_VENDOR_BASE=http://127.0.0.1:PORT is a vendor with nothing newer, and .../vendor-new one with 2.0.
"""

import re
import threading
from urllib.parse import urlsplit

NAME = "岚栖种子搜索神器"
STALL_SECONDS = 120
PATH = re.compile(r"^(?P<tag>/vendor-[A-Za-z0-9_.-]+)?(?P<rest>/.*)$")


def version_file(h, tag):
    version = "2.0" if tag.startswith("/vendor-new") else "1.9"
    host = h.headers.get("Host") or "127.0.0.1:%d" % h.server.server_address[1]
    text = ("%sv%s\r\n发布日期：2024-06-18\r\n更新内容：搜索结果更准确，修正了已知问题。\r\n下载地址："
            "http://%s%s/soft/qabrelto/qabrelto%s.zip") % (NAME, version, host, tag, version)
    return text.encode("gbk")


def home_page(title):
    return ("<html><head><meta charset=\"utf-8\"><title>%s</title></head><body><h1>岚栖工作室</h1>"
            "<p>%s</p></body></html>" % (title, NAME)).encode("utf-8")


def record(h, path):
    with h.server.vendor_lock:
        h.server.vendor_visits.append(path)


def vendor_page(h, parts, query):
    match = PATH.match(parts.path)
    if match is None:
        return h.send_body(404, b"<html><body>404 not found</body></html>")
    tag, rest = match.group("tag") or "", match.group("rest")
    record(h, parts.path)
    if tag.startswith("/vendor-stall"):
        h.server.stopping.wait(STALL_SECONDS)
        return
    if rest == "/soft/qabrelto/bbxx.txt":
        return h.send_body(200, version_file(h, tag), "text/plain; charset=gbk")
    if rest == "/soft/qabrelto/qabrelto1.9.html":
        return h.send_body(200, home_page(NAME + "v1.9"))
    if rest == "/":
        return h.send_body(200, home_page("岚栖科技"))
    h.send_body(404, b"<html><body>404 not found</body></html>")


def home(h, query):
    vendor_page(h, urlsplit("/"), query)


def visits(h, query):
    prefix = query.get("prefix", [""])[0]
    with h.server.vendor_lock:
        seen = [p for p in h.server.vendor_visits if p.startswith(prefix)]
    h.send_body(200, "".join(p + "\n" for p in seen).encode("utf-8"), "text/plain; charset=utf-8")


def register(server):
    """Adds the vendor's routes to a sample-sites server."""
    server.vendor_visits = []
    server.vendor_lock = threading.Lock()
    server.routes.update({"/": home, "/_vendor/visits": visits})
    server.prefix_routes += [("/soft/", vendor_page), ("/vendor-", vendor_page)]
