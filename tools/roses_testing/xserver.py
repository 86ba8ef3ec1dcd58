"""Private X servers on display numbers that the servers pick themselves and report through
-displayfd: two tests started together never share one server, as they did when each scanned
for a free number and both found the same one."""

import contextlib
import os
import select
import subprocess

from roses_testing.processes import spawn, stop, stop_everything


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


def start_xvfb(width=1024, height=768, glx=True):
    """An Xvfb with one screen of this size, GLX (unless told otherwise) and a black root
    window. Returns the server process and the display name."""
    return start_x_server(["Xvfb", "-screen", "0", f"{width}x{height}x24",
                           "+extension" if glx else "-extension", "GLX", "-nolisten", "tcp",
                           "-br", "-noreset"])


@contextlib.contextmanager
def xvfb(width=1024, height=768, glx=True):
    """A private Xvfb that DISPLAY names while it runs; yields the server's process. Every
    process spawned meanwhile ends with it."""
    server, display = start_xvfb(width, height, glx)
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

