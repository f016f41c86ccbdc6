"""lanqi-cli against the sample sites over real HTTP on loopback."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest
import urllib.parse
import urllib.request

BUILD = os.environ.get("LANQI_BUILD_DIR", "../../build/default")
CLI = os.path.join(BUILD, "src", "app", "cli", "lanqi-cli")
STATE = os.environ.get("LANQI_SAMPLE_STATE", "")
PREFIX = "岚栖种子搜索神器v1.9"
SOURCE = os.environ.get("LANQI_SOURCE_DIR", "../..")
FIXTURES = os.path.join(SOURCE, "tests", "fixtures", "scrape")
SITES = os.path.join(SOURCE, "sites")


def server_base():
    with open(os.path.join(STATE, "port")) as f:
        return "http://127.0.0.1:%d" % int(f.read())


EMPTY_CONFIG = tempfile.mkdtemp(prefix="lanqi-no-config-")  # no settings file: the built-in values


def run_cli(args, modes=None, config=EMPTY_CONFIG, variables=True):
    """lanqi-cli with the six sites pointed at the sample server (by environment variables unless told not to)
    and XDG_CONFIG_HOME at `config`."""
    base = server_base()
    env = {k: v for k, v in os.environ.items() if not k.startswith("LANQI_SITE")}
    env["XDG_CONFIG_HOME"] = config
    for n in range(1, 7):
        if variables:
            env["LANQI_SITE%d_BASE" % n] = "%s/site%d%s" % (base, n, (modes or {}).get(n, ""))
    proc = subprocess.run([CLI] + args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return proc


def events(proc):
    return [json.loads(line) for line in proc.stdout.decode("utf-8").splitlines()]


def expectation(url):
    """What the sample site at this request address holds (its /_expect/ twin)."""
    parts = urllib.parse.urlsplit(url)
    expect_url = "%s://%s/_expect%s" % (parts.scheme, parts.netloc, parts.path + ("?" + parts.query if parts.query else ""))
    with urllib.request.urlopen(expect_url, timeout=10) as answer:
        lines = answer.read().decode("utf-8").splitlines()
    return dict(line.split("=", 1) for line in lines if "=" in line)


@unittest.skipUnless(STATE and os.path.exists(CLI), "needs the sample-sites fixture and lanqi-cli")
class CliEndToEnd(unittest.TestCase):
    def test_with_no_site_set_up_nothing_is_asked_and_the_user_is_told_where_to_set_them(self):
        """No settings file and no LANQI_SITE<n>_BASE: every slot holds its placeholder address."""
        proc = run_cli(["--json", "abc"], variables=False)
        self.assertEqual(proc.returncode, 5, proc.stderr)
        self.assertEqual(proc.stdout, b"", "not one request")
        said = proc.stderr.decode("utf-8")
        self.assertIn("no search site is set up yet", said)
        self.assertIn(os.path.join(EMPTY_CONFIG, "lanqi-search", "config.toml"), said)
        self.assertIn('"lanqi-cli sites"', said)
        self.assertNotIn("连接服务器失败", said)
        # One real address is enough: the search runs (the placeholders fail as pages that did not arrive).
        config = tempfile.mkdtemp(prefix="lanqi-one-site-")
        self.addCleanup(shutil.rmtree, config, True)
        os.makedirs(os.path.join(config, "lanqi-search"))
        with open(os.path.join(config, "lanqi-search", "config.toml"), "w") as f:
            f.write('[site2]\nbase = "%s/site2"\n' % server_base())
        proc = run_cli(["--json", "abc"], config=config, variables=False)
        self.assertEqual(proc.returncode, 4, proc.stderr)
        self.assertTrue(any(e["event"] == "row" and e["site"] == 2 for e in events(proc)))

    def test_search_shows_every_site_in_catalogue_order_with_the_announced_totals(self):
        proc = run_cli(["--json", "abc"])
        self.assertEqual(proc.returncode, 0, proc.stderr)
        evs = events(proc)
        requests = [e for e in evs if e["event"] == "request"]
        self.assertEqual([r["site"] for r in requests], [1, 2, 3, 4, 5, 6])
        self.assertTrue(requests[0]["url"].endswith("/site1/search/%61%62%63/?c=&s=create_time&p=1"))
        self.assertTrue(requests[5]["url"].endswith("/site6/search?keyword=%61%62%63&p=1"))

        rows = [e for e in evs if e["event"] == "row"]
        done = evs[-1]
        self.assertEqual(done["event"], "done")
        expected_rows, total = [], 0
        for r in requests:
            exp = expectation(r["url"])
            if r["site"] in (1, 3, 5, 6):
                total += int(exp["total"])
            for i in range(1, int(exp["items"]) + 1):
                expected_rows.append((r["site"], exp["title%d" % i], exp["hash%d" % i]))
        self.assertEqual(len(rows), len(expected_rows))
        for row, (site, title, hsh) in zip(rows, expected_rows):
            self.assertEqual(row["title"], title)
            self.assertEqual(row["magnetLink"], "magnet:?xt=urn:btih:" + hsh)
            self.assertTrue(row["detailText"].startswith("文件名：\r\n" + row["title"]))
            self.assertTrue(row["detailText"].endswith("\r\n\r\n文件分类：%d" % site))
        self.assertEqual([e["row"] for e in rows], list(range(len(rows))))

        pages = total // 60 + (1 if total % 60 else 0)
        self.assertEqual(done["pageCount"], pages)
        self.assertEqual(done["resultCount"], total + 20 * pages)
        self.assertEqual(done["title"], "%s --- 搜索完成，共%d页，%d个结果 - 第1页 " % (PREFIX, pages, total + 20 * pages))
        self.assertEqual(done["pageItems"], [str(i) for i in range(1, min(pages, 10000) + 1)])
        self.assertEqual(done["selectedItem"], 0)
        self.assertEqual(done["layout"], "results")
        self.assertFalse(done["prevVisible"])
        self.assertTrue(done["pagingVisible"])
        self.assertEqual(done["nextCaption"], "下一页")
        self.assertEqual(sum(s["rows"] for s in done["sites"]), len(rows))
        self.assertTrue(all(s["bytes"] > 0 for s in done["sites"]))

    def test_paging_commands_run_further_searches(self):
        proc = run_cli(["--json", "abc", "next", "next", "prev", "page", "4"])
        self.assertEqual(proc.returncode, 0, proc.stderr)
        evs = events(proc)
        dones = [e for e in evs if e["event"] == "done"]
        self.assertEqual([d["currentPage"] for d in dones], ["1", "2", "3", "2", "4"])
        self.assertEqual([d["selectedItem"] for d in dones], [0, 1, 2, 1, 3])
        self.assertEqual([d["prevVisible"] for d in dones], [False, True, True, True, True])
        pages = [r["url"].rsplit("=", 1)[1] for r in evs if r["event"] == "request" and r["site"] == 6]
        self.assertEqual(pages, ["1", "2", "3", "2", "4"])

    def test_chinese_keyword_is_sent_as_utf8_percent_bytes(self):
        proc = run_cli(["--json", "超能陆战队"])
        self.assertEqual(proc.returncode, 0, proc.stderr)
        first = events(proc)[0]
        self.assertTrue(first["url"].endswith("/search/%E8%B6%85%E8%83%BD%E9%99%86%E6%88%98%E9%98%9F/?c=&s=create_time&p=1"))
        self.assertIn("超能陆战队", [e for e in events(proc) if e["event"] == "row"][0]["title"])

    def test_some_sites_down_still_completes(self):
        proc = run_cli(["--json", "abc"], {2: "-down", 4: "-error"})
        self.assertEqual(proc.returncode, 4, proc.stderr)  # site 2 sent no page; site 4's error page is a page
        evs = events(proc)
        done = evs[-1]
        self.assertEqual(done["skippedSites"], "24")
        self.assertEqual(done["title"][-3:], " 24")
        self.assertEqual([s["rows"] for s in done["sites"]][1], 0)
        self.assertEqual([s["bytes"] for s in done["sites"]][1], 0)
        self.assertNotIn("message", [e["event"] for e in evs])

    def test_all_sites_down_reports_the_connection_failure(self):
        proc = run_cli(["--json", "abc"], {n: "-down" for n in range(1, 7)})
        self.assertEqual(proc.returncode, 2)
        evs = events(proc)
        self.assertEqual(evs[-2], {"event": "message", "caption": "网络错误", "icon": "error",
                                   "text": "连接服务器失败：请检查网络连接。如果您的网络正常，则有可能我们的服务器正在维护中，请稍后重试。"})
        done = evs[-1]
        self.assertEqual(done["title"], PREFIX + " --- 连接服务器失败")
        self.assertEqual(done["currentPage"], "0")
        self.assertEqual(done["layout"], "home")
        self.assertEqual(done["unreachableSites"], "123456")
        self.assertFalse(done["pagingVisible"])

    def test_no_items_anywhere_reports_no_result(self):
        proc = run_cli(["--json", "abc"], {n: "-empty" for n in range(1, 7)})
        self.assertEqual(proc.returncode, 3)
        evs = events(proc)
        self.assertEqual(evs[-2], {"event": "message", "caption": "搜索失败", "icon": "information",
                                   "text": "未搜索到结果：请换个关键词重试。"})
        self.assertEqual(evs[-1]["title"], PREFIX + " --- 未搜索到结果")
        self.assertEqual(evs[-1]["emptySites"], "123456")

    def test_table_output_lists_rows_and_the_title(self):
        proc = run_cli(["abc"], {n: "-items3" for n in range(1, 7)})
        self.assertEqual(proc.returncode, 0, proc.stderr)
        lines = proc.stdout.decode("utf-8").splitlines()
        self.assertEqual(len(lines), 19)
        self.assertTrue(lines[0].startswith("   0  "))
        self.assertIn("magnet:?xt=urn:btih:", lines[0])
        self.assertTrue(lines[-1].startswith(PREFIX + " --- 搜索完成"))

    def test_page_text_cannot_reach_the_terminal_as_control_bytes(self):
        # The keyword comes back in the titles: a page title that retitles the terminal and rings its bell.
        proc = run_cli(["\x1b]0;pwned\x07\x7f2J"], {n: "-items1" for n in range(1, 7)})
        self.assertEqual(proc.returncode, 0, proc.stderr)
        table = proc.stdout.decode("utf-8")
        self.assertIn("\ufffd]0;pwned\ufffd\ufffd2J", table)
        self.assertFalse(any(ord(c) < 0x20 and c != "\n" or 0x7F <= ord(c) <= 0x9F for c in table), ascii(table))
        # JSON carries the title as it is.
        row = [e for e in events(run_cli(["--json", "\x1b]0;pwned\x07"], {n: "-items1" for n in range(1, 7)}))
               if e["event"] == "row"][0]
        self.assertIn("\x1b]0;pwned\x07", row["title"])

    def test_a_keyword_gbk_cannot_hold_is_refused_before_any_request(self):
        proc = run_cli(["--json", "Ørsted 방탄소년단"])
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(proc.stdout, b"")
        self.assertIn(b"cannot be searched", proc.stderr)

    def test_arguments_and_exit_codes(self):
        down = {n: "-down" for n in range(1, 7)}
        small = {n: "-items1" for n in range(1, 7)}
        # args, site modes, exit code, what stdout holds (None: nothing), what stderr holds (None: nothing)
        cases = [
            (["--help"], {}, 0, "Exit codes:", None),
            (["-h"], {}, 0, "Usage: lanqi-cli", None),
            (["--version"], {}, 0, "lanqi-cli 1.9\n", None),
            (["abc", "--json"], small, 0, '{"event":"request","site":1,', None),  # options anywhere
            (["--", "--json"], small, 0, PREFIX + " --- 搜索完成", None),  # "--" ends the options
            ([], {}, 1, None, "required"),
            (["--json"], {}, 1, None, "required"),
            (["--bogus", "超能"], {}, 1, None, "--bogus"),
            (["abc", "prev"], {}, 1, None, "no page before page 1"),  # checked before any request
            (["abc", "next", "prev", "prev"], {}, 1, None, "command 3"),
            (["abc", "bogus"], {}, 1, None, "unknown command: bogus"),
            (["abc", "page"], {}, 1, None, "page takes a page number"),
            (["abc", "page", "0"], {}, 1, None, "page takes a page number"),
            (["abc", "page", "x"], {}, 1, None, "page takes a page number"),
            (["abc", "page", "99999"], small, 1, PREFIX + " --- 搜索完成", "no item 99999"),  # known after page 1
            (["abc"], small, 0, PREFIX + " --- 搜索完成", None),
            (["abc"], {**small, 3: "-down"}, 4, PREFIX + " --- 搜索完成", "no page arrived from site 3"),
            (["abc"], down, 2, PREFIX + " --- 连接服务器失败", "网络错误"),
            (["abc", "next"], down, 2, PREFIX + " --- 连接服务器失败", "remaining commands were not run"),
            (["abc"], {n: "-empty" for n in range(1, 7)}, 3, PREFIX + " --- 未搜索到结果", "搜索失败"),
            (["check-site", "site1", FIXTURES + "/site1.html"], {}, 0, "site1: scraped, total 61, 5 rows", None),
            (["check-site", "site2", FIXTURES + "/site1.html"], {}, 2, "site2: not-recognised", None),
            (["check-site", "site7", FIXTURES + "/site1.html"], {}, 1, None, "unknown site definition: site7"),
            (["check-site", "site1"], {}, 1, None, "PAGE_FILE"),
            (["--filter", "big kind:film", "abc"], {}, 1, None, 'bad filter term "kind:film"'),
            (["--filter", "size>1Q -", "abc"], {}, 1, None, 'bad filter term "size>1Q"'),
            (["--filter", "site:9", "abc"], {}, 1, None, 'bad filter term "site:9"'),
            (["--sort", "bogus", "abc"], {}, 1, None, "bad sort key: bogus"),
            (["--sort", "size:up", "abc"], {}, 1, None, "bad sort key: size:up"),
            (["--filter", "-mkv", "--sort", "title", "--unique", "abc"], small, 0, PREFIX + " --- 搜索完成", None),
        ]
        for args, modes, code, out, err in cases:
            with self.subTest(args=args, modes=modes):
                proc = run_cli(args, modes)
                stdout, stderr = proc.stdout.decode("utf-8"), proc.stderr.decode("utf-8")
                self.assertEqual(proc.returncode, code, stderr)
                if out is None:
                    self.assertEqual(stdout, "")
                else:
                    self.assertIn(out, stdout)
                if err is None:
                    self.assertEqual(stderr, "")
                else:
                    self.assertIn(err, stderr)

    def write_config(self, text, definitions=None):
        """A settings folder holding config.toml and the definition files {NAME: text} in its sites folder."""
        folder = tempfile.mkdtemp(prefix="lanqi-config-")
        self.addCleanup(shutil.rmtree, folder)
        os.makedirs(os.path.join(folder, "lanqi-search", "sites"))
        with open(os.path.join(folder, "lanqi-search", "config.toml"), "w") as f:
            f.write(text)
        for name, definition in (definitions or {}).items():
            with open(os.path.join(folder, "lanqi-search", "sites", name + ".toml"), "w") as f:
                f.write(definition)
        return folder

    def test_definition_files_in_the_sites_folder_run_the_slots(self):
        def built_in(n):
            with open(os.path.join(SITES, "site%d.toml" % n), encoding="utf-8") as f:
                return f.read()

        rows = lambda proc: [(e["site"], e["title"], e["magnetLink"], e["detailText"]) for e in events(proc)
                             if e["event"] == "row"]
        modes = {n: "-items2" for n in range(1, 7)}
        # Copies of the installed files under other names give the same rows as the compiled-in definitions.
        copies = self.write_config("".join('[site%d]\ndefinition = "copy%d"\n' % (n, n) for n in range(1, 7)),
                                   {"copy%d" % n: built_in(n) for n in range(1, 7)})
        from_files = run_cli(["--json", "abc"], modes, config=copies)
        self.assertEqual(from_files.returncode, 0, from_files.stderr)
        self.assertEqual(len(rows(from_files)), 12)
        self.assertEqual(rows(from_files), rows(run_cli(["--json", "abc"], modes)))
        listed = [e for e in events(run_cli(["--json", "sites"], config=copies)) if e["event"] == "site"]
        self.assertEqual([e["definitionFile"] for e in listed],
                         [os.path.join(copies, "lanqi-search", "sites", "copy%d.toml" % n) for n in range(1, 7)])

        # A broken file is named with its line, its slot keeps the built-in definition, and nothing is searched.
        broken_text = built_in(2).replace('use = "list_item"', 'use = "list_itme"')
        line = broken_text.splitlines().index('use = "list_itme"') + 1
        broken = self.write_config("", {"site2": broken_text})
        proc = run_cli(["--json", "abc"], modes, config=broken)
        self.assertEqual((proc.returncode, proc.stdout), (1, b""))
        self.assertIn("%s:%d: bad site definition" % (os.path.join(broken, "lanqi-search", "sites", "site2.toml"), line),
                      proc.stderr.decode("utf-8"))
        listed = [e for e in events(run_cli(["--json", "sites"], config=broken)) if e["event"] == "site"]
        self.assertEqual(listed[1]["definitionFile"], "built-in site2.toml")

    def test_a_definition_for_a_changed_page_is_written_and_checked(self):
        # The worked example of docs/site-definitions.md: site 4 moved its links from /hash/ to /torrent/.
        with open(os.path.join(FIXTURES, "site4.html"), encoding="utf-8") as f:
            changed = f.read().replace("/hash/", "/torrent/")
        with open(os.path.join(SITES, "site4.toml"), encoding="utf-8") as f:
            definition = f.read().replace("/hash/", "/torrent/")
        config = self.write_config('[site4]\ndefinition = "site4-torrent"\n', {"site4-torrent": definition})
        page = os.path.join(config, "changed.html")
        with open(page, "w", encoding="utf-8") as f:
            f.write(changed)
        old = run_cli(["check-site", "site4", page], config=config)
        self.assertEqual(old.returncode, 3, old.stderr)
        self.assertIn(b"site4: no-items, total -, 0 rows", old.stdout)
        for name in ["site4-torrent", os.path.join(config, "lanqi-search", "sites", "site4-torrent.toml")]:
            new = run_cli(["--json", "check-site", name, page], config=config)
            self.assertEqual(new.returncode, 0, new.stderr)
            found = events(new)
            self.assertEqual((found[0]["outcome"], found[0]["rows"]), ("scraped", 2))
            self.assertEqual([e["site"] for e in found[1:]], [4, 4])

    def test_the_settings_file_points_the_slots_and_the_environment_wins(self):
        base = server_base()
        config = self.write_config("".join('[site%d]\nbase = "%s/site%d-items1"\n' % (n, base, n) for n in range(1, 7)))
        rows = lambda proc: [(e["title"], e["magnetLink"]) for e in events(proc) if e["event"] == "row"]
        from_file = run_cli(["--json", "abc"], config=config, variables=False)
        self.assertEqual(from_file.returncode, 0, from_file.stderr)
        self.assertEqual(rows(from_file), rows(run_cli(["--json", "abc"], {n: "-items1" for n in range(1, 7)})))
        # A variable wins over the file (site 3 down: exit 4), and "sites" says where each value came from.
        proc = run_cli(["--json", "abc"], {3: "-down"}, config=config)
        self.assertEqual(proc.returncode, 4, proc.stderr)
        listing = run_cli(["sites"], config=config, variables=False).stdout.decode("utf-8")
        self.assertIn("%s/site2-items1 (file)" % base, listing)
        self.assertIn("http://play.lanqi-studio.example (built-in)", listing)

    def test_bad_settings_are_named_by_file_and_line_and_nothing_is_searched(self):
        config = self.write_config('[site1]\nbase = "ftp://elsewhere"\n\n[site33]\n')
        proc = run_cli(["--json", "abc"], config=config)
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(proc.stdout, b"")
        stderr = proc.stderr.decode("utf-8")
        path = os.path.join(config, "lanqi-search", "config.toml")
        self.assertIn(path + ":2: site1.base is not an http:// or https:// address", stderr)
        self.assertIn(path + ":4: unknown table [site33]", stderr)

    def test_problem_texts_cannot_reach_the_terminal_as_control_bytes(self):
        # A table or key named with escapes that would retitle and clear the terminal, in the settings and in a
        # definition checked on its own: the names are shown, their control bytes as U+FFFD.
        hostile = '"\\u001b]0;PWNED\\u0007\\u001b[2J"'
        config = self.write_config("[%s]\n[site1]\n%s = 1\n" % (hostile, hostile))
        folder = tempfile.mkdtemp(prefix="lanqi-definition-")
        self.addCleanup(shutil.rmtree, folder)
        definition = os.path.join(folder, "hostile.toml")
        with open(definition, "w") as f:
            f.write("[%s]\n" % hostile)
        for args, settings in ((["sites"], config), (["check-site", definition, FIXTURES + "/site1.html"], EMPTY_CONFIG)):
            proc = run_cli(args, config=settings)
            self.assertEqual(proc.returncode, 1, proc.stderr)
            self.assertNotIn(b"\x1b", proc.stderr)
            self.assertNotIn(b"\x07", proc.stderr)
            self.assertIn("\ufffd]0;PWNED\ufffd\ufffd[2J", proc.stderr.decode("utf-8"))

    def test_check_site_reads_only_regular_files(self):
        folder = tempfile.mkdtemp(prefix="lanqi-check-site-")
        self.addCleanup(shutil.rmtree, folder)
        fifo = os.path.join(folder, "fifo.toml")
        os.mkfifo(fifo)
        definition = os.path.join(folder, "mine.toml")
        shutil.copy(os.path.join(SITES, "site1.toml"), definition)
        cases = [
            (["check-site", fifo, FIXTURES + "/site1.html"], fifo + ": bad site definition"),
            (["check-site", definition, fifo], "cannot read %s: it is not a regular file" % fifo),
            (["check-site", "site1", folder], "cannot read %s: it is a folder" % folder),
        ]
        for args, said in cases:
            proc = run_cli(args)  # a FIFO with no writer would hold a blocking read forever (the run's timeout)
            self.assertEqual(proc.returncode, 1, args)
            self.assertIn(said, proc.stderr.decode("utf-8"), args)

    def test_a_seventh_slot_runs_a_built_in_definition_after_the_six(self):
        base = server_base()
        config = self.write_config('[site7]\nbase = "%s/site2"\ndefinition = "site2"\n' % base)
        six = events(run_cli(["--json", "abc"]))
        proc = run_cli(["--json", "abc"], config=config)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        evs = events(proc)
        requests = [e for e in evs if e["event"] == "request"]
        self.assertEqual([r["site"] for r in requests], [1, 2, 3, 4, 5, 6, 7])
        self.assertEqual(requests[6]["url"], requests[1]["url"])  # Site2's address, asked again as slot 7
        rows = [e for e in evs if e["event"] == "row"]
        six_rows = [e for e in six if e["event"] == "row"]
        site2_rows = [e for e in six_rows if e["site"] == 2]
        self.assertGreater(len(site2_rows), 0)
        # The six slots' rows as before, then Site2's rows again, reported as site 7.
        self.assertEqual([(e["title"], e["site"]) for e in rows[: len(six_rows)]],
                         [(e["title"], e["site"]) for e in six_rows])
        extra = rows[len(six_rows):]
        self.assertEqual([e["title"] for e in extra], [e["title"] for e in site2_rows])
        self.assertEqual({e["site"] for e in extra}, {7})
        self.assertTrue(all(e["detailText"].endswith("文件分类：7") for e in extra))
        done, six_done = evs[-1], six[-1]
        self.assertEqual([s["site"] for s in done["sites"]], [1, 2, 3, 4, 5, 6, 7])
        self.assertEqual(done["sites"][6]["rows"], len(site2_rows))
        self.assertEqual(done["title"], six_done["title"])  # Site2's definition prints no total
        self.assertEqual(done["sites"][:6], [dict(s, ms=d["ms"]) for s, d in zip(six_done["sites"], done["sites"])])
        # "sites" lists the seventh slot with the others.
        listing = run_cli(["sites"], config=config, variables=False).stdout.decode("utf-8")
        self.assertIn("site7  yes (built-in)   site2 (file)             %s/site2 (file)" % base, listing)
        listed = events(run_cli(["--json", "sites"], config=config, variables=False))
        self.assertEqual([e["slot"] for e in listed if e["event"] == "site"], [1, 2, 3, 4, 5, 6, 7])

    def folder_bytes(self, folder):
        """Every file under `folder` with its bytes (a folder as None)."""
        found = {}
        for root, folders, names in os.walk(folder):
            for name in folders:
                found[os.path.relpath(os.path.join(root, name), folder)] = None
            for name in names:
                with open(os.path.join(root, name), "rb") as f:
                    found[os.path.relpath(os.path.join(root, name), folder)] = f.read()
        return found

    def test_a_site_bundle_gives_another_user_the_same_sites(self):
        base = server_base()
        with open(os.path.join(SITES, "site2.toml"), encoding="utf-8") as f:
            mine = "# it's '''mine''' and \"\"\"ours\"\"\", C:\\站点\\\n" + f.read()
        slot = '[site%d]\nenabled = %s\nbase = "%s/site%d-items1"\ndefinition = "%s"\n'
        text = "".join(slot % (n, "false" if n == 4 else "true", base, n, "mine" if n == 2 else "site%d" % n)
                       for n in range(1, 7))
        text += slot % (7, "true", base, 2, "mine")
        source = self.write_config(text, {"mine": mine})
        bundle = os.path.join(source, "bundle.toml")
        # The environment points every slot elsewhere: the file's own addresses are exported.
        exported = run_cli(["sites", "--export", bundle], config=source)
        self.assertEqual(exported.returncode, 0, exported.stderr)
        with open(bundle, "rb") as f:
            self.assertEqual(run_cli(["sites", "--export", "-"], config=source).stdout, f.read())

        target = tempfile.mkdtemp(prefix="lanqi-config-")
        self.addCleanup(shutil.rmtree, target)
        dry = run_cli(["sites", "--import", bundle, "--dry-run"], config=target, variables=False)
        self.assertEqual(dry.returncode, 0, dry.stderr)
        changes = dry.stdout.decode("utf-8").splitlines()
        self.assertIn("site4.enabled: true -> false", changes)
        self.assertIn("site7: new slot: base %s/site2-items1, definition mine, enabled true" % base, changes)
        self.assertIn("definition mine: new (%s)" % os.path.join(target, "lanqi-search", "sites", "mine.toml"),
                      changes)
        self.assertEqual(os.listdir(target), [])  # --dry-run writes nothing

        imported = run_cli(["sites", "--import", bundle], config=target, variables=False)
        self.assertEqual(imported.returncode, 0, imported.stderr)
        self.assertEqual(imported.stdout, dry.stdout)
        with open(os.path.join(target, "lanqi-search", "sites", "mine.toml"), encoding="utf-8", newline="") as f:
            self.assertEqual(f.read(), mine)

        def slots(folder):  # the vendor's and cloud-play addresses are each user's own, not the bundle's
            proc = run_cli(["--json", "sites"], config=folder, variables=False)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            return [json.loads(line.replace(folder, "CONFIG")) for line in proc.stdout.decode("utf-8").splitlines()
                    if '"event":"site"' in line]

        self.assertEqual(len(slots(target)), 7)
        self.assertEqual(slots(target), slots(source))
        again = run_cli(["sites", "--import", bundle], config=target, variables=False)
        self.assertEqual((again.returncode, again.stdout), (0, b""))
        self.assertIn("config.toml.bak", again.stderr.decode("utf-8"))  # the previous settings file is kept

    def test_a_refused_import_leaves_the_settings_folder_as_it_was(self):
        with open(os.path.join(SITES, "site3.toml"), encoding="utf-8") as f:
            good = f.read()
        broken = good.replace("[page]", "[pages]")
        target = self.write_config('[site1]\nenabled = false\n', {"mine": good})
        bundle = os.path.join(target, "friend.toml")
        head = "[site3]\ndefinition = \"mine\"\n\n[definitions]\nmine = '''\n"
        with open(bundle, "w", encoding="utf-8") as f:
            f.write(head + broken + "'''\n")
        line = head.count("\n") + broken.splitlines().index("[pages]") + 1
        before = self.folder_bytes(target)
        for args in (["sites", "--import", bundle], ["sites", "--import", bundle, "--dry-run"]):
            with self.subTest(args=args):
                proc = run_cli(args, config=target, variables=False)
                self.assertEqual((proc.returncode, proc.stdout), (1, b""))
                self.assertIn("%s:%d: bad site definition" % (bundle, line), proc.stderr.decode("utf-8"))
                self.assertEqual(self.folder_bytes(target), before)
        for args, says in ((["sites", "--dry-run"], "--dry-run goes with --import"),
                           (["sites", "--import", bundle, "--export", "-"], "not both"),
                           (["sites", "--import", os.path.join(target, "none.toml")], "none.toml: cannot be read")):
            with self.subTest(args=args):
                proc = run_cli(args, config=target, variables=False)
                self.assertEqual(proc.returncode, 1)
                self.assertIn(says, proc.stderr.decode("utf-8"))
                self.assertEqual(self.folder_bytes(target), before)

    def test_a_switched_off_slot_is_not_fetched(self):
        config = self.write_config("[site5]\nenabled = false\n")
        proc = run_cli(["--json", "abc"], {n: "-items1" for n in range(1, 7)}, config=config)
        self.assertEqual(proc.returncode, 0, proc.stderr)  # not 4: nothing went wrong
        evs = events(proc)
        self.assertEqual([e["site"] for e in evs if e["event"] == "request"], [1, 2, 3, 4, 6])
        self.assertNotIn(5, [e["site"] for e in evs if e["event"] == "row"])

    def test_json_rows_carry_the_facts_of_their_details(self):
        rows = [e for e in events(run_cli(["--json", "超能陆战队"], {n: "-items2" for n in range(1, 7)}))
                if e["event"] == "row"]
        self.assertEqual([r["site"] for r in rows], [1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6])
        for row in rows:
            with self.subTest(row=row["row"]):
                self.assertIn("文件大小：" + row["size"]["text"], row["detailText"])
                self.assertGreater(row["size"]["bytes"], 0)
                self.assertRegex(row["date"], r"^\d{4}-\d{2}-\d{2}$")
                for f in row["files"]:
                    self.assertIn(f["name"], row["detailText"])
        # Sites 1, 4 and 6 print a file count; sites 1, 2 and 5 list files.
        self.assertEqual({r["site"] for r in rows if r["fileCount"] is not None}, {1, 4, 6})
        self.assertTrue({r["site"] for r in rows if r["files"]} <= {1, 2, 5})
        self.assertTrue(any(r["files"] for r in rows))

    def test_a_definition_with_its_own_labels_gives_the_same_json_fields(self):
        """Slot 4 running a copy of site4 whose size, count and date lines are labelled in English: the
        fields the lines name come out as with the built-in definition; the details show the copy's labels."""
        with open(os.path.join(SITES, "site4.toml"), encoding="utf-8") as f:
            english = f.read()
        for chinese, label in (("文件大小：", "Size: "), ("文件数量：", "Files: "), ("创建时间：", "Created: ")):
            self.assertIn(chinese, english)
            english = english.replace(chinese, label)
        config = self.write_config('[site4]\ndefinition = "english4"\n', {"english4": english})

        def site4_rows(folder):
            proc = run_cli(["--json", "超能陆战队"], {n: "-items2" for n in range(1, 7)}, config=folder)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            return [e for e in events(proc) if e["event"] == "row" and e["site"] == 4]

        built_in, labelled = site4_rows(EMPTY_CONFIG), site4_rows(config)
        self.assertEqual(len(built_in), 2)
        self.assertEqual(len(labelled), len(built_in))
        for a, b in zip(built_in, labelled):
            with self.subTest(row=a["row"]):
                self.assertIsNotNone(a["size"])
                for key in ("size", "fileCount", "date", "files", "hash", "title", "magnetLink"):
                    self.assertEqual(b[key], a[key], key)
                self.assertIn("\r\n\r\nSize: " + a["size"]["text"], b["detailText"])
                self.assertIn("\r\n\r\nFiles: %d" % a["fileCount"], b["detailText"])
                self.assertIn("\r\n\r\nCreated: " + a["date"], b["detailText"])
                self.assertNotIn("文件大小", b["detailText"])
                self.assertEqual(a["hash"], a["magnetLink"].rsplit(":", 1)[1].lower())

    def test_the_table_fits_a_terminal_and_is_whole_when_piped(self):
        import fcntl
        import pty
        import struct
        import termios
        env = dict(os.environ)
        base = server_base()
        for n in range(1, 7):
            env["LANQI_SITE%d_BASE" % n] = "%s/site%d-items2" % (base, n)
        main, sub = pty.openpty()
        fcntl.ioctl(sub, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 120, 0, 0))
        proc = subprocess.Popen([CLI, "超能陆战队"], env=env, stdout=sub, stderr=subprocess.DEVNULL)
        os.close(sub)
        shown = b""
        while True:
            try:
                chunk = os.read(main, 65536)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        proc.wait(timeout=60)
        os.close(main)
        lines = shown.decode("utf-8").splitlines()[:-1]
        piped = run_cli(["超能陆战队"], {n: "-items2" for n in range(1, 7)}).stdout.decode("utf-8").splitlines()[:-1]
        self.assertEqual(len(lines), len(piped))

        def columns(line):
            return sum(2 if ord(c) >= 0x2E80 else 1 for c in line)
        self.assertTrue(all(columns(line) <= 120 for line in lines), [columns(line) for line in lines])
        self.assertTrue(any(line.endswith(line.split()[-1]) and "\u2026" in line for line in lines))
        self.assertTrue(any(columns(line) > 120 for line in piped))
        self.assertFalse(any("\u2026" in line for line in piped))

    # ---- --filter, --sort and --unique, checked against the rows of the same search without them ----

    def runs(self, proc):
        """Each run's row events and its done event."""
        self.assertEqual(proc.returncode, 0, proc.stderr)
        found, rows = [], []
        for e in events(proc):
            if e["event"] == "row":
                rows.append(e)
            elif e["event"] == "done":
                found.append((rows, e))
                rows = []
        return found

    def seventh_slot_config(self):
        """Slot 7 asks site 2's sample site again: every torrent of slot 2 comes twice, with the same size."""
        return self.write_config('[site7]\nbase = "%s/site2"\ndefinition = "site2"\n' % server_base())

    def test_filter_keeps_the_matching_rows_in_run_order(self):
        def folded(title):  # full-width ASCII as half-width, Latin letters in lower case
            return "".join(" " if c == "\u3000" else chr(ord(c) - 0xFEE0) if "\uff01" <= c <= "\uff5e" else c
                           for c in title).lower()

        def matches(row):
            return (row["size"] is not None and row["size"]["bytes"] is not None
                    and row["size"]["bytes"] > 500 * 2 ** 20 and row["fileKind"] == 3
                    and "mkv" not in folded(row["displayTitle"]))

        args = ["--json", "超能陆战队", "next"]
        plain = self.runs(run_cli(args))
        filtered = self.runs(run_cli(["--filter", "size>500M kind:video -mkv"] + args))
        self.assertEqual(len(filtered), 2)
        for (rows, done), (kept, kept_done) in zip(plain, filtered):
            expected = [r for r in rows if matches(r)]
            self.assertGreater(len(expected), 0)
            self.assertLess(len(expected), len(rows))
            self.assertEqual(kept, expected)  # whole events, row numbers of the run included
            self.assertEqual(kept_done["view"], {"shown": len(expected), "total": len(rows)})
            self.assertEqual({k: v for k, v in kept_done.items() if k not in ("view", "sites")},
                             {k: v for k, v in done.items() if k != "sites"})
        # The table shows the same rows under the same numbers.
        table = run_cli(["--filter", "size>500M kind:video -mkv", "超能陆战队"]).stdout.decode("utf-8").splitlines()
        self.assertEqual([int(line.split()[0]) for line in table[:-1]],
                         [r["row"] for r in plain[0][0] if matches(r)])

    def test_sort_by_size_orders_by_bytes_with_ties_in_run_order(self):
        config = self.seventh_slot_config()
        (rows, _), = self.runs(run_cli(["--json", "abc"], config=config))
        (ordered, done), = self.runs(run_cli(["--json", "--sort", "size:desc", "abc"], config=config))
        sized = [r for r in rows if r["size"] is not None and r["size"]["bytes"] is not None]
        unsized = [r for r in rows if r not in sized]
        expected = sorted(sized, key=lambda r: -r["size"]["bytes"]) + unsized  # sorted() is stable
        self.assertEqual([r["row"] for r in ordered], [r["row"] for r in expected])
        self.assertEqual(ordered, expected)
        self.assertEqual(done["view"], {"shown": len(rows), "total": len(rows)})
        # Slot 7's rows tie with slot 2's: each comes after its twin, with nothing but rows of that size between.
        position = {r["row"]: k for k, r in enumerate(ordered)}
        twins = [(a, b) for a in rows for b in rows if a["site"] == 2 and b["site"] == 7 and a["hash"] == b["hash"]]
        self.assertEqual(len(twins), len([r for r in rows if r["site"] == 7]))
        for a, b in twins:
            self.assertLess(position[a["row"]], position[b["row"]])
            between = ordered[position[a["row"]]:position[b["row"]] + 1]
            self.assertEqual({r["size"]["bytes"] for r in between}, {a["size"]["bytes"]})
        # Ascending is the reverse order of the sizes, ties still in run order.
        (rising, _), = self.runs(run_cli(["--json", "--sort", "size:asc", "abc"], config=config))
        self.assertEqual([r["row"] for r in rising],
                         [r["row"] for r in sorted(sized, key=lambda r: r["size"]["bytes"]) + unsized])

    def test_unique_gives_one_row_per_hash_with_its_sites(self):
        config = self.seventh_slot_config()
        (rows, _), = self.runs(run_cli(["--json", "abc"], config=config))
        groups = {}
        for r in rows:
            groups.setdefault(r["hash"] or ("row", r["row"]), []).append(r)
        expected = sorted(groups.values(), key=lambda members: members[0]["row"])
        self.assertLess(len(expected), len(rows))
        (unique, done), = self.runs(run_cli(["--json", "--unique", "abc"], config=config))
        self.assertEqual(done["view"], {"shown": len(expected), "total": len(expected)})
        self.assertEqual(len(unique), len(expected))
        for shown, members in zip(unique, expected):
            with self.subTest(row=shown["row"]):
                first = members[0]
                self.assertEqual(shown["rows"], [m["row"] for m in members])
                self.assertEqual(shown["sites"], list(dict.fromkeys(m["site"] for m in members)))
                self.assertEqual(shown["files"], max((m["files"] for m in members), key=len))
                self.assertEqual({k: v for k, v in shown.items() if k not in ("sites", "rows", "files")},
                                 {k: v for k, v in first.items() if k != "files"})
        self.assertIn([2, 7], [e["sites"] for e in unique])
        # The table's site column lists a torrent's slots.
        table = run_cli(["--unique", "abc"], config=config).stdout.decode("utf-8").splitlines()[:-1]
        self.assertEqual([line.split()[:2] for line in table],
                         [[str(e["row"]), ",".join(map(str, e["sites"]))] for e in unique])


if __name__ == "__main__":
    unittest.main()
