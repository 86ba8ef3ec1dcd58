#!/usr/bin/env python3
"""roses.scr as Windows starts it, run by wine on the X display in DISPLAY: the picture,
the dismissal by real input (xdotool), the single-instance rule, the preview inside a parent
window, and the switches that must end with -1 and show nothing.

Usage: end_to_end_test.py ROSES_SCR PREVIEW_PARENT [unittest options]
"""
import ctypes
import ctypes.util
import os
import pathlib
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "x11"))
from xharness import Image, wait_for_line_thickness  # noqa: E402

SCR = None
PARENT = None
# A Windows exit code of -1 reaches the shell as 255.
UNUSABLE = 255


def screen():
    """The root window as (width, height, RGB bytes)."""
    size = subprocess.run(["xdotool", "getdisplaygeometry"], check=True, capture_output=True,
                          text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout
    return width, height, data


def lit(shot, left=0, top=0, width=None, height=None):
    """How many colour channels are not black inside a rectangle of a screenshot."""
    screen_width, screen_height, data = shot
    width = screen_width - left if width is None else width
    height = screen_height - top if height is None else height
    count = 0
    for y in range(top, top + height):
        row = data[(y * screen_width + left) * 3:(y * screen_width + left + width) * 3]
        count += len(row) - row.count(0)
    return count


def preview_surface(width, height):
    """Wine's hidden X window for the preview's GL frames: a window of the preview's size at
    (0, 0) inside a 1 x 1 window at (-1, -1), the only one listed so by xwininfo."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], check=True, capture_output=True,
                          text=True).stdout
    for line in tree.splitlines():
        if line.strip().startswith("0x") and f" {width}x{height}+0+0  +-1+-1" in line:
            return int(line.split()[0], 16)
    return None


def lit_surface(window, width, height):
    """How many pixels of an X window are not black, read with XGetImage: import and xwd crop
    a window to what is on the screen, and this one lies off it."""
    class XImage(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int),
                    ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                    ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                    ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                    ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                    ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]

    xlib = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XGetImage.restype = ctypes.POINTER(XImage)
    xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    # A failed XGetImage (the window went away) would end the process in the default handler.
    handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda *_: 0)
    xlib.XSetErrorHandler(handler)
    display = xlib.XOpenDisplay(None)
    all_planes, z_pixmap = 0xFFFFFFFF, 2
    image = xlib.XGetImage(display, window, 0, 0, width, height, all_planes, z_pixmap)
    count = 0
    if image and image.contents.bits_per_pixel == 32:
        row_bytes = image.contents.bytes_per_line
        data = ctypes.string_at(image.contents.data, row_bytes * height)
        for y in range(height):
            row = data[y * row_bytes:y * row_bytes + width * 4]
            # 32-bit BGRX: a pixel is lit when any of its three colour bytes is.
            count += sum(1 for x in range(0, len(row), 4) if row[x:x + 3] != b"\0\0\0")
    if image:
        xlib.XFree(image.contents.data)
        xlib.XFree(image)
    xlib.XCloseDisplay(display)
    return count


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def windows_named(title):
    found = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True,
                           text=True).stdout.split()
    return len(found)


def wait_exit(process, seconds):
    """The exit code, or None if the process still runs after the given time."""
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


class Saver:
    """One run of roses.scr, its standard error kept in a file."""

    def __init__(self, *args):
        self.errors = tempfile.TemporaryFile()
        self.started = time.monotonic()
        self.process = subprocess.Popen(["wine", SCR, *args], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=self.errors)

    def error_text(self):
        self.errors.seek(0)
        return self.errors.read().decode(errors="replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.errors.close()


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.saver = None
        # The pointer rests in the middle, away from where the runs move it.
        xdotool("mousemove", "640", "400")

    def tearDown(self):
        if self.saver:
            self.saver.stop()

    def start_full_screen(self):
        """Starts /s and waits until a rose shows; returns the seconds that took."""
        self.saver = Saver("/s")
        while time.monotonic() - self.saver.started < 20:
            if self.saver.process.poll() is not None:
                self.fail(f"roses.scr /s ended early with {self.saver.process.returncode}")
            if windows_named("Screen Saver") and lit(screen()) > 0:
                return time.monotonic() - self.saver.started
            time.sleep(0.25)
        self.fail("no rose within 20 seconds")

    def assert_ends_within(self, seconds):
        began = time.monotonic()
        code = wait_exit(self.saver.process, seconds)
        self.assertEqual(code, 0, f"still running {seconds} s after the input")
        return time.monotonic() - began

    def test_full_screen_shows_a_rose_and_a_key_ends_it(self):
        shown = self.start_full_screen()
        self.assertLess(shown, 5.0, "a rose within 5 seconds")
        self.assertIn("roses.size: 0 < 1", self.saver.error_text())
        self.assertEqual(windows_named("Screen Saver"), 1)
        # Wine's display is an ordinary one, 96 DPI: lines 2 pixels wide.
        self.assertEqual(wait_for_line_thickness(lambda: Image(*screen()), 20), 2)

        xdotool("mousemove_relative", "--", "3", "0")
        time.sleep(1.0)
        self.assertIsNone(self.saver.process.poll(), "3 pixels of movement keep it running")

        xdotool("key", "space")
        took = self.assert_ends_within(1.0)
        print(f"rose after {shown:.2f} s; key press ended it after {took:.2f} s")

    def test_a_click_ends_it(self):
        self.start_full_screen()
        xdotool("click", "1")
        self.assert_ends_within(1.0)

    def test_twenty_pixels_of_movement_end_it(self):
        self.start_full_screen()
        xdotool("mousemove_relative", "--", "20", "0")
        self.assert_ends_within(1.0)

    def test_a_second_full_screen_saver_ends_at_once(self):
        self.start_full_screen()
        second = Saver("/s")
        code = wait_exit(second.process, 10)
        second.stop()
        self.assertEqual(code, 0)
        self.assertEqual(windows_named("Screen Saver"), 1)
        self.assertIsNone(self.saver.process.poll(), "the first one keeps running")
        xdotool("key", "Escape")
        self.assert_ends_within(1.0)

    def test_preview_runs_inside_its_parent_only_and_ends_with_it(self):
        parent = subprocess.Popen(["wine", PARENT], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        try:
            number, left, top, width, height = map(int, parent.stdout.readline().split())
            self.assertEqual((width, height), (152, 112))
            time.sleep(1.0)
            before = screen()
            self.saver = Saver("/p", str(number))
            while time.monotonic() - self.saver.started < 20:
                if "roses.size: 0 < 1" in self.saver.error_text():
                    break
                time.sleep(0.25)
            self.assertIn("roses.size: 0 < 1", self.saver.error_text())
            time.sleep(2.0)
            shot = screen()
            self.assert_outside_unchanged(before, shot, (left, top, width, height))
            self.assert_preview_surface_draws(width, height)

            # Keys, clicks and movement on the preview change nothing.
            xdotool("mousemove", str(left + width // 2), str(top + height // 2))
            xdotool("click", "1")
            xdotool("key", "space")
            xdotool("mousemove_relative", "--", "30", "30")
            time.sleep(1.0)
            self.assertIsNone(self.saver.process.poll(), "input ended the preview")

            parent.stdin.write("close\n")
            parent.stdin.flush()
            self.assertEqual(parent.stdout.readline().split(), ["child", "Preview", "152", "112"])
            self.assertEqual(wait_exit(self.saver.process, 10), 0)
            self.assertEqual(wait_exit(parent, 10), 0)
            self.assertIsNone(preview_surface(width, height), "the preview surface outlived it")
        finally:
            if parent.poll() is None:
                parent.kill()
                parent.wait()
            parent.stdin.close()
            parent.stdout.close()

    def assert_preview_surface_draws(self, width, height):
        """Wine 8 never copies a GL child window of another process into its parent's pixels
        (the parent's client area keeps its own brush). It renders the child into a hidden X
        window of its own, redirected off screen, which can still be read: there the
        preview's frames must show a rose."""
        count = 0
        while time.monotonic() - self.saver.started < 40 and count < 100:
            surface = preview_surface(width, height)
            count = lit_surface(surface, width, height) if surface else 0
            time.sleep(0.5)
        print(f"preview surface: {count} lit pixels "
              f"{time.monotonic() - self.saver.started:.1f} s after start")
        self.assertGreaterEqual(count, 100, "the preview's own surface shows no rose")

    def assert_outside_unchanged(self, before, after, box):
        width, height, old = before
        new = after[2]
        left, top, box_width, box_height = box
        for y in range(height):
            row = slice(y * width * 3, (y + 1) * width * 3)
            if old[row] == new[row]:
                continue
            changed = [x for x in range(width)
                       if old[(y * width + x) * 3:(y * width + x) * 3 + 3] !=
                       new[(y * width + x) * 3:(y * width + x) * 3 + 3]]
            outside = [x for x in changed
                       if not (top <= y < top + box_height and left <= x < left + box_width)]
            self.assertEqual(outside, [], f"drawn outside the parent on row {y}")

    def test_unusable_switches_end_with_minus_one_and_show_nothing(self):
        before = screen()
        for args in (["/c"], ["/c:0"], [], ["/x"], ["/a"], ["/p", "0"], ["/p"],
                     ["/p", "4000000000"]):
            with self.subTest(args=args):
                run = Saver(*args)
                code = wait_exit(run.process, 20)
                run.stop()
                self.assertEqual(code, UNUSABLE)
                self.assertEqual(windows_named("Screen Saver") + windows_named("Preview"), 0)
                self.assertEqual(screen()[2], before[2], "something was shown")


def main():
    global SCR, PARENT
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    if not os.environ.get("DISPLAY"):
        print("skipped: no DISPLAY for wine to show roses.scr on")
        sys.exit(77)
    SCR, PARENT = sys.argv[1], sys.argv[2]
    # Without a window manager, wine waits two seconds for one to withdraw each managed window
    # that is hidden; unmanaged windows show the saver's own timing.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                    "/d", "N", "/f"], check=True, capture_output=True)
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
