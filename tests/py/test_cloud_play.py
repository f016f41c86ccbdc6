"""The sample cloud-play service over real HTTP on loopback: the page, its modes, the clip and its ranges."""

import http.client
import os
import re
import shutil
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.environ.get("LANQI_SOURCE_DIR", os.path.join(HERE, "..", "..")),
                                "tools", "sample-sites"))

from server_case import ServerCase  # noqa: E402

LINK = "magnet:?xt=urn:btih:0123456789ABCDEF0123456789ABCDEF01234567"


def title_of(body):
    m = re.search(rb"<title>(.*?)</title>", body)
    return m.group(1).decode("utf-8") if m else None


def element(body, name):
    m = re.search(rb'<span id="%s">(.*?)</span>' % name.encode(), body)
    return m.group(1).decode("utf-8") if m else None


class CloudPlay(ServerCase):
    @classmethod
    def setUpClass(cls):
        cls.cache = cls.cache_dir = tempfile.mkdtemp(prefix="lanqi-cloudplay-")
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.cache, ignore_errors=True)

    def get(self, path, headers=None):
        """(status, headers, body) for a raw request path, sent exactly as given."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        try:
            conn.request("GET", path, headers=headers or {})
            r = conn.getresponse()
            return r.status, dict(r.getheaders()), r.read()
        finally:
            conn.close()

    def test_both_channels_answer_the_page_titled_for_success_with_the_link_read_whole(self):
        for channel in ("c4", "ck"):
            status, headers, body = self.get("/api/api.php?u=%s&kltvv=%s" % (LINK, channel))
            self.assertEqual(status, 200)
            self.assertEqual(headers["Content-Type"], "text/html; charset=utf-8")
            self.assertIn(b'<meta charset="utf-8">', body)
            self.assertEqual(title_of(body), "快乐TV云播接口")
            self.assertEqual(element(body, "channel"), channel)
            self.assertEqual(element(body, "link"), LINK)
            self.assertIn(b'<video id="player" src="sample.webm"', body)

    def test_a_link_with_its_own_ampersands_stays_whole(self):
        status, _, body = self.get("/api/api.php?u=magnet:?xt=urn:btih:AB&dn=x=y&kltvv=ck")
        self.assertEqual(status, 200)
        self.assertEqual(element(body, "link"), "magnet:?xt=urn:btih:AB&amp;dn=x=y")
        self.assertEqual(element(body, "query"), "u=magnet:?xt=urn:btih:AB&amp;dn=x=y&amp;kltvv=ck")

    def test_other_query_shapes_get_another_title(self):
        for query in ("u=%s&kltvv=c5" % LINK, "u=%s" % LINK, "kltvv=c4&u=%s" % LINK, ""):
            status, _, body = self.get("/api/api.php?" + query)
            self.assertEqual(status, 400, query)
            self.assertEqual(title_of(body), "参数错误", query)

    def test_modes_pick_the_outcome_by_path(self):
        _, _, body = self.get("/play-badtitle/api/api.php?u=%s&kltvv=c4" % LINK)
        self.assertEqual(title_of(body), "快乐TV云播接囗")
        _, _, body = self.get("/play-notitle/api/api.php?u=%s&kltvv=c4" % LINK)
        self.assertIsNone(title_of(body))
        self.assertEqual(element(body, "link"), LINK)
        with self.assertRaises((ConnectionError, http.client.HTTPException)):
            self.get("/play-down/api/api.php?u=%s&kltvv=c4" % LINK)
        self.assertEqual(self.get("/play-unknown/api/api.php?u=%s&kltvv=c4" % LINK)[0], 404)

    @unittest.skipUnless(shutil.which("ffmpeg"), "needs ffmpeg")
    def test_the_clip_is_webm_made_once_and_served_in_ranges(self):
        status, headers, whole = self.get("/api/sample.webm")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Content-Type"], "video/webm")
        self.assertEqual(headers["Accept-Ranges"], "bytes")
        self.assertEqual(whole[:4], b"\x1a\x45\xdf\xa3")  # EBML header
        self.assertGreater(len(whole), 10000)
        self.assertEqual(len(os.listdir(self.cache)), 1)
        self.assertEqual(self.get("/play-badtitle/api/sample.webm")[2], whole)

        n = len(whole)
        for asked, first, last in (("bytes=0-", 0, n - 1), ("bytes=100-199", 100, 199), ("bytes=-50", n - 50, n - 1),
                                   ("bytes=%d-%d" % (n - 10, n + 500), n - 10, n - 1)):
            status, headers, body = self.get("/api/sample.webm", {"Range": asked})
            self.assertEqual(status, 206, asked)
            self.assertEqual(headers["Content-Range"], "bytes %d-%d/%d" % (first, last, n), asked)
            self.assertEqual(body, whole[first:last + 1], asked)
        status, headers, _ = self.get("/api/sample.webm", {"Range": "bytes=%d-" % n})
        self.assertEqual(status, 416)
        self.assertEqual(headers["Content-Range"], "bytes */%d" % n)


if __name__ == "__main__":
    unittest.main()
