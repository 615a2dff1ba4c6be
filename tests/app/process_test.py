#!/usr/bin/env python3
"""Runs the whole-program tests (app_process_tests.exe) on a stamped copy of
MiniSetup.exe whose addresses are on 127.0.0.1: reports go to the statistics
test server (MINISETUP_STATS_SERVER, set by tests/run_with_server.py), the
manifest to a closed port. The copy is placed next to the test program as
MiniSetupLocal.exe and removed afterwards; no run sends anything elsewhere.

After the runs, the reports that reached the server are decoded with rpdump:
the silent start refused while the service runs (exit code 3) must have
delivered its mark 0x05002332 before it ended."""
import argparse
import json
import os
import subprocess
import sys
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from stamping import stamp_local  # noqa: E402

COPY_NAME = "MiniSetupLocal.exe"


SERVICE_REFUSAL_MARK = "0x05002332"


def stamp(minitool, program, server, copy):
    stamp_local(minitool, program, copy, report=server)


def received_counters(rpdump, server):
    """Counter id -> values, over every package the statistics server took."""
    with urllib.request.urlopen(f"http://{server}/_received", timeout=10) as answer:
        uploads = json.load(answer)
    counters = {}
    for upload in uploads:
        if upload["kind"] != "package" or not upload["ok"]:
            continue
        dump = subprocess.run([rpdump, upload["path"]], capture_output=True, text=True, timeout=60)
        if dump.returncode != 0:
            raise SystemExit(f"process_test: FAIL: rpdump {upload['path']}: {dump.stderr}")
        for key, value in json.loads(dump.stdout)["counters"].items():
            counters.setdefault(key, []).append(value)
    return counters


def service_refusal_reported(rpdump, server, wait=15):
    deadline = time.monotonic() + wait
    while True:
        marks = received_counters(rpdump, server).get(SERVICE_REFUSAL_MARK, [])
        if marks or time.monotonic() > deadline:
            return marks
        time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--test", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--minitool", required=True)
    parser.add_argument("--rpdump", required=True)
    args = parser.parse_args()
    server = os.environ.get("MINISETUP_STATS_SERVER")
    if not server:
        print("process_test: FAIL: no statistics test server (MINISETUP_STATS_SERVER)")
        return 1
    copy = os.path.join(os.path.dirname(os.path.abspath(args.test)), COPY_NAME)
    stamp(args.minitool, args.program, server, copy)
    try:
        rc = subprocess.call([args.wine_run, args.test])
    finally:
        os.remove(copy)
    marks = service_refusal_reported(args.rpdump, server)
    if not marks or any(mark != 1 for mark in marks):
        print(f"process_test: FAIL: the refused silent start must deliver {SERVICE_REFUSAL_MARK} = 1; "
              f"the server received {marks}")
        return 1
    print(f"process_test: {SERVICE_REFUSAL_MARK} = 1 delivered by the refused silent start")
    return rc


if __name__ == "__main__":
    sys.exit(main())
