"""The sample server's vendor site over real HTTP on loopback: version files, version page, visit log."""

import os
import sys
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.environ.get("LANQI_SOURCE_DIR", os.path.join(HERE, "..", "..")),
                                "tools", "sample-sites"))

from server_case import ServerCase  # noqa: E402

MARKER = "岚栖种子搜索神器v"


class VendorSite(ServerCase):

    def test_version_file_names_this_version_in_gbk_and_ends_with_its_download_address(self):
        status, body = self.get("/soft/qabrelto/bbxx.txt")
        self.assertEqual(status, 200)
        text = body.decode("gbk")
        self.assertTrue(text.startswith(MARKER + "1.9\r\n"), text)
        self.assertTrue(text.endswith("下载地址：http://%s/soft/qabrelto/qabrelto1.9.zip" % self.host), text)
        self.assertEqual(text.count("http://"), 1)
        self.assertNotIn(b"\0", body)

    def test_vendor_new_announces_two_point_zero_under_its_own_prefix(self):
        status, body = self.get("/vendor-new/soft/qabrelto/bbxx.txt")
        self.assertEqual(status, 200)
        text = body.decode("gbk")
        self.assertEqual(text[text.index(MARKER) + len(MARKER):][:3], "2.0")
        self.assertTrue(text.endswith("http://%s/vendor-new/soft/qabrelto/qabrelto2.0.zip" % self.host), text)
        status, body = self.get("/vendor-other/soft/qabrelto/bbxx.txt")  # any other tag: nothing newer
        self.assertIn((MARKER + "1.9").encode("gbk"), body)

    def test_version_page_and_home_page_answer_and_every_request_is_logged(self):
        for path in ("/vendor-log1/soft/qabrelto/qabrelto1.9.html", "/vendor-log1/", "/vendor-log1/soft/qabrelto/bbxx.txt"):
            status, body = self.get(path)
            self.assertEqual(status, 200, path)
        self.assertIn("岚栖工作室", self.get("/")[1].decode("utf-8"))
        self.assertEqual(self.get("/vendor-log1/soft/qabrelto/qabrelto2.0.html")[0], 404)
        status, body = self.get("/_vendor/visits?prefix=/vendor-log1/")
        self.assertEqual(body.decode("utf-8").splitlines(),
                         ["/vendor-log1/soft/qabrelto/qabrelto1.9.html", "/vendor-log1/",
                          "/vendor-log1/soft/qabrelto/bbxx.txt", "/vendor-log1/soft/qabrelto/qabrelto2.0.html"])

    def test_a_stalling_vendor_answers_nothing(self):
        with self.assertRaises(OSError):  # socket.timeout is an OSError
            urllib.request.urlopen("http://%s/vendor-stall/soft/qabrelto/bbxx.txt" % self.host, timeout=0.5)

    def test_the_sites_still_answer_beside_the_vendor(self):
        status, body = self.get("/site2/list/abc/1")
        self.assertEqual(status, 200)
        self.assertIn("爱磁力", body.decode("utf-8"))


if __name__ == "__main__":
    unittest.main()
