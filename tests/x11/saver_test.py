"""The full-screen saver: it covers the screen and ends on a key, a click, a movement of more
than 4 pixels or the loss of the focus, and on nothing smaller."""

import signal
import subprocess

from roses_testing.checks import Checks
from roses_testing.processes import (SLOW, Program, binary_from_arguments, unwind_on_sigterm,
                                     wait_until)
from roses_testing.x11 import find_window, wait_for_rose, xdotool
from roses_testing.xlib import XConnection
from roses_testing.xserver import xvfb

unwind_on_sigterm()

roses = binary_from_arguments()
checks = Checks()
START = (500, 400)


def focused_window():
    # Fails while the focus is on no window or follows the pointer.
    result = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True,
                            timeout=10)
    return int(result.stdout) if result.returncode == 0 and result.stdout.strip() else None


def started_saver():
    """A saver that is on the screen and holds the focus, so it sees every input."""
    xdotool("mousemove", *START)
    program = Program(roses, "--saver")
    window = find_window("Roses", 15 * SLOW)
    holds_focus = window and wait_until(lambda: focused_window() == window, 15 * SLOW)
    checks.expect(holds_focus, "the saver window did not take the focus", program)
    return program, window


def expect_ends(what, action):
    program, _ = started_saver()
    action()
    code = program.wait(3 * SLOW)
    checks.expect(code == 0, f"{what}: exit code {code}, expected 0", program)


def expect_stays(what, action):
    program, _ = started_saver()
    action()
    code = program.wait(1.5 * SLOW)
    checks.expect(code is None, f"{what} ended the saver ({code})", program)
    program.signal(signal.SIGTERM)
    code = program.wait(2 * SLOW)
    checks.expect(code == 0, f"SIGTERM after {what}: exit code {code}", program)


with xvfb(1024, 768):
    # It spans the whole screen and draws there.
    program, window = started_saver()
    geometry = xdotool("getwindowgeometry", window)
    checks.expect("Position: 0,0" in geometry and "Geometry: 1024x768" in geometry,
                  f"the saver does not cover the screen: {geometry}")
    checks.expect(wait_for_rose(0, 0, 1024, 768, 10 * SLOW), "the saver drew nothing", program)
    program.signal(signal.SIGTERM)
    checks.expect(program.wait(2 * SLOW) == 0, "SIGTERM did not end the saver with 0", program)

    expect_ends("a key", lambda: xdotool("key", "shift"))
    expect_ends("a left click", lambda: xdotool("click", 1))
    expect_ends("a right click", lambda: xdotool("click", 3))
    expect_ends("a 20-pixel movement", lambda: xdotool("mousemove_relative", "--", 20, 0))
    expect_ends("5 pixels city-block in two steps", lambda: (
        xdotool("mousemove_relative", "--", 3, 0), xdotool("mousemove_relative", "--", 0, -2)))
    expect_stays("a 3-pixel movement", lambda: xdotool("mousemove_relative", "--", 3, 0))
    expect_stays("4 pixels city-block", lambda: xdotool("mousemove_relative", "--", -3, 1))

    x = XConnection()
    other = x.create_window(0, 0, 50, 50)
    expect_ends("losing the focus", lambda: x.focus(other))
    x.close()

checks.finish()
