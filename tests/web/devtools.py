"""A small client of Chromium's DevTools protocol: one headless browser, one page target,
commands answered in order, console messages and page errors collected as they arrive. The
errors of every page visited are kept, each with the address it was raised on."""
import base64
import json
import os
import shutil
import subprocess
import tempfile
import time

import websocket

from roses_testing.processes import spawn, stop


class Browser:
    def __init__(self, chromium="chromium"):
        self.profile = tempfile.mkdtemp(prefix="roses-chromium-")
        arguments = [chromium, "--headless", "--no-sandbox", "--no-first-run",
                     "--no-default-browser-check", "--enable-unsafe-swiftshader",
                     "--remote-debugging-port=0", "--user-data-dir=" + self.profile,
                     "about:blank"]
        # Its own process group, so that its renderer and GPU processes end with it.
        self.process = spawn(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.close()
                raise RuntimeError("chromium did not start its DevTools server")
            time.sleep(0.1)
        with open(port_file) as f:
            port, path = f.read().split()[:2]
        self.socket = websocket.create_connection(f"ws://127.0.0.1:{port}{path}", timeout=60)
        self.next_id = 0
        self.session = None
        self.console = []
        self.errors = []
        self.notices = []
        self.address = "about:blank"

    def close(self):
        if getattr(self, "socket", None):
            try:
                # Asked, the browser ends at once; a signal takes it seconds.
                self.send("Browser.close", session=False)
                self.process.wait(5)
            except (OSError, RuntimeError, subprocess.TimeoutExpired,
                    websocket.WebSocketException):
                pass
            try:
                self.socket.close()
            except OSError:
                pass
        stop(self.process, grace=10)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _note(self, message):
        method = message.get("method")
        params = message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.console.append((params["type"], text))
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            self.errors.append(self.address + ": " + details.get("exception", {})
                               .get("description", details["text"]))
        elif method == "Log.entryAdded":
            # The browser's own reports (a failed load, a WebGL error); its performance
            # notes about the software renderer are warnings and not the page's.
            entry = params["entry"]
            if entry["level"] == "error":
                self.errors.append(self.address + ": " + entry["text"])
        elif method:
            self.notices.append(message)

    def send(self, method, session=True, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session and self.session:
            message["sessionId"] = self.session
        self.socket.send(json.dumps(message))
        while True:
            answer = json.loads(self.socket.recv())
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self._note(answer)

    def open_page(self):
        """Attaches to a fresh page target; returns its target id."""
        target = self.send("Target.createTarget", session=False, url="about:blank")["targetId"]
        self.session = self.send("Target.attachToTarget", session=False, targetId=target,
                                 flatten=True)["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.send(domain + ".enable")
        return target

    def viewport(self, width, height, ratio):
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=ratio, mobile=False)

    def navigate(self, url):
        """Opens url; the console starts empty for it, the errors of pages before it stay."""
        self.console.clear()
        self.address = url
        self.send("Page.navigate", url=url)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, seconds=60):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            self.pause(0.2)
        raise TimeoutError(f"waited {seconds} s for {expression}")

    def pause(self, seconds):
        """Waits in real time, reading what the page reports meanwhile."""
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            self.socket.settimeout(left)
            try:
                self._note(json.loads(self.socket.recv()))
            except websocket.WebSocketTimeoutException:
                return
            finally:
                self.socket.settimeout(60)

    def activate(self, target):
        self.send("Target.activateTarget", session=False, targetId=target)

    def other_tab(self):
        """Brings a second, blank tab to the front: headless Chromium then hides the page."""
        other = self.send("Target.createTarget", session=False, url="about:blank")["targetId"]
        self.activate(other)
        return other

    def key(self, key):
        """Presses and releases a letter key on the page."""
        code = ord(key.upper())
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", type=kind, key=key, code="Key" + key.upper(),
                      text=key if kind == "keyDown" else "", windowsVirtualKeyCode=code)

    def screenshot(self):
        """The page's pixels as PNG bytes."""
        return base64.b64decode(self.send("Page.captureScreenshot", format="png")["data"])
