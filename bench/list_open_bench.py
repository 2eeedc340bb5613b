#!/usr/bin/env python3
"""The real program starting with one open list of many feeds.

    xvfb-run -a -s "-screen 0 1280x1024x24" bench/list_open_bench.py [--program=build/bin/kestrova] [--items=2] N...

For each N: a private HOME with one list of N feeds, marked open in the tree
file, so that the start reads its feeds into the tree before the window
shows. Every tenth feed has no title; each has --items items, one of them
unread; none is due for a refresh. The program runs under gdb, which notes
the clock (no breakpoint stops in between) when the list's loading starts,
when the tree control is first asked to expand after that (the feeds are in
by then), and when the start goes on to the item list's columns, the step
after the tree; then the program is killed.

    reading   the list database read and the feeds put into the tree
    expanding the tree control laying out the open list's items
    opening   both: the list's share of the start

Run by hand; no test runs it.
"""

import argparse
import os
import sqlite3
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from refresh_close_bench import free_port, make_data_folder, seconds  # noqa: E402

GDB_SCRIPT = """
set pagination off
set confirm off
set breakpoint pending on
python
marks = {}
class Mark(gdb.Breakpoint):
    def __init__(self, spec, name, after=None, last=False):
        super().__init__(spec, internal=True)
        self.name, self.after, self.last = name, after, last
    def stop(self):
        import time
        if self.after is None or self.after in marks:
            marks.setdefault(self.name, time.monotonic())
        return self.last
Mark("CMainFrame::LoadListFeeds", "load")
Mark("wxGenericTreeCtrl::Expand", "expand", after="load")
Mark("CMainFrame::CreateListColumns", "done", after="load", last=True)
end
run
python print("MARKS", *(marks.get(name, -1) for name in ("load", "expand", "done")))
kill
quit
"""


def make_home(folder, template, feeds, items, port):
    _, database = make_data_folder(folder, template, ' status="expand"')
    with sqlite3.connect(database) as db:
        addresses = [f"http://127.0.0.1:{port}/feed/{n}" for n in range(feeds)]
        db.executemany(
            "INSERT INTO channel (feed, description, title, ttl, attributes) VALUES (?, '', ?, 100000, 0)",
            ((address, "" if n % 10 == 0 else f"Feed {feeds - n}") for n, address in enumerate(addresses)))
        db.executemany(
            "INSERT INTO item (title, link, description, feed, readstatus) VALUES ('story', ?, ?, ?, ?)",
            ((f"{address}/item/{n}", "text " * 40, address, 0 if n == 0 else 1)
             for address in addresses for n in range(items)))


def run(program, template, feeds, items, bound):
    with tempfile.TemporaryDirectory() as home:
        make_home(home, template, feeds, items, free_port())
        script = os.path.join(home, "bench.gdb")
        with open(script, "w") as out:
            out.write(GDB_SCRIPT)
        environment = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=os.path.join(home, "run"))
        try:
            result = subprocess.run(["gdb", "-q", "-nx", "-batch", "-x", script, "--args", program],
                                    env=environment, capture_output=True, text=True, timeout=bound)
        except subprocess.TimeoutExpired:
            return None
        for line in result.stdout.splitlines():
            if line.startswith("MARKS "):
                load, expand, done = (float(value) for value in line.split()[1:])
                if min(load, expand, done) < 0:
                    return None
                return expand - load, done - expand, done - load
        return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(os.path.dirname(__file__), "..", "build",
                                                          "bin", "kestrova"))
    parser.add_argument("--items", type=int, default=2, help="items per feed, one of them unread")
    parser.add_argument("--bound", type=float, default=900, help="seconds before a run is given up")
    parser.add_argument("feeds", type=int, nargs="+")
    arguments = parser.parse_args()
    program = os.path.abspath(arguments.program)
    template = os.path.join(os.path.dirname(program), "template", "default.mdb")
    print(f"{'feeds':>7}  {'items':>5}  {'reading':>9}  {'expanding':>9}  {'opening':>9}")
    for feeds in arguments.feeds:
        figures = run(program, template, feeds, arguments.items, arguments.bound) or ("gave up",) * 3
        print(f"{feeds:>7}  {arguments.items:>5}  " + "  ".join(f"{seconds(value):>9}" for value in figures),
              flush=True)


if __name__ == "__main__":
    sys.exit(main())
