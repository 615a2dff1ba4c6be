#!/usr/bin/env python3
"""An offline installer made by `minitool embed` runs under Wine and starts its
package with the network down: every address of its settings points at a
closed port on 127.0.0.1, so a run that tried to download would never end
(a silent run retries for ever) and no installer would start.

  offline_installer_test.py --wine-run build/wine-run --program MiniSetup.exe
                            --minitool minitool --installer DemoInstaller.exe"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from processes import end_process  # noqa: E402

CLOSED = "http://127.0.0.1:1"
# DemoInstaller writes the arguments it received to the file this names.
CMDLINE_ENV = "MINISETUP_DEMO_COMMANDLINE_FILE"
EXPECTED = re.compile(r"/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=\d+ /bHelpUs=[01] .*/D=\S.*")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def offline_copy(args, folder):
    settings = subprocess.run([args.minitool, "show", args.program], capture_output=True, text=True, check=True).stdout
    for key, value in (("VERSION_INFO_URL", CLOSED + "/%snewver%s.xml"),
                       ("ReportURLMini", CLOSED + "/cgi-bin-py/mini_install_statistic_info.cgi"),
                       ("ReportURL", CLOSED + "/cgi-bin-py/install_statistic_info.cgi")):
        settings = re.sub(rf"(?m)^{key}=.*$", lambda _: f"{key}={value}", settings)
    text = os.path.join(folder, "settings.txt")
    with open(text, "w", encoding="utf-8", newline="") as f:
        f.write(settings)
    stamped = os.path.join(folder, "stamped.exe")
    subprocess.run([args.minitool, "stamp", args.program, text, stamped], check=True)
    offline = os.path.join(folder, f"MiniSetupOffline-{os.getpid()}.exe")
    subprocess.run([args.minitool, "embed", stamped, args.installer, offline], check=True)
    return offline


def run_silently(args, program, cmdline_file, timeout):
    env = dict(os.environ, **{CMDLINE_ENV: windows_path(cmdline_file)})
    proc = subprocess.Popen([args.wine_run, program, "/S", f"/newverurl={CLOSED}/never.xml"], env=env,
                            start_new_session=True)
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    finally:
        end_process(proc)


def main():
    parser = argparse.ArgumentParser()
    for name in ("wine-run", "program", "minitool", "installer"):
        parser.add_argument(f"--{name}", required=True)
    parser.add_argument("--timeout", type=int, default=180)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="offline-installer-", dir=os.path.dirname(os.path.abspath(args.program)))
    failures = []
    try:
        offline = offline_copy(args, folder)
        cmdline_file = os.path.join(folder, "cmdline.txt")
        started = time.monotonic()
        rc = run_silently(args, offline, cmdline_file, args.timeout)
        print(f"offline installer: exit code {rc} after {time.monotonic() - started:.1f} s")
        if rc is None:
            failures.append(f"the run did not end within {args.timeout} s (it must not wait for a download)")
        elif rc != 0:
            failures.append(f"exit code {rc}, expected the installer's 0")
        if not os.path.exists(cmdline_file):
            failures.append("the embedded installer did not start (no command line file)")
        else:
            raw = open(cmdline_file, "rb").read()
            text = raw.decode("utf-8-sig", "replace").strip("\r\n\0 ")
            print(f"offline installer: the package received {text!r}")
            if not EXPECTED.search(text):
                failures.append(f"unexpected installer command line {text!r}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
