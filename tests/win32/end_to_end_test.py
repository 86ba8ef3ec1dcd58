#!/usr/bin/env python3
"""roses.scr as Windows starts it, run by wine on the X display in DISPLAY: the picture,
the dismissal by real input (xdotool), the single-instance rule, the preview inside a parent
window, and the switches that must end with -1 and show nothing.

Usage: end_to_end_test.py ROSES_SCR PREVIEW_PARENT [unittest options]
"""
import os
import subprocess
import sys
import time
import unittest

from roses_testing.checks import skip
from roses_testing.image import screenshot, wait_for_line_thickness
from roses_testing.processes import Program, unwind_on_sigterm, wait_exit
from roses_testing.wine import unmanaged_windows, version
from roses_testing.x11 import windows_named, xdotool
from roses_testing.xlib import XConnection

SCR = None
PARENT = None
WINE = 0
# A Windows exit code of -1 reaches the shell as 255.
UNUSABLE = 255
# The stand-in parent's own brush, where nothing covers its client area.
PARENT_BRUSH = bytes((128, 128, 128))


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
    with XConnection() as x:
        image = x.window_image(window, width, height)
    return image.lit() if image else 0


def saver(*args):
    """One run of roses.scr, its standard error kept for the checks."""
    return Program("wine", SCR, *args, stdin=subprocess.DEVNULL)


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
        self.saver = saver("/s")
        while time.monotonic() - self.saver.started < 20:
            if self.saver.process.poll() is not None:
                self.fail(f"roses.scr /s ended early with {self.saver.process.returncode}")
            if windows_named("Screen Saver") and not screenshot().black():
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
        self.assertIn("roses.size: 0 < 1", self.saver.output())
        self.assertEqual(len(windows_named("Screen Saver")), 1)
        # Wine's display is an ordinary one, 96 DPI: lines 2 pixels wide. A rose tells its
        # width only once it spans a tenth of the screen and two pictures in a row agree;
        # beside the suite's builds, under wine, 20 s were once not enough.
        self.assertEqual(wait_for_line_thickness(screenshot, 40), 2)

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
        second = saver("/s")
        code = wait_exit(second.process, 10)
        second.stop()
        self.assertEqual(code, 0)
        self.assertEqual(len(windows_named("Screen Saver")), 1)
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
            before = screenshot()
            self.saver = saver("/p", str(number))
            while time.monotonic() - self.saver.started < 20:
                if "roses.size: 0 < 1" in self.saver.output():
                    break
                time.sleep(0.25)
            self.assertIn("roses.size: 0 < 1", self.saver.output())
            box = (left, top, width, height)
            if WINE >= 10:
                self.assert_parent_shows_rose(box)
            else:
                self.assert_preview_surface_draws(width, height)
            self.assert_outside_unchanged(before, screenshot(), box)

            # Keys, clicks and movement on the preview change nothing.
            xdotool("mousemove", str(left + width // 2), str(top + height // 2))
            xdotool("click", "1")
            xdotool("key", "space")
            xdotool("mousemove_relative", "--", "30", "30")
            time.sleep(1.0)
            self.assertIsNone(self.saver.process.poll(), "input ended the preview")

            parent.stdin.write("close\n")
            parent.stdin.flush()
            self.assertEqual(parent.stdout.readline().split(),
                             ["child", "Preview", "0", "0", "152", "112"])
            self.assertEqual(wait_exit(self.saver.process, 10), 0)
            self.assertEqual(wait_exit(parent, 10), 0)
            if WINE >= 10:
                self.assertTrue(screenshot().crop(*box).black(), "the preview outlived it")
            else:
                self.assertIsNone(preview_surface(width, height), "the preview surface outlived it")
        finally:
            if parent.poll() is None:
                parent.kill()
                parent.wait()
            parent.stdin.close()
            parent.stdout.close()

    def assert_parent_shows_rose(self, box):
        """Wine 10 copies the preview's frames into its parent's pixels: the parent's client
        area must show a rose, where it showed its own grey brush."""
        count = 0
        while time.monotonic() - self.saver.started < 40 and count < 100:
            area = screenshot().crop(*box).pixels
            count = sum(1 for i in range(0, len(area), 3)
                        if area[i:i + 3] not in (b"\0\0\0", PARENT_BRUSH))
            time.sleep(0.5)
        print(f"preview in its parent: {count} lit pixels "
              f"{time.monotonic() - self.saver.started:.1f} s after start")
        self.assertGreaterEqual(count, 100, "the parent's client area shows no rose")

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
        changed = before.changed_outside(after, *box)
        self.assertIsNone(changed, f"drawn outside the parent at {changed}")

    def test_unusable_switches_end_with_minus_one_and_show_nothing(self):
        before = screenshot()
        for args in (["/c"], ["/c:0"], [], ["/x"], ["/a"], ["/p", "0"], ["/p"],
                     ["/p", "4000000000"]):
            with self.subTest(args=args):
                run = saver(*args)
                code = wait_exit(run.process, 20)
                run.stop()
                self.assertEqual(code, UNUSABLE)
                self.assertEqual(windows_named("Screen Saver") + windows_named("Preview"), [])
                self.assertEqual(screenshot().pixels, before.pixels, "something was shown")


def main():
    global SCR, PARENT, WINE
    unwind_on_sigterm()
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    if not os.environ.get("DISPLAY"):
        skip("no DISPLAY for wine to show roses.scr on")
    SCR, PARENT = sys.argv[1], sys.argv[2]
    WINE = version()
    unmanaged_windows()
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[3:]])


if __name__ == "__main__":
    main()
