"""Driving an X display from outside as a user would: xdotool's input, windows found by
title, roses waited for on the screen, and the real XScreenSaver daemon."""

import os
import signal
import subprocess
import tempfile
import time

from roses_testing.image import screenshot
from roses_testing.processes import SLOW, alive, descendants, spawn, wait_until

# Run as root, the XScreenSaver daemon is handed to nobody (it starts no hack as root); an
# ordinary user runs it as is.
AS_NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] \
    if os.geteuid() == 0 else []


def xdotool(*args, env=None):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True,
                          text=True, timeout=10, env=env).stdout.strip()


def windows_named(title, env=None):
    """The ids of the windows with exactly this title."""
    result = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True,
                            text=True, timeout=10, env=env)
    return [int(found) for found in result.stdout.split()]


def find_window(name, timeout=15):
    """The id of the first window with this title, once it exists."""
    return wait_until(lambda: next(iter(windows_named(name)), None), timeout, step=0.2)


def wait_for_rose(x, y, width, height, timeout):
    """The first screenshot with something drawn inside the rectangle, or None."""
    def lit_picture():
        picture = screenshot()
        return picture if picture.lit(x, y, width, height) > 0 else None
    return wait_until(lit_picture, timeout, step=0.25)


def expect_follows_resize(checks, program, window, old, new, timeout):
    """Resizes the window from the old rectangle (x, y, width, height) to the new one at the
    same place and expects the picture laid out for the new size: once the rose has grown over
    a quarter of the new window, pixels beyond the old bounds and the rose's box centred in
    the new window (within its middle half: the camera wanders). A rose of many points takes
    up to half a minute to spread that far, so give it that much and more."""
    x, y, width, height = new
    what = f"resized from {old[2]}x{old[3]} to {width}x{height}"
    xdotool("windowsize", window, width, height)

    def centred(box):
        centre_x, centre_y = (box[0] + box[2]) / 2 - x, (box[1] + box[3]) / 2 - y
        return abs(centre_x - width / 2) < width / 4 and abs(centre_y - height / 2) < height / 4

    # A rose that has only grown its thin tail can lie off centre for a while: the check
    # waits for the grown figure to come to the middle, and keeps the last grown picture to
    # say what it saw when it never does.
    last_grown = [None]

    def grown_and_centred():
        picture = screenshot()
        box = picture.lit_box()
        spread = box and (box[2] - box[0] >= width / 4 or box[3] - box[1] >= height / 4)
        if not (spread and picture.lit_outside(*old) > 0):
            return None
        last_grown[0] = picture
        return picture if centred(box) else None
    picture = wait_until(grown_and_centred, timeout, step=0.25) or last_grown[0]
    if not checks.expect(picture, f"{what}: no rose grown beyond the old bounds", program):
        return
    checks.expect(picture.lit_outside(x, y, width, height) == 0,
                  f"{what}: pixels lit outside the window")
    left, top, right, bottom = picture.lit_box()
    checks.expect(centred((left, top, right, bottom)),
                  f"{what}: the rose's box {left},{top} to {right},{bottom} is not centred in "
                  f"the window", program)


def running_copy(daemon, binary):
    """The process id of our program below the daemon, once it is there."""
    for pid in descendants(daemon):
        try:
            if os.readlink(f"/proc/{pid}/exe") == binary:
                return pid
        except OSError:
            pass
    return None


def daemon_draws(checks, home, hack, env=None, keep_screenshot=None, keep_after=0.0):
    """Runs the real XScreenSaver daemon on the current display with the settings in home
    (as nobody when we are root: it starts no hack as root), activates it and expects the
    hack at path hack to start below it, draw, and end on deactivation."""
    log = tempfile.TemporaryFile("w+")
    env = dict(env or os.environ, HOME=home)

    def command(*args):
        return subprocess.run([*AS_NOBODY, "xscreensaver-command", *args], env=env,
                              capture_output=True, text=True, timeout=30)

    def daemon_log():
        log.seek(0)
        return "\n--- daemon log ---\n" + log.read()[-3000:]

    daemon = spawn([*AS_NOBODY, "xscreensaver", "-no-splash", "-verbose"], env=env, stdout=log,
                   stderr=subprocess.STDOUT)
    try:
        ready = wait_until(lambda: command("-version").returncode == 0, 20 * SLOW, step=0.5)
        checks.expect(ready, "the daemon did not answer xscreensaver-command")
        command("-activate")
        pid = wait_until(lambda: running_copy(daemon.pid, hack), 15 * SLOW, step=0.2)
        checks.expect(pid, f"the daemon did not start {hack}" + daemon_log())
        started = time.monotonic()
        picture = wait_until(lambda: not screenshot().black(), 10 * SLOW, step=0.5)
        checks.expect(picture, "nothing on the screen 10 s after -activate" + daemon_log())
        if pid:
            checks.expect(alive(pid), "the hack ended while the saver was active" + daemon_log())
            print(f"the hack drew within {time.monotonic() - started:.1f} s of starting")
            if keep_screenshot:
                time.sleep(keep_after)
                screenshot(keep_screenshot)
            command("-deactivate")
            checks.expect(wait_until(lambda: not alive(pid), 5 * SLOW),
                          "the hack still runs after -deactivate" + daemon_log())
        command("-exit")
        wait_until(lambda: daemon.poll() is not None, 5)
    finally:
        # The daemon's helpers and the hack run as nobody, below the daemon: end them by
        # process id before the server goes.
        kill_with_children(daemon)


def kill_with_children(process):
    """Ends a program and all it started, by process id: helpers that run as another user, or
    in sessions of their own, are not in its process group."""
    leftovers = descendants(process.pid)
    process.kill()
    for pid in leftovers:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    process.wait()


def locker_draws(checks, home, hack):
    """Runs xsecurelock on the current display with its XScreenSaver saver, which reads the
    same settings in home as the daemon, and finds the hack by name in the folder the package
    installs it to; expects the hack to start below it and draw."""
    log = tempfile.TemporaryFile("w+")
    env = dict(os.environ, HOME=home, XSECURELOCK_SAVER="saver_xscreensaver",
               XSECURELOCK_XSCREENSAVER_PATH=os.path.dirname(hack),
               # No compositing manager runs here, and no composite overlay is needed.
               XSECURELOCK_NO_COMPOSITE="1")
    locker = spawn(["xsecurelock"], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        pid = wait_until(lambda: running_copy(locker.pid, hack), 15 * SLOW, step=0.2)
        log.seek(0)
        checks.expect(pid, f"xsecurelock did not start {hack}:\n{log.read()[-2000:]}")
        if pid:
            started = time.monotonic()
            picture = wait_until(lambda: not screenshot().black(), 10 * SLOW, step=0.5)
            checks.expect(picture, "xsecurelock showed nothing of the hack within 10 s")
            print(f"under xsecurelock the hack drew within {time.monotonic() - started:.1f} s")
    finally:
        # A locker ends on a password; here it ends with its children, by process id.
        kill_with_children(locker)


# The desktops' own savers, each chosen the way its settings dialog chooses a single hack:
# through its settings store, on a session bus of its own (xfconfd and dconf start on it).
FRONT_ENDS = {
    "xfce4-screensaver": [
        ["xfconf-query", "-c", "xfce4-screensaver", "-n", "-p", "/saver/mode", "-t", "int",
         "-s", "2"],
        ["xfconf-query", "-c", "xfce4-screensaver", "-n", "-p", "/saver/themes/list", "-a",
         "-t", "string", "-s", "screensavers-roses"],
        ["xfconf-query", "-c", "xfce4-screensaver", "-n", "-p", "/lock/enabled", "-t", "bool",
         "-s", "false"]],
    "mate-screensaver": [
        ["gsettings", "set", "org.mate.screensaver", "mode", "single"],
        ["gsettings", "set", "org.mate.screensaver", "themes", "['screensavers-roses']"],
        ["gsettings", "set", "org.mate.screensaver", "lock-enabled", "false"]],
}


def front_end_draws(checks, name, home, hack):
    """Runs a desktop's saver (a key of FRONT_ENDS) on the current display with Roses chosen
    in its settings, activates it and expects the hack it finds in the desktop entries to
    start below it and draw."""
    log = tempfile.TemporaryFile("w+")
    # The settings services that the bus starts keep their files in its HOME.
    bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1",
                          "--print-pid=1"], env=dict(os.environ, HOME=home),
                         capture_output=True, text=True, check=True)
    address, bus_pid = bus.stdout.split()
    env = dict(os.environ, HOME=home, DBUS_SESSION_BUS_ADDRESS=address)
    saver = None
    try:
        for command in FRONT_ENDS[name]:
            subprocess.run(command, env=env, capture_output=True, timeout=30, check=True)
        saver = spawn([name, "--debug"], env=env, stdout=log, stderr=subprocess.STDOUT)

        def activated():
            subprocess.run([f"{name}-command", "--activate"], env=env, capture_output=True,
                           timeout=30)
            return running_copy(saver.pid, hack)
        pid = wait_until(activated, 15 * SLOW, step=0.5)
        log.seek(0)
        said = [line for line in log.read().splitlines() if "theme" in line or "job" in line]
        checks.expect(pid, f"{name} did not start {hack}:\n" + "\n".join(said[-10:]))
        if pid:
            picture = wait_until(lambda: not screenshot().black(), 10 * SLOW, step=0.5)
            checks.expect(picture, f"{name} showed nothing of the hack within 10 s")
            print(f"{name} ran the hack, and it drew")
    finally:
        if saver:
            kill_with_children(saver)
        os.kill(int(bus_pid), signal.SIGTERM)
