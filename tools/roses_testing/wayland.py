"""Headless compositors of our own. sway: outputs of given sizes, a runtime folder of its own,
no background (swaybg's surface would cover a background-layer client), and screenshots of
one output. KWin: outputs at a fractional scale, screenshots at their own pixels, scale
changes and a key on the keyboard. And a connection handed to a client as a lock screen hands
it, with globals hidden from it."""

import array
import contextlib
import glob
import json
import os
import re
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import threading

from roses_testing.checks import skip
from roses_testing.image import Image, image_from_ppm
from roses_testing.processes import SLOW, spawn, stop_everything, wait_until

# sway refuses to run as root; this user owns nothing else.
NOBODY = 65534


def _spawn_headless(command, runtime, outputs, log):
    """A wlroots compositor on the headless backend with that many outputs, in a runtime
    folder of its own, as user 65534 when we are root (sway refuses root)."""
    prefix = []
    if os.getuid() == 0:
        os.chown(runtime, NOBODY, NOBODY)
        prefix = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"]
    os.chmod(runtime, 0o700)
    env = {"PATH": os.environ["PATH"], "HOME": runtime, "XDG_RUNTIME_DIR": runtime,
           "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
           "WLR_RENDERER": "pixman", "WLR_HEADLESS_OUTPUTS": str(outputs)}
    return spawn(prefix + [*command], env=env, stdout=log, stderr=log)


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
        log = tempfile.TemporaryFile()
        sway = _spawn_headless(["sway", "-c", config], runtime, len(outputs), log)

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


@contextlib.contextmanager
def headless_wlroots(command, outputs=2):
    """Another compositor built on wlroots, started headless as sway is, with outputs of the
    backend's own size (HEADLESS-1, -2, ...); yields its process once its socket is there and
    sets the variables that clients find it by while it runs. None where it ends at start,
    with its last lines of output, for the caller to say what it cannot do."""
    runtime = tempfile.mkdtemp(prefix="roses-wlroots-", dir="/tmp")
    try:
        log = tempfile.TemporaryFile()
        server = _spawn_headless(command, runtime, outputs, log)

        def socket():
            found = glob.glob(os.path.join(runtime, "wayland-[0-9]"))
            return found[0] if found else None
        wait_until(lambda: socket() or server.poll() is not None, 10 * SLOW)
        if server.poll() is not None or not socket():
            log.seek(0)
            yield None, log.read().decode(errors="replace").strip().splitlines()[-3:]
            return
        os.environ.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=os.path.basename(socket()))
        # Every output must be there before a client binds the outputs.
        wait_until(lambda: all(output_image(f"HEADLESS-{n + 1}") for n in range(outputs)),
                   10 * SLOW, step=0.2)
        yield server, []
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


@contextlib.contextmanager
def headless_kwin(scale, size=(640, 480), outputs=2):
    """A KWin with outputs (Virtual-0, -1, ...) of one size in its units at one scale (their
    modes have size x scale pixels), a session bus, a runtime folder and a copy of the program
    of its own; sets the variables that clients find it by while it runs and yields a Kwin.
    Skips the test where KWin or its helpers are missing or KWin cannot start."""
    for tool in ("kwin_wayland", "dbus-daemon", "gdbus", "kscreen-doctor"):
        if shutil.which(tool) is None:
            skip(f"{tool} is not installed (tools/setup installs it)")
    runtime = tempfile.mkdtemp(prefix="roses-kwin-", dir="/tmp")
    try:
        os.chmod(runtime, 0o700)
        # The installed program carries a file capability that a container may refuse to
        # grant ("Operation not permitted"); a copy has none.
        kwin = os.path.join(runtime, "kwin_wayland")
        shutil.copy(shutil.which("kwin_wayland"), kwin)
        bus = f"unix:path={runtime}/bus"
        log = tempfile.TemporaryFile()
        spawn(["dbus-daemon", "--nofork", "--config-file=/usr/share/dbus-1/session.conf",
               f"--address={bus}"], stdout=log, stderr=log, start_new_session=True)
        env = {"PATH": os.environ["PATH"], "HOME": runtime, "XDG_RUNTIME_DIR": runtime,
               "DBUS_SESSION_BUS_ADDRESS": bus,
               # The screenshots over D-Bus and the fake keyboard, which KWin otherwise keeps
               # for the programs of its own desktop.
               "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS": "1",
               "KWIN_WAYLAND_NO_PERMISSION_CHECKS": "1"}
        server = spawn([kwin, "--virtual", "--no-lockscreen", "--no-global-shortcuts",
                        "--no-kactivities", "--socket", "wayland-roses", "--width", str(size[0]),
                        "--height", str(size[1]), "--scale", str(scale), "--output-count",
                        str(outputs)], env=env, stdout=log, stderr=log, start_new_session=True)
        os.environ.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wayland-roses",
                          DBUS_SESSION_BUS_ADDRESS=bus)
        compositor = Kwin()
        # Ready once the last output can be taken, or, where KWin takes no screenshots, once
        # its screen tool sees every output: the socket, the bus and the outputs.
        ready = wait_until(lambda: server.poll() is not None or
                           compositor.screenshot(f"Virtual-{outputs - 1}") or
                           len(compositor.outputs()) == outputs, 20 * SLOW, step=0.2)
        if server.poll() is not None or not ready:
            log.seek(0)
            skip("KWin could not start:\n" + log.read().decode(errors="replace")[-1500:])
        # KWin 6 keeps the size given but sets each output's scale from its own defaults.
        for name, (_, _, told) in compositor.outputs().items():
            if abs(told - scale) > 1e-3:
                compositor.set_scale(name, scale)
        # Its screenshots come from an effect, which KWin 6 loads only when it composites with
        # OpenGL; with no render node, as in a container, it composites with QPainter.
        compositor.screenshots = wait_until(
            lambda: compositor.screenshot(f"Virtual-{outputs - 1}"), 5 * SLOW, step=0.2)
        yield compositor
    finally:
        stop_everything()
        shutil.rmtree(runtime, ignore_errors=True)


class Kwin:
    """The running KWin of headless_kwin, driven through its own interfaces."""

    screenshots = False

    def outputs(self):
        """{name: (width, height, scale)} of the outputs, in pixels of their modes."""
        try:
            listed = subprocess.run(["kscreen-doctor", "-j"], capture_output=True, text=True,
                                    env=dict(os.environ, QT_QPA_PLATFORM="wayland"),
                                    timeout=30, check=True).stdout
            found = {}
            for output in json.loads(listed[listed.index("{"):])["outputs"]:
                mode = next(m for m in output["modes"] if m["id"] == output["currentModeId"])
                found[output["name"]] = (mode["size"]["width"], mode["size"]["height"],
                                         output["scale"])
            return found
        except (subprocess.SubprocessError, ValueError, KeyError, StopIteration):
            return {}

    def screenshot(self, output):
        """What the output shows, at its own pixels, or None when it cannot be taken."""
        read, write = os.pipe()
        try:
            # KWin writes the pixels into the pipe while gdbus waits for its answer.
            call = subprocess.Popen(
                ["gdbus", "call", "--session", "--dest", "org.kde.KWin", "--object-path",
                 "/org/kde/KWin/ScreenShot2", "--method",
                 "org.kde.KWin.ScreenShot2.CaptureScreen", output,
                 "{'native-resolution': <true>}", str(write)],
                pass_fds=[write], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            os.close(write)
            write = None
            with os.fdopen(read, "rb") as pipe:
                read = None
                data = pipe.read()
            answer = call.communicate(timeout=10)[0]
        finally:
            for fd in (read, write):
                if fd is not None:
                    os.close(fd)
        fields = dict(re.findall(r"'(\w+)': <(?:uint32 )?'?([\w.-]+)'?>", answer))
        # Qt's image formats 4, 5 and 6 are 0xAARRGGBB words: blue first in memory here.
        if call.returncode != 0 or fields.get("format") not in ("4", "5", "6"):
            return None
        width, height, stride = (int(fields[k]) for k in ("width", "height", "stride"))
        if len(data) < stride * height:
            return None
        rows = b"".join(data[row * stride:row * stride + width * 4] for row in range(height))
        pixels = bytearray(width * height * 3)
        for channel, source in enumerate((2, 1, 0)):
            pixels[channel::3] = rows[source::4]
        return Image(width, height, bytes(pixels))

    def set_scale(self, output, scale):
        subprocess.run(["kscreen-doctor", f"output.{output}.scale.{scale}"],
                       env=dict(os.environ, QT_QPA_PLATFORM="wayland"), capture_output=True,
                       timeout=30, check=True)

    def type_a_key(self):
        """A key pressed and released on KWin's own fake keyboard (a headless KWin has none
        else)."""
        key_x = 45  # the evdev code of X
        with WaylandClient() as client:
            fake_input = client.bind("org_kde_kwin_fake_input", 4)
            client.send(fake_input, 0, wire_string("roses tests") + wire_string("a key"))
            client.send(fake_input, 10, struct.pack("<II", key_x, 1))
            client.send(fake_input, 10, struct.pack("<II", key_x, 0))
            client.roundtrip()


class Drawn:
    """Whether a rose appears on the output (at that size, if given) within a while: black
    where nothing is drawn, which the compositor's own grey desktop never is, and something
    lit. False says what the last picture was like."""

    def __init__(self, output, size=None):
        self.seen = "no picture"
        self.found = wait_until(lambda: self.rose(output, size), 15 * SLOW, step=0.3)

    def rose(self, output, size):
        image = output_image(output)
        if image is None:
            return False
        corners = (image.pixels[:3], image.pixels[-3:])
        self.seen = f"last picture {image.width}x{image.height}, corners {corners}, " \
                    f"brightest {max(image.pixels)}"
        return (size is None or (image.width, image.height) == size) and \
            corners == (b"\0\0\0", b"\0\0\0") and max(image.pixels) > 0

    def __bool__(self):
        return bool(self.found)

    def __str__(self):
        return "" if self.found else f" ({self.seen})"


def drawn(output, size=None):
    return Drawn(output, size)


def ends_within(program, seconds, expected_code=0):
    code = program.wait(seconds * SLOW)
    if code is None:
        # Out of the way of the next case, whose surfaces would lie under this one's.
        program.process.kill()
        program.process.wait()
    return code == expected_code, code


def type_a_key():
    # The pause lets the virtual keyboard reach the program before the key does.
    subprocess.run(["wtype", "-s", str(int(300 * SLOW)), "x"], timeout=10 * SLOW, check=True)


class VirtualPointer:
    """A pointer device of our own on the compositor's seat, which a headless compositor
    lacks: a client of the virtual-pointer protocol."""

    def __init__(self):
        self.client = WaylandClient()
        manager = self.client.bind("zwlr_virtual_pointer_manager_v1", 1)
        self.pointer = self.client.new_id()
        self.client.send(manager, 0, struct.pack("<II", 0, self.pointer))

    def move(self, dx, dy):
        self.client.send(self.pointer, 0, struct.pack("<Iii", 0, dx * 256, dy * 256))
        self.client.send(self.pointer, 4)

    def close(self):
        self.client.close()


def message(target, opcode, payload=b""):
    """One message of the Wayland wire protocol: object, size and opcode, arguments."""
    return struct.pack("<II", target, (8 + len(payload)) << 16 | opcode) + payload


def wire_string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


class WaylandClient:
    """A client of the compositor in WAYLAND_DISPLAY that speaks the wire protocol itself: it
    binds a global by name and sends requests to it, for the devices that tests add."""

    REGISTRY = 2

    def __init__(self):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"],
                                         os.environ["WAYLAND_DISPLAY"]))
        self.next_id = self.REGISTRY + 1
        self.buffer = b""
        self.globals = {}
        self.socket.sendall(message(1, 1, struct.pack("<I", self.REGISTRY)))
        self.roundtrip()

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, target, opcode, payload=b""):
        self.socket.sendall(message(target, opcode, payload))

    def roundtrip(self):
        """Waits until the compositor has handled every request so far; notes the globals
        that it announced meanwhile."""
        callback = self.new_id()
        self.send(1, 0, struct.pack("<I", callback))
        while True:
            while len(self.buffer) < 8 or \
                    len(self.buffer) < struct.unpack_from("<I", self.buffer, 4)[0] >> 16:
                self.buffer += self.socket.recv(4096)
            target, size_opcode = struct.unpack_from("<II", self.buffer)
            size = size_opcode >> 16
            body, self.buffer = self.buffer[8:size], self.buffer[size:]
            if target == self.REGISTRY and size_opcode & 0xFFFF == 0:
                length = struct.unpack_from("<I", body, 4)[0]
                self.globals[body[8:8 + length - 1].decode()] = struct.unpack_from("<I", body)[0]
            elif target == callback:
                return

    def bind(self, interface, version):
        """The new object's id."""
        new = self.new_id()
        self.send(self.REGISTRY, 0, struct.pack("<I", self.globals[interface]) +
                  wire_string(interface) + struct.pack("<II", version, new))
        return new

    def close(self):
        self.socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def handed_connection(hidden=(), env=None):
    """A connection to the compositor as a lock screen hands it to its background program: a
    descriptor in WAYLAND_SOCKET, through a relay that hides the named globals (wl_seat, say)
    from the registry. Returns the environment for the program (env, or this one's, with
    WAYLAND_SOCKET for WAYLAND_DISPLAY) and the descriptor it inherits."""
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)
    compositor = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    compositor.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"],
                                    os.environ["WAYLAND_DISPLAY"]))
    registries = set()
    names = [wire_string(interface) for interface in hidden]

    def relay(source, sink, edit):
        data, ancillary, _, _ = source.recvmsg(65536, socket.CMSG_SPACE(28 * 4))
        if not data:
            return False
        fds = array.array("i")
        for level, kind, payload in ancillary:
            if level == socket.SOL_SOCKET and kind == socket.SCM_RIGHTS:
                fds.frombytes(payload[:len(payload) - len(payload) % fds.itemsize])
        buffers[source] += data
        whole = b""
        buffer = buffers[source]
        while len(buffer) >= 8 and len(buffer) >= struct.unpack_from("<I", buffer, 4)[0] >> 16:
            size = struct.unpack_from("<I", buffer, 4)[0] >> 16
            whole += edit(buffer[:size])
            buffer = buffer[size:]
        buffers[source] = buffer
        sink.sendmsg([whole], [(socket.SOL_SOCKET, socket.SCM_RIGHTS, fds)] if fds else [])
        for fd in fds:
            os.close(fd)
        return True

    def from_client(msg):
        target, size_opcode = struct.unpack_from("<II", msg)
        if target == 1 and size_opcode & 0xFFFF == 1:  # wl_display.get_registry
            registries.add(struct.unpack_from("<I", msg, 8)[0])
        return msg

    def from_compositor(msg):
        target, size_opcode = struct.unpack_from("<II", msg)
        # wl_registry.global: name, then the interface as a string
        if target in registries and size_opcode & 0xFFFF == 0 and msg[12:].startswith(
                tuple(names)):
            return b""
        return msg

    buffers = {ours: b"", compositor: b""}

    def serve():
        with contextlib.suppress(OSError):
            while True:
                ready, _, _ = select.select([ours, compositor], [], [])
                if ours in ready and not relay(ours, compositor, from_client):
                    break
                if compositor in ready and not relay(compositor, ours, from_compositor):
                    break
        ours.close()
        compositor.close()
    threading.Thread(target=serve, daemon=True).start()
    env = {k: v for k, v in (env or os.environ).items() if k != "WAYLAND_DISPLAY"}
    env.update(WAYLAND_SOCKET=str(theirs.fileno()))
    return env, theirs
