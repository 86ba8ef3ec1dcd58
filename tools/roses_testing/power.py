"""Stand-ins for the two services that tell programs to save power, UPower (OnBattery) and
power-profiles-daemon (ActiveProfile), on a private system bus: python3-dbusmock's templates,
which speak the services' real protocol, changed while a program under test follows them."""

import contextlib
import os
import shutil
import subprocess
import tempfile

from roses_testing.checks import skip
from roses_testing.processes import SLOW, spawn, stop, wait_until

# Debian's dbusmock is installed for the system's own interpreter, which another Python first
# on the PATH would not see.
SYSTEM_PYTHON = "/usr/bin/python3"
UPOWER = ("org.freedesktop.UPower", "/org/freedesktop/UPower")
PROFILES = ("net.hadess.PowerProfiles", "/net/hadess/PowerProfiles")


class PowerServices:
    def __init__(self, address):
        self.address = address

    def environment(self):
        """The environment of a program that finds these services on its system bus."""
        return dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)

    def on_battery(self, value):
        self._set(UPOWER, "OnBattery", "boolean:" + ("true" if value else "false"))

    def profile(self, name):
        self._set(PROFILES, "ActiveProfile", "string:" + name)

    def has(self, service):
        return self._send("org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus.NameHasOwner", f"string:{service}"
                          ).stdout.rstrip().endswith("true")

    def _set(self, service, name, value):
        # The service announces the change (PropertiesChanged), as the real one does.
        self._send(*service, "org.freedesktop.DBus.Properties.Set", f"string:{service[0]}",
                   f"string:{name}", f"variant:{value}")

    def _send(self, destination, path, method, *args):
        return subprocess.run(["dbus-send", f"--bus={self.address}", "--print-reply",
                               f"--dest={destination}", path, method, *args], check=True,
                              capture_output=True, text=True, timeout=10 * SLOW)


@contextlib.contextmanager
def power_services():
    """A private bus with both services on it, on mains power in the balanced profile."""
    if shutil.which("dbus-daemon") is None or subprocess.run(
            [SYSTEM_PYTHON, "-c", "import dbusmock"], capture_output=True).returncode != 0:
        skip("dbus-daemon or python3-dbusmock is not installed (tools/setup installs them)")
    folder = tempfile.mkdtemp(prefix="roses-bus-")
    socket = os.path.join(folder, "bus")
    services = PowerServices("unix:path=" + socket)
    started = []
    try:
        started.append(spawn(["dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf",
                              "--nofork", f"--address={services.address}"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_until(lambda: os.path.exists(socket), 10 * SLOW)
        for template in ("upower", "power_profiles_daemon"):
            started.append(spawn([SYSTEM_PYTHON, "-m", "dbusmock", "--system", "--template",
                                  template], env=services.environment(),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_until(lambda: all(services.has(name) for name in (UPOWER[0], PROFILES[0])),
                   20 * SLOW)
        yield services
    finally:
        for process in reversed(started):
            stop(process)
        shutil.rmtree(folder, ignore_errors=True)
