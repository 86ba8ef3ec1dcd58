"""Two private X servers started at the same moment are two servers: each test that starts
one draws into and types into its own screen only. Each asks for a size of its own, and each
display must show the size its starter asked for."""

import os
import threading

from roses_testing.checks import Checks
from roses_testing.processes import stop_everything, unwind_on_sigterm
from roses_testing.x11 import xdotool
from roses_testing.xserver import start_xvfb

unwind_on_sigterm()

SIZES = [(320, 240), (400, 300)]
checks = Checks()
together = threading.Barrier(len(SIZES))
started = {}


def start(size):
    together.wait()
    started[size] = start_xvfb(*size, glx=False)


threads = [threading.Thread(target=start, args=(size,)) for size in SIZES]
for thread in threads:
    thread.start()
for thread in threads:
    thread.join()
try:
    checks.expect(len(started) == len(SIZES), "a server did not start")
    for (width, height), (server, display) in started.items():
        shown = xdotool("getdisplaygeometry", env=dict(os.environ, DISPLAY=display))
        checks.expect(server.poll() is None and shown == f"{width} {height}",
                      f"the server started for {width}x{height} on {display} shows {shown}")
finally:
    stop_everything()
checks.finish()
