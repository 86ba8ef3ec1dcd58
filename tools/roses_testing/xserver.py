"""Private X servers on display numbers that the servers pick themselves and report through
-displayfd: two tests started together never share one server, as they did when each scanned
for a free number and both found the same one."""

import contextlib
import os
import select
import shutil
import subprocess

from roses_testing.processes import spawn, stop, stop_everything, wait_until

# Each of the two monitors of two_monitors.conf, the primary on the left, the other right of
# it: one virtual screen twice as wide.
DUMMY_MONITOR = (1024, 768)
_TWO_MONITORS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                  "two_monitors.conf")


def start_x_server(command, timeout=30, **kwargs):
    """Starts an X server (command without a display number) and waits until it is ready.
    Returns the server process and the display name; raises RuntimeError when it ends or
    stays silent for timeout seconds instead."""
    read_end, write_end = os.pipe()
    try:
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        server = spawn([*command, "-displayfd", str(write_end)], pass_fds=(write_end,),
                       stdin=subprocess.DEVNULL, **kwargs)
    finally:
        os.close(write_end)
    with os.fdopen(read_end) as reader:
        # Empty when the server died before it was ready.
        ready = _read_line(reader, timeout)
    if not ready.isdigit() or server.poll() is not None:
        stop(server)
        raise RuntimeError(f"{command[0]} did not start")
    return server, f":{ready}"


def _read_line(reader, timeout):
    if not select.select([reader], [], [], timeout)[0]:
        return ""
    return reader.readline().strip()


def start_xvfb(width=1024, height=768, glx=True, composite=False):
    """An Xvfb with one screen of this size, GLX (unless told otherwise) and a black root
    window; with composite, certainly the Composite extension that a compositing manager
    needs. Returns the server process and the display name."""
    return start_x_server(["Xvfb", "-screen", "0", f"{width}x{height}x24",
                           "+extension" if glx else "-extension", "GLX",
                           *(["+extension", "Composite"] if composite else []), "-nolisten",
                           "tcp", "-br", "-noreset"])


@contextlib.contextmanager
def xvfb(width=1024, height=768, glx=True, composite=False):
    """A private Xvfb that DISPLAY names while it runs; yields the server's process. Every
    process spawned meanwhile ends with it."""
    server, display = start_xvfb(width, height, glx, composite)
    previous = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = display
    try:
        yield server
    finally:
        stop_everything()
        if previous is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = previous



def start_two_monitor_xorg(work):
    """Xorg with the dummy video driver and two DUMMY_MONITOR monitors side by side, which
    Xvfb cannot show; its configuration and log go in the folder work. Returns the server
    process and the display name once the display answers with two monitors; raises
    RuntimeError saying why it cannot (Xorg, its dummy driver or xdpyinfo missing, or a
    dummy driver too old to have outputs)."""
    for tool in ("Xorg", "xdpyinfo"):
        if shutil.which(tool) is None:
            raise RuntimeError(f"{tool} is not installed")
    # Xorg takes a configuration path only relative to where it runs, unless run by root.
    shutil.copy(_TWO_MONITORS_CONF, os.path.join(work, "xorg.conf"))
    log = os.path.join(work, "xorg.log")
    try:
        # A process group of its own: stop ends it with whatever it started.
        server, display = start_x_server(
            ["Xorg", "-config", "xorg.conf", "-logfile", "xorg.log", "-noreset", "-nolisten",
             "tcp", "-novtswitch", "-sharevts", "-keeptty"], timeout=10, cwd=work,
            start_new_session=True)
    except (RuntimeError, OSError):
        tail = ""
        if os.path.exists(log):
            with open(log, errors="replace") as written:
                tail = written.read()[-600:]
        raise RuntimeError(f"Xorg with the dummy driver did not start\n{tail}")
    report = wait_until(lambda: _xdpyinfo(display), 10)
    heads = [line.strip() for line in (report or "").splitlines() if "head #" in line]
    print("X server heads:", heads)
    if report is None or len(heads) != 2:
        stop(server)
        # Older dummy drivers have no outputs: one wide screen, which proves nothing.
        raise RuntimeError(f"Xorg on {display} does not answer" if report is None else
                           "this X server's dummy driver cannot present two monitors")
    return server, display


def _xdpyinfo(display):
    """What xdpyinfo reports of the display and its monitors, or None while it does not
    answer."""
    result = subprocess.run(["xdpyinfo", "-ext", "XINERAMA"], capture_output=True, text=True,
                            env=dict(os.environ, DISPLAY=display), timeout=10)
    return result.stdout if result.returncode == 0 else None
