#!/usr/bin/env python3
"""make demo: runs MiniSetup under Wine against local servers.

Starts a private X display, the download test server (serving a manifest) and
the statistics test server, points a copy of the program at them (its settings
area is rewritten with minitool stamp), runs it, takes screenshots of its
window, closes it and prints what the statistics server received, decoded by
rpdump. Screenshots go to <build>/demo/."""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SERVERS = os.path.join(ROOT, "tests", "servers")

MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<config>
  <version>4.0.0.1</version>
</config>
"""


def say(text):
    print(f"demo: {text}", flush=True)


def start_server(name, *extra):
    proc = subprocess.Popen([sys.executable, os.path.join(SERVERS, f"{name}_server.py"), "--port", "0", *extra],
                            stdout=subprocess.PIPE, text=True)
    line = proc.stdout.readline().strip()
    if not line.startswith("LISTENING "):
        raise SystemExit(f"demo: {name} server did not start")
    return proc, line.split(" ", 1)[1]


def start_display():
    for n in range(150, 200):
        if os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.7)
        if proc.poll() is None:
            return proc, f":{n}"
    raise SystemExit("demo: no free X display")


def find_window(env, title, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True, text=True).stdout
        for line in tree.splitlines():
            if f'"{title}"' in line:
                match = re.search(r"(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", line)
                if match:
                    w, h, x, y = (int(v) for v in match.groups())
                    if w > 50 and h > 50:
                        return w, h, x, y
        time.sleep(0.3)
    return None


def screenshot(env, path, geometry=None):
    raw = subprocess.run(["xwd", "-root", "-silent"], env=env, capture_output=True).stdout
    cmd = ["convert", "xwd:-"]
    if geometry:
        w, h, x, y = geometry
        cmd += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
    subprocess.run(cmd + [path], input=raw, check=True)


def stamp(minitool, program, folder, download, stats):
    settings = subprocess.run([minitool, "show", program], capture_output=True, text=True, check=True).stdout
    settings = re.sub(r"(?m)^ReportURLMini=.*$",
                      lambda _: f"ReportURLMini=http://{stats}/cgi-bin-py/mini_install_statistic_info.cgi", settings)
    settings = re.sub(r"(?m)^VERSION_INFO_URL=.*$",
                      lambda _: f"VERSION_INFO_URL=http://{download}/files/%snewver%s.xml", settings)
    text = os.path.join(folder, "settings.txt")
    with open(text, "w", encoding="utf-8", newline="") as f:
        f.write(settings)
    copy = os.path.join(folder, "MiniSetup.exe")
    subprocess.run([minitool, "stamp", program, text, copy], check=True)
    return copy


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    out = os.path.join(build, "demo")
    os.makedirs(out, exist_ok=True)
    wine_run = os.path.join(build, "wine-run")
    minitool = os.path.join(build, "host", "bin", "minitool")
    rpdump = os.path.join(build, "host", "bin", "rpdump")

    work = tempfile.mkdtemp(prefix="minisetup-demo-")
    with open(os.path.join(work, "newver_GL.xml"), "w") as f:
        f.write(MANIFEST)
    procs = []
    try:
        xvfb, display = start_display()
        procs.append(xvfb)
        download_proc, download = start_server("download", "--root", work)
        procs.append(download_proc)
        stats_proc, stats = start_server("stats")
        procs.append(stats_proc)
        say(f"display {display}, download server {download}, statistics server {stats}")

        program = stamp(minitool, os.path.join(build, "bin", "MiniSetup.exe"), work, download, stats)
        say("stamped a copy of MiniSetup.exe with the local server addresses")
        env = dict(os.environ, DISPLAY=display)
        start = time.time()
        run = subprocess.Popen([wine_run, program], env=env)
        geometry = find_window(env, "Nuvex Brisko")
        if not geometry:
            say("the window did not appear")
            run.kill()
            return 1
        say(f"window up after {time.time() - start:.1f} s at {geometry[2]},{geometry[3]} "
            f"size {geometry[0]}x{geometry[1]}: the message loop runs")
        time.sleep(1.0)
        screenshot(env, os.path.join(out, "01-window.png"), geometry)
        screenshot(env, os.path.join(out, "00-screen.png"))
        say(f"screenshots saved in {out}")

        subprocess.run([wine_run, "taskkill", "/IM", "MiniSetup.exe"], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code = run.wait(timeout=60)
        except subprocess.TimeoutExpired:
            run.kill()
            code = None
        say(f"MiniSetup ended with exit code {code}")

        time.sleep(0.5)
        with urllib.request.urlopen(f"http://{stats}/_received") as answer:
            received = json.load(answer)
        say(f"statistics server received {len(received)} upload(s)")
        for upload in received:
            if upload.get("kind") != "package" or not os.path.exists(upload.get("path", "")):
                continue
            dump = subprocess.run([rpdump, upload["path"]], capture_output=True, text=True)
            print(dump.stdout if dump.returncode == 0 else dump.stderr)
        return 0
    finally:
        for proc in reversed(procs):
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
