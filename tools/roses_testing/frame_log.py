"""The frame log that the X11 and Wayland hosts write to standard error where ROSES_LOG_FRAMES
is set: one line for each frame drawn, "roses: frame WxH scale S step N"."""

import os
import re
from typing import NamedTuple

_LINE = re.compile(r"^roses: frame (\d+)x(\d+) scale ([0-9.]+) step (\d+)$", re.M)


class Frame(NamedTuple):
    width: int
    height: int
    scale: float
    step: int


def environment(env=None):
    """The environment given (or this process's) with the frame log on."""
    return dict(os.environ if env is None else env, ROSES_LOG_FRAMES="1")


def frame(line):
    """The frame that one line logs, or None for any other line."""
    found = _LINE.match(line.strip())
    return found and Frame(int(found[1]), int(found[2]), float(found[3]), int(found[4]))


def frames(text):
    """Every frame logged in a program's output, in order."""
    return [Frame(int(w), int(h), float(s), int(n)) for w, h, s, n in _LINE.findall(text)]
