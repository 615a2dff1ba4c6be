#!/usr/bin/env python3
"""rpdump on packages written by the program (through report_writer under
Wine) and on truncated or corrupted copies of them."""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message)


def rpdump(tool, path):
    run = subprocess.run([tool, path], capture_output=True, text=True)
    return run.returncode, run.stdout, run.stderr


def write_packages(wine_run, writer, folder):
    windows_folder = "Z:" + folder.replace("/", "\\")
    key_base = f"Software\\MiniSetupTests\\rpdump-{os.getpid()}\\DRP"
    rc = subprocess.call([wine_run, writer, "packages", windows_folder, key_base])
    check(rc == 0, f"report_writer exited with {rc}")
    return sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".dat"))


def check_full_package(tool, path):
    rc, out, err = rpdump(tool, path)
    check(rc == 0, f"rpdump failed on {path}: {err}")
    doc = json.loads(out)
    header = doc["header"]
    check(header["version"] == "4.0.0.1", f"version {header['version']}")
    check(header["identity"] == "{writer-identity}", f"identity {header['identity']}")
    check(header["identityMarker"] is True, "identity marker")
    check(header["bodyLength"] == os.path.getsize(path) - 280, "body length")
    check(doc["counters"] == {"0x05002333": 3}, f"counters {doc['counters']}")
    lists = doc["lists"]
    check(lists["0x04001B5A"] == {"type": "int", "count": 1, "values": [1]}, f"0x04001B5A {lists.get('0x04001B5A')}")
    check(lists["0x04001B5C"]["values"] == [0], "0x04001B5C")
    check(lists["0x04001B63"] == {"type": "text", "count": 2,
                                  "values": ["web|gl|official|direct|explorer.exe|null", ""]},
          f"0x04001B63 {lists.get('0x04001B63')}")
    check(lists["0x04001B70"]["values"] == ["\u00e9t\u00e9 \"quoted\" \\ \u4e2d"],
          f"0x04001B70 {lists.get('0x04001B70')}")
    values = doc["values"]
    check(values == {"0x02000001": "web|gl|official|direct", "0x0200000B": "A", "0x02000010": -5},
          f"values {values}")
    return open(path, "rb").read()


def corruptions(data):
    def patched(offset, value):
        copy = bytearray(data)
        copy[offset] = value
        return bytes(copy)
    # The first record is the counter 0x05002333 at 280; the first list record follows at 288.
    yield "empty file", b""
    yield "header cut short", data[:100]
    yield "header only", data[:280]
    yield "last byte missing", data[:-1]
    yield "one byte too many", data + b"\0"
    yield "body length field wrong", patched(276, data[276] ^ 1)
    yield "id of no item class", patched(283, 0x03)
    yield "unknown list type", patched(292, 9)
    yield "list length field wrong", patched(293, data[293] ^ 4)
    # The last record is the integer value 0x02000010 (9 bytes); before it
    # ends the text of 0x0200000B with its zero code unit.
    yield "text not terminated", patched(len(data) - 11, 0x41)
    yield "month out of range", patched(10, 13)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--writer", required=True)
    parser.add_argument("--rpdump", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="rpdump-test-")
    try:
        folder = os.path.join(work, "RpData")
        os.makedirs(folder)
        packages = write_packages(args.wine_run, args.writer, folder)
        check(len(packages) == 2, f"expected 2 packages, found {packages}")
        full = None
        for path in packages:
            rc, out, err = rpdump(args.rpdump, path)
            check(rc == 0, f"rpdump failed on {path}: {err}")
            if rc == 0 and "0x04001B70" in json.loads(out)["lists"]:
                full = check_full_package(args.rpdump, path)
        check(full is not None, "no package with the written items")
        for name, data in corruptions(full or b""):
            path = os.path.join(work, "bad.dat")
            with open(path, "wb") as f:
                f.write(data)
            rc, out, err = rpdump(args.rpdump, path)
            check(rc == 1, f"{name}: exit code {rc}")
            check(out == "", f"{name}: printed {out[:80]!r}")
            check("malformed package" in err, f"{name}: message {err!r}")
        rc, _, err = rpdump(args.rpdump, os.path.join(work, "missing.dat"))
        check(rc == 2 and "cannot open" in err, f"missing file: {rc} {err!r}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("rpdump test:", "FAILED" if FAILURES else "passed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
