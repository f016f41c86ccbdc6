#!/usr/bin/env python3
"""Start-up figures of lanqi-search on $DISPLAY: the time from process start to the usage notice on screen, from
Enter on the notice to the main window on screen (mapped at opacity 0, when its fade-in begins), and the
resident memory of the idle main window (after the fade-in and start-up's version check). Median of N runs.

  measure_startup.py --binary PATH [--runs N]

The environment says where the sites and the vendor are (scripts/demo sets them up the same way).
"""

import argparse
import statistics
import sys
import time

import drive_client as d


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def first(pattern, pid, exclude=()):
    while True:
        found = [w for w in d.windows_of(pid, pattern) if w not in exclude]
        if found:
            return found[0]
        time.sleep(0.002)


def one_run(binary):
    start = time.monotonic()
    client = d.Client(binary)
    try:
        notice = first("^%s$" % d.TITLE, client.pid)
        notice_shown = time.monotonic()
        client.focus(notice)
        accepted = time.monotonic()
        d.xdotool("key", "Return")
        client.main_window = first("^%s" % d.TITLE, client.pid, exclude=(notice,))
        main_shown = time.monotonic()
        client.wait_until_opaque()
        time.sleep(2.0)  # the version check is done and the window idles
        rss = resident_kib(client.pid)
    finally:
        client.stop()
    return (notice_shown - start) * 1000, (main_shown - accepted) * 1000, rss


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--binary", required=True)
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    runs = [one_run(args.binary) for _ in range(args.runs)]
    for i, (notice, main_window, rss) in enumerate(runs, 1):
        print("run %d: notice %.0f ms, main window %.0f ms after Enter, idle RSS %.1f MiB" %
              (i, notice, main_window, rss / 1024))
    print("median: process start to notice %.0f ms; Enter to main window %.0f ms; sum %.0f ms; idle RSS %.1f MiB" %
          (statistics.median(r[0] for r in runs), statistics.median(r[1] for r in runs),
           statistics.median(r[0] + r[1] for r in runs), statistics.median(r[2] for r in runs) / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main())
