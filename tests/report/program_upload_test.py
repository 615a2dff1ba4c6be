#!/usr/bin/env python3
"""A run of the whole program uploads its start items to the statistics test
server. The program is pointed at the server by rewriting the settings area of
a copy of its executable (minitool stamp); its downloads go to a closed port.

Run through tests/run_with_server.py --server stats, which sets
MINISETUP_STATS_SERVER."""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.request

START_ITEMS = ["0x04001B5A", "0x04001B5C", "0x0200000B", "0x04001B70", "0x04001B63"]
CHANNEL_ITEM = "0x02000001"


def stamped_copy(minitool, program, server, folder):
    settings = subprocess.run([minitool, "show", program], capture_output=True, text=True, check=True).stdout
    report_url = f"http://{server}/cgi-bin-py/mini_install_statistic_info.cgi"
    settings = re.sub(r"(?m)^ReportURLMini=.*$", lambda _: "ReportURLMini=" + report_url, settings)
    settings = re.sub(r"(?m)^VERSION_INFO_URL=.*$", lambda _: "VERSION_INFO_URL=http://127.0.0.1:1/%snewver%s.xml",
                      settings)
    text = os.path.join(folder, "settings.txt")
    with open(text, "w", encoding="utf-8", newline="") as f:
        f.write(settings)
    copy = os.path.join(folder, "MiniSetup.exe")
    subprocess.run([minitool, "stamp", program, text, copy], check=True)
    shown = subprocess.run([minitool, "show", copy], capture_output=True, text=True, check=True).stdout
    if report_url not in shown:
        raise SystemExit("the stamped copy does not carry the report address")
    return copy


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
        try:
            rc = subprocess.call([args.wine_run, copy, "/S"], timeout=120)
        except subprocess.TimeoutExpired:
            print("FAIL: the program did not end within 120 s")
            return 1
        print(f"program exit code {rc}")
        with urllib.request.urlopen(f"http://{server}/_received") as answer:
            received = json.load(answer)
        seen, channels = set(), set()
        for upload in received:
            if upload["kind"] != "package":
                continue
            if not upload["ok"]:
                print(f"FAIL: upload of the wrong shape: {upload['error']}")
                return 1
            dump = subprocess.run([args.rpdump, upload["path"]], capture_output=True, text=True)
            if dump.returncode != 0:
                print(f"FAIL: rpdump: {dump.stderr}")
                return 1
            doc = json.loads(dump.stdout)
            seen.update(doc["lists"].keys(), doc["values"].keys(), doc["counters"].keys())
            channels.add(doc["values"].get(CHANNEL_ITEM))
        missing = [item for item in START_ITEMS + [CHANNEL_ITEM] if item not in seen]
        if missing:
            print(f"FAIL: items not uploaded: {missing} (received {len(received)} uploads)")
            return 1
        if "web|gl|official|direct" not in channels:
            print(f"FAIL: channel item holds {channels}")
            return 1
        print(f"program upload test: passed ({len(received)} packages)")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
