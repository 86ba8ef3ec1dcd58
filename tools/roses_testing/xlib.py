"""Our own X client, through libX11 with ctypes: windows that the program under test draws
into or loses the focus to (of a multisampled visual too), the window manager's close
request, a server grab, a window's pixels, DAMAGE reports of the root window and key presses
through XTEST. The one binding of the tests and
the tools: Debian's Python X library is installed for the system's interpreter only, and the
tests run under whichever python3 comes first on the PATH."""

import ctypes
import ctypes.util
import functools
import struct

from roses_testing.image import Image

_CLIENT_MESSAGE = 33
_INPUT_ONLY = 2
_REVERT_TO_PARENT = 2
_CURRENT_TIME = 0
_Z_PIXMAP = 2
_ALL_PLANES = 0xFFFFFFFF
_RAW_RECTANGLES = 0
_CW_BACK_PIXEL = 1 << 1
_CW_BORDER_PIXEL = 1 << 3
_CW_OVERRIDE_REDIRECT = 1 << 9
_CW_COLORMAP = 1 << 13
_INPUT_OUTPUT = 1
_ALLOC_NONE = 0
_GLX_RGBA = 4
_GLX_DOUBLEBUFFER = 5
_GLX_SAMPLE_BUFFERS = 100000
_GLX_SAMPLES = 100001
_PROP_MODE_REPLACE = 0

Display = ctypes.c_void_p
XID = ctypes.c_ulong


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _SetWindowAttributes(ctypes.Structure):
    _fields_ = [("background_pixmap", ctypes.c_ulong), ("background_pixel", ctypes.c_ulong),
                ("border_pixmap", ctypes.c_ulong), ("border_pixel", ctypes.c_ulong),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("cursor", ctypes.c_ulong)]


class _VisualInfo(ctypes.Structure):
    _fields_ = [("visual", ctypes.c_void_p), ("visualid", ctypes.c_ulong),
                ("screen", ctypes.c_int), ("depth", ctypes.c_int), ("c_class", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong), ("colormap_size", ctypes.c_int),
                ("bits_per_rgb", ctypes.c_int)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int),
                ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


def _declare(lib, name, result, *arguments):
    function = getattr(lib, name)
    function.restype = result
    function.argtypes = list(arguments)


@functools.cache
def _x11():
    lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    c_int, c_uint, c_long = ctypes.c_int, ctypes.c_uint, ctypes.c_long
    _declare(lib, "XOpenDisplay", Display, ctypes.c_char_p)
    _declare(lib, "XCloseDisplay", c_int, Display)
    _declare(lib, "XDefaultRootWindow", XID, Display)
    _declare(lib, "XConnectionNumber", c_int, Display)
    _declare(lib, "XCreateSimpleWindow", XID, Display, XID, c_int, c_int, c_uint, c_uint,
             c_uint, ctypes.c_ulong, ctypes.c_ulong)
    _declare(lib, "XCreateWindow", XID, Display, XID, c_int, c_int, c_uint, c_uint, c_uint,
             c_int, c_uint, ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p)
    _declare(lib, "XCreateColormap", XID, Display, XID, ctypes.c_void_p, c_int)
    _declare(lib, "XMapRaised", c_int, Display, XID)
    _declare(lib, "XMoveWindow", c_int, Display, XID, c_int, c_int)
    _declare(lib, "XDestroyWindow", c_int, Display, XID)
    _declare(lib, "XGrabServer", c_int, Display)
    _declare(lib, "XUngrabServer", c_int, Display)
    _declare(lib, "XSetInputFocus", c_int, Display, XID, c_int, ctypes.c_ulong)
    _declare(lib, "XInternAtom", ctypes.c_ulong, Display, ctypes.c_char_p, c_int)
    _declare(lib, "XSendEvent", c_int, Display, XID, c_int, c_long, ctypes.c_void_p)
    _declare(lib, "XGetSelectionOwner", XID, Display, ctypes.c_ulong)
    _declare(lib, "XChangeProperty", c_int, Display, XID, ctypes.c_ulong, ctypes.c_ulong, c_int,
             c_int, ctypes.c_void_p, c_int)
    _declare(lib, "XSync", c_int, Display, c_int)
    _declare(lib, "XFlush", c_int, Display)
    _declare(lib, "XPending", c_int, Display)
    _declare(lib, "XNextEvent", c_int, Display, ctypes.c_void_p)
    _declare(lib, "XKeysymToKeycode", ctypes.c_ubyte, Display, ctypes.c_ulong)
    _declare(lib, "XGetImage", ctypes.POINTER(_XImage), Display, XID, c_int, c_int, c_uint,
             c_uint, ctypes.c_ulong, c_int)
    _declare(lib, "XFree", c_int, ctypes.c_void_p)
    _declare(lib, "XSetErrorHandler", ctypes.c_void_p, _ERROR_HANDLER)
    return lib


@functools.cache
def _glx():
    lib = ctypes.CDLL(ctypes.util.find_library("GL") or "libGL.so.1")
    _declare(lib, "glXChooseVisual", ctypes.POINTER(_VisualInfo), Display, ctypes.c_int,
             ctypes.POINTER(ctypes.c_int))
    return lib


@functools.cache
def _xdamage():
    lib = ctypes.CDLL(ctypes.util.find_library("Xdamage") or "libXdamage.so.1")
    _declare(lib, "XDamageQueryExtension", ctypes.c_int, Display,
             ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int))
    _declare(lib, "XDamageCreate", XID, Display, XID, ctypes.c_int)
    return lib


@functools.cache
def _xtest():
    lib = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
    _declare(lib, "XTestFakeKeyEvent", ctypes.c_int, Display, ctypes.c_uint, ctypes.c_int,
             ctypes.c_ulong)
    return lib


# Kept alive for as long as libX11 may call it.
_ignore_errors = _ERROR_HANDLER(lambda display, error: 0)


class XConnection:
    """One connection to the display in DISPLAY (or the one named)."""

    def __init__(self, name=None):
        self.x = _x11()
        self.display = self.x.XOpenDisplay(name.encode() if name else None)
        if not self.display:
            raise RuntimeError("cannot open the display")
        self.root = self.x.XDefaultRootWindow(self.display)

    def close(self):
        self.x.XCloseDisplay(self.display)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def sync(self):
        self.x.XSync(self.display, 0)

    def create_window(self, x, y, width, height):
        """A mapped black top-level window."""
        window = self.x.XCreateSimpleWindow(self.display, self.root, x, y, width, height, 0, 0,
                                            0)
        self.x.XMapRaised(self.display, window)
        self.sync()
        return window

    def create_multisampled_window(self, x, y, width, height, samples):
        """A mapped black top-level window whose GLX visual has that many samples a pixel,
        as XScreenSaver makes one with its multisample resource on; None where the display
        offers no such visual."""
        wanted = (ctypes.c_int * 7)(_GLX_RGBA, _GLX_DOUBLEBUFFER, _GLX_SAMPLE_BUFFERS, 1,
                                    _GLX_SAMPLES, samples, 0)
        found = _glx().glXChooseVisual(self.display, 0, wanted)
        if not found:
            return None
        visual = found.contents
        attributes = _SetWindowAttributes(
            background_pixel=0, border_pixel=0,
            colormap=self.x.XCreateColormap(self.display, self.root, visual.visual, _ALLOC_NONE))
        window = self.x.XCreateWindow(self.display, self.root, x, y, width, height, 0,
                                      visual.depth, _INPUT_OUTPUT, visual.visual,
                                      _CW_BACK_PIXEL | _CW_BORDER_PIXEL | _CW_COLORMAP,
                                      ctypes.byref(attributes))
        self.x.XFree(found)
        self.x.XMapRaised(self.display, window)
        self.sync()
        return window

    def create_override_redirect_window(self, x, y, width, height):
        """A mapped black window on top of all others that no window manager handles, as a
        screen locker's or a menu's."""
        attributes = _SetWindowAttributes(background_pixel=0, override_redirect=1)
        window = self.x.XCreateWindow(self.display, self.root, x, y, width, height, 0, 0, 1,
                                      None, _CW_BACK_PIXEL | _CW_OVERRIDE_REDIRECT,
                                      ctypes.byref(attributes))
        self.x.XMapRaised(self.display, window)
        self.sync()
        return window

    def create_input_only_window(self, x, y, width, height):
        window = self.x.XCreateWindow(self.display, self.root, x, y, width, height, 0, 0,
                                      _INPUT_ONLY, None, 0, None)
        self.sync()
        return window

    def move_window(self, window, x, y):
        self.x.XMoveWindow(self.display, window, x, y)
        self.sync()

    def destroy_window(self, window):
        self.x.XDestroyWindow(self.display, window)
        self.sync()

    def grab_server(self):
        """Holds every other client's requests, and so their replies, until ungrab_server;
        this connection's own requests and the events they cause go on."""
        self.x.XGrabServer(self.display)
        self.sync()

    def ungrab_server(self):
        self.x.XUngrabServer(self.display)
        self.sync()

    def focus(self, window):
        self.x.XSetInputFocus(self.display, window, _REVERT_TO_PARENT, _CURRENT_TIME)
        self.sync()

    def request_close(self, window):
        """The window manager's close: WM_PROTOCOLS with WM_DELETE_WINDOW."""
        event = _Event()
        event.client.type = _CLIENT_MESSAGE
        event.client.window = window
        event.client.message_type = self.x.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = self.x.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        self.x.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.sync()

    def selection_owner(self, name):
        """The window that owns the selection, or 0."""
        return self.x.XGetSelectionOwner(self.display, self._atom(name))

    def set_property(self, window, name, kind, values):
        """Replaces a property of 32-bit items on the window, as a window manager sets
        _NET_WM_STATE (kind "ATOM", values atom names) or a user sets _NET_WM_WINDOW_OPACITY
        (kind "CARDINAL", values numbers)."""
        if kind == "ATOM":
            values = [self._atom(value) for value in values]
        items = (ctypes.c_ulong * max(1, len(values)))(*values)
        self.x.XChangeProperty(self.display, window, self._atom(name), self._atom(kind), 32,
                               _PROP_MODE_REPLACE, items, len(values))
        self.sync()

    def _atom(self, name):
        return self.x.XInternAtom(self.display, name.encode(), 0)

    def window_image(self, window, width, height):
        """The window's own pixels as an Image, or None when they cannot be read. Unlike a
        screenshot, this reads a window that lies off the screen too. A failed read (the
        window went away) would end the process in libX11's default error handler: errors
        are ignored from here on."""
        self.x.XSetErrorHandler(_ignore_errors)
        image = self.x.XGetImage(self.display, window, 0, 0, width, height, _ALL_PLANES,
                                 _Z_PIXMAP)
        if not image:
            return None
        try:
            if image.contents.bits_per_pixel != 32:
                return None
            row_bytes = image.contents.bytes_per_line
            data = ctypes.string_at(image.contents.data, row_bytes * height)
            # 32-bit BGRX rows, padded to bytes_per_line: to RGB.
            rgb = bytearray(width * height * 3)
            for y in range(height):
                row = data[y * row_bytes:y * row_bytes + width * 4]
                rgb[y * width * 3:(y + 1) * width * 3:3] = row[2::4]
                rgb[y * width * 3 + 1:(y + 1) * width * 3:3] = row[1::4]
                rgb[y * width * 3 + 2:(y + 1) * width * 3:3] = row[0::4]
            return Image(width, height, bytes(rgb))
        finally:
            self.x.XFree(image.contents.data)
            self.x.XFree(image)

    # Frames seen from outside: DAMAGE reports of the root window.

    def watch_root_damage(self):
        """Asks for a report of every drawing request on the root window, raw rectangles
        with no region kept in between. Returns the DAMAGE notify event's type."""
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        damage = _xdamage()
        if not damage.XDamageQueryExtension(self.display, ctypes.byref(event_base),
                                            ctypes.byref(error_base)):
            raise RuntimeError("the X server has no DAMAGE extension")
        damage.XDamageCreate(self.display, self.root, _RAW_RECTANGLES)
        self.sync()
        return event_base.value  # XDamageNotify is the extension's first event

    def fileno(self):
        return self.x.XConnectionNumber(self.display)

    def pending_events(self):
        """Yields the raw bytes of every event that has arrived, without waiting."""
        event = (ctypes.c_long * 24)()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, event)
            yield bytes(event)

    @staticmethod
    def damage_timestamp(raw):
        """The server milliseconds of a raw XDamageNotifyEvent: type, serial, send_event,
        display, drawable, damage, level, more, timestamp, ..."""
        return struct.unpack_from("iQiQQQiiQ", raw)[8]

    @staticmethod
    def event_type(raw):
        return struct.unpack_from("i", raw)[0]

    # Input as a device would send it, through XTEST.

    def key(self, keysym, pressed):
        code = self.x.XKeysymToKeycode(self.display, keysym)
        _xtest().XTestFakeKeyEvent(self.display, code, 1 if pressed else 0, _CURRENT_TIME)
        self.x.XFlush(self.display)
