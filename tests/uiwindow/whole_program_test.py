#!/usr/bin/env python3
"""Whole visible runs of MiniSetup as a person meets them, on the test run's X
display, one outcome per run of this script:

  installer-failure  Install is clicked; the package (DemoInstaller, told to
                     fail with code 1603) is downloaded and started. The window
                     must show the installer's own message on its failure page,
                     stay up after the installer ended, and its Close button
                     must end the run with the installer's code (its reports
                     carry the Close). Three runs tell the message apart from
                     the no-space text shown when the installer sends none:
                     the message box of a run whose installer sends no message
                     (the no-space text) must look exactly like one whose
                     installer sends that very text, and unlike one whose
                     installer sends its own.
  tray-exit          Install is clicked on a package served slowly; while it
                     downloads, the tray icon is right-clicked (TrayClick posts
                     the icon's callback message: the display has no
                     notification area) and "Exit" is chosen in the menu with
                     a mouse click. The run must end with code 1 long before
                     the download could have finished, nothing of it may stay
                     running, and its reports must carry the "Exit" item.

  whole_program_test.py --outcome NAME --wine-run ... --program MiniSetup.exe
      --minitool ... --rpdump ... --installer DemoInstaller.exe
      --digest setupflow_manifest_digest.exe --tray-click uiwindow_tray_click.exe
      --exit-code-watch uiwindow_exit_code_watch.exe
      [--work DIR] [--shots DIR]

The script starts the download and statistics test servers itself and stops
them; every program it starts is ended by it, pass or fail. --shots keeps
pictures of the window at the moments checked."""
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

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(HERE)
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(TESTS, "setupflow"))
import program_flow_test as flow  # noqa: E402
import real_window_test as ui  # noqa: E402

# Client boxes (left, top, width, height) of the failure page.
MESSAGE_BOX = (251, 215, 220, 100)
FAILURE_CLOSE = (553, 304)
FAILURE_CODE = 1603
NO_SPACE_TEXT = "There is no Space avaliable!"
TRAY_EXIT_CODE = 1
TRAY_EXIT_ITEM = "0x05002340"
FAILURE_CLOSED_ITEM = "0x0500233C"
ENGLISH = {"LANG": "en_US.UTF-8", "LC_ALL": "en_US.UTF-8"}


def say(text):
    print(f"whole_program: {text}", flush=True)


def crop_of_window(wid, box, output):
    """A client box (left, top, width, height) of the window as on the screen,
    converted to `output` (a file, or "rgb:-" for the raw colours)."""
    x, y, _, _ = ui.geometry(wid)
    left, top, width, height = box
    screen = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, timeout=60).stdout
    return subprocess.run(["convert", "xwd:-", "-crop", f"{width}x{height}+{x + left}+{y + top}", "+repage", output],
                          input=screen, capture_output=True, timeout=60).stdout


def save_shot(shots, name, wid):
    if shots:
        path = os.path.join(shots, name)
        crop_of_window(wid, (0, 0, *ui.geometry(wid)[2:]), path)
        say(f"picture {path}")


def light_pixels(rgb):
    """Pixels with much red: the white text, not the blue background."""
    return sum(1 for i in range(0, len(rgb), 3) if rgb[i] > 0x80)


def processes_named(part):
    """Linux ids of the processes whose command line mentions `part`."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                line = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if part in line and int(pid) != os.getpid():
            found.append(int(pid))
    return found


def served_package(args, root, name, padding=0):
    path = os.path.join(root, name)
    with open(args.installer, "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(data + os.urandom(padding))
    return path


def download_stats(servers, test_id):
    with urllib.request.urlopen(f"http://{servers.download}/stats?id={test_id}", timeout=10) as answer:
        return json.load(answer)


class VisibleRun:
    """A stamped copy started visibly in English with the given arguments; its
    window is found by title. With `watched`, ExitCodeWatch starts it and keeps
    its whole exit code. stop() ends it in any case."""

    def __init__(self, args, copy, arguments, watched=False):
        env = dict(os.environ, **ENGLISH)
        self.result_file = None
        if watched:
            self.result_file = copy + ".exitcode"
            if os.path.exists(self.result_file):
                os.remove(self.result_file)
            self.program = ui.Program(args.wine_run, args.exit_code_watch, env=env,
                                      args=(flow.windows_path(self.result_file), flow.windows_path(copy), *arguments))
            # Ending the program ends its watcher too.
            self.program.name = os.path.basename(copy)
        else:
            self.program = ui.Program(args.wine_run, copy, args=arguments, env=env)
        self.wid = ui.find_window()

    def exit_code(self):
        """The whole exit code of the ended program (None if unknown)."""
        if self.result_file is None:
            return self.program.proc.returncode
        try:
            with open(self.result_file) as f:
                return int(f.read().strip())
        except (OSError, ValueError):
            return None

    def stop(self):
        return self.program.stop()


def closes_reported(args, servers):
    """How often this test's runs reported the Close of a failure page."""
    return len(flow.collect_items(args, servers).get(FAILURE_CLOSED_ITEM, []))


def installer_failure_run(args, servers, work, root, checks, label, message):
    """One run whose installer fails with `message` (None: its own). Returns
    the pixels of the message box on the failure page, or None."""
    # The package is saved and started under the manifest's name: one no other run uses.
    package_name = f"{flow.RUN_NAME}-fails-{time.monotonic_ns()}"
    package = served_package(args, root, package_name + ".exe")
    fields = flow.package_fields(servers, package)
    fields["name"] = package_name
    manifest = f"failure-{time.monotonic_ns()}.xml"
    flow.write_manifest(args, root, manifest, fields)
    copy = flow.stamped_copy(args.minitool, args.program, servers.stats, work)
    extra = [flow.FAIL_SWITCH] + ([] if message is None else [f"/demo-fail-message={message}"])
    closes_before = closes_reported(args, servers)
    run = VisibleRun(args, copy, [*extra, f"/newverurl={servers.files_url(manifest)}"], watched=True)
    try:
        checks.expect(run.wid is not None, f"{label}: the window appears")
        if run.wid is None:
            return None
        ui.click(run.wid, ui.INSTALL)
        started = ui.wait_for(lambda: processes_named(package_name), 90)
        checks.expect(started, f"{label}: the downloaded installer is started")
        if not started:
            return None
        ended = ui.wait_for(lambda: not processes_named(package_name), 60)
        checks.expect(ended, f"{label}: the installer ends")
        # 2028 follows the installer's end at once; give the window time to act on it.
        time.sleep(2.5)
        checks.expect(run.program.running(), f"{label}: the program keeps running after the installer ended")
        visible = ui.find_window(timeout=3) == run.wid
        checks.expect(visible, f"{label}: the window stays up after the installer ended")
        if not visible:
            return None
        pixels = crop_of_window(run.wid, MESSAGE_BOX, "rgb:-")
        save_shot(args.shots, f"install-failed-{label.replace(' ', '-')}.png", run.wid)
        ui.click(run.wid, FAILURE_CLOSE)
        ended = ui.wait_for(lambda: not run.program.running(), 30)
        checks.expect(ended, f"{label}: Close ends the program")
        if ended:
            code = run.exit_code()
            checks.expect(code == FAILURE_CODE, f"{label}: the run ends with the installer's code "
                                                f"{FAILURE_CODE} (got {code})")
            checks.expect(not processes_named(os.path.basename(copy)), f"{label}: no process of the program is left")
            checks.expect(ui.wait_for(lambda: closes_reported(args, servers) > closes_before, 15),
                          f"{label}: the statistics server received item {FAILURE_CLOSED_ITEM} of the Close")
        return pixels
    finally:
        run.stop()


def outcome_installer_failure(args, servers, work, root):
    checks = ui.Checks()
    rows = [("no message", ""), ("the no-space text as message", NO_SPACE_TEXT), ("own message", None)]
    boxes = {label: installer_failure_run(args, servers, work, root, checks, label, message)
             for label, message in rows}
    fallback, same_text, own = (boxes[label] for label, _ in rows)
    if fallback is not None:
        checks.expect(light_pixels(fallback) > 50, "without a message the box shows the no-space text "
                                                   f"({light_pixels(fallback)} light pixels)")
    if fallback is not None and same_text is not None:
        checks.expect(fallback == same_text, "the message box shows a sent text as the no-space text looks")
    if fallback is not None and own is not None:
        checks.expect(own != fallback, "the installer's own message is shown, not the no-space text")
    return 1 if checks.failures else 0


def new_menu_window(before):
    """A visible window mapped since `before` was taken: the tray menu."""
    out = ui.xdotool("search", "--onlyvisible", "--name", "")
    for wid in out.stdout.split():
        if wid not in before and 0 < ui.geometry(wid)[2] < 400:
            return wid
    return None


def choose_exit_in_tray_menu(args, checks):
    """Right-clicks the tray icon through TrayClick and clicks "Exit" in the menu."""
    cursor = (700, 600)
    ui.xdotool("mousemove", "--sync", str(cursor[0]), str(cursor[1]))
    before = set(ui.xdotool("search", "--onlyvisible", "--name", "").stdout.split())
    posted = subprocess.run([args.wine_run, args.tray_click, "right"], capture_output=True, timeout=60)
    checks.expect(posted.returncode == 0, f"TrayClick finds the setup window (exit code {posted.returncode})")
    found = []
    ui.wait_for(lambda: found.append(new_menu_window(before)) or found[-1], 15)
    menu = found[-1] if found else None
    checks.expect(menu is not None, "a right click on the tray icon opens the tray menu")
    if menu is None:
        return None
    x, y, width, height = ui.geometry(menu)
    say(f"tray menu at {x},{y}, {width} x {height}")
    checks.expect(abs(x + width - cursor[0]) <= 3 and abs(y + height - cursor[1]) <= 3,
                  f"the menu opens above and left of the cursor {cursor}")
    ui.click(menu, (width // 2, height // 2))
    return time.monotonic()


def outcome_tray_exit(args, servers, work, root):
    checks = ui.Checks()
    test_id = f"tray-exit-{os.getpid()}"
    package = served_package(args, root, f"{flow.RUN_NAME}-slow.exe", padding=4 * 1024 * 1024)
    size = os.path.getsize(package)
    rate = 100000
    fields = flow.package_fields(servers, package)
    # One channel at 100 KB/s: the download would take about 40 s; the
    # program's own query lands in the last parameter.
    fields["url"] += f"?id={test_id}&rate={rate}&from="
    fields["thread"] = "1"
    flow.write_manifest(args, root, "slow.xml", fields)
    copy = flow.stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    os.environ[flow.CMDLINE_ENV] = flow.windows_path(cmdline_file)
    run = VisibleRun(args, copy, [f"/newverurl={servers.files_url('slow.xml')}"])
    try:
        checks.expect(run.wid is not None, "the window appears")
        if run.wid is None:
            return 1
        ui.click(run.wid, ui.INSTALL)
        downloading = ui.wait_for(lambda: download_stats(servers, test_id).get("bytes", 0) > 64 * 1024, 60)
        checks.expect(downloading, "the package download runs")
        if not downloading:
            return 1
        save_shot(args.shots, "tray-exit-downloading.png", run.wid)
        chosen = choose_exit_in_tray_menu(args, checks)
        if chosen is None:
            return 1
        ended = ui.wait_for(lambda: not run.program.running(), 60)
        checks.expect(ended, "choosing Exit ends the program")
        if not ended:
            return 1
        seconds = time.monotonic() - chosen
        sent = download_stats(servers, test_id).get("bytes", 0)
        say(f"the program ended {seconds:.1f} s after Exit was chosen; {sent} of {size} bytes had been sent")
        checks.expect(sent < size, f"it ended before the download finished ({sent} of {size} bytes sent)")
        code = run.exit_code()
        checks.expect(code == TRAY_EXIT_CODE, f"the run ends with code {TRAY_EXIT_CODE} (got {code})")
        time.sleep(1)
        checks.expect(not processes_named(os.path.basename(copy)), "no process of the program is left")
        checks.expect(not os.path.exists(cmdline_file), "the installer was never started")
        received = ui.wait_for(flow.has_items(args, servers, [(TRAY_EXIT_ITEM, 1)]), 15)
        checks.expect(received, f"the statistics server received item {TRAY_EXIT_ITEM}")
        return 1 if checks.failures else 0
    finally:
        run.stop()


OUTCOMES = {"installer-failure": outcome_installer_failure, "tray-exit": outcome_tray_exit}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--outcome", required=True, choices=sorted(OUTCOMES))
    for name in ("wine-run", "program", "minitool", "rpdump", "installer", "digest", "tray-click", "exit-code-watch"):
        parser.add_argument(f"--{name}", required=True)
    parser.add_argument("--work", help="folder for the run's files (a new temporary folder by default)")
    parser.add_argument("--shots", help="folder for pictures of the window")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        say("FAIL: no X display")
        return 1
    work = tempfile.mkdtemp(prefix=f"whole-{args.outcome}-", dir=args.work)
    root = os.path.join(work, "served")
    os.makedirs(root)
    servers = flow.Servers(root)
    started = time.monotonic()
    try:
        result = OUTCOMES[args.outcome](args, servers, work, root)
        say(f"{args.outcome}: {'passed' if result == 0 else 'FAILED'} in {time.monotonic() - started:.0f} s")
        return result
    finally:
        servers.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
