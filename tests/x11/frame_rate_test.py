"""Frames at the display's rate between the 50 ms steps, counted from outside as DAMAGE
reports: -max-fps 60 well above the steps' 20, -max-fps 20 about 20, and the software
renderer's default one frame a step, with no system bus and not a word about power. Then
-max-fps 60 under stand-ins for the power services: about 20 frames a second on battery and
in the power-saver profile, 60 again after each, with one line for each change."""

import os
import select
import time

from roses_testing import frame_log
from roses_testing.checks import Checks
from roses_testing.power import power_services
from roses_testing.processes import (SLOW, Program, binary_from_arguments, unwind_on_sigterm,
                                     wait_until)
from roses_testing.x11 import find_window
from roses_testing.xlib import XConnection
from roses_testing.xserver import xvfb

unwind_on_sigterm()
roses = binary_from_arguments()
checks = Checks()
SAME_FRAME_MS = 5  # reports closer than this belong to one presentation
WATCH_SECONDS = 3
# Where no bus answers: the program must run as it would without one.
NO_BUS = "unix:path=/nonexistent/bus"


def frames_per_second(*args):
    """Starts a small window and counts its presentations a second over a few seconds."""
    observer = XConnection()
    notify = observer.watch_root_damage()
    program = Program(roses, "-window", "-size", "200x150", *args,
                      env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=NO_BUS))
    if not checks.expect(find_window("Roses", 15 * SLOW), "no window", program):
        return 0.0
    time.sleep(0.5)  # past the first frames' start-up
    for _ in observer.pending_events():
        pass
    stamps = []
    last = None
    deadline = time.monotonic() + WATCH_SECONDS
    while time.monotonic() < deadline:
        select.select([observer], [], [], 0.05)
        for raw in observer.pending_events():
            if XConnection.event_type(raw) != notify:
                continue
            stamp = XConnection.damage_timestamp(raw)
            if last is None or (stamp - last) % (1 << 32) >= SAME_FRAME_MS:
                stamps.append(stamp)
            last = stamp
    program.stop()
    said = [line for line in program.output().splitlines() if "power" in line or "battery" in line]
    checks.expect(not said, f"{args} without a bus: {said}")
    if len(stamps) < 2:
        return 0.0
    return (len(stamps) - 1) * 1000.0 / ((stamps[-1] - stamps[0]) % (1 << 32))


def logged_rate(program, seconds=1.0):
    """Frames a second the program logs over a while from now."""
    before = len(frame_log.frames(program.output()))
    time.sleep(seconds)
    return (len(frame_log.frames(program.output())) - before) / seconds


def power_switches():
    with power_services() as power:
        program = Program(roses, "-window", "-size", "200x150", "-max-fps", "60",
                          env=frame_log.environment(power.environment()))
        if not checks.expect(find_window("Roses", 15 * SLOW), "no window", program):
            return
        # A sanitized build is here for what the sanitizer finds on the way: its rates say
        # nothing, and only the lines are awaited.
        measure = logged_rate if SLOW == 1 else lambda program: None
        time.sleep(0.5)
        rates = [("mains", False, measure(program))]
        for change, line, saving in (
                (lambda: power.on_battery(True), "on battery: at most 20 frames", True),
                (lambda: power.on_battery(False), "on mains power: frames at their", False),
                (lambda: power.profile("power-saver"), "power-saver profile: at most 20", True),
                (lambda: power.profile("balanced"), "power-saver profile off: frames", False)):
            change()
            said = wait_until(lambda: "roses: " + line in program.output(), 2 * SLOW, 0.02)
            checks.expect(said, f"no line saying {line!r} within two seconds", program)
            rates.append((line, saving, measure(program)))
        program.stop()
        print(f"frames a second under the power services: {rates}")
        said = [line for line in program.output().splitlines()
                if "frames a second" in line or "usual rate" in line]
        checks.expect(len(said) == 4, f"one line for each of the four changes: {said}")
        if SLOW == 1:
            checks.expect(all(15 < rate < 24 if saving else rate > 35
                              for _, saving, rate in rates),
                          f"expected more than 35 frames a second on mains and 15 to 24 while "
                          f"saving power: {rates}")


with xvfb():
    fast = frames_per_second("-max-fps", "60")
    capped = frames_per_second("-max-fps", "20")
    default = frames_per_second()
    print(f"frames a second: -max-fps 60 {fast:.1f}, -max-fps 20 {capped:.1f}, "
          f"default on llvmpipe {default:.1f}")
    if SLOW > 1:
        # A sanitized build beside another test may draw fewer frames than there are steps:
        # there the rates say nothing, and the runs are for what the sanitizer finds.
        checks.expect(min(fast, capped, default) > 0, "a sanitized build drew no frames")
    else:
        # A loaded machine slows the fast case; it must still be well beyond one a step.
        checks.expect(fast > 35, f"-max-fps 60 gave {fast:.1f} frames a second")
        checks.expect(15 < capped < 24, f"-max-fps 20 gave {capped:.1f} frames a second")
        checks.expect(15 < default < 24,
                      f"the default on llvmpipe gave {default:.1f} a second")
    power_switches()

checks.finish()
