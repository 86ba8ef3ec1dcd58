"""A headless sway of our own: outputs of given sizes, a runtime folder of its own, no
background (swaybg's surface would cover a background-layer client), and screenshots of one
output."""

import contextlib
import glob
import json
import os
import shutil
import subprocess
import tempfile

from roses_testing.checks import skip
from roses_testing.image import image_from_ppm
from roses_testing.processes import SLOW, spawn, stop_everything, wait_until

# sway refuses to run as root; this user owns nothing else.
NOBODY = 65534


@contextlib.contextmanager
def headless_sway(outputs, scales=None):
    """A compositor with these outputs ({name: (width, height)}, named HEADLESS-1, -2, ...),
    at the scales given ({name: factor}, else 1); sets the variables that clients find it by
    while it runs. Skips the test where sway or its helpers are missing or sway cannot
    start."""
    scales = scales or {}
    for tool in ("sway", "swaymsg", "grim", "wtype"):
        if shutil.which(tool) is None:
            skip(f"{tool} is not installed (tools/setup installs it)")
    runtime = tempfile.mkdtemp(prefix="roses-wayland-", dir="/tmp")
    try:
        config = os.path.join(runtime, "config")
        with open(config, "w") as file:
            # Far apart: sway stops showing the surfaces of an output that another one grown
            # over it covers in its layout.
            for x, (name, (width, height)) in zip(range(0, 2000 * len(outputs), 2000),
                                                  outputs.items()):
                file.write(f"output {name} mode {width}x{height} position {x} 0 "
                           f"scale {scales.get(name, 1)}\n")
        prefix = []
        if os.getuid() == 0:
            os.chown(runtime, NOBODY, NOBODY)
            prefix = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"]
        os.chmod(runtime, 0o700)
        env = {"PATH": os.environ["PATH"], "HOME": runtime, "XDG_RUNTIME_DIR": runtime,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
               "WLR_RENDERER": "pixman", "WLR_HEADLESS_OUTPUTS": str(len(outputs))}
        log = tempfile.TemporaryFile()
        sway = spawn(prefix + ["sway", "-c", config], env=env, stdout=log, stderr=log)

        def sockets():
            wayland = glob.glob(os.path.join(runtime, "wayland-[0-9]"))
            ipc = glob.glob(os.path.join(runtime, "sway-ipc.*.sock"))
            return (wayland[0], ipc[0]) if wayland and ipc else None
        found = wait_until(lambda: sockets() or sway.poll() is not None, 10 * SLOW)
        if sway.poll() is not None or not found:
            log.seek(0)
            skip("sway could not start:\n" + log.read().decode(errors="replace")[-1500:])
        wayland, ipc = sockets()
        os.environ.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=os.path.basename(wayland),
                          SWAYSOCK=ipc)
        # Every output must be there before a client binds the outputs.
        wait_until(lambda: len(output_sizes()) == len(outputs), 10 * SLOW)
        yield sway
    finally:
        stop_everything()
        shutil.rmtree(runtime, ignore_errors=True)


def swaymsg(*args):
    return subprocess.run(["swaymsg", *args], capture_output=True, text=True, timeout=10,
                          check=True).stdout


def output_sizes():
    """The active outputs' sizes, by name."""
    try:
        outputs = json.loads(swaymsg("-t", "get_outputs"))
    except subprocess.CalledProcessError:
        return {}
    return {o["name"]: (o["current_mode"]["width"], o["current_mode"]["height"])
            for o in outputs if o.get("active")}


def output_image(output):
    """What one output shows, or None when grim cannot take it."""
    result = subprocess.run(["grim", "-t", "ppm", "-o", output, "-"], capture_output=True,
                            timeout=30)
    return image_from_ppm(result.stdout) if result.returncode == 0 else None
