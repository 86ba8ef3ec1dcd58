"""The full-screen saver on two monitors side by side: a rose in the middle of each, none on
the seam between them. Xvfb cannot show two monitors, so this starts Xorg with the dummy
driver and two outputs, the set-up of the Windows two-monitor test; skipped (77) where that
server cannot start."""

import os
import shutil
import subprocess
import sys
import tempfile

from xharness import (SLOW, Checks, Program, binary_from_arguments, find_window, screenshot,
                      spawn, stop_everything, wait_until, xdotool)

SKIPPED = 77
CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win32",
                    "two_monitors.conf")
MONITOR = (1024, 768)

roses = binary_from_arguments()


def start_xorg(work):
    """Starts Xorg on a free display number and points DISPLAY at it; False if it cannot."""
    if not shutil.which("Xorg"):
        return False
    # Xorg takes a configuration path only relative to where it runs, unless run by root.
    shutil.copy(CONF, os.path.join(work, "xorg.conf"))
    for number in range(221, 241):
        if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
            continue
        server = spawn(["Xorg", f":{number}", "-config", "xorg.conf", "-logfile", "xorg.log",
                        "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts", "-keeptty"],
                       cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = f":{number}"
        answers = wait_until(lambda: server.poll() is not None or subprocess.run(
            ["xdotool", "getdisplaygeometry"], capture_output=True).returncode == 0, 10)
        return bool(answers) and server.poll() is None
    return False


def middle_lit(picture, monitor):
    """Lit pixels in the middle half of a monitor, both ways."""
    width, height = MONITOR
    return picture.lit(monitor * width + width // 4, height // 4, width // 2, height // 2)


work = tempfile.mkdtemp(prefix="x11-two-monitors-")
try:
    if not start_xorg(work):
        print("skipped: Xorg with the dummy driver did not start")
        stop_everything()
        sys.exit(SKIPPED)
    checks = Checks()
    program = Program(roses, "--saver")
    window = find_window("Roses", 15 * SLOW)
    geometry = xdotool("getwindowgeometry", window) if window else ""
    checks.expect("Position: 0,0" in geometry and "Geometry: 2048x768" in geometry,
                  f"the saver does not cover both monitors: {geometry}", program)
    both = wait_until(lambda: all(middle_lit(screenshot(), m) > 0 for m in (0, 1)), 15 * SLOW,
                      step=0.25)
    if not both:
        screenshot(os.path.join(os.getcwd(), "x11_two_monitors.png"))
    checks.expect(both, "no rose in the middle of each monitor (x11_two_monitors.png)", program)
finally:
    stop_everything()
    shutil.rmtree(work, ignore_errors=True)
checks.finish()
