"""Wine prefixes: the settings every wine run here wants, the shared prefix made ready once,
and private copies for tests that need a wineserver of their own or change what the shared
prefix must keep."""

import os
import re
import shutil
import subprocess

# Every wine run here: no debug channels, and no search for Mono or Gecko, which a prefix made
# without a network would wait for.
ENVIRONMENT = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


def version():
    """The major version of the wine on the PATH, as "wine --version" gives it (8, 10)."""
    said = subprocess.run(["wine", "--version"], capture_output=True, text=True, timeout=30,
                          stdin=subprocess.DEVNULL).stdout
    found = re.match(r"wine-(\d+)\.", said)
    return int(found.group(1)) if found else 0


def shared_prefix():
    """The prefix that tools/test prepares, or wine's default."""
    return os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")


def unmanaged_windows(env=None):
    """Without a window manager wine waits two seconds for one to withdraw each managed
    window that is hidden; unmanaged windows show the saver's own timing."""
    # No pipes: the wine processes that a persistent wineserver keeps would inherit them and
    # hold them open.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                    "/d", "N", "/f"], env=env, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def prepare(prefix):
    """Makes the prefix ready for many short wine runs and sets WINEPREFIX and ENVIRONMENT in
    this process's environment, which the programs it starts inherit: initialised once (about
    8 s), with a persistent wineserver and the prefix's services started here, and unmanaged
    windows. No pipes: a wineserver that a test's wine run started would inherit that test's
    output and hold its runner waiting until the last wine program of every other test had
    ended (a 4 ms test took 87 s)."""
    os.environ.update(ENVIRONMENT, WINEPREFIX=str(prefix))
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        subprocess.run(["wineboot", "-i"], **quiet)
        subprocess.run(["wineserver", "-w"], **quiet)
    subprocess.run(["wineserver", "-p"], **quiet)
    subprocess.run(["wineboot"], **quiet)
    unmanaged_windows()


def copy_prefix(source, prefix, private=()):
    """Copies the prefix at source to prefix; returns why it cannot, or None. Hard links make
    the copy of the large Windows tree instant, and new files written into the copy do not
    reach the source; but a file rewritten in place would. The wineserver rewrites its
    registry files in place, so those (the top-level files) are real copies, and so is every
    path in private (relative to the prefix) that exists."""
    if not os.path.isfile(os.path.join(source, "system.reg")):
        return f"no initialised wine prefix at {source}"
    if subprocess.run(["cp", "-al", source, prefix], capture_output=True).returncode != 0:
        return "the wine prefix cannot be hard-linked into the build tree"
    top_level = [name for name in os.listdir(prefix)
                 if os.path.isfile(os.path.join(prefix, name))]
    for name in [*top_level, *private]:
        path = os.path.join(prefix, name)
        if os.path.isfile(path) and not os.path.islink(path):
            os.unlink(path)
            shutil.copy2(os.path.join(source, name), path)
    return None

