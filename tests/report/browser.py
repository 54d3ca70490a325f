"""Headless Chromium driven through chromedriver's WebDriver API, with Python's standard
library alone: no package to download, nothing from the network. Debian's chromium and
chromium-driver packages provide both programs."""

import json
import os
import shutil
import socket
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

CHROMIUM = os.environ.get("TOLVANE_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("TOLVANE_CHROMEDRIVER", "/usr/bin/chromedriver")

# Chromium as the tests run it: headless, as root, and never reaching for the network.
CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-dev-shm-usage",
]


class Missing(Exception):
    """A program the browser tests need is not installed."""


def require():
    for program, package in ((CHROMIUM, "chromium"), (CHROMEDRIVER, "chromium-driver")):
        if not os.access(program, os.X_OK):
            raise Missing(f"{program} is missing: install Debian's {package} (scripts/setup.sh)")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Browser:
    """One Chromium session, in a new empty profile folder of its own."""

    def __init__(self, width=1280, height=800):
        require()
        self.profile = tempfile.mkdtemp(prefix="tolvane-chromium-")
        self.port = free_port()
        self.driver = subprocess.Popen(
            [CHROMEDRIVER, f"--port={self.port}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.base = f"http://127.0.0.1:{self.port}"
        try:
            self._wait_for_driver()
            args = CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}",
                                     f"--window-size={width},{height}"]
            session = self._call("POST", "/session", {"capabilities": {"alwaysMatch": {
                "browserName": "chrome",
                "goog:chromeOptions": {"binary": CHROMIUM, "args": args},
            }}})
            self.session = f"/session/{session['sessionId']}"
        except BaseException:
            self.close()
            raise

    def _wait_for_driver(self):
        deadline = time.monotonic() + 20
        while True:
            try:
                self._call("GET", "/status")
                return
            except (urllib.error.URLError, ConnectionError):
                if time.monotonic() > deadline or self.driver.poll() is not None:
                    raise RuntimeError("chromedriver did not start")
                time.sleep(0.1)

    def _call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.loads(response.read())["value"]
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"WebDriver {method} {path}: {error.read().decode()}") from None

    def open(self, path):
        """Loads a local file and returns once its load event has fired."""
        self._call("POST", self.session + "/url", {"url": "file://" + os.path.abspath(path)})

    def run(self, script, *args):
        return self._call("POST", self.session + "/execute/sync",
                          {"script": script, "args": list(args)})

    def run_async(self, script, *args):
        return self._call("POST", self.session + "/execute/async",
                          {"script": script, "args": list(args)})

    def click(self, css):
        """Clicks the element css selects as a user would: moved into view, at its middle."""
        found = self._call("POST", self.session + "/element",
                           {"using": "css selector", "value": css})
        element = next(iter(found.values()))
        self._call("POST", self.session + f"/element/{element}/click", {})

    def close(self):
        try:
            if getattr(self, "session", None):
                self._call("DELETE", self.session)
        except Exception:
            pass
        self.driver.terminate()
        try:
            self.driver.wait(10)
        except subprocess.TimeoutExpired:
            self.driver.kill()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
