"""Shared pieces of the end-to-end tests of the Linux program: a private Xvfb, the program
under test, screenshots, xdotool input and plain X windows made through libX11 (ctypes), with
every process ended on the way out, whatever happened."""

import collections
import contextlib
import ctypes
import ctypes.util
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

_started = []


def _stop(process, grace=2.0):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def stop_everything():
    while _started:
        _stop(_started.pop())


def spawn(args, **kwargs):
    """Starts a process that is stopped again when the test ends."""
    process = subprocess.Popen(args, **kwargs)
    _started.append(process)
    return process


def wait_until(predicate, timeout, step=0.1):
    """Polls predicate until it returns something true or timeout seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(step)


def start_xvfb(*arguments):
    """Starts an Xvfb with these arguments on a display number that the server picks itself
    and reports through -displayfd: two tests started together never share one server, as
    they did when each scanned for a free number and both found the same one. Returns the
    server process and the display name."""
    read_end, write_end = os.pipe()
    try:
        server = spawn(["Xvfb", "-displayfd", str(write_end), *arguments],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       pass_fds=(write_end,))
    finally:
        os.close(write_end)
    with os.fdopen(read_end) as reader:
        number = reader.readline().strip()  # empty when the server died before it was ready
    if not number.isdigit() or server.poll() is not None:
        _stop(server)
        raise RuntimeError("Xvfb did not start")
    return server, f":{number}"


@contextlib.contextmanager
def xvfb(width=1024, height=768, glx=True):
    """A private X server with GLX (unless told otherwise) and a black root window; sets
    DISPLAY while it runs."""
    _, display = start_xvfb("-screen", "0", f"{width}x{height}x24",
                            "+extension" if glx else "-extension", "GLX", "-nolisten", "tcp",
                            "-br", "-noreset")
    previous = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = display
    try:
        yield display
    finally:
        stop_everything()
        if previous is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = previous


class Program:
    """The program under test, its standard error kept in a file for the failure report."""

    def __init__(self, binary, *args, env=None):
        self.log = tempfile.TemporaryFile()
        self.process = spawn([binary, *args], stdout=self.log, stderr=subprocess.STDOUT,
                             env=env)

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout):
        """The exit code, or None if it is still running after timeout seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def signal(self, number):
        self.process.send_signal(number)

    def output(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")



class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def lit(self, x=0, y=0, width=None, height=None, threshold=0):
        """How many pixels of the rectangle have a channel brighter than threshold."""
        width = self.width - x if width is None else width
        height = self.height - y if height is None else height
        count = 0
        for row in range(y, y + height):
            start = (row * self.width + x) * 3
            line = self.pixels[start:start + width * 3]
            if line and max(line) > threshold:
                count += sum(1 for i in range(0, len(line), 3)
                             if max(line[i], line[i + 1], line[i + 2]) > threshold)
        return count

    def lit_outside(self, x, y, width, height, threshold=0):
        return self.lit(threshold=threshold) - self.lit(x, y, width, height, threshold)

    def lit_box(self):
        """The smallest rectangle (left, top, right, bottom) holding every pixel that is not
        black, or None when there is none."""
        box = None
        row_bytes = self.width * 3
        for row in range(self.height):
            line = self.pixels[row * row_bytes:(row + 1) * row_bytes]
            lit = line.strip(b"\0")
            if not lit:
                continue
            left = (len(line) - len(line.lstrip(b"\0"))) // 3
            right = (len(line.rstrip(b"\0")) + 2) // 3
            box = (left, row, right, row + 1) if box is None else \
                (min(box[0], left), box[1], max(box[2], right), row + 1)
        return box


def screenshot(path=None):
    """The whole screen; with a path, also saved there as a PNG."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True,
                          capture_output=True, timeout=30).stdout
    if path:
        subprocess.run(["convert", "ppm:-", path], input=data, check=True, timeout=30)
    return image_from_ppm(data)


def image_from_ppm(data):
    # Binary PPM: "P6", width, height, maxval, each followed by one blank, then RGB bytes.
    fields, offset = [], 0
    while len(fields) < 4:
        while data[offset:offset + 1].isspace():
            offset += 1
        end = offset
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[offset:end])
        offset = end
    width, height = int(fields[1]), int(fields[2])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise RuntimeError("not an 8-bit binary PPM")
    return Image(width, height, data[offset + 1:offset + 1 + width * height * 3])


def line_thickness(width, height, rgb):
    """How many pixels wide the lines of an RGB picture are, or None when it does not tell.
    A line that runs more across than up crosses each column in a run of lit pixels as long as
    it is wide, and the other way round; crossings, ends and runs along a line come in every
    length. So the width is the commonest length of the runs along rows and columns, once at
    least 100 pixels are lit and it occurs 10 times and twice as often as any other: a rose's
    first few points, or a rose seen from afar as a clump, say nothing."""
    def lit_flags(channel):
        return int.from_bytes(rgb[channel::3].translate(bytes([0] + [1] * 255)), "big")
    mask = (lit_flags(0) | lit_flags(1) | lit_flags(2)).to_bytes(width * height, "big")
    if mask.count(1) < 100:
        return None
    lines = [mask[row * width:(row + 1) * width] for row in range(height)]
    lines += [mask[column::width] for column in range(width)]
    runs = collections.Counter(len(run) for line in lines for run in re.findall(rb"\x01+", line))
    (length, count), (_, next_count) = (runs.most_common(2) + [(0, 0)])[:2]
    return length if count >= 10 and count >= 2 * next_count else None


def wait_for_line_thickness(picture, timeout):
    """The line thickness of the first picture (an Image, or None) that tells it, or None."""
    def measured():
        image = picture()
        return image and line_thickness(image.width, image.height, image.pixels)
    return wait_until(measured, timeout, step=0.3)


def wait_for_rose(x, y, width, height, timeout):
    """The first screenshot with something drawn inside the rectangle, or None."""
    def lit_picture():
        picture = screenshot()
        return picture if picture.lit(x, y, width, height) > 0 else None
    return wait_until(lit_picture, timeout, step=0.25)


def expect_follows_resize(checks, program, window, old, new, timeout):
    """Resizes the window from the old rectangle (x, y, width, height) to the new one at the
    same place and expects the picture laid out for the new size: once the rose has grown over
    a quarter of the new window, pixels beyond the old bounds and the rose's box centred in
    the new window (within its middle half: the camera wanders)."""
    x, y, width, height = new
    what = f"resized from {old[2]}x{old[3]} to {width}x{height}"
    xdotool("windowsize", window, width, height)

    def grown():
        picture = screenshot()
        box = picture.lit_box()
        spread = box and (box[2] - box[0] >= width / 4 or box[3] - box[1] >= height / 4)
        return picture if spread and picture.lit_outside(*old) > 0 else None
    picture = wait_until(grown, timeout, step=0.25)
    if not checks.expect(picture, f"{what}: no rose grown beyond the old bounds", program):
        return
    checks.expect(picture.lit_outside(x, y, width, height) == 0,
                  f"{what}: pixels lit outside the window")
    left, top, right, bottom = picture.lit_box()
    centre_x, centre_y = (left + right) / 2 - x, (top + bottom) / 2 - y
    checks.expect(abs(centre_x - width / 2) < width / 4 and abs(centre_y - height / 2) < height / 4,
                  f"{what}: the rose's box {left},{top} to {right},{bottom} is not centred in "
                  f"the window", program)


# Run as root, the test hands the daemon to nobody; an ordinary user runs it as is.
AS_NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] \
    if os.geteuid() == 0 else []


def children():
    """Every process's parent, by process id."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
                parents[int(entry)] = (int(fields[1]), fields[0])
            except (OSError, IndexError, ValueError):
                pass
    return parents


def descendants(root):
    """The living processes below root, nearest first."""
    parents = children()
    found, frontier = [], [root]
    while frontier:
        parent = frontier.pop(0)
        for pid, (ppid, state) in parents.items():
            if ppid == parent and state != "Z":
                found.append(pid)
                frontier.append(pid)
    return found


def running_copy(daemon, binary):
    """The process id of our program below the daemon, once it is there."""
    for pid in descendants(daemon):
        try:
            if os.readlink(f"/proc/{pid}/exe") == binary:
                return pid
        except OSError:
            pass
    return None


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def daemon_draws(checks, home, hack, env=None, keep_screenshot=None, keep_after=0.0):
    """Runs the real XScreenSaver daemon on the current display with the settings in home
    (as nobody when we are root: it starts no hack as root), activates it and expects the
    hack at path hack to start below it, draw, and end on deactivation."""
    log = tempfile.TemporaryFile("w+")
    env = dict(env or os.environ, HOME=home)

    def command(*args):
        return subprocess.run([*AS_NOBODY, "xscreensaver-command", *args], env=env,
                              capture_output=True, text=True, timeout=30)

    def daemon_log():
        log.seek(0)
        return "\n--- daemon log ---\n" + log.read()[-3000:]

    daemon = spawn([*AS_NOBODY, "xscreensaver", "-no-splash", "-verbose"], env=env, stdout=log,
                   stderr=subprocess.STDOUT)
    try:
        ready = wait_until(lambda: command("-version").returncode == 0, 20 * SLOW, step=0.5)
        checks.expect(ready, "the daemon did not answer xscreensaver-command")
        command("-activate")
        pid = wait_until(lambda: running_copy(daemon.pid, hack), 15 * SLOW, step=0.2)
        checks.expect(pid, f"the daemon did not start {hack}" + daemon_log())
        started = time.monotonic()
        picture = wait_until(lambda: screenshot().lit() > 0, 10 * SLOW, step=0.5)
        checks.expect(picture, "nothing on the screen 10 s after -activate" + daemon_log())
        if pid:
            checks.expect(alive(pid), "the hack ended while the saver was active" + daemon_log())
            print(f"the hack drew within {time.monotonic() - started:.1f} s of starting")
            if keep_screenshot:
                time.sleep(keep_after)
                screenshot(keep_screenshot)
            command("-deactivate")
            checks.expect(wait_until(lambda: not alive(pid), 5 * SLOW),
                          "the hack still runs after -deactivate" + daemon_log())
        command("-exit")
        wait_until(lambda: daemon.poll() is not None, 5)
    finally:
        # The daemon's helpers and the hack run as nobody, below the daemon: end them by
        # process id before the server goes.
        leftovers = descendants(daemon.pid)
        if daemon.poll() is None:
            daemon.terminate()
        for pid in leftovers:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True,
                          text=True, timeout=10).stdout.strip()


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


_CLIENT_MESSAGE = 33


def _xlib():
    lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XDefaultRootWindow.restype = ctypes.c_ulong
    lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    lib.XCreateSimpleWindow.restype = ctypes.c_ulong
    lib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                        ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
    lib.XCreateWindow.restype = ctypes.c_ulong
    lib.XCreateWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_void_p, ctypes.c_ulong,
                                  ctypes.c_void_p]
    lib.XInternAtom.restype = ctypes.c_ulong
    lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    for name in ("XMapRaised", "XDestroyWindow"):
        getattr(lib, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    lib.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return lib


class XConnection:
    """A client of our own, for making windows that the program draws into or loses the
    focus to, and for speaking to the program's window as a window manager would."""

    def __init__(self):
        self.x = _xlib()
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the display")

    def create_window(self, x, y, width, height):
        """A mapped black top-level window."""
        window = self.x.XCreateSimpleWindow(self.display, self.x.XDefaultRootWindow(self.display),
                                            x, y, width, height, 0, 0, 0)
        self.x.XMapRaised(self.display, window)
        self.x.XSync(self.display, 0)
        return window

    def create_input_only_window(self, x, y, width, height):
        window = self.x.XCreateWindow(self.display, self.x.XDefaultRootWindow(self.display),
                                      x, y, width, height, 0, 0, 2, None, 0, None)  # InputOnly
        self.x.XSync(self.display, 0)
        return window

    def destroy_window(self, window):
        self.x.XDestroyWindow(self.display, window)
        self.x.XSync(self.display, 0)

    def focus(self, window):
        self.x.XSetInputFocus(self.display, window, 2, 0)  # RevertToParent, CurrentTime
        self.x.XSync(self.display, 0)

    def request_close(self, window):
        """The window manager's close: WM_PROTOCOLS with WM_DELETE_WINDOW."""
        event = _Event()
        event.client.type = _CLIENT_MESSAGE
        event.client.window = window
        event.client.message_type = self.x.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = self.x.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        self.x.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.x.XSync(self.display, 0)

    def close(self):
        self.x.XCloseDisplay(self.display)


def find_window(name, timeout=15):
    """The id of the first window with this title, once it exists."""
    def search():
        result = subprocess.run(["xdotool", "search", "--name", f"^{name}$"],
                                capture_output=True, text=True, timeout=10)
        ids = result.stdout.split()
        return int(ids[0]) if ids else None
    return wait_until(search, timeout, step=0.2)


class Checks:
    """Collects failures so that one run reports every broken case, then exits non-zero."""

    def __init__(self):
        self.failures = []

    def expect(self, condition, message, program=None):
        if not condition:
            if program is not None:
                message += "\n--- program output ---\n" + program.output()[-1500:]
            self.failures.append(message)
            print("FAIL: " + message, file=sys.stderr)
        return condition

    def finish(self):
        stop_everything()
        if self.failures:
            print(f"{len(self.failures)} check(s) failed", file=sys.stderr)
            sys.exit(1)
        print("all checks passed")


def _end_on_sigterm(number, frame):
    raise SystemExit(f"stopped by signal {number}")


signal.signal(signal.SIGTERM, _end_on_sigterm)


def binary_from_arguments():
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: test.py <path to roses>")
    return os.path.abspath(sys.argv[1])


# Sanitizer builds start and stop slowly: waits scale with this factor.
SLOW = float(os.environ.get("ROSES_TEST_SLOWNESS", "1"))
