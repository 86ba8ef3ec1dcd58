"""Unusable command lines and environments end with one clear line on standard error and the
documented exit code: 2 for the command line, 1 for the environment. Never a crash."""

import os
import signal
import subprocess

from roses_testing.checks import Checks
from roses_testing.processes import SLOW, Program, binary_from_arguments, unwind_on_sigterm
from roses_testing.x11 import wait_for_rose
from roses_testing.xlib import XConnection
from roses_testing.xserver import xvfb

unwind_on_sigterm()

roses = binary_from_arguments()
checks = Checks()


def run(*args, env=None):
    result = subprocess.run([roses, *args], capture_output=True, text=True, timeout=30,
                            env=env if env is not None else os.environ)
    return result.returncode, result.stdout, result.stderr


def expect_failure(args, code, mentions, env=None):
    got, _, error = run(*args, env=env)
    lines = error.strip().splitlines()
    checks.expect(got == code, f"{args}: exit code {got}, expected {code}; stderr: {error}")
    checks.expect(len(lines) == 1 and lines[0].startswith("roses: ") and mentions in lines[0],
                  f"{args}: expected one line mentioning {mentions!r}, got {error!r}")


with xvfb():
    expect_failure(["-window-id", "0x7fffffff"], 1, "0x7fffffff")
    expect_failure(["--window-id", "banana"], 2, "banana")
    expect_failure(["-window-id"], 2, "-window-id")
    expect_failure(["--frobnicate"], 2, "--frobnicate")
    expect_failure(["-size", "0x0"], 2, "-size")
    for fps in ("0", "1001", "60.5", "sixty"):
        expect_failure(["-max-fps", fps], 2, "-max-fps")
    expect_failure(["-root"], 1, "XSCREENSAVER_WINDOW",
                   env=dict(os.environ, XSCREENSAVER_WINDOW="not-a-window"))
    expect_failure(["-root"], 1, "0x7ffffffe",
                   env=dict(os.environ, XSCREENSAVER_WINDOW="0x7ffffffe"))
    x = XConnection()
    expect_failure(["-window-id", hex(x.create_input_only_window(0, 0, 10, 10))], 1,
                   "input only")
    x.close()
    # A display that is not there, and none at all.
    no_server = dict(os.environ, DISPLAY=":1399")
    expect_failure(["-window"], 1, ":1399", env=no_server)
    no_display = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    expect_failure(["--saver"], 1, "display", env=no_display)
    # The command line is judged before the display is needed.
    expect_failure(["--bogus"], 2, "--bogus", env=no_display)

    code, out, error = run("--help", env=no_display)
    checks.expect(code == 0 and "-window-id" in out and "-saver" in out and error == "",
                  f"--help: code {code}, stdout {out!r}, stderr {error!r}")
    # The usage points at the renderer's own help, and that help works as written there.
    checks.expect("-headless -help" in out, f"--help does not point at -headless -help: {out!r}")
    code, out, error = run("-headless", "-help", env=no_display)
    checks.expect(code == 0 and "--frames-dir" in out and error == "",
                  f"-headless -help: code {code}, stdout {out!r}, stderr {error!r}")
    code, out, error = run("-version", env=no_display)
    checks.expect(code == 0 and out.startswith("roses ") and error == "",
                  f"-version: code {code}, stdout {out!r}")

# A display without GLX: OpenGL cannot draw there, and the program says so at once.
with xvfb(glx=False):
    for mode in (["--saver"], ["-window"], ["-root"]):
        expect_failure(mode, 1, "GLX")

# The server going away under a running program ends it with the environment's code.
with xvfb() as server:
    program = Program(roses, "-window")
    checks.expect(wait_for_rose(0, 0, 800, 600, 10 * SLOW), "no rose before the server ends",
                  program)
    server.send_signal(signal.SIGTERM)
    code = program.wait(5 * SLOW)
    checks.expect(code == 1 and "lost the connection" in program.output(),
                  f"server gone: exit code {code}, expected 1", program)

checks.finish()
