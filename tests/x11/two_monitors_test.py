"""The full-screen saver on two monitors side by side: a rose in the middle of each, none on
the seam between them. Xvfb cannot show two monitors, so this runs on the harness's Xorg with
the dummy driver and two outputs, as the Windows two-monitor test does; skipped (77) where
that server cannot start."""

import os
import shutil
import tempfile

from roses_testing.checks import Checks, skip
from roses_testing.image import screenshot
from roses_testing.processes import (SLOW, Program, binary_from_arguments, stop_everything,
                                     unwind_on_sigterm, wait_until)
from roses_testing.seeds import MEASURABLE_ROSE
from roses_testing.x11 import find_window, xdotool
from roses_testing.xserver import DUMMY_MONITOR, start_two_monitor_xorg

unwind_on_sigterm()

roses = binary_from_arguments()


def roses_apart():
    """The screen once the middle half (both ways) of each monitor shows something, or None.
    Both roses start small, so the seam between the monitors is still dark then; one rose
    centred on the seam lights the seam before it reaches both middles."""
    picture = screenshot()
    width, height = DUMMY_MONITOR
    middles = [picture.lit(m * width + width // 4, height // 4, width // 2, height // 2)
               for m in (0, 1)]
    return picture if all(middles) else None


work = tempfile.mkdtemp(prefix="x11-two-monitors-")
try:
    try:
        _, os.environ["DISPLAY"] = start_two_monitor_xorg(work)
    except RuntimeError as reason:
        skip(reason)
    checks = Checks()
    program = Program(roses, "--saver", *MEASURABLE_ROSE)
    window = find_window("Roses", 15 * SLOW)
    geometry = xdotool("getwindowgeometry", window) if window else ""
    checks.expect("Position: 0,0" in geometry and "Geometry: 2048x768" in geometry,
                  f"the saver does not cover both monitors: {geometry}", program)
    both = wait_until(roses_apart, 15 * SLOW, step=0.25)
    checks.expect(both, "no rose in the middle of each monitor", program)
    checks.expect(not both or both.lit(DUMMY_MONITOR[0] - 32, 0, 64, DUMMY_MONITOR[1]) == 0,
                  "a rose on the seam between the monitors", program)
    checks.finish()
finally:
    stop_everything()
    shutil.rmtree(work, ignore_errors=True)
