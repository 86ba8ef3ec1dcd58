"""Inside the real XScreenSaver daemon: activating the daemon puts roses on the screen and
deactivating it ends our process.

The daemon starts no hack when it runs as root, so it runs as nobody with a home of its own
whose ~/.xscreensaver lists only our program. Optional further arguments: a path where a
screenshot of the running hack is kept, and how many seconds to let it draw before that."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from xharness import (SLOW, Checks, binary_from_arguments, screenshot, spawn, wait_until,
                      xvfb)

roses = binary_from_arguments()
keep_screenshot = sys.argv[2] if len(sys.argv) > 2 else None
keep_after = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0
checks = Checks()

# Run as root, the test hands the daemon to nobody; an ordinary user runs it as is.
AS_NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] \
    if os.geteuid() == 0 else []


def children():
    """Every process's parent, by process id."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
                parents[int(entry)] = (int(fields[1]), fields[0])
            except (OSError, IndexError, ValueError):
                pass
    return parents


def descendants(root):
    """The living processes below root, nearest first."""
    parents = children()
    found, frontier = [], [root]
    while frontier:
        parent = frontier.pop(0)
        for pid, (ppid, state) in parents.items():
            if ppid == parent and state != "Z":
                found.append(pid)
                frontier.append(pid)
    return found


def running_copy(daemon, binary):
    """The process id of our program below the daemon, once it is there."""
    for pid in descendants(daemon):
        try:
            if os.readlink(f"/proc/{pid}/exe") == binary:
                return pid
        except OSError:
            pass
    return None


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


workspace = tempfile.mkdtemp(prefix="roses-xscreensaver-")
try:
    # Everything the unprivileged daemon touches lives here, readable by nobody wherever the
    # build tree is.
    os.chmod(workspace, 0o755)
    hack = os.path.join(workspace, "roses")
    shutil.copy(roses, hack)
    os.chmod(hack, 0o755)
    home = os.path.join(workspace, "home")
    os.mkdir(home)
    with open(os.path.join(home, ".xscreensaver"), "w") as settings:
        settings.write("mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\n"
                       "splash: False\n"
                       f"programs: GL: {hack} --root \\n\n")
    if AS_NOBODY:
        shutil.chown(home, "nobody", "nogroup")
        shutil.chown(os.path.join(home, ".xscreensaver"), "nobody", "nogroup")
    log = open(os.path.join(workspace, "daemon.log"), "w+")

    with xvfb(1024, 768) as display:
        env = dict(os.environ, HOME=home, DISPLAY=display)

        def command(*args):
            return subprocess.run([*AS_NOBODY, "xscreensaver-command", *args], env=env,
                                  capture_output=True, text=True, timeout=30)

        daemon = spawn([*AS_NOBODY, "xscreensaver", "-no-splash", "-verbose"], env=env,
                       stdout=log, stderr=subprocess.STDOUT)
        try:
            ready = wait_until(lambda: command("-version").returncode == 0, 20 * SLOW,
                               step=0.5)
            checks.expect(ready, "the daemon did not answer xscreensaver-command")

            def daemon_log():
                log.seek(0)
                return "\n--- daemon log ---\n" + log.read()[-3000:]

            command("-activate")
            pid = wait_until(lambda: running_copy(daemon.pid, hack), 15 * SLOW, step=0.2)
            checks.expect(pid, "the daemon did not start roses" + daemon_log())
            started = time.monotonic()
            picture = wait_until(lambda: screenshot().lit() > 0, 10 * SLOW, step=0.5)
            checks.expect(picture, "nothing on the screen 10 s after -activate" + daemon_log())
            if pid:
                checks.expect(alive(pid),
                              "roses ended while the saver was active" + daemon_log())
                print(f"roses drew within {time.monotonic() - started:.1f} s of starting")
                if keep_screenshot:
                    time.sleep(keep_after)
                    screenshot(keep_screenshot)

                command("-deactivate")
                ended = wait_until(lambda: not alive(pid), 5 * SLOW)
                checks.expect(ended, "roses still runs after -deactivate" + daemon_log())
            command("-exit")
            wait_until(lambda: daemon.poll() is not None, 5)
        finally:
            # The daemon's helpers and the hack run as nobody, below the daemon: end them by
            # process id before the server goes.
            leftovers = descendants(daemon.pid)
            if daemon.poll() is None:
                daemon.terminate()
            for pid in leftovers:
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
finally:
    shutil.rmtree(workspace, ignore_errors=True)

checks.finish()
