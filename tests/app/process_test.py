#!/usr/bin/env python3
"""Runs the whole-program tests (app_process_tests.exe) on a stamped copy of
MiniSetup.exe whose addresses are on 127.0.0.1: reports go to the statistics
test server (MINISETUP_STATS_SERVER, set by tests/run_with_server.py), the
manifest to a closed port. The copy is placed next to the test program as
MiniSetupLocal.exe and removed afterwards; no run sends anything elsewhere."""
import argparse
import os
import re
import subprocess
import sys

COPY_NAME = "MiniSetupLocal.exe"


def stamp(minitool, program, server, copy):
    settings = subprocess.run([minitool, "show", program], capture_output=True, text=True, check=True).stdout
    report_url = f"http://{server}/cgi-bin-py/mini_install_statistic_info.cgi"
    replaced = {"ReportURLMini": report_url, "VERSION_INFO_URL": "http://127.0.0.1:1/%snewver%s.xml"}
    for key, value in replaced.items():
        settings, count = re.subn(rf"(?m)^{key}=.*$", lambda _: f"{key}={value}", settings)
        if count != 1:
            raise SystemExit(f"process_test: the settings text has {count} {key} lines")
    text = copy + ".settings.txt"
    with open(text, "w", encoding="utf-8", newline="") as f:
        f.write(settings)
    try:
        subprocess.run([minitool, "stamp", program, text, copy], check=True)
    finally:
        os.remove(text)
    shown = subprocess.run([minitool, "show", copy], capture_output=True, text=True, check=True).stdout
    if ".example" in "".join(line for line in shown.splitlines()
                             if line.startswith(("ReportURLMini=", "VERSION_INFO_URL="))):
        raise SystemExit("process_test: the stamped copy still points at .example hosts")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--test", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--minitool", required=True)
    args = parser.parse_args()
    server = os.environ.get("MINISETUP_STATS_SERVER")
    if not server:
        print("process_test: FAIL: no statistics test server (MINISETUP_STATS_SERVER)")
        return 1
    copy = os.path.join(os.path.dirname(os.path.abspath(args.test)), COPY_NAME)
    stamp(args.minitool, args.program, server, copy)
    try:
        return subprocess.call([args.wine_run, args.test])
    finally:
        os.remove(copy)


if __name__ == "__main__":
    sys.exit(main())
