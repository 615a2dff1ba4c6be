#!/usr/bin/env python3
"""make demo: whole setups of MiniSetup under Wine against local servers.

Each run gets its own download test server (manifest and package) and
statistics test server, and a copy of the program whose settings name them
(minitool stamp). The package is DemoInstaller with trailing data, so it is
fetched over several channels, checked against the manifest's digest and
started with the installer command line, which it writes down.

  1. An interactive setup on a private X display: Install is clicked with
     xdotool; the start page, the download and the installer's progress are
     photographed.
  2. A silent setup ("/S").
  3. The custom panel and the language pop-up, in Thai.
  4. An installer that fails: its own message on the failure page, then Close.
  5. A download server that is gone: the download failure page.

For the two setups the demo prints an account: manifest address, package size,
channels used, average speed, digest check, the command line DemoInstaller
received, the exit code and the report items the statistics server received
(decoded with rpdump). Screenshots and index.html, which shows them in order
with the accounts, go to <build>/demo/. The product counts as uninstalled an
hour ago during the demo, so no thank-you page (and no browser) opens.
Everything the demo starts, it stops.

Where this machine cannot run 32-bit programs, the demo runs the 64-bit build
of the same sources (scripts/runnable-build picks it)."""
import argparse
import contextlib
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.path.insert(0, os.path.join(ROOT, "tests", "setupflow"))
sys.path.insert(0, os.path.join(ROOT, "tests", "uiwindow"))
import program_flow_test as flow  # noqa: E402
import real_window_test as ui  # noqa: E402
from demo_account import Account, decode_packages, item_rows, say, write_page  # noqa: E402
from stamping import stamp_local  # noqa: E402

TARGETS = ["MiniSetup", "DemoInstaller", "setupflow_manifest_digest", "uiwindow_exit_code_watch", "host_tools"]
FAILING_INSTALLER_CODE = 1603
# Client point of the Close button on the failure pages.
CLOSE_BUTTON = (553, 304)


class Tools:
    def __init__(self, build):
        self.build = build
        self.wine_run = os.path.join(build, "wine-run")
        self.digest = os.path.join(build, "bin", "setupflow_manifest_digest.exe")
        self.minitool = os.path.join(build, "host", "bin", "minitool")
        self.rpdump = os.path.join(build, "host", "bin", "rpdump")
        self.program = os.path.join(build, "bin", "MiniSetup.exe")
        self.installer = os.path.join(build, "bin", "DemoInstaller.exe")
        # Starts a program and keeps its whole exit code, of which Linux sees only the low byte.
        self.exit_code_watch = os.path.join(build, "bin", "uiwindow_exit_code_watch.exe")


class Stage:
    """One run's servers, package, manifest and stamped program copy."""

    def __init__(self, tools, out, name, extra_mib, channels, rate=None):
        self.tools = tools
        self.name = name
        self.work = tempfile.mkdtemp(prefix=f"minisetup-{name}-", dir=out)
        self.root = os.path.join(self.work, "served")
        os.makedirs(self.root)
        self.servers = flow.Servers(self.root)
        package = os.path.join(self.root, "package.exe")
        with open(tools.installer, "rb") as f:
            self.data = f.read() + os.urandom(extra_mib * 1024 * 1024)
        with open(package, "wb") as f:
            f.write(self.data)
        self.fields = flow.package_fields(self.servers, package)
        self.fields["thread"] = str(channels)
        if rate:
            # The program's own query lands in the last parameter.
            self.fields["url"] += f"?id={name}&rate={rate}&from="
        self.stats_id = name if rate else "default"
        flow.write_manifest(tools, self.root, "newver.xml", self.fields)
        self.manifest_url = self.servers.files_url("newver.xml")
        self.stem = f"MiniSetup-{name}"
        self.copy = stamp_local(tools.minitool, tools.program, os.path.join(self.work, self.stem + ".exe"),
                                self.manifest_url, self.servers.stats)
        self.cmdline_file = os.path.join(self.work, "cmdline.txt")
        self.exit_code_file = os.path.join(self.work, "exitcode.txt")
        for marker in flow.install_markers(tools):
            if os.path.exists(marker):
                os.remove(marker)  # what this run installs, and only that, is shown

    def served(self):
        with urllib.request.urlopen(f"http://{self.servers.download}/stats?id={self.stats_id}",
                                    timeout=10) as answer:
            return json.load(answer)

    def report_rows(self):
        """The decoded report items of this run, once the uploads have settled."""
        packages, seen = [], -1
        for _ in range(20):
            packages = decode_packages(self.tools.rpdump, self.servers.received(), self.stem)
            if packages and len(packages) == seen:
                break
            seen = len(packages)
            time.sleep(0.5)
        return item_rows(packages), len(packages)

    def exit_code(self):
        """The whole exit code of a visible run that has ended (None if unknown)."""
        try:
            with open(self.exit_code_file) as f:
                return int(f.read().strip())
        except (OSError, ValueError):
            return None

    def stop(self):
        self.servers.stop()
        shutil.rmtree(self.work, ignore_errors=True)


def tell_setup(account, stage, code):
    """The facts of a finished setup run and the report items it uploaded."""
    rows, packages = stage.report_rows()
    account.report(rows, packages)
    fields = stage.fields
    account.fact("manifest address", stage.manifest_url)
    account.fact("package", f"{len(stage.data)} bytes, version {fields['version']}, md5 {fields['md5']}")
    served = stage.served()
    account.fact("channels used", f"{account.value('0x04001B61')} (the manifest allows {fields['thread']}; "
                                  f"at most {served.get('max_concurrent')} connections at once on the server, "
                                  f"{served.get('get')} requests, {served.get('bytes')} body bytes)")
    account.fact("average speed", f"{account.value('0x04001B5E')} KiB/s over {account.value('0x04001B62')} s")
    computed = account.value("0x04001B69")
    verdict = "passed" if computed == fields["md5"] else "FAILED"
    account.fact("digest check", f"{verdict}: computed {computed}, manifest {fields['md5']}")
    cmdline = flow.read_cmdline(stage.cmdline_file)
    account.fact("DemoInstaller received", cmdline or "nothing: the installer was not started")
    account.fact("exit code", f"{code} (the installer's own)" if cmdline else code)
    marker = next((m for m in flow.install_markers(stage.tools) if os.path.exists(m)), None)
    account.fact("installed into", os.path.dirname(marker) if marker else "nothing installed")
    return 0 if code == 0 and cmdline and verdict == "passed" else 1


class Screen:
    """The demo's display: starts programs on it and photographs their window."""

    def __init__(self, tools, out, env):
        self.tools = tools
        self.out = out
        self.env = env

    def start(self, stage, lang=None, args=()):
        # Wine takes the user's locale from LC_ALL, even where Linux has no such
        # locale installed (the shell then warns once); without it, English.
        run_env = dict(self.env, LANG=lang, LC_ALL=lang) if lang else dict(self.env)
        run_env[flow.CMDLINE_ENV] = flow.windows_path(stage.cmdline_file)
        program = ui.Program(self.tools.wine_run, self.tools.exit_code_watch, env=run_env,
                             args=(flow.windows_path(stage.exit_code_file), flow.windows_path(stage.copy), *args))
        program.name = os.path.basename(stage.copy)  # ending the program ends its watcher too
        wid = ui.find_window(env=self.env)
        if wid is None:
            program.stop()
            raise SystemExit("demo: the setup window did not appear")
        time.sleep(1.5)
        return program, wid

    def shot(self, account, wid, name, caption, height=None):
        x, y, w, h = ui.geometry(wid, self.env)
        raw = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True).stdout
        path = os.path.join(self.out, name)
        subprocess.run(["convert", "xwd:-", "-crop", f"{w}x{height or h}+{x}+{y}", "+repage", path],
                       input=raw, check=True)
        account.shot(path, caption)

    def pixels(self, wid):
        x, y, w, h = ui.geometry(wid, self.env)
        raw = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True).stdout
        return subprocess.run(["convert", "xwd:-", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"], input=raw,
                              capture_output=True).stdout

    def click(self, wid, point):
        ui.click(wid, point, self.env)


@contextlib.contextmanager
def staged(tools, out, name, **options):
    stage = Stage(tools, out, name, **options)
    try:
        yield stage
    finally:
        stage.stop()


@contextlib.contextmanager
def on_screen(screen, stage, lang=None, args=()):
    """The program's window on the demo's display; the program is ended afterwards."""
    program, wid = screen.start(stage, lang, args)
    try:
        yield program, wid
    finally:
        program.stop()


def interactive_setup(tools, out, screen):
    account = Account("An interactive setup: Install clicked")
    with staged(tools, out, "click", extra_mib=6, channels=3, rate=250000) as stage, \
            on_screen(screen, stage) as (program, wid):
        screen.shot(account, wid, "01-start.png", "the start page")
        screen.click(wid, ui.INSTALL)
        size = len(stage.data)
        ui.wait_for(lambda: stage.served().get("bytes", 0) > size * 0.4, 60)
        screen.shot(account, wid, "02-progress-download.png", "the package download, three channels")
        ui.wait_for(lambda: stage.served().get("bytes", 0) >= size, 60)
        time.sleep(1.6)
        if program.running():
            screen.shot(account, wid, "03-progress-install.png", "the installer's own progress")
        program.proc.wait(timeout=180)
        return account, tell_setup(account, stage, stage.exit_code())


def silent_setup(tools, out):
    account = Account('A silent setup: "/S"')
    with staged(tools, out, "silent", extra_mib=8, channels=4, rate=1000000) as stage:
        say(f'running: {os.path.basename(stage.copy)} /S "{flow.PASS_THROUGH}" /newverurl={stage.manifest_url}')
        start = time.time()
        code = flow.run_program(tools, stage.copy, stage.manifest_url, stage.cmdline_file, timeout=300)
        account.fact("run time", f"{time.time() - start:.1f} s")
        return account, tell_setup(account, stage, code)


def panel_and_languages(tools, out, screen):
    account = Account("The custom panel and the language pop-up, in Thai")
    with staged(tools, out, "thai", extra_mib=0, channels=1) as stage, \
            on_screen(screen, stage, lang="th_TH.UTF-8") as (_, wid):
        screen.click(wid, ui.CUSTOM_LINK)
        ui.wait_for(lambda: ui.geometry(wid, screen.env)[3] == ui.EXPANDED_HEIGHT, 10)
        time.sleep(0.8)
        screen.shot(account, wid, "04-panel-thai.png", "the custom panel: folder and language")
        screen.click(wid, ui.LANGUAGE_BUTTON)
        time.sleep(1.0)
        screen.shot(account, wid, "05-language-popup.png", "the language pop-up", height=520)
        return account, 0


def wait_for_change(screen, wid, timeout):
    """Waits until the window's picture changes (a page was entered)."""
    before = screen.pixels(wid)
    return ui.wait_for(lambda: screen.pixels(wid) != before, timeout)


def failing_installer(tools, out, screen):
    account = Account("An installer that fails")
    with staged(tools, out, "fail", extra_mib=1, channels=2) as stage, \
            on_screen(screen, stage, args=(flow.FAIL_SWITCH,)) as (program, wid):
        screen.click(wid, ui.INSTALL)
        ui.wait_for(lambda: os.path.exists(stage.cmdline_file), 120)
        account.fact("DemoInstaller received", flow.read_cmdline(stage.cmdline_file))
        time.sleep(4)
        screen.shot(account, wid, "06-install-failed.png", "the installer's failure and its own message")
        screen.click(wid, CLOSE_BUTTON)
        try:
            program.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            account.fact("Close clicked", "the program did not end within a minute")
            return account, 1
        code = stage.exit_code()
        account.fact("Close clicked", f"the program ended with exit code {code}, the installer's own")
        return account, 0 if code == FAILING_INSTALLER_CODE else 1


def server_gone(tools, out, screen):
    account = Account("A download server that is gone")
    with staged(tools, out, "gone", extra_mib=0, channels=1) as stage, \
            on_screen(screen, stage) as (_, wid):
        stage.servers.procs[0].terminate()
        stage.servers.procs[0].wait(timeout=10)
        start = time.time()
        screen.click(wid, ui.INSTALL)
        time.sleep(3)
        # The progress page stands still until the engine gives up; then the page changes.
        if not wait_for_change(screen, wid, 240):
            account.fact("failure page", "did not come within four minutes")
        else:
            account.fact("failure page", f"shown {time.time() - start:.0f} s after Install")
        time.sleep(1.0)
        screen.shot(account, wid, "07-download-failed.png", "the download failure page")
        rows, packages = stage.report_rows()
        account.report(rows, packages)
        return account, 0


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


def set_uninstall_time(wine_run, env, hours_ago):
    """Makes the product count as uninstalled `hours_ago` hours ago (None: forget it)."""
    key = r"HKCU\Software\Nuvex Security\Brisko"
    if hours_ago is None:
        command = [wine_run, "reg", "delete", key, "/v", "UninstallTime", "/f"]
    else:
        stamp_text = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(time.time() - hours_ago * 3600))
        command = [wine_run, "reg", "add", key, "/v", "UninstallTime", "/d", stamp_text, "/f"]
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def runnable_build(build):
    return subprocess.run([os.path.join(ROOT, "scripts", "runnable-build"), build, *TARGETS], check=True,
                          stdout=subprocess.PIPE, text=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    out = os.path.join(os.path.abspath(args.build), "demo")
    os.makedirs(out, exist_ok=True)
    for old in glob.glob(os.path.join(out, "*.png")) + glob.glob(os.path.join(out, "minisetup-*")):
        shutil.rmtree(old) if os.path.isdir(old) else os.remove(old)
    tools = Tools(runnable_build(os.path.abspath(args.build)))
    if tools.build != os.path.abspath(args.build):
        say(f"this kernel runs no 32-bit programs: the demo runs the 64-bit build of the same sources, {tools.build}")

    xvfb, display = start_display()
    env = dict(os.environ, DISPLAY=display)
    os.environ["DISPLAY"] = display
    screen = Screen(tools, out, env)
    accounts, failures = [], 0
    try:
        say(f"X display {display}; each run starts its own download and statistics servers on 127.0.0.1")
        set_uninstall_time(tools.wine_run, env, 1)
        for run in (lambda: interactive_setup(tools, out, screen), lambda: silent_setup(tools, out),
                    lambda: panel_and_languages(tools, out, screen), lambda: failing_installer(tools, out, screen),
                    lambda: server_gone(tools, out, screen)):
            account, failed = run()
            accounts.append(account)
            failures += failed
            write_page(os.path.join(out, "index.html"), accounts)
        say(f"screenshots and index.html in {out}: " +
            ", ".join(name for account in accounts for name, _ in account.shots))
        say("all runs behaved as expected" if not failures else f"{failures} run(s) did not behave as expected")
        return 1 if failures else 0
    finally:
        set_uninstall_time(tools.wine_run, env, None)
        # Nothing of the prefix outlives the demo's display.
        subprocess.run([tools.wine_run, "--end-all"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        xvfb.terminate()
        try:
            xvfb.wait(timeout=5)
        except subprocess.TimeoutExpired:
            xvfb.kill()


if __name__ == "__main__":
    sys.exit(main())
