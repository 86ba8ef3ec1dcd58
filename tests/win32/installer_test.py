#!/usr/bin/env python3
"""The Windows installer as a user runs it, silently (/S), in a private copy of the wine prefix
with display scaling at 150 % (LogPixels 144), on an Xvfb of its own (it needs nobody else's
windows, so it runs beside the other Windows tests):

1. a fresh install puts a byte-identical roses.scr into system32, writes the uninstall entry
   (read back with reg and with wine's own uninstaller) and makes Roses the user's saver;
   the saver reports per-monitor DPI awareness, and the installed roses.scr /s draws over
   exactly the screen's pixels, with lines 3 pixels wide (2 at 96 DPI);
2. a newer version installed over it with /KEEPSAVER leaves one entry, and the saver the user
   chose since stays chosen;
3. the uninstaller removes the file, its own files and the entry, and leaves that saver;
4. installed twice more (one entry) and uninstalled, it clears the saver setting that still
   names Roses.

Usage: installer_test.py INSTALLER VERSION ROSES_SCR DPI_PROBE NSI MAKENSIS [DEFINE...]
(the NSI, MAKENSIS and DEFINEs build the newer version's installer).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from roses_testing.checks import SKIPPED
from roses_testing.image import screenshot, wait_for_line_thickness
from roses_testing.processes import spawn, stop, unwind_on_sigterm
from roses_testing.wine import copy_prefix, shared_prefix, unmanaged_windows
from roses_testing.x11 import windows_named, xdotool
from roses_testing.xserver import xvfb

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Roses"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SYSTEM_SAVER = r"C:\windows\system32\roses.scr"
OTHER_SAVER = r"C:\windows\system32\other.scr"


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Prefix:
    """The private prefix and its wineserver."""

    def __init__(self, path):
        self.path = path
        self.env = dict(os.environ, WINEPREFIX=path)

    def run(self, *args, check=True, timeout=60, errors_too=False):
        # Output goes through a file, not a pipe: the wine processes that the persistent
        # wineserver keeps (services, explorer) inherit the handle and would hold a pipe open.
        with tempfile.TemporaryFile() as output:
            result = subprocess.run(list(args), env=self.env, check=check, stdout=output,
                                    stderr=output if errors_too else subprocess.DEVNULL,
                                    timeout=timeout, stdin=subprocess.DEVNULL)
            output.seek(0)
            result.stdout = output.read().decode(errors="replace")
        return result

    def wine(self, *args, **kwargs):
        return self.run("wine", *args, **kwargs)

    def query(self, key, name=None):
        """A key's values as {name: value}, or None when the key does not exist."""
        args = ["reg", "query", key] + (["/v", name] if name else [])
        result = self.wine(*args, check=False)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.replace("\r", "").splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2]
        return values

    def value(self, key, name):
        found = self.query(key, name)
        return found.get(name) if found else None

    def file(self, windows_path):
        return os.path.join(self.path, "drive_c", *windows_path[3:].split("\\"))


def install(prefix, installer, *switches):
    began = time.monotonic()
    result = prefix.wine(installer, "/S", *switches, check=False)
    expect(result.returncode == 0, f"{os.path.basename(installer)} /S ended with "
                                   f"{result.returncode}")
    return time.monotonic() - began


def uninstall(prefix):
    command = prefix.value(UNINSTALL_KEY, "QuietUninstallString")
    expect(command and command.startswith('"') and command.endswith('" /S'),
           f"QuietUninstallString {command!r}")
    program = command[1:command.index('"', 1)]
    folder = os.path.dirname(prefix.file(program))
    began = time.monotonic()
    prefix.wine(program, "/S")
    # It returns at once: an NSIS uninstaller relaunches itself from a temporary folder. Its
    # last step removes its own folder.
    while os.path.exists(folder) and time.monotonic() - began < 30:
        time.sleep(0.1)
    expect(not os.path.exists(folder), f"{folder} is still there after 30 s")
    return time.monotonic() - began


def roses_entries(prefix):
    # Wine 8's uninstaller lists on standard output, wine 10's on standard error.
    listed = prefix.wine("uninstaller", "--list", errors_too=True).stdout.replace(
        "\r", "").splitlines()
    return [line for line in listed if line.endswith("|||Roses")]


def check_fresh_install(prefix, installer, version, scr):
    took = install(prefix, installer)
    with open(scr, "rb") as built, open(prefix.file(SYSTEM_SAVER), "rb") as installed:
        expect(built.read() == installed.read(), "system32\\roses.scr differs from the build")
    entry = prefix.query(UNINSTALL_KEY)
    expect(entry is not None, "no uninstall entry")
    for name, wanted in (("DisplayName", "Roses"), ("DisplayVersion", version),
                         ("Publisher", "The Roses authors"),
                         ("DisplayIcon", SYSTEM_SAVER + ",0"), ("NoModify", "0x1"),
                         ("NoRepair", "0x1")):
        expect(entry.get(name) == wanted, f"{name} is {entry.get(name)!r}, not {wanted!r}")
    uninstaller = entry.get("UninstallString", "")
    expect(uninstaller.endswith('uninstall.exe"') and os.path.isfile(
        prefix.file(uninstaller.strip('"'))), f"UninstallString {uninstaller!r}")
    expect(entry.get("QuietUninstallString") == uninstaller + " /S", "QuietUninstallString")
    size_kb = int(entry.get("EstimatedSize", "0"), 16)
    expect(os.path.getsize(scr) // 1024 <= size_kb < os.path.getsize(scr) // 1024 + 1024,
           f"EstimatedSize {size_kb} KB")
    expect(len(roses_entries(prefix)) == 1, "wine's uninstaller does not list Roses once")
    expect(prefix.value(DESKTOP_KEY, "SCRNSAVE.EXE") == SYSTEM_SAVER, "Roses is not the saver")
    expect(prefix.value(DESKTOP_KEY, "ScreenSaveActive") == "1", "the saver is not active")
    print(f"fresh install: {took:.1f} s, EstimatedSize {size_kb} KB")


def check_scaled_display(prefix, probe):
    """At 150 % the saver is per-monitor aware and its window covers the screen's pixels."""
    report = prefix.wine(probe).stdout.split()
    print("DPI probe with roses.scr's manifest:", " ".join(report))
    expect(report[1] == "2" and report[3] == "144", "not per-monitor aware at 144 DPI")
    screen = prefix.run("xdotool", "getdisplaygeometry").stdout.split()

    saver = spawn(["wine", SYSTEM_SAVER, "/s"], env=prefix.env, stdin=subprocess.DEVNULL,
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        began = time.monotonic()
        window = None
        while window is None and time.monotonic() - began < 20:
            expect(saver.poll() is None, f"the installed saver ended with {saver.returncode}")
            found = windows_named("Screen Saver", env=prefix.env)
            if found and not screenshot(env=prefix.env).black():
                window = found[0]
            time.sleep(0.25)
        expect(window is not None, "the installed saver drew nothing within 20 s")
        info = prefix.run("xwininfo", "-id", str(window)).stdout
        fields = dict(map(str.strip, line.split(": ", 1)) for line in info.splitlines()
                      if ": " in line)
        rect = [fields["Absolute upper-left X"], fields["Absolute upper-left Y"],
                fields["Width"], fields["Height"]]
        print(f"installed saver drew after {time.monotonic() - began:.1f} s in a window "
              f"{rect} on a {screen} screen")
        expect(rect == ["0", "0", *screen], "the window does not cover the screen exactly")
        width = wait_for_line_thickness(lambda: screenshot(env=prefix.env), 20)
        print(f"lines {width} pixels wide at 144 DPI")
        expect(width == 3, f"lines {width} pixels wide at 144 DPI, expected 3")
        xdotool("key", "space", env=prefix.env)
        expect(saver.wait(timeout=10) == 0, "the saver did not end with 0 after a key")
    finally:
        stop(saver, grace=0)


def newer_installer(work, version, nsi, makensis, defines):
    major, rest = version.split(".", 1)
    newer = f"{int(major) + 1}.{rest}"
    path = os.path.join(work, f"roses-{newer}-win64-setup.exe")
    subprocess.run([makensis, "-WX", "-V2", f"-DVERSION={newer}", f"-DOUTFILE={path}",
                    *defines, nsi], check=True)
    return newer, path


def check_upgrade_and_uninstall(prefix, newer, installer):
    prefix.wine("reg", "add", DESKTOP_KEY, "/v", "SCRNSAVE.EXE", "/d", OTHER_SAVER, "/f")
    took = install(prefix, installer, "/KEEPSAVER")
    expect(len(roses_entries(prefix)) == 1, "the upgrade left more than one entry")
    expect(prefix.value(UNINSTALL_KEY, "DisplayVersion") == newer, "the version is not updated")
    expect(prefix.value(DESKTOP_KEY, "SCRNSAVE.EXE") == OTHER_SAVER,
           "/KEEPSAVER changed the user's saver")
    print(f"upgrade to {newer}: {took:.1f} s")

    took = uninstall(prefix)
    expect(not os.path.exists(prefix.file(SYSTEM_SAVER)), "roses.scr is still there")
    expect(prefix.query(UNINSTALL_KEY) is None, "the uninstall entry is still there")
    expect(not roses_entries(prefix), "wine's uninstaller still lists Roses")
    expect(prefix.value(DESKTOP_KEY, "SCRNSAVE.EXE") == OTHER_SAVER,
           "the uninstaller cleared another saver")
    print(f"uninstall: {took:.1f} s")


def check_uninstall_clears_roses(prefix, installer):
    install(prefix, installer)
    install(prefix, installer)
    expect(len(roses_entries(prefix)) == 1, "installing twice left more than one entry")
    expect(prefix.value(DESKTOP_KEY, "SCRNSAVE.EXE") == SYSTEM_SAVER, "Roses is not the saver")
    uninstall(prefix)
    expect(prefix.value(DESKTOP_KEY, "SCRNSAVE.EXE") is None, "SCRNSAVE.EXE still names Roses")
    expect(prefix.value(DESKTOP_KEY, "ScreenSaveActive") == "0", "the saver is still active")


def main():
    unwind_on_sigterm()
    if len(sys.argv) < 7:
        sys.exit(__doc__)
    installer, version, scr, probe, nsi, makensis, *defines = sys.argv[1:]
    with xvfb(1280, 1024):
        return run(installer, version, scr, probe, nsi, makensis, defines)


def run(installer, version, scr, probe, nsi, makensis, defines):
    began = time.monotonic()
    work = tempfile.mkdtemp(prefix="installer-", dir=os.getcwd())
    prefix = Prefix(os.path.join(work, "wine"))
    # The ini files are rewritten in place when settings change: keep the source's intact.
    problem = copy_prefix(shared_prefix(), prefix.path, private=["drive_c/windows/win.ini",
                                                        "drive_c/windows/system.ini"])
    if problem:
        print("skipped:", problem)
        return SKIPPED
    try:
        unmanaged_windows(prefix.env)
        prefix.wine("reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                    "144", "/f")
        # Wine 10 gives the monitors the density that its desktop started with, where wine 8
        # read it anew in every program: the desktop starts again at 144 DPI.
        prefix.run("wineserver", "-k", check=False)
        prefix.run("wineserver", "-w")
        # A wineserver that stays between the many short wine runs saves seconds on each.
        subprocess.run(["wineserver", "-p"], env=prefix.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        check_fresh_install(prefix, installer, version, scr)
        check_scaled_display(prefix, probe)
        newer, newer_path = newer_installer(work, version, nsi, makensis, defines)
        check_upgrade_and_uninstall(prefix, newer, newer_path)
        check_uninstall_clears_roses(prefix, installer)
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as failure:
        print("FAILED:", failure)
        return 1
    finally:
        prefix.run("wineserver", "-k", check=False)
        shutil.rmtree(work, ignore_errors=True)
    print(f"installer test: {time.monotonic() - began:.1f} s, installer "
          f"{os.path.getsize(installer) // 1024} KB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
