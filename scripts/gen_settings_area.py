#!/usr/bin/env python3
"""Turns the settings text (UTF-8 in the source tree) into the C++ definition
of the program's settings area: UTF-16LE with a byte-order mark, CRLF line
ends, a terminating zero, zero-filled to exactly 20,480 bytes, placed in its
own PE section so that release tooling can rewrite it in a built program."""
import sys

AREA_BYTES = 20480
SECTION = ".brkcfg"


def encode(text):
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    data = "\ufeff" + text
    raw = data.encode("utf-16-le") + b"\0\0"
    if len(raw) > AREA_BYTES:
        raise SystemExit(f"settings text needs {len(raw)} bytes; the area holds {AREA_BYTES}")
    return raw


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        raw = encode(f.read())
    units = [raw[i] | raw[i + 1] << 8 for i in range(0, len(raw), 2)]
    rows = []
    for i in range(0, len(units), 12):
        rows.append("    " + ", ".join(f"0x{u:04X}" for u in units[i:i + 12]) + ",")
    with open(target, "w", encoding="ascii") as out:
        out.write("// Generated from resources/settings.ini by scripts/gen_settings_area.py.\n")
        out.write('#include "app/SettingsArea.h"\n\n')
        out.write(f'__attribute__((section("{SECTION}"), used, aligned(16)))\n')
        out.write("wchar_t g_settingsArea[kSettingsAreaChars] = {\n")
        out.write("\n".join(rows))
        out.write("\n};\n")


if __name__ == "__main__":
    main()
