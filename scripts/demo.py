#!/usr/bin/env python3
"""make demo: runs MiniSetup under Wine against local servers.

Starts a private X display, the download test server (serving a manifest) and
the statistics test server, points a copy of the program at them (its settings
area is rewritten with minitool stamp), runs it, takes screenshots of its
window, closes it and prints what the statistics server received, decoded by
rpdump. Screenshots go to <build>/demo/.

Then a silent run installs for real: the manifest and an 8 MiB package (the
DemoInstaller with trailing data) come from the download test server, the
package is checked and DemoInstaller is started with the installer command
line; the demo prints the command line it received, the exit code, the
download's channels and the report items.

Last, visible runs are clicked through with xdotool and photographed into
<build>/demo/: the start page, the open custom panel in Thai, the language
pop-up, the progress page mid-download, the installer's progress and the
failure page of a run whose download server was stopped. The thank-you page is
left out (the product counts as uninstalled an hour ago), so no browser opens.

Where this machine cannot run 32-bit programs, the demo runs the 64-bit build
of the same sources (<build>/x64), made the way scripts/run-tests makes it."""
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
sys.path.insert(0, os.path.join(ROOT, "tests"))
from stamping import stamp_local  # noqa: E402

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


def pixels(env, geometry):
    """The raw colours of a part of the screen, for telling two moments apart."""
    x, y, w, h = geometry
    raw = subprocess.run(["xwd", "-root", "-silent"], env=env, capture_output=True).stdout
    return subprocess.run(["convert", "xwd:-", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"], input=raw,
                          capture_output=True).stdout


def stamp(minitool, program, folder, download, stats):
    return stamp_local(minitool, program, os.path.join(folder, "MiniSetup.exe"),
                       f"http://{download}/files/%snewver%s.xml", stats)


def silent_install(build, wine_run, minitool, rpdump, env, out):
    """A silent run of the whole chain: manifest, package over several channels,
    digest check, DemoInstaller started with the real command line."""
    sys.path.insert(0, os.path.join(ROOT, "tests", "setupflow"))
    import program_flow_test as flow

    class Tools:
        pass

    tools = Tools()
    tools.wine_run = wine_run
    tools.digest = os.path.join(build, "bin", "setupflow_manifest_digest.exe")
    tools.rpdump = rpdump
    work = tempfile.mkdtemp(prefix="minisetup-silent-", dir=out)
    root = os.path.join(work, "served")
    os.makedirs(root)
    servers = flow.Servers(root)
    try:
        # DemoInstaller with 8 MiB of trailing data: the package is split into
        # 1 MiB blocks, so the engine fetches it over several channels.
        package = os.path.join(root, "package.exe")
        with open(os.path.join(build, "bin", "DemoInstaller.exe"), "rb") as f:
            data = f.read()
        data += os.urandom(8 * 1024 * 1024)
        with open(package, "wb") as f:
            f.write(data)
        fields = flow.package_fields(servers, package)
        fields["thread"] = "4"
        list_md5 = flow.write_manifest(tools, root, "newver.xml", fields)
        manifest_url = servers.files_url("newver.xml")
        say(f"manifest {manifest_url}: version {fields['version']}, package {fields['url']}, "
            f"{len(data)} bytes, md5 {fields['md5']}, self-check digest {list_md5}")
        copy = flow.stamped_copy(minitool, os.path.join(build, "bin", "MiniSetup.exe"), servers.stats, work)
        cmdline_file = os.path.join(work, "cmdline.txt")
        say(f"running: MiniSetup.exe /S \"{flow.PASS_THROUGH}\" /newverurl={manifest_url}")
        start = time.time()
        code = flow.run_program(tools, copy, manifest_url, cmdline_file, timeout=300)
        say(f"MiniSetup ended after {time.time() - start:.1f} s with exit code {code} (the installer's own)")
        cmdline = flow.read_cmdline(cmdline_file)
        say(f"DemoInstaller received: {cmdline}")
        with urllib.request.urlopen(f"http://{servers.download}/stats?id=default") as answer:
            stats = json.load(answer)
        say(f"download server: {stats.get('get')} GET requests, at most {stats.get('max_concurrent')} at once, "
            f"{stats.get('bytes')} body bytes")
        prefix = os.path.join(build, "wineprefix", "drive_c")
        for folder in ("Program Files (x86)", "Program Files"):
            target = os.path.join(prefix, folder, "Nuvex Security", "Brisko", fields["version"])
            if os.path.isdir(target):
                say(f"installed into {target}: {sorted(os.listdir(target))}")
                break
        time.sleep(1)
        items = flow.collect_items(tools, servers)
        names = {"0x04001B6F": "manifest request", "0x04001B6E": "manifest self-check digest",
                 "0x04001B64": "version", "0x04001B67": "package request", "0x04001B68": "user agent",
                 "0x04001B69": "package digest", "0x04001B6A": "package size", "0x04001B61": "channels",
                 "0x04001B62": "seconds", "0x04001B5F": "package host", "0x05002330": "installer started",
                 "0x05002341": "installer succeeded", "0x04001B60": "failures"}
        for key, name in names.items():
            say(f"report {key} ({name}): {items.get(key)}")
        return 0 if code == 0 and cmdline else 1
    finally:
        servers.stop()
        shutil.rmtree(work, ignore_errors=True)


def runnable_build(build):
    """The build folder whose programs Wine can run here: the given one, or
    its 64-bit twin where the kernel cannot run 32-bit programs."""
    try:
        if subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0:
            return build
    except OSError:
        pass  # "Exec format error": no 32-bit programs on this kernel
    twin = os.path.join(build, "x64")
    say("this kernel cannot run 32-bit programs: the demo runs the 64-bit build of the same sources "
        f"({twin})")
    subprocess.run([os.path.join(ROOT, "scripts", "bootstrap-deps")], check=True,
                   env=dict(os.environ, MINISETUP_ARCH="x86_64"))
    subprocess.run(["cmake", "-S", ROOT, "-B", twin,
                    f"-DCMAKE_TOOLCHAIN_FILE={os.path.join(ROOT, 'cmake', 'toolchain-mingw64.cmake')}",
                    "-DCMAKE_BUILD_TYPE=Release",
                    f"-DMINISETUP_DEPS_PREFIX={os.path.join(ROOT, 'build', 'deps-x64', 'prefix')}"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", twin, "-j", str(os.cpu_count() or 2), "--target", "MiniSetup",
                    "DemoInstaller", "setupflow_manifest_digest", "host_tools"], check=True)
    return twin


def set_uninstall_time(wine_run, env, hours_ago):
    """Makes the product count as uninstalled `hours_ago` hours ago (None: forget it)."""
    key = r"HKCU\Software\Nuvex Security\Brisko"
    if hours_ago is None:
        command = [wine_run, "reg", "delete", key, "/v", "UninstallTime", "/f"]
    else:
        stamp_text = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(time.time() - hours_ago * 3600))
        command = [wine_run, "reg", "add", key, "/v", "UninstallTime", "/d", stamp_text, "/f"]
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def visible_runs(build, wine_run, minitool, out, env):
    """Visible runs clicked with xdotool, photographed into `out`."""
    sys.path.insert(0, os.path.join(ROOT, "tests", "setupflow"))
    sys.path.insert(0, os.path.join(ROOT, "tests", "uiwindow"))
    import program_flow_test as flow
    import real_window_test as ui

    class Tools:
        pass

    tools = Tools()
    tools.wine_run = wine_run
    tools.digest = os.path.join(build, "bin", "setupflow_manifest_digest.exe")
    work = tempfile.mkdtemp(prefix="minisetup-visible-", dir=out)
    root = os.path.join(work, "served")
    os.makedirs(root)
    servers = flow.Servers(root)
    shots = []
    program = None

    def shot(name, wid, height=None):
        x, y, w, h = ui.geometry(wid, env)
        path = os.path.join(out, name)
        screenshot(env, path, (w, height or h, x, y))
        shots.append(path)
        say(f"screenshot {path}")

    def start(lang):
        run_env = dict(env, LANG=lang, LC_ALL=lang)
        started = ui.Program(wine_run, copy, env=run_env)
        wid = ui.find_window(env=env)
        if wid is None:
            started.stop()
            raise SystemExit("demo: the setup window did not appear")
        time.sleep(1.5)
        return started, wid

    try:
        package = os.path.join(root, "package.exe")
        with open(os.path.join(build, "bin", "DemoInstaller.exe"), "rb") as f:
            data = f.read() + os.urandom(4 * 1024 * 1024)
        with open(package, "wb") as f:
            f.write(data)
        fields = flow.package_fields(servers, package)
        # One channel at 600 KB/s: the download lasts long enough to be seen;
        # the program's own query lands in the last parameter.
        fields["url"] += "?id=visible&rate=600000&from="
        fields["thread"] = "1"
        flow.write_manifest(tools, root, "newver.xml", fields)
        copy = ui.stamp(minitool, os.path.join(build, "bin", "MiniSetup.exe"), os.path.join(work, "MiniSetup.exe"),
                        servers.files_url("newver.xml"),
                        f"http://{servers.stats}/cgi-bin-py/mini_install_statistic_info.cgi")
        set_uninstall_time(wine_run, env, 1)

        say("a visible run in Thai: the custom panel and the language pop-up")
        program, wid = start("th_TH.UTF-8")
        ui.click(wid, ui.CUSTOM_LINK, env)
        ui.wait_for(lambda: ui.geometry(wid, env)[3] == ui.EXPANDED_HEIGHT, 10)
        time.sleep(0.8)
        shot("02-panel-thai.png", wid)
        ui.click(wid, ui.LANGUAGE_BUTTON, env)
        time.sleep(1.0)
        shot("03-language-popup.png", wid, 520)
        program.stop()
        program = None

        say("a visible run in English: Install, the download and the installer")
        program, wid = start("en_US.UTF-8")
        shot("01-start.png", wid)
        ui.click(wid, ui.INSTALL, env)
        size = len(data)

        def sent():
            with urllib.request.urlopen(f"http://{servers.download}/stats?id=visible", timeout=10) as answer:
                return json.load(answer).get("bytes", 0)

        ui.wait_for(lambda: sent() > size * 0.4, 60)
        shot("04-progress-download.png", wid)
        ui.wait_for(lambda: sent() >= size, 60)
        time.sleep(1.6)
        if program.running():
            shot("05-progress-install.png", wid)
        code = program.proc.wait(timeout=120)
        say(f"the visible run ended with exit code {code}; the thank-you page was left out")
        program = None

        say("a visible run whose download server is gone: the failure page")
        program, wid = start("en_US.UTF-8")
        servers.procs[0].terminate()
        servers.procs[0].wait(timeout=10)
        ui.click(wid, ui.INSTALL, env)
        time.sleep(3)
        # The progress page stands still until the engine gives up; then the page changes.
        progress_page = pixels(env, ui.geometry(wid, env))
        if not ui.wait_for(lambda: pixels(env, ui.geometry(wid, env)) != progress_page, 240):
            say("the failure page did not come within four minutes")
        time.sleep(1.0)
        shot("06-download-failed.png", wid)
        program.stop()
        program = None
        say("screenshots: " + ", ".join(os.path.basename(p) for p in shots))
        return 0
    finally:
        if program:
            program.stop()
        set_uninstall_time(wine_run, env, None)
        servers.stop()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    out = os.path.join(os.path.abspath(args.build), "demo")
    os.makedirs(out, exist_ok=True)
    build = runnable_build(os.path.abspath(args.build))
    wine_run = os.path.join(build, "wine-run")
    minitool = os.path.join(build, "host", "bin", "minitool")
    rpdump = os.path.join(build, "host", "bin", "rpdump")

    work = tempfile.mkdtemp(prefix="minisetup-demo-")
    with open(os.path.join(work, "newver_GL.xml"), "w") as f:
        f.write(MANIFEST)
    procs = []
    env = dict(os.environ)
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
        env["DISPLAY"] = display
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
        screenshot(env, os.path.join(out, "00-window.png"), geometry)
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

        say("now a silent run of the whole setup chain")
        # The product counts as uninstalled an hour ago: the thank-you page is left out.
        set_uninstall_time(wine_run, env, 1)
        code = silent_install(build, wine_run, minitool, rpdump, env, out)
        say("now visible runs, clicked")
        return visible_runs(build, wine_run, minitool, out, env) or code
    finally:
        set_uninstall_time(wine_run, env, None)
        # Nothing of the prefix outlives the demo's display.
        subprocess.run([wine_run, "--end-all"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for proc in reversed(procs):
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
