"""The page in headless Chromium against the native renderer: check-mode events and pictures
of the served page and of the single file, the single file live from a disk through a lost and
restored context (and one that cannot be set up again), the Lively folder, the live page at two
sizes and pixel ratios with its wake lock, installability, a hidden tab, reduced motion, a
discharging battery and an offline reload, two installs of two builds on one origin, a
build taking over beneath an open page and one whose files are not all its own, a bad seed,
and the sentences where the page cannot run. Errors raised on any page visited fail the test.

Usage: web_test.py PAGE_DIR SINGLE_FILE LIVELY_DIR NATIVE_ROSES [--seeds N]
(--seeds compares the check mode of seeds 1..N only, and skips everything else)
"""
import concurrent.futures
import functools
import hashlib
import http.server
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading

from roses_testing.checks import Checks
from roses_testing.image import image_from_png
from roses_testing.processes import unwind_on_sigterm

import devtools

unwind_on_sigterm()

SIZE = (320, 240)
FRAMES = 600
# Enough lit pixels to be a rose on screen, not a stray point.
ROSE = 150
checks = Checks()


def check(condition, what):
    if checks.expect(condition, what):
        print("ok: " + what, flush=True)


def serve(folder):
    """A static server of folder, and the page's address. It keeps the paths asked for, and
    answers 503 while down is set. Nothing it sends may be kept in the browser's HTTP cache,
    so that a page it no longer serves can only come from a service worker."""
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def do_GET(self):
            if server.down:
                self.send_error(503)
            else:
                super().do_GET()

        def end_headers(self):
            self.send_header("Cache-Control", "no-store")
            super().end_headers()

        def log_request(self, *args):
            server.asked.append(self.path.split("?")[0])

        def log_message(self, *args):
            pass
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Quiet, directory=folder))
    server.asked = []
    server.down = False
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


def check_run(browser, address, natives, seed, picture=False):
    """Whether the page's check run of seed equals the native renderer's; with picture, also
    checks what the canvas at the top-left corner shows against the native picture."""
    native_events, native_picture = natives[seed].result()
    browser.navigate(f"{address}?seed={seed}&size=%dx%d&frames={FRAMES}&events" % SIZE)
    title = browser.wait_for("document.title.startsWith('roses:') && document.title")
    page_events = browser.evaluate("document.getElementById('events').textContent")
    if picture:
        lines = [json.loads(line) for line in page_events.splitlines()]
        check(len(lines) > 3 and lines[0]["event"] == "start",
              f"{address} seed {seed}: the check run writes JSON event lines")
        shot = image_from_png(browser.screenshot())
        page_lit, native_lit = shot.lit(0, 0, *SIZE, threshold=48), native_picture.lit(
            threshold=48)
        page_centre, native_centre = centre(shot), centre(native_picture)
        near = page_centre is not None and all(
            abs(a - b) < 0.1 * SIZE[0] for a, b in zip(page_centre, native_centre))
        check(native_lit > 500 and abs(page_lit - native_lit) <= native_lit / 4 and near,
              f"{address} seed {seed}: the page lights {page_lit} pixels around {page_centre}, "
              f"the native picture {native_lit} around {native_centre}")
    return title == "roses: done" and without_micros(page_events) == without_micros(native_events)


def check_mode(browser, url, natives, seeds):
    browser.viewport(640, 480, 1)
    differing = [seed for seed in seeds
                 if not check_run(browser, url, natives, seed, picture=seed == seeds[0])]
    check(not differing, f"check-mode events equal the native renderer's for seeds {seeds} "
                         f"(differing: {differing})")

    for bad in ("size=0x5", "samples=2"):
        browser.navigate(url + "?events&" + bad)
        title = browser.wait_for("document.title.startsWith('roses:') && document.title")
        reason = browser.evaluate("document.getElementById('events').textContent")
        check(title == "roses: error" and reason.count("\n") == 1 and
              bad.split("=")[0] in reason,
              f"a bad check-mode value ends in an error with one line: {reason!r}")

    # The wide lines are triangles here: multisampled, their edges are smoothed too.
    runs = []
    for samples in (0, 4):
        browser.navigate(f"{url}?seed=2&size=%dx%d&frames=300&events&samples={samples}" % SIZE)
        title = browser.wait_for("document.title.startsWith('roses:') && document.title")
        events = browser.evaluate("document.getElementById('events').textContent")
        picture = image_from_png(browser.screenshot()).crop(0, 0, *SIZE)
        runs.append((title, without_micros(events), picture.partly_covered()))
    (title0, events0, aliased), (title4, events4, smooth) = runs
    check(title0 == title4 == "roses: done" and events0 == events4 and smooth > 0.08 and
          aliased < 0.04,
          f"?samples=4 leaves {smooth:.1%} of the lit pixels partly covered, ?samples=0 "
          f"{aliased:.1%}, with the same events")


def lit_pixels(browser):
    return image_from_png(browser.screenshot()).lit(threshold=48)


def wait_for_rose(browser, seconds=40, enough=ROSE):
    try:
        browser.wait_for("window.rosesStats && rosesStats.steps > 20")
        for _ in range(int(seconds / 0.5)):
            count = lit_pixels(browser)
            if count >= enough:
                return count
            browser.pause(0.5)
    except TimeoutError:
        pass
    return 0


def step_interval(browser, seconds):
    """The median time between the steps of the last seconds, in ms."""
    browser.pause(seconds)
    times = browser.evaluate(
        f"rosesStats.times.filter(t => t > performance.now() - {seconds * 1000})")
    intervals = [b - a for a, b in zip(times, times[1:])]
    return statistics.median(intervals) if intervals else 0


def single_file(browser, single, lively, natives):
    """The file as someone who downloaded it opens it: check mode and live, from file://."""
    address = "file://" + os.path.abspath(single)
    check(check_run(browser, address, natives, 1, picture=True),
          "from file://, the single file's check-mode events equal the native renderer's")

    # The first lines of a rose, live: the check run's picture shows a whole one. The canvas
    # refuses a context while `refusing` counts down, as if the restored one were lost again.
    refusal = browser.send("Page.addScriptToEvaluateOnNewDocument", source="""(() => {
        const get = HTMLCanvasElement.prototype.getContext;
        window.refusing = 0;
        HTMLCanvasElement.prototype.getContext = function (...args) {
          return refusing-- > 0 ? null : get.apply(this, args);
        };
      })();""")
    browser.navigate(address + "?seed=4")
    count = wait_for_rose(browser, enough=ROSE // 3)
    check(count >= ROSE // 3, f"from file://, the single file draws live: {count} lit pixels")

    # A forced loss and restore, as after a GPU reset: the page stops drawing, goes on
    # stepping, and then shows the same garden where it has got to.
    steps = browser.evaluate("rosesStats.steps")
    browser.evaluate("window.loss = document.getElementById('canvas').getContext('webgl')"
                     ".getExtension('WEBGL_lose_context'); loss.loseContext(); true")
    browser.wait_for("rosesStats.lost == 1", 10)
    browser.pause(0.5)
    lost_steps = browser.evaluate("rosesStats.steps") - steps
    lost_lit = lit_pixels(browser)
    browser.evaluate("loss.restoreContext(); true")
    browser.wait_for("rosesStats.restored == 1", 10)
    browser.pause(0.3)
    # A new garden would show nothing for seconds; the old one shows its roses at once.
    restored_lit = lit_pixels(browser)
    check(lost_steps >= 5 and lost_lit == 0 and restored_lit >= count,
          f"a lost context: {lost_steps} steps in 0.5 s drawn nowhere ({lost_lit} lit pixels); "
          f"restored, the garden shows {restored_lit} lit pixels, {count} before the loss")

    # A restored context that cannot be set up at once is tried again; one that never can be
    # ends in a sentence.
    def lose_and_restore(refusals):
        lost = browser.evaluate("rosesStats.lost")
        browser.evaluate("loss.loseContext(); true")
        browser.wait_for(f"rosesStats.lost > {lost}", 10)
        browser.evaluate(f"refusing = {refusals}; loss.restoreContext(); true")
    lose_and_restore(1)
    try:
        retried = browser.wait_for("rosesStats.restored == 2", 5)
    except TimeoutError:
        retried = False
    lose_and_restore("Infinity")
    try:
        sentence = shown_sentence(browser, "file:")
    except TimeoutError:
        sentence = ""
    # Restored later after all, the roses show again and the sentence goes.
    restored = browser.evaluate("rosesStats.restored")
    lose_and_restore(0)
    browser.wait_for(f"rosesStats.restored > {restored}", 10)
    browser.pause(0.3)
    shown = browser.evaluate("[getComputedStyle(canvas).display, getComputedStyle(canvas)"
                             ".visibility, getComputedStyle(document.getElementById('message'))"
                             ".display]")
    back_lit = lit_pixels(browser)
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=refusal["identifier"])
    check(retried and "WebGL" in sentence and sentence.count(". ") == 0,
          f"a restored context refused once is set up on a later try ({retried}); always "
          f"refused, the page says why it shows nothing: {sentence!r}")
    check(shown == ["block", "visible", "none"] and back_lit >= ROSE // 3,
          f"a context restored after the page gave up shows the roses, not the sentence: "
          f"canvas display and visibility and the sentence's display {shown}, "
          f"{back_lit} lit pixels")

    with open(os.path.join(lively, "LivelyInfo.json")) as f:
        info = json.load(f)
    named = os.path.join(lively, info.get("FileName", ""))
    same = os.path.isfile(named) and open(named, "rb").read() == open(single, "rb").read()
    check(info.get("Type") == 1 and same and not info.get("IsAbsolutePath"),
          f"LivelyInfo.json parses and names the single file as a web page: {info}")


def live_page(browser, url, page_target, server):
    browser.viewport(640, 480, 1)
    browser.navigate(url + "?seed=4&awake")
    count = wait_for_rose(browser)
    canvas = browser.evaluate("[canvas.width, canvas.height]")
    check(count >= ROSE and canvas == [640, 480],
          f"live page at 640x480, ratio 1: canvas {canvas}, {count} lit pixels")

    # Headless Chromium grants the lock to a shown page; a browser that refuses it is
    # checked with the bad seed below.
    held = browser.evaluate("[rosesStats.awake, rosesStats.locked]")
    browser.key("w")
    released = browser.evaluate("[rosesStats.awake, rosesStats.locked]")
    browser.key("w")
    again = browser.wait_for("rosesStats.locked && [rosesStats.awake, rosesStats.locked]", 5)
    check(held == [True, True] and released == [False, False] and again == [True, True],
          f"?awake holds a wake lock {held}, W lets go {released} and takes it again {again}")

    installability = browser.send("Page.getInstallabilityErrors")["installabilityErrors"]
    check(installability == [], f"the served page is installable: {installability}")

    browser.viewport(480, 360, 2)
    browser.pause(1.0)
    canvas = browser.evaluate("[canvas.width, canvas.height]")
    count = wait_for_rose(browser)
    check(count >= ROSE and canvas == [960, 720],
          f"resized to 480x360 at ratio 2: canvas {canvas}, {count} lit pixels")

    steps = browser.evaluate("rosesStats.steps")
    other = browser.other_tab()
    hidden = browser.evaluate("document.hidden")
    browser.pause(1.5)
    hidden_steps = browser.evaluate("rosesStats.steps") - steps
    browser.activate(page_target)
    median = step_interval(browser, 2.0)
    shown_again = browser.evaluate("rosesStats.locked")
    # One step may already be on its way when the tab is hidden.
    check(hidden and hidden_steps <= 1, f"a hidden page steps {hidden_steps} times in 1.5 s")
    check(45 <= median <= 80 and shown_again,
          f"shown again: median step interval {median:.1f} ms, wake lock taken again")
    browser.send("Target.closeTarget", session=False, targetId=other)
    browser.activate(page_target)

    # On SwiftShader the default is one frame a step; ?fps=60 asks for more, steps unchanged.
    stats = browser.evaluate("[rosesStats.steps, rosesStats.frames]")
    check(abs(stats[0] - stats[1]) <= 1, f"by default one frame a step: {stats}")
    calm = [{"name": "prefers-reduced-motion", "value": "reduce"}]
    browser.send("Emulation.setEmulatedMedia", features=calm)
    browser.pause(0.3)
    median = step_interval(browser, 1.5)
    check(180 <= median <= 260, f"under reduced motion, a step every {median:.1f} ms")

    # After a first visit the worker keeps the files: a reload with no network still draws.
    browser.wait_for("navigator.serviceWorker.ready.then(r => !!r.active)", 20)
    offline = dict(latency=0, downloadThroughput=-1, uploadThroughput=-1)
    browser.send("Network.enable")
    browser.send("Network.emulateNetworkConditions", offline=True, **offline)
    browser.send("Emulation.setEmulatedMedia", features=[])
    browser.send("Page.reload")
    count = wait_for_rose(browser, enough=ROSE // 3)
    controlled = browser.evaluate("!!navigator.serviceWorker.controller")
    browser.send("Network.emulateNetworkConditions", offline=False, **offline)
    check(count >= ROSE // 3 and controlled,
          f"reloaded offline, the page draws from its worker's files: {count} lit pixels")

    # A check run under the worker still takes the server's files.
    del server.asked[:]
    browser.navigate(url + "?seed=1&size=32x24&frames=1&events")
    title = browser.wait_for("document.title.startsWith('roses:') && document.title")
    controlled = browser.evaluate("!!navigator.serviceWorker.controller")
    fetched = sorted(set(server.asked))
    check(title == "roses: done" and controlled and
          {"/index.html", "/roses.js", "/roses.wasm"} <= set(fetched),
          f"a check run under the worker fetches from the server: {fetched}")

    # ?fps=30 takes every other of the display's 60 frames; ?fps=60 all of them.
    for fps, least, most in ((30, 24, 36), (60, 40, 70)):
        browser.navigate(url + f"?seed=4&fps={fps}")
        browser.wait_for("window.rosesStats && rosesStats.steps > 20")
        before = browser.evaluate("[rosesStats.steps, rosesStats.frames, performance.now()]")
        browser.pause(2.0)
        after = browser.evaluate("[rosesStats.steps, rosesStats.frames, performance.now()]")
        times = browser.evaluate("rosesStats.times.slice(-30)")
        seconds = (after[2] - before[2]) / 1000
        steps, frames = after[0] - before[0], (after[1] - before[1]) / seconds
        median = statistics.median([b - a for a, b in zip(times, times[1:])])
        check(least <= frames <= most and 45 <= median <= 80,
              f"?fps={fps}: {frames:.1f} frames a second and {steps} steps in {seconds:.1f} s, "
              f"step interval {median:.1f} ms")

    # A battery that starts discharging: at most one frame a step from then on, whatever
    # ?fps asks. The stand-in is in place before the page's script asks for it.
    stand_in = browser.send("Page.addScriptToEvaluateOnNewDocument", source="""
        var battery = new EventTarget();
        battery.charging = true;
        navigator.getBattery = function () { return Promise.resolve(battery); };
        window.unplug = function () {
          battery.charging = false;
          battery.dispatchEvent(new Event('chargingchange'));
        };""")["identifier"]
    browser.navigate(url + "?seed=4&fps=60")
    browser.wait_for("window.rosesStats && rosesStats.steps > 20")
    browser.evaluate("unplug()")
    browser.pause(0.2)
    before = browser.evaluate("[rosesStats.steps, rosesStats.frames, performance.now()]")
    browser.pause(1.5)
    after = browser.evaluate("[rosesStats.steps, rosesStats.frames, performance.now()]")
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=stand_in)
    steps, frames = after[0] - before[0], after[1] - before[1]
    rate = frames / ((after[2] - before[2]) / 1000)
    check(frames <= steps + 1 and rate <= 21,
          f"?fps=60 on a discharging battery: {rate:.1f} frames a second, {frames} frames in "
          f"{steps} steps")

    browser.navigate(url + "?seed=4&fps=0")
    browser.wait_for("window.rosesStats && rosesStats.steps > 5")
    warnings = [text for kind, text in browser.console if kind in ("warning", "warn")]
    check(len(warnings) == 1 and "fps" in warnings[0], f"?fps=0 warns once: {warnings}")

    # A browser that refuses the lock: said once, however often W asks again. Reduced motion
    # with ?motion=full steps at full speed.
    browser.send("Browser.setPermission", session=False, permission={"name": "screen-wake-lock"},
                 setting="denied")
    browser.send("Emulation.setEmulatedMedia", features=calm)
    browser.viewport(400, 300, 1)
    browser.navigate(url + "?seed=abc&awake&motion=full")
    browser.wait_for("window.rosesStats && rosesStats.steps > 20")
    for _ in range(4):
        browser.key("w")
    median = step_interval(browser, 1.5)
    browser.send("Emulation.setEmulatedMedia", features=[])
    warnings = [text for kind, text in browser.console if kind in ("warning", "warn")]
    seed = [text for text in warnings if "seed" in text]
    refused = [text for text in warnings if "awake" in text]
    check(len(warnings) == 2 and len(seed) == 1 and len(refused) == 1,
          f"?seed=abc and a refused wake lock each warn once: {warnings}")
    check(45 <= median <= 80, f"?motion=full under reduced motion: a step every {median:.1f} ms")


# Every listing of the pages' entries holds one more, of a page that another run of tidy has
# just forgotten: the entry is listed, and is gone when it is read.
FORGOTTEN_ENTRY = """
(function () {
  var open = CacheStorage.prototype.open;
  CacheStorage.prototype.open = function (name) {
    return open.apply(this, arguments).then(function (cache) {
      if (name !== PAGES) return cache;
      var keys = cache.keys;
      cache.keys = function () {
        return keys.apply(cache, arguments).then(function (requests) {
          return requests.concat([new Request(SCOPE + '?page=forgotten')]);
        });
      };
      return cache;
    });
  };
})();
"""


def rebuild(folder, mark):
    """Makes the page in folder another build: a harmless line more in its script, and the
    worker's build name and the script's digest changed as a new build would change them."""
    script = os.path.join(folder, "roses.js")
    with open(script, "a") as f:
        f.write(f"\n// {mark}\n")
    with open(script, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    worker = os.path.join(folder, "service-worker.js")
    with open(worker) as f:
        text = f.read()
    text = re.sub(r"(var BUILD = '[^']*)'", rf"\1-{mark}'", text, count=1)
    text = re.sub(r"('roses\.js': ')[0-9a-f]{64}'", rf"\g<1>{digest}'", text, count=1)
    with open(worker, "w") as f:
        f.write(text)


def two_installs(browser, page):
    """Two builds of the page in two folders of one origin keep their files apart, and a page
    open under a build goes on getting that build's files after a newer one has taken over."""
    with tempfile.TemporaryDirectory() as root:
        for folder in "ab":
            shutil.copytree(page, os.path.join(root, folder))
        rebuild(os.path.join(root, "b"), "b")
        # a's worker tidies as if another run overlapped its first.
        with open(os.path.join(root, "a", "service-worker.js"), "a") as f:
            f.write(FORGOTTEN_ENTRY)
        server, url = serve(root)
        address = url.replace("/index.html", "/%s/index.html")

        # Asked of the new document, not of one that answers before it.
        def draws(folder):
            browser.navigate(address % folder + "?seed=4")
            try:
                return browser.wait_for(f"location.pathname == '/{folder}/index.html' && "
                                        "window.rosesStats && rosesStats.frames > 0", 10)
            except TimeoutError:
                return False

        try:
            claimed = []
            for folder in "ab":
                draws(folder)
                # The worker claims the page once its activation is over.
                try:
                    browser.wait_for("!!navigator.serviceWorker.controller", 20)
                    claimed.append(folder)
                except TimeoutError:
                    pass
            check(claimed == ["a", "b"], f"each install's first worker claims the page, a's "
                                         f"though an entry of its pages is gone once listed: "
                                         f"claimed in {claimed}")
            server.down = True
            drawn = [folder for folder in "ab" if draws(folder)]
            server.down = False
            check(drawn == ["a", "b"], f"two installs on one origin, both reloaded with the "
                                       f"server down: drawn in {drawn}")

            # The page from the last visit is build b's; b2's worker takes over beneath it.
            rebuild(os.path.join(root, "b"), "b2")
            browser.evaluate("window.was = navigator.serviceWorker.controller; "
                             "navigator.serviceWorker.getRegistration().then(r => r.update())"
                             ".then(() => true)")
            browser.wait_for("(c => c && c !== was && c.state == 'activated')"
                             "(navigator.serviceWorker.controller)", 20)
            script = "fetch('roses.js').then(r => r.text()).then(t => t.trim().split('\\n').pop())"
            old = browser.evaluate(script)
            browser.navigate(address % "b")
            browser.wait_for("!location.search && document.readyState == 'complete'", 10)
            new = browser.evaluate(script)
            check(old == "// b" and new == "// b2",
                  f"under a new build's worker the open page gets its own build's script "
                  f"({old!r}), the next page loaded the new build's ({new!r})")

            # b3's worker beside b2's script, as a stale edge of a CDN would serve them: the
            # install fails on the script's digest, and b2's worker stays.
            path = os.path.join(root, "b", "roses.js")
            with open(path, "rb") as f:
                stale = f.read()
            rebuild(os.path.join(root, "b"), "b3")
            with open(path, "wb") as f:
                f.write(stale)
            outcome = browser.evaluate("""navigator.serviceWorker.getRegistration().then(r => {
                const was = r.active;
                return r.update().catch(() => null).then(() => new Promise(done => {
                  const worker = r.installing;
                  const ended = () => !worker || ['redundant', 'activated'].includes(worker.state);
                  if (ended()) return done();
                  worker.addEventListener('statechange', () => { if (ended()) done(); });
                })).then(() => ({ stayed: r.active === was, controls: r.active ===
                  navigator.serviceWorker.controller, waiting: !!r.waiting }));
              })""")
            check(outcome == {"stayed": True, "controls": True, "waiting": False},
                  f"a new build's worker served a file of the build before fails to install, "
                  f"and the worker before it stays: {outcome}")
        finally:
            server.shutdown()


def shown_sentence(browser, protocol):
    # Until the new document has its body, the old one or none at all may answer.
    return browser.wait_for(
        f"(m => location.protocol == '{protocol}' && m && getComputedStyle(m).display != "
        "'none' && m.textContent)(document.getElementById('message'))", 20)


def fallbacks(browser, url, page):
    """Where the page cannot run it says why in one sentence rather than stay blank."""
    browser.navigate("file://" + os.path.abspath(os.path.join(page, "index.html")))
    sentence = shown_sentence(browser, "file:")
    check("single-file" in sentence and "serve" in sentence and sentence.count(". ") == 0,
          f"index.html opened from a file points to the single file or a server: {sentence!r}")

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
    page, single, lively, roses = sys.argv[1:5]
    seeds = [1, 2, 3]
    if "--seeds" in sys.argv:
        seeds = list(range(1, int(sys.argv[sys.argv.index("--seeds") + 1]) + 1))
    server, url = serve(page)
    with tempfile.TemporaryDirectory() as folder, \
            concurrent.futures.ThreadPoolExecutor(1) as native:
        # The native runs go on while the browser starts and works.
        natives = {seed: native.submit(native_run, roses, seed, folder) for seed in seeds}
        browser = devtools.Browser()
        try:
            target = browser.open_page()
            errors_are_kept(browser)
            check_mode(browser, url, natives, seeds)
            if len(seeds) == 3:
                single_file(browser, single, lively, natives)
                live_page(browser, url, target, server)
                two_installs(browser, page)
                fallbacks(browser, url, page)
            browser.pause(0.2)
            check(not browser.errors, f"no page errors: {browser.errors[:5]}")
        finally:
            browser.close()
            server.shutdown()
    checks.finish()


main()
