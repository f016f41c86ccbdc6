#!/usr/bin/env python3
"""Six sample result sites: deterministic result items for a keyword and page, the request shapes the
client uses for each site, and the modes a test can ask for. The page layouts are in layouts.py.

Addresses (site n = 1..6, MODES optional):
  /site<n>[-MODE...]/<the site's own request path>
  MODE: down      close the connection at once, no answer
        empty     a normal page of the site with no items
        error     a 404 page without the site's markers
        stall     status line and headers, then nothing (bounded)
        slow<MS>  a normal page after MS milliseconds
        items<K>  K items instead of the usual 10..25
        hash<H>   the first item carries the info-hash H (40 hex digits): a torrent a test swarm seeds
  /_expect/site<n>[-MODE...]/<path>   what the page at that address holds (text, one key=value a line)

Command line: sites.py page --site N --keyword K [--page P] [--items K]   writes a page to stdout
"""

import argparse
import hashlib
import re
import sys
from urllib.parse import parse_qs, unquote_to_bytes

import layouts

MAX_ITEMS = 500
MAX_SLOW_MS = 60000

EXTENSIONS = [
    ("archive", ["rar", "zip", "7z", "iso", "RAR", "ZIP", "7Z", "ISO", "tar"]),
    ("video", ["mkv", "mp4", "avi", "rmvb", "wmv", "flv", "MKV", "MP4", "AVI", "RMVB"]),
    ("other", ["txt", "pdf", "exe", "tar.gz", "flac", "epub"]),
    ("mixed", ["Mkv", "Rar", "Mp4", "Zip", "Avi"]),
    ("dotless", [None]),
]
KIND_WORDS = {"archive": "压缩文件", "video": "视频", "other": "其他", "mixed": "其他", "dotless": "其他"}
TITLES = [
    "{k} 第{n}集 1080P 国语中字",
    "[{k}] The Complete Collection {y}",
    "{k} {y} BluRay 720p x264",
    "【高清】{k} 蓝光原盘 {n}GB",
    "{k} Original Soundtrack",
    "{k} 合集 第{n}部",
    "Learning {k} - {n}th Edition",
    "{k}",
]
FILE_NAMES = ["{k} 第{n}集.mkv", "Sample/sample.mp4", "字幕/简体中文.ass", "封面.jpg", "README.txt", "说明.txt",
              "{k}.part{n}.rar"]


def number(*parts):
    """A stable 64-bit number for the given parts."""
    text = "\x1f".join(str(p) for p in parts).encode("utf-8")
    return int.from_bytes(hashlib.sha256(text).digest()[:8], "big")


def size_text(n):
    value = 1 + n % 10000000  # kilobytes: up to about 10 GB
    for unit, scale in (("GB", 10 ** 6), ("MB", 10 ** 3), ("KB", 1)):
        if value >= scale or unit == "KB":
            return "%.2f %s" % (value / scale + (n % 97) / 1000.0, unit)


def date_text(n, first_year=2012, years=12):
    return "%04d-%02d-%02d" % (first_year + n % years, 1 + n // 13 % 12, 1 + n // 157 % 28)


class Item:
    def __init__(self, site, keyword, page, i):
        seed = number(site, keyword, page, i)
        ext_class, exts = EXTENSIONS[(i + seed % 2) % len(EXTENSIONS)]
        ext = exts[seed // 3 % len(exts)]
        template = TITLES[seed // 7 % (len(TITLES) - 1)] if ext is not None else "{k} 合集 第{n}部"
        if ext is None and i % 10 == 4:
            template = "{k}"
        base = template.format(k=keyword, n=1 + seed // 11 % 40, y=1990 + seed // 13 % 35)
        if ext is None:
            base = base.replace(".", " ")
        self.title = base if ext is None else base + "." + ext
        self.kind_word = KIND_WORDS[ext_class] if ext != "flac" else "音频"
        digest = hashlib.sha1(("%s|%s|%s|%d" % (site, keyword, page, i)).encode("utf-8")).hexdigest()
        self.hash = digest.upper() if site in (1, 3) else digest  # as the hash is read from the page
        self.size = size_text(seed // 17)
        self.created = date_text(seed // 19)
        self.recent = date_text(seed // 23, 2024, 1)
        self.time = "%02d:%02d:%02d" % (seed // 29 % 24, seed // 31 % 60, seed // 37 % 60)
        self.popularity = seed // 41 % 20000
        self.requests = seed // 43 % 900
        count = 0 if i % 4 == 1 else 1 + seed // 47 % 5
        self.files = [(FILE_NAMES[(seed // 53 + f) % len(FILE_NAMES)].format(k=keyword, n=f + 1),
                       size_text(seed // 59 + f * 7919)) for f in range(count)]
        self.file_count = max(count, 1)
        self.plus_encoded = i % 3 == 2  # Site6 writes blanks in some display names as "+"


def item_count(site, keyword, page):
    return 10 + number("count", site, keyword, page) % 16


def total(site, keyword):
    return 30 + number("total", site, keyword) % 98000


def items(site, keyword, page, count=None, first_hash=None):
    n = item_count(site, keyword, page) if count is None else count
    shown = [Item(site, keyword, page, i) for i in range(n)]
    if first_hash and shown:
        shown[0].hash = first_hash.upper() if site in (1, 3) else first_hash
    return shown


# ---- Request shapes (the client's catalogue) ----

SHAPES = {
    1: re.compile(r"^/search/(?P<kw>[^/]*)/$"),
    2: re.compile(r"^/list/(?P<kw>[^/]*)/(?P<page>[^/]*)$"),
    3: re.compile(r"^/s/(?P<kw>[^/]*)/(?P<page>[^/]*)\.htm$"),
    4: re.compile(r"^/list/(?P<kw>[^/]*)/(?P<page>[^/]*)\.html$"),
    5: re.compile(r"^/search/(?P<kw>[^/]*)/(?P<page>[^/]*)-1\.html$"),
    6: re.compile(r"^/search$"),
}


def decode(text):
    return unquote_to_bytes(text).decode("utf-8", "replace")


def page_number(text):
    try:
        return max(1, int(text))
    except (TypeError, ValueError):
        return 1


def parse_request(site, path, query):
    """(keyword, page) from a request path and query of site `site`, or None when it has another shape."""
    match = SHAPES[site].match(path)
    if match is None:
        return None
    fields = parse_qs(query, keep_blank_values=True)
    if site == 6:
        keyword = decode(fields.get("keyword", [""])[0]) if "keyword" in fields else None
        return None if keyword is None else (keyword, page_number(fields.get("p", ["1"])[0]))
    keyword = decode(match.group("kw"))
    if site == 1:
        return keyword, page_number(fields.get("p", ["1"])[0])
    return keyword, page_number(match.group("page"))


def parse_modes(text):
    """Modes from "-empty-slow200"; None when a mode is unknown."""
    modes = {}
    for token in filter(None, text.split("-")):
        m = re.fullmatch(r"(down|empty|error|stall)|slow(\d+)|items(\d+)|hash([0-9a-f]{40})", token)
        if m is None:
            return None
        if m.group(1):
            modes[m.group(1)] = True
        elif m.group(2):
            modes["slow"] = min(int(m.group(2)), MAX_SLOW_MS)
        elif m.group(3):
            modes["items"] = min(int(m.group(3)), MAX_ITEMS)
        else:
            modes["hash"] = m.group(4)
    return modes


def page(site, keyword, page_no, count=None, empty=False, first_hash=None):
    """The result page of `site` for `keyword` and page `page_no`, UTF-8 bytes."""
    shown = [] if empty else items(site, keyword, page_no, count, first_hash)
    return layouts.render(site, keyword, page_no, shown, 0 if empty else total(site, keyword))


def expectation(site, keyword, page_no, count=None, empty=False, first_hash=None):
    """What a scraper should read from that page: totals, and per item its hash and shown title."""
    shown = [] if empty else items(site, keyword, page_no, count, first_hash)
    lines = ["site=%d" % site, "keyword=%s" % keyword, "page=%d" % page_no, "items=%d" % len(shown),
             "total=%d" % (0 if empty or site in (2, 4) else total(site, keyword))]
    for n, item in enumerate(shown, 1):
        lines.append("hash%d=%s" % (n, item.hash))
        lines.append("title%d=%s" % (n, layouts.shown_title(site, item)))
    return ("\n".join(lines) + "\n").encode("utf-8")


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("what", choices=["page", "expect"])
    ap.add_argument("--site", type=int, required=True, choices=range(1, 7))
    ap.add_argument("--keyword", required=True)
    ap.add_argument("--page", type=int, default=1)
    ap.add_argument("--items", type=int)
    args = ap.parse_args(argv)
    make = page if args.what == "page" else expectation
    sys.stdout.buffer.write(make(args.site, args.keyword, args.page, args.items))
    return 0


if __name__ == "__main__":
    sys.exit(main())
