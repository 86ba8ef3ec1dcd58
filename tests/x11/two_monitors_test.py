"""The full-screen saver on two monitors side by side: a rose in the middle of each, none on
the seam between them. Xvfb cannot show two monitors, so this starts Xorg with the dummy
driver and two outputs, the set-up of the Windows two-monitor test; skipped (77) where that
server cannot start."""

import os
import shutil
import tempfile

from roses_testing.checks import Checks, skip
from roses_testing.image import screenshot
from roses_testing.processes import (SLOW, Program, binary_from_arguments, unwind_on_sigterm,
                                     wait_until)
from roses_testing.seeds import MEASURABLE_ROSE
from roses_testing.x11 import find_window, xdotool
from roses_testing.xserver import start_x_server

unwind_on_sigterm()

CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win32",
                    "two_monitors.conf")
MONITOR = (1024, 768)

roses = binary_from_arguments()


def roses_apart():
    """The screen once the middle half (both ways) of each monitor shows something, or None.
    Both roses start small, so the seam between the monitors is still dark then; one rose
    centred on the seam lights the seam before it reaches both middles."""
    picture = screenshot()
    width, height = MONITOR
    middles = [picture.lit(m * width + width // 4, height // 4, width // 2, height // 2)
               for m in (0, 1)]
    return picture if all(middles) else None


work = tempfile.mkdtemp(prefix="x11-two-monitors-")
try:
    # Xorg takes a configuration path only relative to where it runs, unless run by root.
    shutil.copy(CONF, os.path.join(work, "xorg.conf"))
    try:
        _, os.environ["DISPLAY"] = start_x_server(
            ["Xorg", "-config", "xorg.conf", "-logfile", "xorg.log", "-noreset", "-nolisten",
             "tcp", "-novtswitch", "-sharevts", "-keeptty"], timeout=10, cwd=work)
    except (RuntimeError, OSError):
        skip("Xorg with the dummy driver did not start")
    checks = Checks()
    program = Program(roses, "--saver", *MEASURABLE_ROSE)
    window = find_window("Roses", 15 * SLOW)
    geometry = xdotool("getwindowgeometry", window) if window else ""
    checks.expect("Position: 0,0" in geometry and "Geometry: 2048x768" in geometry,
                  f"the saver does not cover both monitors: {geometry}", program)
    both = wait_until(roses_apart, 15 * SLOW, step=0.25)
    checks.expect(both, "no rose in the middle of each monitor", program)
    checks.expect(not both or both.lit(MONITOR[0] - 32, 0, 64, MONITOR[1]) == 0,
                  "a rose on the seam between the monitors", program)
    checks.finish()
finally:
    shutil.rmtree(work, ignore_errors=True)
