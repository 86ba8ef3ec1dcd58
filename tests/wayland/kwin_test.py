"""The Wayland host on a headless KWin, which offers fractional scales: two outputs of 960x720
pixels, one at 125 % and one at 150 %. The saver draws on both and a key ends it. The
background draws a buffer of all the pixels of each, with lines as wide as the scale says and
sharp, follows a scale that changes within a second, and SIGTERM ends it; without the
fractional-scale protocol it draws at scale 2, which KWin shrinks, and its lines come out
soft."""

import signal
import time

from roses_testing import frame_log
from roses_testing.checks import Checks
from roses_testing.image import SHARP, as_the_scale_says, describe, line_profile
from roses_testing.processes import (SLOW, Program, binary_from_arguments, unwind_on_sigterm,
                                     wait_until)
from roses_testing.seeds import MEASURABLE_ROSE
from roses_testing.wayland import handed_connection, headless_kwin

unwind_on_sigterm()

# 640x480 of KWin's units at 150 %, and 768x576 at 125 %.
PIXELS = (960, 720)
SCALES = {"Virtual-0": 1.25, "Virtual-1": 1.5}

roses = binary_from_arguments()
checks = Checks()


def logging_frames():
    """The environment of a program that logs its frames, on the compositor started."""
    return frame_log.environment()


def drawn(program):
    """(width, height, scale) of every frame the program logged."""
    return {(logged.width, logged.height, logged.scale)
            for logged in frame_log.frames(program.output())}


def on_both_outputs(program, sizes):
    """Whether frames of each output's size and scale ({output: (width, height, scale)}) have
    come within a while."""
    return wait_until(lambda: set(sizes.values()) <= drawn(program), 10 * SLOW, step=0.05)


def profiles(kwin, what, sharp):
    """Each output's line_profile, once every output's picture tells one that is sharp or
    soft as asked (a picture taken while KWin still shows an earlier buffer may not be), or
    the last told when the while is over."""
    told, settled = {}, set()

    def measured():
        for output in SCALES.keys() - settled:
            image = kwin.screenshot(output)
            if profile := image and line_profile(image):
                told[output] = profile
                if as_the_scale_says(profile, SCALES[output]) == sharp:
                    settled.add(output)
        return len(settled) == len(SCALES)
    wait_until(measured, 40 * SLOW, step=0.3)
    for output, profile in sorted(told.items()):
        print(f"{what}, {output} at {SCALES[output]}: {describe(profile)}")
    return told


def stop(program, what):
    program.signal(signal.SIGTERM)
    code = program.wait(1 * SLOW)
    checks.expect(code == 0, f"{what}: SIGTERM gave {code}, expected 0 within a second", program)


def saver_ends_on_a_key(kwin):
    program = Program(roses, "-wayland", env=logging_frames())
    sizes = {output: (*PIXELS, scale) for output, scale in SCALES.items()}
    checks.expect(on_both_outputs(program, sizes),
                  f"the saver drew {drawn(program)}, expected {sizes}", program)
    kwin.type_a_key()
    code = program.wait(3 * SLOW)
    checks.expect(code == 0, f"a key gave {code}, expected the saver to end with 0", program)


def soft_without_fractional_scales(kwin):
    """With the protocol hidden, each output takes the next whole scale, 2."""
    env, handed = handed_connection(hidden=["wp_fractional_scale_manager_v1"],
                                    env=logging_frames())
    program = Program(roses, "-wayland-background", *MEASURABLE_ROSE, env=env,
                      pass_fds=[handed.fileno()])
    handed.close()
    sizes = {output: (round(PIXELS[0] / scale) * 2, round(PIXELS[1] / scale) * 2, 2.0)
             for output, scale in SCALES.items()}
    checks.expect(on_both_outputs(program, sizes),
                  f"without the protocol the background drew {drawn(program)}, expected {sizes}",
                  program)
    told = profiles(kwin, "without the protocol", sharp=False) if kwin.screenshots else {}
    for output, scale in SCALES.items() if kwin.screenshots else ():
        checks.expect(output in told and not as_the_scale_says(told[output], scale),
                      f"without the protocol {output} at {scale}: {describe(told.get(output))}, "
                      f"expected soft lines (or a measure that cannot tell)", program)
    stop(program, "the background without the protocol")


def sharp_at_fractional_scales(kwin):
    program = Program(roses, "-wayland-background", *MEASURABLE_ROSE, env=logging_frames())
    sizes = {output: (*PIXELS, scale) for output, scale in SCALES.items()}
    checks.expect(on_both_outputs(program, sizes),
                  f"the background drew {drawn(program)}, expected {sizes}", program)
    told = profiles(kwin, "with it", sharp=True) if kwin.screenshots else {}
    for output, scale in SCALES.items() if kwin.screenshots else ():
        checks.expect(as_the_scale_says(told.get(output), scale),
                      f"{output} at {scale}: {describe(told.get(output))}, expected "
                      f"{2 * scale:g} pixels rounded either way, at least {SHARP:.0%} sharp",
                      program)
    # The same pixels, but the roses laid out at the new scale and drawn again.
    kwin.set_scale("Virtual-0", 2)
    changed = time.monotonic()
    followed = wait_until(lambda: (*PIXELS, 2.0) in drawn(program), 3 * SLOW, step=0.02)
    took = time.monotonic() - changed
    print(f"scale 2 drawn {took:.2f} s after it was set")
    checks.expect(followed and took <= 1 * SLOW,
                  f"Virtual-0 turned to scale 2: drawn at it after {took:.2f} s "
                  f"({followed and 'drawn'}), expected within a second", program)
    stop(program, "the background")


with headless_kwin(SCALES["Virtual-1"], size=(640, 480)) as kwin:
    kwin.set_scale("Virtual-0", SCALES["Virtual-0"])
    if not kwin.screenshots:
        print("KWin composites with QPainter here (no render node), where it takes no "
              "screenshots: the lines' width and sharpness go unmeasured")
    saver_ends_on_a_key(kwin)
    soft_without_fractional_scales(kwin)
    sharp_at_fractional_scales(kwin)
checks.finish()
