#!/usr/bin/env python3
"""Runs a command with a small volume mounted, for tests of a disk that fills up.

Usage: run_with_small_disk.py DIR SIZE_MIB -- COMMAND...

Mounts a tmpfs of SIZE_MIB MiB at DIR (created if needed), passes its Windows
path (Wine's Z: drive) as MINISETUP_SMALL_DISK, runs the command and unmounts,
whatever the command's outcome. Where no tmpfs can be mounted (not root, no
permission) the command runs without MINISETUP_SMALL_DISK, and the tests take
their seam instead. Returns the command's exit code.
"""
import os
import subprocess
import sys


def main():
    if len(sys.argv) < 5 or sys.argv[3] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    folder = os.path.abspath(sys.argv[1])
    size = int(sys.argv[2])
    command = sys.argv[4:]
    os.makedirs(folder, exist_ok=True)
    env = dict(os.environ)
    mounted = False
    if os.geteuid() == 0:
        mounted = subprocess.call(["mount", "-t", "tmpfs", "-o", f"size={size}m", "tmpfs", folder]) == 0
    if mounted:
        env["MINISETUP_SMALL_DISK"] = "Z:" + folder.replace("/", "\\")
    else:
        print("run_with_small_disk: no small volume here; the tests use their seam", file=sys.stderr)
    try:
        return subprocess.call(command, env=env)
    finally:
        if mounted:
            subprocess.call(["umount", folder])


if __name__ == "__main__":
    sys.exit(main())
