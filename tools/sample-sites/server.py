#!/usr/bin/env python3
"""Local HTTP server for tests, benchmarks and the demo. Listens on 127.0.0.1 only and stops by itself.

Six sample result sites under /site1 .. /site6, each in its own layout, with modes that make a site
fail in a chosen way (down, empty, error, stall, slow<MS>, items<K>); see sites.py for the addresses.
The cloud-play service under /api/ and /play-<mode>/api/; see cloudplay.py.

The vendor's site (version file, version page, home page): see vendor.py.

Test routes (under /_test/):
  echo            body = the request line and the header lines exactly as received
  status/<code>   answers <code> with a small HTML body
  redirect?to=P   302 to P (a path on this server)
  stall           sends the status line and headers, then nothing until the server stops
  stall-head      accepts the connection and sends nothing at all
  trickle?every=MS&n=N       headers announcing N bytes, then one body byte every MS ms
  slow-headers?every=MS&n=N  the status line, then N header lines MS ms apart, then a 2-byte body "ok"
  broken?n=N      announces 100000 bytes, sends N of them, then drops the connection
  large?bytes=N   N bytes of a repeating pattern, with Content-Length
  huge?bytes=N    announces N bytes (up to 64 GiB) and streams the pattern as fast as it can until the client
                  leaves, N bytes are sent, or HUGE_SECONDS pass
"""

import argparse
import os
import re
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

import cloudplay
import layouts
import sites
import vendor

MAX_LARGE = 256 * 1024 * 1024
MAX_HUGE = 64 * 1024 * 1024 * 1024
HUGE_SECONDS = 60
STALL_SECONDS = 120
PATTERN = bytes(range(32, 127)) * 64


class Handler(BaseHTTPRequestHandler):
    server_version = "lanqi-sample"
    sys_version = ""

    def log_message(self, fmt, *args):  # quiet: tests read their own output
        pass

    def send_body(self, code, body, content_type="text/html; charset=utf-8", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = urlsplit(self.path)
        query = parse_qs(parts.query)
        path = parts.path
        route = self.server.routes.get(path)
        if route is not None:
            return route(self, query)
        if path.startswith("/_test/status/"):
            code = int(path.rsplit("/", 1)[1] or "404")
            body = ("<html><body><h1>%d</h1>not here</body></html>" % code).encode()
            return self.send_body(code, body)
        for prefix, handler in self.server.prefix_routes:
            if path.startswith(prefix):
                return handler(self, parts, query)
        self.send_body(404, b"<html><body>404 not found</body></html>")


def echo(h, query):
    lines = [h.requestline] + ["%s: %s" % (k, v) for k, v in h.headers.items()]
    h.send_body(200, ("\r\n".join(lines) + "\r\n").encode("latin-1"), "text/plain")


def redirect(h, query):
    target = query.get("to", ["/_test/echo"])[0]
    h.send_response(302)
    h.send_header("Location", target)
    h.send_header("Content-Length", "0")
    h.end_headers()


def wait_until_stopped(h):
    deadline = time.monotonic() + STALL_SECONDS
    while time.monotonic() < deadline and not h.server.stopping.is_set():
        time.sleep(0.05)


def stall(h, query):
    h.send_response(200)
    h.send_header("Content-Type", "text/html")
    h.send_header("Content-Length", "1000")
    h.end_headers()
    h.wfile.flush()
    wait_until_stopped(h)


def stall_head(h, query):
    wait_until_stopped(h)


def paced(h, query, send_one):
    """Calls send_one(i) for i in 0..n-1, `every` ms apart, until the server stops or the client leaves."""
    every = min(int(query.get("every", ["900"])[0]), 10000) / 1000.0
    n = min(int(query.get("n", ["1000"])[0]), 100000)
    try:
        for i in range(n):
            if h.server.stopping.is_set():
                return False
            send_one(i)
            h.wfile.flush()
            time.sleep(every)
    except (BrokenPipeError, ConnectionResetError):
        return False
    return True


def trickle(h, query):
    h.send_response(200)
    h.send_header("Content-Type", "text/plain")
    h.send_header("Content-Length", query.get("n", ["1000"])[0])
    h.end_headers()
    paced(h, query, lambda i: h.wfile.write(b"t"))


def slow_headers(h, query):
    h.wfile.write(b"HTTP/1.0 200 OK\r\n")
    if paced(h, query, lambda i: h.wfile.write(b"X-Slow-%d: 1\r\n" % i)):
        h.wfile.write(b"Content-Length: 2\r\n\r\nok")


def drop_connection(h):
    """An abortive close (RST), so the client sees a broken connection rather than a clean end."""
    h.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    h.connection.close()
    h.close_connection = True


SITE_PATH = re.compile(r"^/(?P<expect>_expect/)?site(?P<n>[1-6])(?P<modes>(?:-[a-z0-9]+)*)(?P<rest>/.*)?$")


def site_page(h, parts, query):
    """A result page of a sample site, or with /_expect/ in front, what that page holds."""
    match = SITE_PATH.match(parts.path)
    modes = sites.parse_modes(match.group("modes")) if match else None
    if modes is None:
        return h.send_body(404, layouts.error_page())
    site = int(match.group("n"))
    request = sites.parse_request(site, match.group("rest") or "", parts.query)
    failing = any(modes.get(m) for m in ("down", "error", "stall"))
    if match.group("expect"):
        if request is None:
            return h.send_body(404, layouts.error_page())
        body = sites.expectation(site, request[0], request[1], modes.get("items"), failing or modes.get("empty"),
                                 modes.get("hash"))
        return h.send_body(200, body, "text/plain; charset=utf-8")
    if modes.get("down"):
        return drop_connection(h)
    if modes.get("stall"):
        return stall(h, query)
    if modes.get("error") or request is None:
        return h.send_body(404, layouts.error_page())
    if modes.get("slow"):
        h.server.stopping.wait(modes["slow"] / 1000.0)
    h.send_body(200, sites.page(site, request[0], request[1], modes.get("items"), bool(modes.get("empty")),
                                modes.get("hash")))


def broken(h, query):
    n = int(query.get("n", ["1000"])[0])
    h.send_response(200)
    h.send_header("Content-Type", "text/plain")
    h.send_header("Content-Length", "100000")
    h.end_headers()
    h.wfile.write(PATTERN[:n] if n <= len(PATTERN) else (PATTERN * (n // len(PATTERN) + 1))[:n])
    h.wfile.flush()
    # The bytes reach the client before the reset does: a reset that arrives first makes the client's
    # system drop the bytes it has not read yet, and the test would see a race, not the client.
    time.sleep(0.3)
    drop_connection(h)


def stream_pattern(h, n, keep_going=lambda: True):
    """Announces n bytes of the pattern and sends them, while keep_going() answers true."""
    h.send_response(200)
    h.send_header("Content-Type", "application/octet-stream")
    h.send_header("Content-Length", str(n))
    h.end_headers()
    chunk = PATTERN * 16
    sent = 0
    try:
        while sent < n and keep_going():
            part = chunk[: min(len(chunk), n - sent)]
            h.wfile.write(part)
            sent += len(part)
    except (BrokenPipeError, ConnectionResetError):
        pass


def large(h, query):
    stream_pattern(h, min(int(query.get("bytes", ["1048576"])[0]), MAX_LARGE))


def huge(h, query):
    deadline = time.monotonic() + HUGE_SECONDS
    stream_pattern(h, min(int(query.get("bytes", [str(1024 ** 3)])[0]), MAX_HUGE),
                   lambda: time.monotonic() < deadline and not h.server.stopping.is_set())
    h.close_connection = True


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, cache_dir=None):
        super().__init__(("127.0.0.1", port), Handler)
        self.stopping = threading.Event()
        self.routes = {
            "/_test/echo": echo,
            "/_test/redirect": redirect,
            "/_test/stall": stall,
            "/_test/stall-head": stall_head,
            "/_test/trickle": trickle,
            "/_test/slow-headers": slow_headers,
            "/_test/broken": broken,
            "/_test/large": large,
            "/_test/huge": huge,
        }
        self.prefix_routes = [("/site", site_page), ("/_expect/site", site_page)]
        self.prefix_routes += cloudplay.routes(drop_connection, cache_dir or cloudplay.default_cache_dir())
        vendor.register(self)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free port)")
    ap.add_argument("--port-file", help="write the chosen port here once listening")
    ap.add_argument("--lifetime", type=float, default=1800, help="seconds until the server stops by itself")
    ap.add_argument("--cache-dir", help="where the cloud-play test clip is kept (default: the user's cache)")
    args = ap.parse_args(argv)

    server = Server(args.port, args.cache_dir)
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    else:
        print(port, flush=True)

    def stop_later():
        server.stopping.wait(args.lifetime)
        server.stopping.set()
        server.shutdown()

    threading.Thread(target=stop_later, daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping.set()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
