"""Two private X servers started at the same moment are two servers: each test that starts
one draws into and types into its own screen only. Each asks for a size of its own, and each
display must show the size its starter asked for. And tools/test sees a skip, whether ctest
counts it or only GoogleTest does inside a test that passes."""

import os
import tempfile
import threading

from roses_testing import suite
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

# As ctest writes them: a skip by exit code, a program that could not start, a case skipped
# inside a test that passed.
JUNIT = """<testsuite>
<testcase name="plain" time="1.5" status="run"><system-out>[       OK ] A.B</system-out></testcase>
<testcase name="by_code" time="0.1" status="notrun"><skipped message="SKIP_RETURN_CODE=77"/>
</testcase>
<testcase name="missing" time="0" status="notrun"><skipped message="Unable to find"/></testcase>
<testcase name="inside" time="2" status="run"><system-out>[  SKIPPED ] A.C</system-out></testcase>
<testcase name="broken" time="3" status="fail"><failure message="Failed"/></testcase>
</testsuite>"""
with tempfile.NamedTemporaryFile("w", suffix=".xml") as junit:
    junit.write(JUNIT)
    junit.flush()
    verdicts = {name: verdict for name, _, verdict in suite.cases(junit.name)}
checks.expect(verdicts == {"plain": "passed", "by_code": "skipped", "missing": "skipped",
                           "inside": "skipped", "broken": "failed"},
              f"the suite's verdicts: {verdicts}")
checks.finish()
