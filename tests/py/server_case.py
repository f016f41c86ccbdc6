"""A test case with the sample-sites server running in this process on a free loopback port."""

import os
import sys
import threading
import unittest
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.environ.get("LANQI_SOURCE_DIR", os.path.join(HERE, "..", "..")),
                                "tools", "sample-sites"))

import server  # noqa: E402


class ServerCase(unittest.TestCase):
    cache_dir = None  # the cloud-play clip's folder; None: the server's default

    @classmethod
    def setUpClass(cls):
        cls.server = server.Server(0, cls.cache_dir) if cls.cache_dir else server.Server(0)
        cls.port = cls.server.server_address[1]
        cls.host = "127.0.0.1:%d" % cls.port
        cls.base = "http://" + cls.host
        cls.thread = threading.Thread(target=cls.server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)
        cls.thread.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stopping.set()
        cls.server.shutdown()
        cls.server.server_close()

    def get(self, path, timeout=10):
        """(status, body) of a GET of `path` on the server."""
        try:
            with urllib.request.urlopen(self.base + path, timeout=timeout) as r:
                return r.status, r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.read()
