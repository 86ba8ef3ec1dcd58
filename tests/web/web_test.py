"""The page in headless Chromium against the native renderer: check-mode events and
pictures, the live page at two sizes and pixel ratios, a hidden tab, a bad seed. Errors raised
on any page visited fail the test.

Usage: web_test.py PAGE_DIR NATIVE_ROSES [--seeds N]   (--seeds compares seeds 1..N only)
"""
import functools
import http.server
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading

from roses_testing.checks import Checks
from roses_testing.image import image_from_png

import devtools

SIZE = (320, 240)
FRAMES = 600
checks = Checks()


def check(condition, what):
    if checks.expect(condition, what):
        print("ok: " + what, flush=True)


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}/index.html"


def without_micros(text):
    return [re.sub(r',"micros":\d+', "", line) for line in text.splitlines()]


def native_run(roses, seed, folder):
    events, picture = (os.path.join(folder, f"{seed}.{ext}") for ext in ("jsonl", "png"))
    subprocess.run([roses, "--headless", "--seed", str(seed), "--size", "%dx%d" % SIZE,
                    "--frames", str(FRAMES), "--events", events, "--png", picture],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(events) as f, open(picture, "rb") as p:
        return f.read(), image_from_png(p.read())


def centre(image):
    box = image.lit_box()
    return None if box is None else ((box[0] + box[2]) / 2, (box[1] + box[3]) / 2)


def check_mode(browser, url, roses, seeds, folder):
    browser.viewport(640, 480, 1)
    differing = []
    for seed in seeds:
        native_events, native_picture = native_run(roses, seed, folder)
        browser.navigate(f"{url}?seed={seed}&size=%dx%d&frames={FRAMES}&events" % SIZE)
        title = browser.wait_for("document.title.startsWith('roses:') && document.title")
        page_events = browser.evaluate("document.getElementById('events').textContent")
        if title != "roses: done" or without_micros(page_events) != without_micros(native_events):
            differing.append(seed)
        if seed == seeds[0]:
            lines = [json.loads(line) for line in page_events.splitlines()]
            check(len(lines) > 3 and lines[0]["event"] == "start",
                  f"seed {seed}: the check run writes JSON event lines")
            # The canvas sits at the top-left corner, one device pixel per pixel.
            shot = image_from_png(browser.screenshot())
            page_lit, native_lit = shot.lit(0, 0, *SIZE, threshold=48), native_picture.lit(
                threshold=48)
            page_centre, native_centre = centre(shot), centre(native_picture)
            near = page_centre is not None and all(
                abs(a - b) < 0.1 * SIZE[0] for a, b in zip(page_centre, native_centre))
            check(native_lit > 500 and abs(page_lit - native_lit) <= native_lit / 4 and near,
                  f"seed {seed}: the page lights {page_lit} pixels around {page_centre}, the "
                  f"native picture {native_lit} around {native_centre}")
    check(not differing, f"check-mode events equal the native renderer's for seeds {seeds} "
                         f"(differing: {differing})")

    browser.navigate(url + "?events&size=0x5")
    title = browser.wait_for("document.title.startsWith('roses:') && document.title")
    reason = browser.evaluate("document.getElementById('events').textContent")
    check(title == "roses: error" and reason.count("\n") == 1 and "size" in reason,
          f"a bad check-mode value ends in an error with one line: {reason!r}")


def lit_pixels(browser):
    return image_from_png(browser.screenshot()).lit(threshold=48)


def wait_for_rose(browser, seconds=40):
    try:
        browser.wait_for("window.rosesStats && rosesStats.steps > 20")
        deadline = seconds / 0.5
        while deadline > 0:
            count = lit_pixels(browser)
            if count >= 150:
                return count
            browser.pause(0.5)
            deadline -= 1
    except TimeoutError:
        pass
    return 0


def live_page(browser, url, page_target):
    browser.viewport(640, 480, 1)
    browser.navigate(url + "?seed=4")
    count = wait_for_rose(browser)
    canvas = browser.evaluate("[canvas.width, canvas.height]")
    check(count >= 150 and canvas == [640, 480],
          f"live page at 640x480, ratio 1: canvas {canvas}, {count} lit pixels")

    browser.viewport(480, 360, 2)
    browser.pause(1.0)
    canvas = browser.evaluate("[canvas.width, canvas.height]")
    count = wait_for_rose(browser)
    check(count >= 150 and canvas == [960, 720],
          f"resized to 480x360 at ratio 2: canvas {canvas}, {count} lit pixels")

    steps = browser.evaluate("rosesStats.steps")
    other = browser.other_tab()
    hidden = browser.evaluate("document.hidden")
    browser.pause(1.5)
    hidden_steps = browser.evaluate("rosesStats.steps") - steps
    browser.activate(page_target)
    browser.pause(3.0)
    times = browser.evaluate("rosesStats.times.slice(-40)")
    intervals = [b - a for a, b in zip(times, times[1:])]
    shown_steps = browser.evaluate("rosesStats.steps") - steps - hidden_steps
    median = statistics.median(intervals) if intervals else 0
    # One step may already be on its way when the tab is hidden.
    check(hidden and hidden_steps <= 1, f"a hidden page steps {hidden_steps} times in 1.5 s")
    check(shown_steps <= 3.0 / 0.05 + 2 and 45 <= median <= 80,
          f"shown again: {shown_steps} steps in 3 s, median interval {median:.1f} ms")
    browser.send("Target.closeTarget", session=False, targetId=other)
    browser.activate(page_target)

    browser.viewport(400, 300, 1)
    browser.navigate(url + "?seed=abc")
    count = wait_for_rose(browser)
    warnings = [text for kind, text in browser.console if kind in ("warning", "warn")]
    check(count >= 150 and len(warnings) == 1 and "seed" in warnings[0],
          f"?seed=abc draws ({count} lit pixels) and warns once: {warnings}")


def shown_sentence(browser, protocol):
    # Until the new document has its body, the old one or none at all may answer.
    return browser.wait_for(
        f"(m => location.protocol == '{protocol}' && m && getComputedStyle(m).display != "
        "'none' && m.textContent)(document.getElementById('message'))", 20)


def fallbacks(browser, url, page):
    """Where the page cannot run it says why in one sentence rather than stay blank."""
    browser.navigate("file://" + os.path.abspath(os.path.join(page, "index.html")))
    sentence = shown_sentence(browser, "file:")
    check("serve" in sentence and sentence.count(".") == 1,
          f"opened from a file, the page says to serve it: {sentence!r}")

    script = browser.send("Page.addScriptToEvaluateOnNewDocument",
                          source="HTMLCanvasElement.prototype.getContext = () => null;")
    browser.navigate(url)
    sentence = shown_sentence(browser, "http:")
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])
    check("WebGL" in sentence, f"without WebGL the page says so: {sentence!r}")


def errors_are_kept(browser):
    """An error raised on one page still counts once the browser has gone on to the next."""
    browser.navigate("data:text/html,<script>throw new Error('planted')</script>")
    for _ in range(100):
        if any("planted" in error for error in browser.errors):
            break
        browser.pause(0.1)
    browser.navigate("about:blank")
    browser.pause(0.1)
    planted = [error for error in browser.errors if "planted" in error]
    check(len(planted) == 1, f"an error of an earlier page is kept: {planted}")
    for error in planted:
        browser.errors.remove(error)


def main():
    page, roses = sys.argv[1], sys.argv[2]
    seeds = [1, 2, 3]
    if "--seeds" in sys.argv:
        seeds = list(range(1, int(sys.argv[sys.argv.index("--seeds") + 1]) + 1))
    server, url = serve(page)
    browser = devtools.Browser()
    try:
        target = browser.open_page()
        errors_are_kept(browser)
        with tempfile.TemporaryDirectory() as folder:
            check_mode(browser, url, roses, seeds, folder)
            if len(seeds) == 3:
                live_page(browser, url, target)
                fallbacks(browser, url, page)
        browser.pause(0.2)
        check(not browser.errors, f"no page errors: {browser.errors[:5]}")
    finally:
        browser.close()
        server.shutdown()
    checks.finish()


main()
