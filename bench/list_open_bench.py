#!/usr/bin/env python3
"""The real program starting with one list of many feeds, closed and open.

    xvfb-run -a -s "-screen 0 1280x1024x24" bench/list_open_bench.py [--program=build/bin/kestrova] N...

For each N: a private HOME with one list of N feeds, every tenth without a
title, each with one read and one unread item, none due for a refresh. Two
runs: the list closed in the tree file, then marked open, so that the start
reads its feeds into the tree. Each run times the start up to the moment the
window's thread has gone quiet (no CPU time for half a second); the
difference is what opening the list costs. The same database is used for
both runs; a SIGTERM ends each.

Run by hand; no test runs it.
"""

import argparse
import os
import shutil
import sqlite3
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from refresh_close_bench import free_port, main_thread_ticks, seconds, start, stop  # noqa: E402


def make_home(folder, template, feeds, port, expanded):
    data = os.path.join(folder, "Documents", "Kestrova")
    subscription = os.path.join(data, "subscription")
    os.makedirs(subscription)
    os.makedirs(os.path.join(folder, "run"), mode=0o700)
    with open(os.path.join(data, "config.xml"), "w") as out:
        out.write('<?xml version="1.0"?><Preference><window left="0" top="0" width="1000" '
                  'height="700"/><general nStartupMode="0" nRefreshRate="60"/></Preference>\n')
    status = ' status="expand"' if expanded else ""
    with open(os.path.join(subscription, "config.xml"), "w") as out:
        out.write('<?xml version="1.0"?>\n<Kestrova><channel name="Feeds" type="newsfeed" status="expand">'
                  f'<newsfeed name="Imported" url="imported.mdb"{status}/>'
                  '</channel></Kestrova>\n')
    database = os.path.join(subscription, "imported.mdb")
    shutil.copyfile(template, database)
    with sqlite3.connect(database) as db:
        addresses = [f"http://127.0.0.1:{port}/feed/{n}" for n in range(feeds)]
        db.executemany(
            "INSERT INTO channel (feed, description, title, ttl, attributes) VALUES (?, '', ?, 100000, 0)",
            ((address, "" if n % 10 == 0 else f"Feed {feeds - n}") for n, address in enumerate(addresses)))
        db.executemany(
            "INSERT INTO item (title, link, description, feed, readstatus) VALUES ('story', ?, 'text', ?, ?)",
            ((f"{address}/item/{read}", address, read) for address in addresses for read in (0, 1)))
    return database


def run(program, template, feeds, expanded, bound):
    with tempfile.TemporaryDirectory() as home:
        make_home(home, template, feeds, free_port(), expanded)
        began = time.monotonic()
        process = start(program, home)
        quiet = None
        last, since = None, time.monotonic()
        while time.monotonic() - began < bound and process.poll() is None:
            time.sleep(0.1)
            now = main_thread_ticks(process.pid)
            if now != last:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= 0.5:
                quiet = since - began
                break
        stop(process, bound)
        return quiet


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(os.path.dirname(__file__), "..", "build",
                                                          "bin", "kestrova"))
    parser.add_argument("--bound", type=float, default=900, help="seconds before a run is given up")
    parser.add_argument("feeds", type=int, nargs="+")
    arguments = parser.parse_args()
    program = os.path.abspath(arguments.program)
    template = os.path.join(os.path.dirname(program), "template", "default.mdb")
    print(f"{'feeds':>7}  {'list closed':>12}  {'list open':>12}  {'opening':>9}")
    for feeds in arguments.feeds:
        closed = run(program, template, feeds, False, arguments.bound)
        opened = run(program, template, feeds, True, arguments.bound)
        opening = opened - closed if closed is not None and opened is not None else None
        print(f"{feeds:>7}  {seconds(closed):>12}  {seconds(opened):>12}  {seconds(opening):>9}", flush=True)


if __name__ == "__main__":
    sys.exit(main())
