#!/usr/bin/env python3
"""Checks the shipped file itself: a 32-bit GUI PE of at most 3 MiB whose
manifest asks for administrator rights and common controls 6, with the
settings area as a section of exactly 20,480 bytes holding the default text."""
import struct
import sys

# The budget grew with the window toolkit, the PNG decoder and the setup chain
# (2,764,288 bytes when they landed); the stub must stay a small download.
MAX_BYTES = 3 * 1024 * 1024
AREA_BYTES = 20480


def sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("FAIL: no PE signature")
    machine, count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    table = optional + optional_size
    found = {}
    for i in range(count):
        name, vsize, vaddr, rsize, rptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        found[name.rstrip(b"\0").decode()] = (vsize, rsize, rptr)
    return machine, magic, subsystem, found


def main():
    path = sys.argv[1]
    data = open(path, "rb").read()
    failures = []
    if len(data) > MAX_BYTES:
        failures.append(f"{len(data)} bytes is more than 3 MiB")
    machine, magic, subsystem, found = sections(data)
    if machine != 0x14C or magic != 0x10B:
        failures.append(f"not a PE32 i386 image (machine {machine:#x}, magic {magic:#x})")
    if subsystem != 2:
        failures.append(f"subsystem {subsystem} is not the Windows GUI")
    area = found.get(".brkcfg")
    if not area:
        failures.append("no .brkcfg section")
    else:
        vsize, rsize, rptr = area
        if vsize != AREA_BYTES or rsize < AREA_BYTES:
            failures.append(f".brkcfg holds {vsize} bytes (raw {rsize}), not {AREA_BYTES}")
        text = data[rptr:rptr + AREA_BYTES]
        if text[:2] != b"\xff\xfe" or "[params]\r\n".encode("utf-16-le") not in text:
            failures.append(".brkcfg does not start with the UTF-16LE settings text")
    if b'level="requireAdministrator"' not in data:
        failures.append("the manifest does not ask for requireAdministrator")
    if b"Microsoft.Windows.Common-Controls" not in data:
        failures.append("the manifest does not ask for common controls 6")
    if "Nuvex Brisko".encode("utf-16-le") not in data:
        failures.append("no ProductName in the version information")
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print(f"{path}: {len(data)} bytes, PE32 GUI, settings area {AREA_BYTES} bytes, requireAdministrator")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
