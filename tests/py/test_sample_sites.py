"""The six sample sites over real HTTP on loopback: request shapes, layouts, determinism and modes."""

import http.client
import os
import re
import socket
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.environ.get("LANQI_SOURCE_DIR", os.path.join(HERE, "..", "..")),
                                "tools", "sample-sites"))

import server  # noqa: E402
from server_case import ServerCase  # noqa: E402

PAGE_MARKERS = {1: "手撕包菜", 2: "爱磁力", 3: "种子搜索站", 4: "BT种子磁力链接搜索引擎", 5: "磁力链", 6: "磁力链接搜索引擎"}
ANCHORS = {1: "ctime", 2: "/info/", 3: "Hash：", 4: "/hash/", 5: "/hash/", 6: "/t/"}


def site_path(site, keyword_pct, page):
    """The request path the client builds for a site (its catalogue entry)."""
    return {
        1: "/search/%s/?c=&s=create_time&p=%s",
        2: "/list/%s/%s",
        3: "/s/%s/%s.htm",
        4: "/list/%s/%s.html",
        5: "/search/%s/%s-1.html",
        6: "/search?keyword=%s&p=%s",
    }[site] % (keyword_pct, page)


def pct(text):
    return "".join("%%%02X" % b for b in text.encode("utf-8"))


class SampleSites(ServerCase):

    def expect(self, mode_site, path):
        status, body = self.get("/_expect/" + mode_site + path)
        self.assertEqual(status, 200)
        return dict(line.split("=", 1) for line in body.decode("utf-8").splitlines())

    def test_every_site_answers_its_own_request_shape_with_its_markers(self):
        for site in range(1, 7):
            with self.subTest(site=site):
                path = site_path(site, pct("超能"), 2)
                status, body = self.get("/site%d%s" % (site, path))
                self.assertEqual(status, 200)
                text = body.decode("utf-8")
                self.assertIn(PAGE_MARKERS[site], text)
                self.assertIn("<title>超能 - ", text)
                expected = self.expect("site%d" % site, path)
                n = int(expected["items"])
                self.assertTrue(10 <= n <= 25, n)
                self.assertEqual(text.count(ANCHORS[site]), n)
                for i in range(1, n + 1):
                    self.assertIn(expected["hash%d" % i], text)

    def test_pages_are_deterministic_and_differ_by_keyword_and_page(self):
        for site in range(1, 7):
            with self.subTest(site=site):
                a = self.get("/site%d%s" % (site, site_path(site, pct("abc"), 1)))[1]
                self.assertEqual(a, self.get("/site%d%s" % (site, site_path(site, pct("abc"), 1)))[1])
                self.assertNotEqual(a, self.get("/site%d%s" % (site, site_path(site, pct("abc"), 2)))[1])
                self.assertNotEqual(a, self.get("/site%d%s" % (site, site_path(site, pct("abd"), 1)))[1])

    def test_totals_are_printed_in_each_sites_own_form(self):
        path = {n: site_path(n, pct("Big Hero"), 1) for n in range(1, 7)}
        totals = {n: int(self.expect("site%d" % n, path[n])["total"]) for n in range(1, 7)}
        self.assertEqual((totals[2], totals[4]), (0, 0))
        pages = {n: self.get("/site%d%s" % (n, path[n]))[1].decode("utf-8") for n in (1, 3, 5, 6)}
        self.assertIn(">共找到 %d 条关于 " % totals[1], pages[1])
        self.assertIn("大约有 <b>{:,}</b>".format(totals[3]), pages[3])
        self.assertIn(",", "{:,}".format(totals[3]))
        self.assertIn("<span>大约 %d 条结果，" % totals[5], pages[5])
        self.assertIn(">共找到 %d 条结果," % totals[6], pages[6])

    def test_titles_cover_every_extension_class_and_the_highlight_tags(self):
        titles = []
        for page in (1, 2, 3):
            e = self.expect("site4", site_path(4, pct("超能"), page))
            titles += [v for k, v in e.items() if k.startswith("title")]
        extensions = [t.rsplit(".", 1)[1] if "." in t else None for t in titles]
        self.assertTrue({"rar", "zip", "7z", "iso", "RAR", "ZIP", "7Z", "ISO", "tar"} & set(extensions))
        self.assertTrue({"mkv", "mp4", "MKV", "MP4", "avi", "rmvb", "RMVB"} & set(extensions))
        self.assertTrue({"Mkv", "Rar", "Mp4", "Zip", "Avi"} & set(extensions))
        self.assertIn(None, extensions)
        self.assertTrue(any(re.search("[a-zA-Z]{5}", t) for t in titles))
        page = self.get("/site4" + site_path(4, pct("超能"), 1))[1].decode("utf-8")
        self.assertIn('<span class="mhl">超能</span>', page)
        page3 = self.get("/site3" + site_path(3, pct("超能"), 1))[1].decode("utf-8")
        self.assertIn('_blank">Details for torrent: ', page3)
        self.assertIn("<em>超能</em>", page3)

    def test_file_lists_with_and_without_entries(self):
        page = self.get("/site5" + site_path(5, pct("abc"), 1))[1].decode("utf-8")
        self.assertIn("<ul></ul>", page)
        self.assertRegex(page, r'<ul><li>[^<]+ <span class="cpill yellow-pill">\d+\.\d\d [KMG]B</span></li>')
        page = self.get("/site6" + site_path(6, pct("a b"), 1))[1].decode("utf-8")
        self.assertRegex(page, r"&dn=[^\">]*\+")

    def test_items_mode_gives_that_many_items(self):
        status, body = self.get("/site2-items60" + site_path(2, pct("abc"), 1))
        self.assertEqual(status, 200)
        self.assertEqual(body.decode("utf-8").count("/info/"), 60)

    def test_hash_mode_gives_the_first_item_that_hash_and_leaves_the_rest(self):
        chosen = "0123456789abcdef0123456789abcdef01234567"
        for site in range(1, 7):
            with self.subTest(site=site):
                path = site_path(site, pct("abc"), 1)
                plain = self.expect("site%d" % site, path)
                given = self.expect("site%d-hash%s" % (site, chosen), path)
                self.assertEqual(given["hash1"].lower(), chosen)
                self.assertEqual({k: v for k, v in given.items() if k != "hash1"},
                                 {k: v for k, v in plain.items() if k != "hash1"})
                text = self.get("/site%d-hash%s%s" % (site, chosen, path))[1].decode("utf-8")
                self.assertIn(given["hash1"], text)
        self.assertEqual(self.get("/site1-hash0123" + site_path(1, pct("abc"), 1))[0], 404, "not 40 digits")

    def test_empty_mode_keeps_the_page_marker_without_items(self):
        for site in range(1, 7):
            with self.subTest(site=site):
                status, body = self.get("/site%d-empty%s" % (site, site_path(site, pct("abc"), 1)))
                text = body.decode("utf-8")
                self.assertEqual(status, 200)
                self.assertIn(PAGE_MARKERS[site], text)
                self.assertNotIn(ANCHORS[site], text)

    def test_error_mode_and_unknown_shapes_give_a_page_without_markers(self):
        for path in ("/site3-error" + site_path(3, "abc", 1), "/site3/list/abc/1", "/site9/x", "/site1-bogus/x"):
            with self.subTest(path=path):
                status, body = self.get(path)
                self.assertEqual(status, 404)
                for marker in PAGE_MARKERS.values():
                    self.assertNotIn(marker, body.decode("utf-8"))

    def test_down_mode_closes_without_an_answer(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=5)
        conn.request("GET", "/site1-down" + site_path(1, "abc", 1))
        with self.assertRaises((ConnectionError, http.client.HTTPException)):
            conn.getresponse().read()
        conn.close()

    def test_stall_mode_sends_headers_then_nothing(self):
        sock = socket.create_connection(self.server.server_address, timeout=5)
        sock.sendall(("GET /site6-stall%s HTTP/1.0\r\n\r\n" % site_path(6, "abc", 1)).encode())
        received = b""
        while b"\r\n\r\n" not in received:
            received += sock.recv(4096)
        self.assertTrue(received.startswith(b"HTTP/1.0 200"))
        sock.settimeout(0.5)
        with self.assertRaises(socket.timeout):
            sock.recv(4096)
        sock.close()

    def test_slow_mode_answers_after_the_delay(self):
        started = time.monotonic()
        status, body = self.get("/site3-slow300" + site_path(3, "abc", 1))
        self.assertGreaterEqual(time.monotonic() - started, 0.3)
        self.assertEqual(status, 200)
        self.assertEqual(body, self.get("/site3" + site_path(3, "abc", 1))[1])

    def test_test_routes_still_answer(self):
        status, body = self.get("/_test/echo")
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b"GET /_test/echo HTTP/1."))
        self.assertEqual(self.get("/_test/status/404")[0], 404)


if __name__ == "__main__":
    unittest.main()
