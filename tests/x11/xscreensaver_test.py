"""Inside the real XScreenSaver daemon: activating the daemon puts roses on the screen and
deactivating it ends our process.

The daemon starts no hack when it runs as root, so it runs as nobody with a home of its own
whose ~/.xscreensaver lists only our program. Optional further arguments: a path where a
screenshot of the running hack is kept, and how many seconds to let it draw before that."""

import os
import shutil
import sys
import tempfile

from roses_testing.checks import Checks
from roses_testing.processes import binary_from_arguments, unwind_on_sigterm
from roses_testing.x11 import AS_NOBODY, daemon_draws
from roses_testing.xserver import xvfb

unwind_on_sigterm()

roses = binary_from_arguments()
keep_screenshot = sys.argv[2] if len(sys.argv) > 2 else None
keep_after = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0
checks = Checks()

workspace = tempfile.mkdtemp(prefix="roses-xscreensaver-")
try:
    # Everything the unprivileged daemon touches lives here, readable by nobody wherever the
    # build tree is.
    os.chmod(workspace, 0o755)
    hack = os.path.join(workspace, "roses")
    shutil.copy(roses, hack)
    os.chmod(hack, 0o755)
    home = os.path.join(workspace, "home")
    os.mkdir(home)
    with open(os.path.join(home, ".xscreensaver"), "w") as settings:
        settings.write("mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\n"
                       "splash: False\n"
                       f"programs: GL: {hack} --root \\n\n")
    if AS_NOBODY:
        shutil.chown(home, "nobody", "nogroup")
        shutil.chown(os.path.join(home, ".xscreensaver"), "nobody", "nogroup")
    with xvfb(1024, 768):
        daemon_draws(checks, home, hack, keep_screenshot=keep_screenshot, keep_after=keep_after)
finally:
    shutil.rmtree(workspace, ignore_errors=True)

checks.finish()
