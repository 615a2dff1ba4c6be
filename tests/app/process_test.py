#!/usr/bin/env python3
"""Runs the whole-program tests (app_process_tests.exe) on a stamped copy of
MiniSetup.exe whose addresses are on 127.0.0.1: reports go to the statistics
test server (MINISETUP_STATS_SERVER, set by tests/run_with_server.py), the
manifest to a closed port. The copy is placed next to the test program as
MiniSetupLocal.exe and removed afterwards; no run sends anything elsewhere."""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from stamping import stamp_local  # noqa: E402

COPY_NAME = "MiniSetupLocal.exe"


def stamp(minitool, program, server, copy):
    stamp_local(minitool, program, copy, report=server)

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
