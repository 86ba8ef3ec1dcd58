"""The frame log that the X11 and Wayland hosts write to standard error where ROSES_LOG_FRAMES
is set: one line for each frame drawn, "roses: frame WxH scale S step N", which the X11 host
ends with " requests R", the requests sent to the display so far."""

import os
import re
from typing import NamedTuple

_LINE = re.compile(r"^roses: frame (\d+)x(\d+) scale ([0-9.]+) step (\d+)(?: requests (\d+))?$",
                   re.M)


class Frame(NamedTuple):
    width: int
    height: int
    scale: float
    step: int
    requests: int | None = None


def environment(env=None):
    """The environment given (or this process's) with the frame log on."""
    return dict(os.environ if env is None else env, ROSES_LOG_FRAMES="1")


def frame(line):
    """The frame that one line logs, or None for any other line."""
    found = _LINE.match(line.strip())
    return found and _frame(*found.groups())


def frames(text):
    """Every frame logged in a program's output, in order."""
    return [_frame(*groups) for groups in _LINE.findall(text)]


def _frame(width, height, scale, step, requests):
    return Frame(int(width), int(height), float(scale), int(step),
                 int(requests) if requests else None)
