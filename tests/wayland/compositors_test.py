"""The saver and the background on the layer-shell compositors besides sway and KWin that
Debian ships (labwc, wayfire), each started headless with two outputs: the saver covers both
with a rose, and ends on a key and on pointer travel of 5 pixels (not 4); the background
draws under a window and SIGTERM ends it. A compositor that this release does not offer, or
that cannot run headless here, is said in one line; one it offers but that is missing fails,
as tools/setup installs it."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

from roses_testing import frame_log
from roses_testing.checks import Checks, release_offers
from roses_testing.processes import (SLOW, Program, binary_from_arguments, spawn,
                                     unwind_on_sigterm, wait_until)
from roses_testing.wayland import (VirtualPointer, drawn, ends_within, headless_wlroots,
                                   type_a_key)

unwind_on_sigterm()

roses = binary_from_arguments()
checks = Checks()
OUTPUTS = ("HEADLESS-1", "HEADLESS-2")


def covers_every_output(name):
    program = Program(roses, "-wayland", env=frame_log.environment())
    for output in OUTPUTS:
        rose = drawn(output)
        checks.expect(rose, f"{name}: the saver drew nothing on {output}{rose}", program)
    return program


def saver_ends_on_a_key(name):
    program = covers_every_output(name)
    type_a_key()
    ok, code = ends_within(program, 3)
    checks.expect(ok, f"{name}: a key gave {code}, expected the saver to end with 0", program)


def saver_ends_on_pointer_travel(name, pointer):
    pointer.move(300, 200)
    program = Program(roses, "-wayland")
    checks.expect(drawn("HEADLESS-1"), f"{name}: the saver drew nothing", program)
    time.sleep(0.5 * SLOW)
    pointer.move(3, 1)
    ended = program.wait(1 * SLOW)
    checks.expect(ended is None, f"{name}: a pointer movement of 4 pixels ended the saver",
                  program)
    pointer.move(0, 1)
    ok, code = ends_within(program, 3)
    checks.expect(ok or ended is not None,
                  f"{name}: a pointer movement of 5 pixels gave {code}, expected the saver to "
                  "end with 0", program)


def background_under_a_window(name):
    # A terminal over it, where the compositor puts a new window.
    terminal = spawn(["foot", "-o", "colors.background=ffffff"], stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
    program = Program(roses, "-wayland-background")
    for output in OUTPUTS:
        rose = drawn(output)
        checks.expect(rose, f"{name}: the background drew nothing on {output}{rose}", program)
    checks.expect(terminal.poll() is None, f"{name}: the terminal over the background ended",
                  program)
    program.signal(signal.SIGTERM)
    ok, code = ends_within(program, 1)
    checks.expect(ok, f"{name}: SIGTERM gave {code}, expected 0 within a second", program)
    terminal.terminate()


with tempfile.TemporaryDirectory() as folder:
    # wayfire starts no plugins but those it is told to, and wants a file to be told in.
    config = os.path.join(folder, "wayfire.ini")
    with open(config, "w") as file:
        file.write("[core]\nplugins =\nxwayland = false\n")
    os.chmod(folder, 0o755)
    os.chmod(config, 0o644)
    for name, command in {"labwc": ["labwc"], "wayfire": ["wayfire", "-c", config]}.items():
        if shutil.which(name) is None:
            if release_offers(name):
                checks.expect(False, f"{name} is not installed, which tools/setup installs")
            else:
                print(f"{name}: this release does not offer it")
            continue
        with headless_wlroots(command, len(OUTPUTS)) as (server, said):
            if server is None:
                print(f"{name} cannot start headless here: {said[-1] if said else 'no output'}")
                continue
            pointer = VirtualPointer()
            saver_ends_on_a_key(name)
            saver_ends_on_pointer_travel(name, pointer)
            background_under_a_window(name)
            pointer.close()
            print(f"{name}: the saver and the background checked")
checks.finish()
