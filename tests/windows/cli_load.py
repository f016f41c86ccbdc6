#!/usr/bin/env python3
"""lanqi-cli.exe under load: many back-to-back searches of the sample sites under Wine, each of which must end
with exit 0 and print the same JSON lines as the Linux lanqi-cli for the same keyword (but the time each site
took). One Wine server stays up across the runs (it ends by itself a few seconds after the last one).

  cli_load.py [--runs N] [--jobs J] [--state DIR]

The builds come from LANQI_WINDOWS_BUILD and LANQI_LINUX_BUILD, the sample-sites server from --state or
LANQI_SAMPLE_STATE (without either, one is started for the runs and stopped after them). Prints the count of
failed runs by kind and the time taken; exits 1 when any run failed.

A run that ends with a code but without a byte on stdout or stderr never got as far as the program: lanqi-cli
writes why on stderr before every failing exit. Wine under load does that to about one process in several
thousand. Such a run is run once more and counts as failed only if that fails too, or if it happens twice."""

import argparse
import collections
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
SITECTL = os.path.join(SOURCE, "tools", "sample-sites", "sitectl")
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
KEYWORDS = ["超能陆战队", "abc", "岚栖 1080P", "Learning C++"]
RUN_TIMEOUT = 90  # a run that hangs is a failed run, well past the fetch's own 30 s limit


def normalised(out):
    return re.sub(rb'"ms":\d+', b'"ms":0', out)


def wine_env(prefix, base, config):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LANQI_SITE")}
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
               XDG_CONFIG_HOME=config)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    for n in range(1, 7):
        env["LANQI_SITE%d_BASE" % n] = "%s/site%d" % (base, n)
    return env


def classify(result, expected):
    """'ok', or what went wrong with one run."""
    if result is None:
        return "hung"
    code, out, err = result
    text = err.decode("utf-8", "replace")
    if "page fault" in text or "Unhandled exception" in text:
        return "crashed"
    if "terminate" in text:
        return "terminated"
    if code != 0:
        return "exit %d" % code
    if normalised(out) != expected:
        return "other rows"
    return "ok"


def run_once(command, env):
    try:
        p = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=RUN_TIMEOUT)
        return p.returncode, p.stdout, p.stderr
    except subprocess.TimeoutExpired:
        return None


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--runs", type=int, default=400)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--state", default=os.environ.get("LANQI_SAMPLE_STATE", ""))
    args = ap.parse_args(argv)

    windows = os.environ.get("LANQI_WINDOWS_BUILD", os.path.join(SOURCE, "build", "windows"))
    linux = os.environ.get("LANQI_LINUX_BUILD", os.path.join(SOURCE, "build", "default"))
    exe = os.path.join(windows, "src", "app", "cli", "lanqi-cli.exe")
    cli = os.path.join(linux, "src", "app", "cli", "lanqi-cli")
    prefix = os.path.join(windows, "wineprefix")
    for path in (exe, cli, os.path.join(prefix, "system.reg")):
        if not os.path.exists(path):
            sys.stderr.write("cli_load: %s is missing (build both, and make the Wine prefix first)\n" % path)
            return 1

    scratch = tempfile.mkdtemp(prefix="lanqi-cli-load-")
    state = args.state
    own_server = not state
    if own_server:
        state = os.path.join(scratch, "sites")
        subprocess.run([sys.executable, SITECTL, "start", state, "--lifetime", "900"], check=True,
                       stdout=subprocess.DEVNULL)
    try:
        with open(os.path.join(state, "port")) as f:
            base = "http://127.0.0.1:%d" % int(f.read())
        config = os.path.join(scratch, "config")
        os.makedirs(config)
        env = wine_env(prefix, base, config)

        expected = {}
        for keyword in KEYWORDS:
            p = subprocess.run([cli, "--json", keyword], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               timeout=60)
            if p.returncode != 0:
                sys.stderr.write("cli_load: the Linux lanqi-cli gave %d for %s\n" % (p.returncode, keyword))
                return 1
            expected[keyword] = normalised(p.stdout)

        # One Wine server for every run: it stays 10 s after its last client, then ends by itself. Exit status 2
        # says another test of the prefix has its server up already: the runs use that one.
        started = subprocess.run([WINESERVER, "-p10"], env=env)
        if started.returncode not in (0, 2):
            sys.stderr.write("cli_load: wineserver -p10 gave %d\n" % started.returncode)
            return 1
        start = time.monotonic()
        outcomes = collections.Counter()
        failures = []
        unstarted = []  # runs that ended before the program wrote anything, then ran again
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            keywords = [KEYWORDS[i % len(KEYWORDS)] for i in range(args.runs)]
            futures = [pool.submit(run_once, [WINE, exe, "--json", k], env) for k in keywords]
            for i, (keyword, future) in enumerate(zip(keywords, futures)):
                result = future.result()
                kind = classify(result, expected[keyword])
                if kind.startswith("exit") and not result[1] and not result[2] and not unstarted:
                    unstarted.append((i, keyword, result[0]))
                    result = run_once([WINE, exe, "--json", keyword], env)
                    kind = classify(result, expected[keyword])
                outcomes[kind] += 1
                if kind != "ok" and sum(1 for f in failures if f[2] == kind) < 2:
                    failures.append((i, keyword, kind, result[2][-2000:] if result else b""))
        took = time.monotonic() - start
        failed = args.runs - outcomes["ok"]
        print("lanqi-cli.exe under load: %d of %d runs failed in %.1f s (%d at a time, %.2f s a run)"
              % (failed, args.runs, took, args.jobs, took * args.jobs / max(args.runs, 1)))
        for kind, count in sorted(outcomes.items()):
            if kind != "ok":
                print("  %-12s %d" % (kind, count))
        for i, keyword, code in unstarted:
            print("run %d (%s): exit %d before the program wrote anything; passed when run again" % (i, keyword, code))
        for i, keyword, kind, err in failures:
            print("run %d (%s): %s\n%s" % (i, keyword, kind, err.decode("utf-8", "replace")))
        return 0 if failed == 0 else 1
    finally:
        if own_server:
            subprocess.run([sys.executable, SITECTL, "stop", state])
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
