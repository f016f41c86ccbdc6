"""lanqi-search as a screen reader meets it: its windows read over AT-SPI (pyatspi) on the shared X server, with
the accessibility bus of a private D-Bus session. Every control shown must have a name a person understands and
the role of what it is."""

import os
import re
import shutil
import sys
import tempfile
import time
import unittest

SOURCE = os.environ.get("LANQI_SOURCE_DIR", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools"))

import drive_client  # noqa: E402

try:
    import pyatspi
except ImportError:  # the system's python3-pyatspi; scripts/install-deps installs it
    pyatspi = None

SEARCH = os.environ.get("LANQI_SEARCH", "")
# The names the program and its tests use for controls: never what a screen reader should say.
CONTROL_NAME = re.compile(r"^(按钮|标签|图片框|透明标签|超级列表框|组合框|搜索框|分组框|超级按钮|播放浏览框|时钟)\d*$"
                          r"|^(mainWindow|noticeDialog|aboutWindow)$")


def state_value(variable, name):
    with open(os.path.join(os.environ[variable], name)) as f:
        return int(f.read().strip())


def shown_controls(node):
    """(role, name) of every showing descendant of `node`, the rows of lists left out."""
    found = []
    for child in node:
        if child is None or not child.getState().contains(pyatspi.STATE_SHOWING):
            continue
        found.append((child.getRoleName(), child.name))
        if child.getRole() not in (pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_COMBO_BOX):
            found += shown_controls(child)
    return found


@unittest.skipUnless(pyatspi and os.environ.get("LANQI_XVFB_STATE") and os.environ.get("LANQI_SAMPLE_STATE") and SEARCH,
                     "needs pyatspi, the xvfb and sample_sites fixtures and the built client")
class Accessibility(unittest.TestCase):
    def setUp(self):
        base = "http://127.0.0.1:%d" % state_value("LANQI_SAMPLE_STATE", "port")
        env = dict(os.environ, DISPLAY=":%d" % state_value("LANQI_XVFB_STATE", "display"), LANQI_VENDOR_BASE=base,
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        for n in range(1, 7):
            env["LANQI_SITE%d_BASE" % n] = "%s/site%d" % (base, n)
        os.environ["DISPLAY"] = env["DISPLAY"]
        self.env = env
        self.client = drive_client.Client(SEARCH, env=env)
        self.addCleanup(self.client.stop)

    def application(self):
        def find():
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.get_process_id() == self.client.pid and app.childCount > 0:
                    return app
            return None
        return drive_client.wait_for("the client on the accessibility bus", find, 30)

    def window(self, role, title):
        app = self.application()
        return drive_client.wait_for(
            "the %s %s" % (role, title),
            lambda: next((w for w in app if w is not None and w.getRoleName() == role and w.name == title), None), 20)

    def assert_controls(self, window, expected):
        controls = drive_client.wait_for("the controls", lambda: shown_controls(window), 10)
        for role, name in controls:
            self.assertTrue(name.strip(), "a %s without a name in %s" % (role, controls))
            self.assertIsNone(CONTROL_NAME.match(name), "%s %r is a control name" % (role, name))
        for control in expected:
            self.assertIn(control, controls)

    def test_the_notice_and_the_main_window_read_with_names_and_roles(self):
        notice = self.window("dialog", "岚栖种子搜索神器v1.9")
        self.assert_controls(notice, [("push button", "同意使用"), ("push button", "立即退出"),
                                      ("image", "使用须知：请合法使用本软件"), ("panel", "使用须知")])

        self.client.accept_notice()
        main = self.window("frame", "岚栖种子搜索神器v1.9")
        self.assert_controls(main, [("text", "搜索关键词"), ("push button", "岚栖搜索"), ("image", "产品标志"),
                                    ("list", "搜索结果"), ("label", "岚栖种子搜索神器")])

        # After a search the page selector is "页码" with the page as its value, whatever the page.
        title = self.client.search("超能陆战队")
        main = self.window("frame", title)
        self.assert_controls(main, [("combo box", "页码"), ("push button", "下一页")])
        selector = next(c for c in main if c is not None and c.getRoleName() == "combo box")
        self.assertEqual(selector.queryValue().currentValue, 1.0)
        self.assertGreater(selector.queryValue().maximumValue, 1.0)

    def test_a_first_search_with_no_sites_set_up_says_so_and_names_the_settings(self):
        """No settings file and no LANQI_SITE<n>_BASE: the built-in placeholder addresses only."""
        self.client.stop()
        config = tempfile.mkdtemp(prefix="lanqi-first-run-")
        self.addCleanup(shutil.rmtree, config, True)
        env = {k: v for k, v in self.env.items() if not k.startswith("LANQI_SITE")}
        env["XDG_CONFIG_HOME"] = config
        self.client = drive_client.Client(SEARCH, env=env)
        self.addCleanup(self.client.stop)
        self.client.accept_notice()
        self.client.wait_until_opaque()
        self.client.focus(self.client.main_window)
        with drive_client.characters_on_the_keyboard("abc"):
            drive_client.xdotool("type", "--delay", 40, "abc")
        drive_client.xdotool("key", "Return")
        app = self.application()
        box = drive_client.wait_for(
            "the first-run message",
            lambda: next((w for w in app if w is not None and w.name == "尚未设置搜索站点"), None), 20)
        said = " ".join(name for _, name in shown_controls(box))
        self.assertIn("还没有设置搜索站点", said)
        self.assertIn("站点设置", said)
        self.assertNotIn("连接服务器失败", said)
        self.assertEqual(drive_client.window_name(self.client.main_window), "岚栖种子搜索神器v1.9",
                         "nothing was searched: the title is not a search's")
        self.client.answer_box("尚未设置搜索站点", key="Escape")


if __name__ == "__main__":
    unittest.main()
