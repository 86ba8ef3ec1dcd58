#!/usr/bin/env python3
"""roses.scr /s on two monitors side by side: its full-screen window must cover the whole
virtual screen, not only the primary monitor, and show a rose in the middle of each monitor
rather than one on the seam between them.

Xvfb cannot place two heads side by side for wine, so this test starts its own X server, the
harness's Xorg with the dummy video driver and two outputs. Wine takes the monitor layout
from the first process of a wineserver, so the saver runs in a wineserver of its own: a
hard-linked copy of the wine prefix in WINEPREFIX (or ~/.wine). Wine 10 shows a window that
covers a whole monitor on that monitor alone: there the left monitor's rose must still be in
its middle, not on the seam. Skipped (exit code 77) when the X server or the tools cannot
start here; every process it starts is ended before it exits.

Usage: two_monitors_test.py ROSES_SCR
"""
import os
import shutil
import subprocess
import sys
import tempfile

from roses_testing.checks import SKIPPED
from roses_testing.image import screenshot
from roses_testing.processes import spawn, stop, unwind_on_sigterm, wait_until
from roses_testing.wine import copy_prefix, shared_prefix, unmanaged_windows, version
from roses_testing.x11 import windows_named, xdotool
from roses_testing.xserver import DUMMY_MONITOR, start_two_monitor_xorg

VIRTUAL = (0, 0, 2 * DUMMY_MONITOR[0], DUMMY_MONITOR[1])


class Skip(Exception):
    pass


class Session:
    """The X server, the wine prefix copy and the saver; close() undoes all of them."""

    def __init__(self, work):
        self.work = work
        self.server = None
        self.saver = None
        self.env = dict(os.environ)

    def start_server(self):
        try:
            self.server, self.env["DISPLAY"] = start_two_monitor_xorg(self.work)
        except RuntimeError as reason:
            raise Skip(str(reason))

    def copy_prefix(self):
        prefix = os.path.join(self.work, "wine")
        problem = copy_prefix(shared_prefix(), prefix)
        if problem:
            raise Skip(problem)
        self.env["WINEPREFIX"] = prefix
        unmanaged_windows(self.env)

    def run(self, args):
        return subprocess.run(args, env=self.env, check=True, capture_output=True, text=True,
                              timeout=15).stdout

    def close(self):
        if self.saver:
            stop(self.saver, 5)
        if "WINEPREFIX" in self.env:
            # The wineserver of our own copy, and nothing else.
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
            try:
                subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True,
                               timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if self.server:
            stop(self.server, 5)


def geometry(session, window):
    """(left, top, width, height) of an X window on the root."""
    fields = {}
    for line in session.run(["xwininfo", "-id", str(window)]).splitlines():
        name, _, value = line.strip().partition(":")
        fields[name] = value.strip()
    return tuple(int(fields[name]) for name in ("Absolute upper-left X", "Absolute upper-left Y",
                                                "Width", "Height"))


def roses_apart(session, monitors):
    """Whether the middle half (both ways) of each of the first monitors shows something while
    the seam between the two is dark. Both roses start small, so the seam is still dark when
    both middles light up; one rose centred on the seam lights the seam first."""
    picture = screenshot(env=session.env)
    width, height = DUMMY_MONITOR
    return all(picture.lit(monitor * width + width // 4, height // 4, width // 2, height // 2)
               for monitor in range(monitors)) and picture.lit(width - 32, 0, 64, height) == 0


def check(session, scr):
    expected, monitors = VIRTUAL, 2
    if version() >= 10:
        print("wine 10 cuts a window that covers a whole monitor down to that monitor: only "
              "the left one's rose can be seen")
        expected, monitors = (0, 0, *DUMMY_MONITOR), 1
    session.saver = spawn(["wine", scr, "/s"], env=session.env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          start_new_session=True)

    def window():
        if session.saver.poll() is not None:
            return "ended"
        found = windows_named("Screen Saver", env=session.env)
        return found[0] if found and roses_apart(session, monitors) else None

    shown = wait_until(window, 20, 0.25)
    if shown in (None, "ended"):
        return f"no separate rose in the middle of each monitor within 20 s (saver " \
               f"{shown or 'still running'})"
    rect = geometry(session, shown)
    print(f"full-screen window (left, top, width, height): {rect}; expected {expected}")

    xdotool("key", "space", env=session.env)
    try:
        code = session.saver.wait(timeout=5)
    except subprocess.TimeoutExpired:
        return "still running 5 s after a key press"
    if code != 0:
        return f"ended with {code} after a key press"
    if rect != expected:
        return f"the window is not {expected}"
    return None


def main():
    unwind_on_sigterm()
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    scr = sys.argv[1]
    missing = [tool for tool in ("Xorg", "wine", "wineserver", "xdotool", "xwininfo",
                                 "xdpyinfo", "import") if not shutil.which(tool)]
    if missing:
        print("skipped: missing", " ".join(missing))
        return SKIPPED
    work = tempfile.mkdtemp(prefix="two-monitors-", dir=os.getcwd())
    session = Session(work)
    try:
        session.start_server()
        session.copy_prefix()
        failure = check(session, scr)
    except Skip as reason:
        print("skipped:", reason)
        return SKIPPED
    finally:
        session.close()
        shutil.rmtree(work, ignore_errors=True)
    if failure:
        print("FAILED:", failure)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
