#!/usr/bin/env python3
"""The real program over one open list of feeds that all fail at once.

    xvfb-run -a -s "-screen 0 1280x1024x24" bench/refresh_close_bench.py [--program=build/bin/kestrova] N...

For each N: a private HOME with one open list of N feeds, imported without a
title, that point at 127.0.0.1 on a port where nothing listens. Three runs:

  pass   from the start to the moment every feed is stamped as updated, and
         to the moment the window's thread has gone quiet again (no CPU time
         for half a second); then a SIGTERM and the time to the program's end
  stop   a SIGTERM as soon as half of the feeds are stamped, and in another
         run as soon as all are, and the time to the program's end (the
         settings file written or not)

Run by hand; no test runs it.
"""

import argparse
import os
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

LONG_AGO = "2000-01-01 00:00:00"
TICKS = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def make_data_folder(folder, template, channel_attributes=""):
    """A HOME whose tree holds one open list, "Imported", copied from the
    template; gives the data folder and the list's database."""
    data = os.path.join(folder, "Documents", "Kestrova")
    subscription = os.path.join(data, "subscription")
    os.makedirs(subscription)
    os.makedirs(os.path.join(folder, "run"), mode=0o700)
    with open(os.path.join(data, "config.xml"), "w") as out:
        out.write('<?xml version="1.0"?><Preference><window left="0" top="0" width="1000" '
                  'height="700"/><general nStartupMode="0" nRefreshRate="60"/></Preference>\n')
    with open(os.path.join(subscription, "config.xml"), "w") as out:
        out.write(f'<?xml version="1.0"?>\n<Kestrova><channel name="Feeds" type="newsfeed"{channel_attributes}>'
                  '<newsfeed name="Imported" url="imported.mdb" status="expand"/>'
                  '</channel></Kestrova>\n')
    database = os.path.join(subscription, "imported.mdb")
    shutil.copyfile(template, database)
    return data, database


def make_home(folder, template, feeds, port):
    data, database = make_data_folder(folder, template)
    with sqlite3.connect(database) as db:
        db.executemany(
            "INSERT INTO channel (feed, description, title, ttl, attributes, lastupdate) "
            "VALUES (?, '', '', 0, 0, ?)",
            ((f"http://127.0.0.1:{port}/feed/{n}", LONG_AGO) for n in range(feeds)))
    return data, database


def stamped(database):
    try:
        with sqlite3.connect(f"file:{database}?mode=ro", uri=True, timeout=5) as db:
            return db.execute("SELECT count(*) FROM channel WHERE lastupdate > ?",
                              (LONG_AGO,)).fetchone()[0]
    except sqlite3.Error:
        return -1


def main_thread_ticks(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except OSError:
        return None


def start(program, home):
    environment = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=os.path.join(home, "run"))
    log = open(os.path.join(home, "kestrova.log"), "w")
    return subprocess.Popen([program], env=environment, stdout=log, stderr=subprocess.STDOUT)


def wait_for(condition, bound):
    deadline = time.monotonic() + bound
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return False


def stop(process, bound):
    began = time.monotonic()
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(bound)
        return time.monotonic() - began
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None


def seconds(value):
    if isinstance(value, str):
        return value
    return "gave up" if value is None else f"{value:.2f} s"


def run_pass(program, template, feeds, bound):
    with tempfile.TemporaryDirectory() as home:
        _, database = make_home(home, template, feeds, free_port())
        began = time.monotonic()
        process = start(program, home)
        done = wait_for(lambda: stamped(database) >= feeds or process.poll() is not None, bound)
        tasks = time.monotonic() - began if done and process.poll() is None else None
        quiet = None
        if tasks is not None:
            last, since = main_thread_ticks(process.pid), time.monotonic()
            while time.monotonic() - began < bound and process.poll() is None:
                time.sleep(0.1)
                now = main_thread_ticks(process.pid)
                if now != last:
                    last, since = now, time.monotonic()
                elif time.monotonic() - since >= 0.5:
                    quiet = since - began
                    break
        ended = stop(process, bound)
        return tasks, quiet, ended


def run_stop(program, template, feeds, share, bound):
    with tempfile.TemporaryDirectory() as home:
        data, database = make_home(home, template, feeds, free_port())
        settings = os.path.join(data, "config.xml")
        process = start(program, home)
        wait_for(lambda: stamped(database) >= max(1, int(feeds * share)) or process.poll() is not None, bound)
        os.utime(settings, (0, 0))  # only the close writes it from here on
        ended = stop(process, bound)
        saved = os.stat(settings).st_mtime > 0
        return ended, saved


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(os.path.dirname(__file__), "..", "build",
                                                          "bin", "kestrova"))
    parser.add_argument("--bound", type=float, default=600, help="seconds before a run is given up")
    parser.add_argument("--runs", default="pass,half,end", help="which of the runs to make")
    parser.add_argument("feeds", type=int, nargs="+")
    arguments = parser.parse_args()
    program = os.path.abspath(arguments.program)
    template = os.path.join(os.path.dirname(program), "template", "default.mdb")
    print(f"{'feeds':>7}  {'all stamped':>12}  {'window quiet':>12}  {'SIGTERM':>9}  "
          f"{'SIGTERM at 1/2':>14}  {'SIGTERM at end':>14}  settings")
    runs = arguments.runs.split(",")
    for feeds in arguments.feeds:
        tasks = quiet = after = half = end = "not run"
        saved_half = saved_end = True
        if "pass" in runs:
            tasks, quiet, after = run_pass(program, template, feeds, arguments.bound)
        if "half" in runs:
            half, saved_half = run_stop(program, template, feeds, 0.5, arguments.bound)
        if "end" in runs:
            end, saved_end = run_stop(program, template, feeds, 1.0, arguments.bound)
        saved = "saved" if saved_half and saved_end else "NOT saved"
        print(f"{feeds:>7}  {seconds(tasks):>12}  {seconds(quiet):>12}  {seconds(after):>9}  "
              f"{seconds(half):>14}  {seconds(end):>14}  {saved}", flush=True)


if __name__ == "__main__":
    sys.exit(main())
