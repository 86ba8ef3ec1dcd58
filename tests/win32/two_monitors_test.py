#!/usr/bin/env python3
"""roses.scr /s on two monitors side by side: its full-screen window must cover the whole
virtual screen, not only the primary monitor, and show a rose in the middle of each monitor
rather than one on the seam between them.

Xvfb cannot place two heads side by side for wine, so this test starts its own X server, Xorg
with the dummy video driver and two outputs (two_monitors.conf). Wine takes the monitor layout
from the first process of a wineserver, so the saver runs in a wineserver of its own: a
hard-linked copy of the wine prefix in WINEPREFIX (or ~/.wine). Skipped (exit code 77) when
the X server or the tools cannot start here; every process it starts is ended before it exits.

Usage: two_monitors_test.py ROSES_SCR XORG_CONF
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from wine_prefix import copy_prefix

SKIPPED = 77
MONITOR = (1024, 768)
VIRTUAL = (0, 0, 2 * MONITOR[0], MONITOR[1])


class Skip(Exception):
    pass


def wait_until(test, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = test()
        if result:
            return result
        time.sleep(step)
    return None


def end(process, seconds=5):
    """Ends a process group we started: politely first, then for certain."""
    if process is None or process.poll() is not None:
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout=seconds)
            return
        except subprocess.TimeoutExpired:
            pass


class Session:
    """The X server, the wine prefix copy and the saver; close() undoes all of them."""

    def __init__(self, work):
        self.work = work
        self.server = None
        self.saver = None
        self.env = dict(os.environ)

    def start_server(self, conf):
        # Non-root Xorg accepts only a configuration path relative to where it runs.
        shutil.copy(conf, os.path.join(self.work, "xorg.conf"))
        for number in range(200, 221):
            if os.path.exists(f"/tmp/.X{number}-lock") or \
                    os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            self.server = subprocess.Popen(
                [shutil.which("Xorg"), f":{number}", "-config", "xorg.conf", "-logfile",
                 "xorg.log", "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts",
                 "-keeptty"], cwd=self.work, stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            self.env["DISPLAY"] = f":{number}"
            if wait_until(lambda: self.server.poll() is not None or self.answers(), 10):
                if self.server.poll() is None:
                    return
            end(self.server)
            self.server = None
            log = os.path.join(self.work, "xorg.log")
            tail = open(log, errors="replace").read()[-600:] if os.path.exists(log) else ""
            raise Skip(f"Xorg with the dummy driver did not start on :{number}\n{tail}")
        raise Skip("no free display number between 200 and 220")

    def answers(self):
        return subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env,
                              capture_output=True).returncode == 0

    def copy_prefix(self):
        source = os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")
        prefix = os.path.join(self.work, "wine")
        problem = copy_prefix(source, prefix)
        if problem:
            raise Skip(problem)
        self.env["WINEPREFIX"] = prefix
        # As in the other runs: unmanaged windows, no wait for a window manager.
        self.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                  "/d", "N", "/f"])

    def run(self, args):
        return subprocess.run(args, env=self.env, check=True, capture_output=True, text=True,
                              timeout=15).stdout

    def close(self):
        end(self.saver)
        if "WINEPREFIX" in self.env:
            # The wineserver of our own copy, and nothing else.
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
            try:
                subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True,
                               timeout=10)
            except subprocess.TimeoutExpired:
                pass
        end(self.server)


def geometry(session, window):
    """(left, top, width, height) of an X window on the root."""
    fields = {}
    for line in session.run(["xwininfo", "-id", window]).splitlines():
        name, _, value = line.strip().partition(":")
        fields[name] = value.strip()
    return tuple(int(fields[name]) for name in ("Absolute upper-left X", "Absolute upper-left Y",
                                                "Width", "Height"))


def middles_lit(session):
    """Whether the middle half (both ways) of each monitor shows something not black."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=session.env,
                          capture_output=True).stdout
    width, height = MONITOR
    row = VIRTUAL[2] * 3
    if len(data) < row * height:
        return False
    for monitor in range(2):
        left = (monitor * width + width // 4) * 3
        if not any(data[y * row + left:y * row + left + width // 2 * 3].strip(b"\0")
                   for y in range(height // 4, height * 3 // 4)):
            return False
    return True


def check(session, scr):
    heads = [line.strip() for line in session.run(["xdpyinfo", "-ext", "XINERAMA"]).splitlines()
             if "head #" in line]
    print("X server heads:", heads)
    if len(heads) != 2:
        # Older dummy drivers have no outputs: one wide screen, which proves nothing here.
        raise Skip("this X server's dummy driver cannot present two monitors")

    session.saver = subprocess.Popen(["wine", scr, "/s"], env=session.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)

    def window():
        if session.saver.poll() is not None:
            return "ended"
        found = subprocess.run(["xdotool", "search", "--name", "^Screen Saver$"],
                               env=session.env, capture_output=True, text=True).stdout.split()
        return found[0] if found and middles_lit(session) else None

    shown = wait_until(window, 20, 0.25)
    if shown in (None, "ended"):
        return f"no rose in the middle of each monitor within 20 s (saver " \
               f"{shown or 'still running'})"
    rect = geometry(session, shown)
    print(f"full-screen window (left, top, width, height): {rect}; expected {VIRTUAL}")

    session.run(["xdotool", "key", "space"])
    try:
        code = session.saver.wait(timeout=5)
    except subprocess.TimeoutExpired:
        return "still running 5 s after a key press"
    if code != 0:
        return f"ended with {code} after a key press"
    if rect != VIRTUAL:
        return "the window does not cover both monitors"
    return None


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    scr, conf = sys.argv[1], os.path.abspath(sys.argv[2])
    missing = [tool for tool in ("Xorg", "wine", "wineserver", "xdotool", "xwininfo",
                                 "xdpyinfo", "import") if not shutil.which(tool)]
    if missing:
        print("skipped: missing", " ".join(missing))
        return SKIPPED
    # ctest ends a test that overruns with SIGTERM: clean up on the way out all the same.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    work = tempfile.mkdtemp(prefix="two-monitors-", dir=os.getcwd())
    session = Session(work)
    try:
        session.start_server(conf)
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
