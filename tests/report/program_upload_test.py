#!/usr/bin/env python3
"""A run of the whole program uploads its start items to the statistics test
server. The program is pointed at the server by rewriting the settings area of
a copy of its executable (minitool stamp); its downloads go to a closed port.

Run through tests/run_with_server.py --server stats, which sets
MINISETUP_STATS_SERVER."""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from processes import end_process  # noqa: E402
from stamping import stamp_local  # noqa: E402

START_ITEMS = ["0x04001B5A", "0x04001B5C", "0x0200000B", "0x04001B70", "0x04001B63"]
CHANNEL_ITEM = "0x02000001"


def stamped_copy(minitool, program, server, folder):
    return stamp_local(minitool, program, os.path.join(folder, "MiniSetup.exe"), report=server)

def read_uploads(server, rpdump):
    """Returns (error, items seen, channel values, number of uploads)."""
    with urllib.request.urlopen(f"http://{server}/_received") as answer:
        received = json.load(answer)
    seen, channels = set(), set()
    for upload in received:
        if upload["kind"] != "package":
            continue
        if not upload["ok"]:
            return f"upload of the wrong shape: {upload['error']}", seen, channels, len(received)
        dump = subprocess.run([rpdump, upload["path"]], capture_output=True, text=True)
        if dump.returncode != 0:
            return f"rpdump: {dump.stderr}", seen, channels, len(received)
        doc = json.loads(dump.stdout)
        seen.update(doc["lists"].keys(), doc["values"].keys(), doc["counters"].keys())
        channels.add(doc["values"].get(CHANNEL_ITEM))
    return None, seen, channels, len(received)


def wait_for_uploads(server, rpdump, run, deadline):
    """Polls the server until the start items have arrived; returns (failure or None, uploads)."""
    while True:
        ended = run.poll() is not None
        error, seen, channels, count = read_uploads(server, rpdump)
        if error:
            return error, count
        missing = [item for item in START_ITEMS + [CHANNEL_ITEM] if item not in seen]
        if not missing:
            if "web|gl|official|direct" not in channels:
                return f"channel item holds {channels}", count
            return None, count
        if time.monotonic() > deadline or ended:
            return f"items not uploaded: {missing} (received {count} uploads)", count
        time.sleep(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--minitool", required=True)
    parser.add_argument("--rpdump", required=True)
    args = parser.parse_args()
    server = os.environ["MINISETUP_STATS_SERVER"]
    work = tempfile.mkdtemp(prefix="program-upload-")
    try:
        copy = stamped_copy(args.minitool, args.program, server, work)
        # A silent run retries its unreachable download every 3 s without
        # end, reporting each failure: the test waits for the uploads it
        # needs and then ends the run and everything it started.
        run = subprocess.Popen([args.wine_run, "--timeout", "150", "--end-all", copy, "/S"])
        try:
            verdict, received = wait_for_uploads(server, args.rpdump, run, deadline=time.monotonic() + 120)
        finally:
            end_process(run, grace=60)
        if verdict:
            print(f"FAIL: {verdict}")
            return 1
        print(f"program upload test: passed ({received} uploads)")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
