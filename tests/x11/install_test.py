"""cmake --install lays out what XScreenSaver and desktops look for: the hack under
libexec/xscreensaver, its settings description, its manual page and its desktop entry; and
the command that puts it into the user's XScreenSaver list edits that list alone, and
writes a file the real daemon runs the hack from."""

import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from roses_testing.checks import Checks
from roses_testing.processes import unwind_on_sigterm
from roses_testing.x11 import AS_NOBODY, daemon_draws
from roses_testing.xserver import xvfb

unwind_on_sigterm()

cmake, build = sys.argv[1], sys.argv[2]

SYSTEM_LIST = """*programs:\t\t\t\t\t\t\t\t      \\
\t\t\t\tmaze --root\t\t\t\t    \\n\\
  GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n
"""
OTHER_SETTINGS = "mode: one\nselected: 2\nlock: False\nfade: False\nunfade: False\n"
USER_LIST = """programs:\t\t\t\t\t\t\t\t      \\
\t\t\t\tmaze --root\t\t\t\t    \\n\\
- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n
"""
TAIL = "splash: False\n"


def check_list_command(command, hack, workspace):
    """The four starting points a user can be at, each against what it must become."""
    settings = os.path.join(workspace, ".xscreensaver")
    env = dict(os.environ, XSCREENSAVER_SETTINGS=settings,
               XSCREENSAVER_DEFAULTS=os.path.join(workspace, "XScreenSaver"))
    with open(env["XSCREENSAVER_DEFAULTS"], "w") as defaults:
        defaults.write("*lock: False\n" + SYSTEM_LIST + "*fade: True\n")

    def run(action):
        result = subprocess.run([command, action], env=env, capture_output=True, text=True,
                                timeout=30)
        checks.expect(result.returncode == 0, f"{action}: exit code {result.returncode}: "
                      f"{result.stderr}")
        with open(settings) as written:
            return written.read()

    entry = f"  GL:                {hack} --root \\n\n"
    # No file at all: the system's list plus ours, and nothing else.
    got = run("add")
    checks.expect(got == SYSTEM_LIST.replace("*programs", "programs").replace(
        "--root\t\t\t    \\n\n", "--root\t\t\t    \\n\\\n") + entry,
        f"add without a file wrote:\n{got}")
    checks.expect(not os.path.exists(settings + ".roses-backup"), "a backup of no file")

    # A file with a list of the user's own: only the list changes, twice adds once, and
    # the backup is the file as it was.
    original = OTHER_SETTINGS + USER_LIST + TAIL
    with open(settings, "w") as file:
        file.write(original)
    added = run("add")
    checks.expect(added == OTHER_SETTINGS + USER_LIST.replace(
        "    \\n\n", "    \\n\\\n") + entry + TAIL, f"add to a list wrote:\n{added}")
    checks.expect(run("add") == added, "a second add changed the file")
    with open(settings + ".roses-backup") as backup:
        checks.expect(backup.read() == original, "the backup is not the file as it was")
    checks.expect(run("remove") == original, "remove did not give back the file as it was")
    checks.expect(run("remove") == original, "remove without our line changed the file")
    run("add")


checks = Checks()
with tempfile.TemporaryDirectory() as prefix:
    # Readable by nobody, who runs the daemon below.
    os.chmod(prefix, 0o755)
    subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True,
                   capture_output=True, timeout=120)
    hack = os.path.join(prefix, "libexec/xscreensaver/roses")
    checks.expect(os.access(hack, os.X_OK), "no executable libexec/xscreensaver/roses")
    if os.access(hack, os.X_OK):
        version = subprocess.run([hack, "--version"], capture_output=True, text=True, timeout=30)
        checks.expect(version.returncode == 0 and version.stdout.startswith("roses "),
                      f"the installed program does not run: {version.stderr}")

    settings = os.path.join(prefix, "share/xscreensaver/config/roses.xml")
    if checks.expect(os.path.isfile(settings), "no share/xscreensaver/config/roses.xml"):
        saver = ElementTree.parse(settings).getroot()
        checks.expect(saver.tag == "screensaver" and saver.get("name") == "roses" and
                      saver.get("_label") == "Roses" and saver.get("gl") == "yes",
                      f"roses.xml: unexpected root {saver.tag} {saver.attrib}")
        command = saver.find("command")
        checks.expect(command is not None and command.get("arg") == "--root",
                      "roses.xml: no --root command")
        description = saver.findtext("_description") or ""
        checks.expect("z^2 + c" in description, "roses.xml: no description")

    manual = os.path.join(prefix, "share/man/man6/roses.6")
    if checks.expect(os.path.isfile(manual), "no share/man/man6/roses.6"):
        with open(manual) as page:
            text = page.read()
        checks.expect(text.startswith(".TH ROSES 6") and "XSCREENSAVER_WINDOW" in text,
                      "roses.6 is not the manual page")

    entry = os.path.join(prefix, "share/applications/screensavers/roses.desktop")
    if checks.expect(os.path.isfile(entry), "no share/applications/screensavers/roses.desktop"):
        with open(entry) as desktop:
            lines = desktop.read().splitlines()
        checks.expect(lines[0] == "[Desktop Entry]", "roses.desktop has no [Desktop Entry]")
        checks.expect(f"Exec={hack} --root" in lines and f"TryExec={hack}" in lines,
                      f"roses.desktop does not name the installed program: {lines}")

    command = os.path.join(prefix, "bin/roses-xscreensaver-list")
    if checks.expect(os.access(command, os.X_OK), "no executable bin/roses-xscreensaver-list"):
        home = os.path.join(prefix, "home")
        os.mkdir(home)
        check_list_command(command, hack, home)
        # The file it wrote, with ours third in the list, is one the daemon runs it from.
        if AS_NOBODY:
            shutil.chown(home, "nobody", "nogroup")
            shutil.chown(os.path.join(home, ".xscreensaver"), "nobody", "nogroup")
        with xvfb(640, 480):
            daemon_draws(checks, home, hack)

checks.finish()
