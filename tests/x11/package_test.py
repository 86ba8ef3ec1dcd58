"""The Debian packages as users get them: lintian finds nothing wrong with either, nor with the
source package; apt installs the build machine's package with every file where Debian's hacks
keep theirs and the program on the PATH, the real XScreenSaver daemon finds the hack by name
alone and it draws, as it does under xsecurelock from the same settings and under the
desktops' own savers (xfce4-screensaver, mate-screensaver) where the release has them, and purging the package leaves nothing of it behind; the arm64 package
holds the same files and its program, run under qemu, draws what the build machine's draws.

Installing changes the machine, so this runs only as root (as CI does), only when
tools/package has built the packages, and never over an installation of the user's own."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from roses_testing.checks import Checks, release_offers, skip
from roses_testing.processes import unwind_on_sigterm
from roses_testing.x11 import AS_NOBODY, FRONT_ENDS, daemon_draws, front_end_draws, locker_draws
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

# The notes that stay are informational; a hardening note would mean the build flags were lost.
# The source package is checked too, where tools/package has written it.
dsc = os.path.join(packages, f"roses_{version}.dsc")
sources = [dsc] if os.path.isfile(dsc) else []
lint = subprocess.run(["lintian", "--display-info", *debs, *sources], capture_output=True,
                      text=True, timeout=120)
complaints = [line for line in lint.stdout.splitlines()
              if line.startswith(("E:", "W:")) or "hardening" in line]
checks.expect(lint.returncode == 0 and not complaints,
              f"lintian:\n{lint.stdout}{lint.stderr}")


def unpack(package, into):
    subprocess.run(["dpkg-deb", "-x", package, into], check=True)
    return os.path.join(into, "usr/libexec/xscreensaver/roses")


def contents(package):
    listing = subprocess.run(["dpkg-deb", "-c", package], capture_output=True, text=True,
                             check=True).stdout
    return sorted(line.split()[5] for line in listing.splitlines())


def render(command):
    """One seed's picture, drawn without a display: the same bytes on every processor."""
    with tempfile.TemporaryDirectory() as folder:
        picture = os.path.join(folder, "roses.png")
        run = subprocess.run([*command, "--headless", "--seed", "9", "--size", "320x240",
                              "--frames", "300", "--png", picture],
                             capture_output=True, timeout=120)
        if not checks.expect(run.returncode == 0, f"{command[-1]} --headless:\n"
                             f"{run.stderr.decode(errors='replace')[-500:]}"):
            return b""
        with open(picture, "rb") as png:
            return png.read()


if arm64_deb:
    fields = subprocess.run(["dpkg-deb", "-f", arm64_deb, "Architecture"],
                            capture_output=True, text=True).stdout.strip()
    checks.expect(fields == "arm64", f"{arm64_deb}: Architecture {fields}")
    checks.expect(contents(arm64_deb) == contents(deb),
                  f"the two packages hold different files:\n{contents(arm64_deb)}\n"
                  f"{contents(deb)}")
    unpacked = tempfile.mkdtemp(prefix="roses-package-")
    try:
        native = unpack(deb, os.path.join(unpacked, arch))
        arm = unpack(arm64_deb, os.path.join(unpacked, "arm64"))
        with open(arm, "rb") as program:
            header = program.read(20)
        # An ELF header: 64-bit class, and e_machine 183 (AArch64), little-endian.
        aarch64 = (183).to_bytes(2, "little")
        checks.expect(header[:5] == b"\x7fELF\x02" and header[18:20] == aarch64,
                      f"{arm} is not a 64-bit AArch64 program: {header!r}")
        # qemu finds the arm64 loader and libraries through multiarch; no -L (DESIGN.md).
        wayland = subprocess.run(["qemu-aarch64", arm, "-wayland", "-help"],
                                 capture_output=True, text=True, timeout=60)
        checks.expect(wayland.returncode == 0 and "wayland" in wayland.stdout,
                      f"the arm64 program has no Wayland host:\n{wayland.stderr}")
        checks.expect(render(["qemu-aarch64", arm]) == render([native]),
                      "the arm64 program draws another picture than the build machine's")
    finally:
        shutil.rmtree(unpacked, ignore_errors=True)

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
            # The same settings choose it under xsecurelock, told where Debian keeps hacks.
            with xvfb(640, 480):
                locker_draws(checks, workspace, FILES[0])
            # The desktops' own savers find it among the desktop entries.
            for name in FRONT_ENDS:
                if shutil.which(name):
                    with xvfb(640, 480):
                        front_end_draws(checks, name, workspace, FILES[0])
                elif release_offers(name):
                    checks.expect(False, f"{name} is not installed, which tools/setup installs")
                else:
                    print(f"{name}: this release does not offer it")
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
