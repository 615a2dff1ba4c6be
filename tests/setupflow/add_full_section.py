#!/usr/bin/env python3
"""add_full_section.py <objcopy> <input.exe> <payload> <output.exe>

Adds the payload to a program as a section named "full", placed after the
program's last section so the program still loads and runs."""
import re
import subprocess
import sys


def image_end(objdump, program):
    headers = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True).stdout
    base = int(re.search(r"(?m)^ImageBase\s+([0-9a-fA-F]+)", headers).group(1), 16)
    size = int(re.search(r"(?m)^SizeOfImage\s+([0-9a-fA-F]+)", headers).group(1), 16)
    return base + size


def add_full_section(objcopy, program, payload, output):
    objdump = objcopy.replace("objcopy", "objdump")
    address = image_end(objdump, program)
    subprocess.run([objcopy, "--add-section", f"full={payload}", "--set-section-flags", "full=contents,readonly,data",
                    "--change-section-address", f"full={address:#x}", program, output], check=True)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    add_full_section(*sys.argv[1:])
