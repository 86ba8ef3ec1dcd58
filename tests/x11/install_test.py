"""cmake --install lays out what XScreenSaver and desktops look for: the hack under
libexec/xscreensaver, its settings description, its manual page and its desktop entry."""

import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from xharness import Checks

cmake, build = sys.argv[1], sys.argv[2]
checks = Checks()

with tempfile.TemporaryDirectory() as prefix:
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

checks.finish()
