#!/usr/bin/env python3
"""The setup window as a person meets it, on the test run's X display.

A copy of MiniSetup.exe whose addresses are on 127.0.0.1 (manifest on the
download test server named by MINISETUP_DOWNLOAD_SERVER, reports on a closed
port) is started; the test finds its window by the title "Nuvex Brisko",
checks that it is 620 x 340 and centred, clicks the custom-installation link
(the window grows to 387), then clicks Install and waits until the download
test server has been asked for the manifest. The program is ended by the test
whatever happens.

  real_window_test.py --wine-run ... --program MiniSetup.exe --minitool ...

Also a module: scripts/demo.py uses its helpers for the screenshots of make demo."""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from stamping import stamp_local  # noqa: E402

TITLE = "Nuvex Brisko"
WIDTH, HEIGHT, EXPANDED_HEIGHT = 620, 340, 387
# Client points of the controls clicked (the window has no frame).
CUSTOM_LINK = (598, 320)
INSTALL = (476, 115)
LANGUAGE_BUTTON = (595, 362)
CLOSED_PORT_REPORTS = "http://127.0.0.1:1/cgi-bin-py/mini_install_statistic_info.cgi"


def say(text):
    print(f"real_window: {text}", flush=True)


def stamp(minitool, program, copy, manifest_url, report_url=CLOSED_PORT_REPORTS):
    """A copy of the program whose settings name only local addresses."""
    return stamp_local(minitool, program, copy, manifest_url, report_url)

class Program:
    """One run of the program under wine-run, ended by stop() in any case."""

    def __init__(self, wine_run, copy, args=(), env=None):
        self.wine_run = wine_run
        self.name = os.path.basename(copy)
        self.proc = subprocess.Popen([wine_run, copy, *args], env=env, start_new_session=True)
        self.env = env

    def running(self):
        return self.proc.poll() is None

    def stop(self):
        if self.running():
            subprocess.run([self.wine_run, "taskkill", "/F", "/IM", self.name], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        try:
            return self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, signal.SIGKILL)
            return self.proc.wait()


def xdotool(*args, env=None):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, env=env, timeout=30)


def find_window(title=TITLE, timeout=60, env=None):
    """The X window id of the visible window with this exact title."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = xdotool("search", "--onlyvisible", "--name", f"^{re.escape(title)}$", env=env)
        ids = out.stdout.split()
        for wid in ids:
            if geometry(wid, env)[2] > 50:
                return wid
        time.sleep(0.3)
    return None


def geometry(wid, env=None):
    """(x, y, width, height) of a window on the screen."""
    out = subprocess.run(["xwininfo", "-id", str(wid)], capture_output=True, text=True, env=env).stdout
    values = {}
    for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
        match = re.search(rf"{key}:\s+(-?\d+)", out)
        values[key] = int(match.group(1)) if match else 0
    return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"], values["Height"])


def screen_size(env=None):
    out = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True, env=env).stdout
    return (int(re.search(r"Width:\s+(\d+)", out).group(1)), int(re.search(r"Height:\s+(\d+)", out).group(1)))


def click(wid, point, env=None):
    x, y, _, _ = geometry(wid, env)
    xdotool("mousemove", "--sync", str(x + point[0]), str(y + point[1]), env=env)
    time.sleep(0.2)
    xdotool("click", "1", env=env)


def wait_for(condition, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return condition()


def server_requests(server, test_id="default"):
    with urllib.request.urlopen(f"http://{server}/stats?id={test_id}", timeout=10) as answer:
        return json.load(answer).get("requests", 0)


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, text):
        say(("ok: " if condition else "FAIL: ") + text)
        if not condition:
            self.failures.append(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--minitool", required=True)
    args = parser.parse_args()
    server = os.environ.get("MINISETUP_DOWNLOAD_SERVER")
    if not server:
        say("FAIL: no download test server (MINISETUP_DOWNLOAD_SERVER)")
        return 1
    if not os.environ.get("DISPLAY"):
        say("FAIL: no X display")
        return 1

    checks = Checks()
    work = tempfile.mkdtemp(prefix="uiwindow-")
    copy = stamp(args.minitool, args.program, os.path.join(work, "MiniSetupWindow.exe"),
                 f"http://{server}/files/%snewver%s.xml")
    before = server_requests(server)
    program = Program(args.wine_run, copy)
    try:
        wid = find_window()
        checks.expect(wid is not None, f'a window titled "{TITLE}" appears')
        if wid is None:
            return 1
        x, y, width, height = geometry(wid)
        screen_w, screen_h = screen_size()
        checks.expect((width, height) == (WIDTH, HEIGHT), f"the window is {WIDTH} x {HEIGHT} (got {width} x {height})")
        checks.expect(abs(x - (screen_w - width) // 2) <= 1 and abs(y - (screen_h - height) // 2) <= 1,
                      f"the window is centred on the {screen_w} x {screen_h} screen (at {x},{y})")

        click(wid, CUSTOM_LINK)
        checks.expect(wait_for(lambda: geometry(wid)[3] == EXPANDED_HEIGHT, 10),
                      f"a click on the custom-installation link makes it {EXPANDED_HEIGHT} high "
                      f"(got {geometry(wid)[3]})")
        checks.expect(server_requests(server) == before, "nothing was downloaded before Install")

        click(wid, INSTALL)
        checks.expect(wait_for(lambda: server_requests(server) > before, 30),
                      "a click on Install asks the download server for the manifest")
        checks.expect(wait_for(lambda: geometry(wid)[3] == HEIGHT, 10), "Install closes the panel")
        checks.expect(program.running(), "the program keeps running after the download started")
    finally:
        code = program.stop()
        say(f"program ended ({code})")
        for name in os.listdir(work):
            os.remove(os.path.join(work, name))
        os.rmdir(work)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
