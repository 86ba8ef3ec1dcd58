"""The Debian packages as users get them: lintian finds nothing wrong with either; apt installs
the build machine's package with every file where Debian's hacks keep theirs and the program
on the PATH, the real XScreenSaver daemon finds the hack by name alone and it draws, and
purging the package leaves nothing of it behind; the arm64 package holds the same files and
its program, run under qemu, draws what the build machine's draws.

Installing changes the machine, so this runs only as root (as CI does), only when
tools/package has built the packages, and never over an installation of the user's own."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from roses_testing.checks import Checks, skip
from roses_testing.processes import unwind_on_sigterm
from roses_testing.x11 import AS_NOBODY, daemon_draws
from roses_testing.xserver import xvfb

unwind_on_sigterm()

packages, version = sys.argv[1], sys.argv[2]
checks = Checks()

# dpkg-buildpackage names the packages after debian/changelog, everything else after CMake.
changelog = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../debian/changelog")
with open(changelog) as entries:
    named = re.match(r"roses \(([^)]*)\)", entries.readline())
checks.expect(named and named.group(1) == version,
              f"debian/changelog is at {named and named.group(1)}, CMakeLists.txt at {version}")
if checks.failures:
    checks.finish()

arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True,
                      check=True).stdout.strip()
deb = os.path.join(packages, f"roses_{version}_{arch}.deb")
arm64_deb = os.path.join(packages, f"roses_{version}_arm64.deb")
if os.geteuid() != 0:
    skip("installing a package needs root")
if not os.path.isfile(deb):
    skip(f"no {deb}; tools/package deb builds it")
if subprocess.run(["dpkg-query", "-W", "roses"], capture_output=True).returncode == 0:
    skip("a roses package is installed already; the test would remove it")
if not os.path.isfile(arm64_deb):
    print(f"no {arm64_deb} (tools/package deb_arm64 builds it with the cross toolchain): "
          "checking the build machine's package only")
    arm64_deb = None
debs = [deb] + ([arm64_deb] if arm64_deb else [])

FILES = ["/usr/libexec/xscreensaver/roses", "/usr/share/xscreensaver/config/roses.xml",
         "/usr/share/man/man6/roses.6x.gz", "/usr/share/applications/screensavers/roses.desktop",
         "/usr/share/doc/roses/copyright", "/usr/share/doc/roses/changelog.gz",
         "/usr/share/doc/roses/NEWS.md.gz", "/usr/share/man/man1/roses-xscreensaver-list.1.gz",
         "/usr/bin/roses-xscreensaver-list", "/usr/bin/roses"]
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=120"]
env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
install = subprocess.run([*APT, "install", "--no-install-recommends", os.path.abspath(deb)],
                         env=env, capture_output=True, text=True, timeout=300)
try:
    if checks.expect(install.returncode == 0, f"apt could not install it:\n{install.stdout}"
                     f"{install.stderr}"):
        for path in FILES:
            checks.expect(os.path.isfile(path), f"{path} is not installed")
        # Users start it by name, on X11 and on Wayland.
        user = dict(env, PATH="/usr/local/bin:/usr/bin:/bin")
        shown = subprocess.run(["roses", "--version"], env=user, capture_output=True, text=True)
        checks.expect(shown.returncode == 0 and version in shown.stdout,
                      f"roses --version from the PATH: {shown.stdout}{shown.stderr}")
        wayland = subprocess.run(["roses", "-wayland", "-help"], env=user, capture_output=True,
                                 text=True)
        checks.expect(wayland.returncode == 0 and "wayland" in wayland.stdout,
                      f"roses -wayland -help from the PATH: {wayland.stdout}{wayland.stderr}")
        with open("/usr/share/doc/roses/copyright") as copyright:
            text = copyright.read()
        checks.expect(text.startswith("Format: ") and "License: Expat" in text and
                      "Permission is hereby granted" in text, "copyright: not the licence")

        workspace = tempfile.mkdtemp(prefix="roses-package-")
        try:
            os.chmod(workspace, 0o755)
            with open(os.path.join(workspace, ".xscreensaver"), "w") as settings:
                settings.write("mode: one\nselected: 0\nlock: False\nfade: False\n"
                               "unfade: False\nsplash: False\nprograms: GL: roses --root \\n\n")
            if AS_NOBODY:
                shutil.chown(workspace, "nobody", "nogroup")
                shutil.chown(os.path.join(workspace, ".xscreensaver"), "nobody", "nogroup")
            with xvfb(640, 480):
                daemon_draws(checks, workspace, FILES[0])
        finally:
            shutil.rmtree(workspace, ignore_errors=True)
finally:
    listed = subprocess.run(["dpkg-query", "-L", "roses"], capture_output=True,
                            text=True).stdout.split()
    purge = subprocess.run([*APT, "purge", "roses"], env=env, capture_output=True, text=True,
                           timeout=300)
    checks.expect(purge.returncode == 0, f"apt could not purge it:\n{purge.stderr}")
    left = [path for path in listed + FILES + ["/usr/share/doc/roses"]
            if os.path.lexists(path) and (not os.path.isdir(path) or "roses" in path)]
    checks.expect(not left, f"left behind after the purge: {left}")
    checks.expect(subprocess.run(["dpkg-query", "-W", "roses"], capture_output=True)
                  .returncode != 0, "dpkg still knows the package")

checks.finish()
