#!/usr/bin/env python3
"""Builds the RES_INI resource from the readable text source.

    gen_texts.py SOURCE.ini OUTPUT.ini

SOURCE is UTF-8 INI text: a "[Global Defination]" section naming the
languages, then one section per text id with one key per language. OUTPUT is
the same content as the program reads it with the private-profile functions:
UTF-16LE with a byte-order mark and CR LF line ends, comments left out.

The source is rejected (exit status 1, one line per problem) when it would
not load as intended: a language key longer than 7 characters or not a
LANGID, a display name longer than 30, a count that does not match the lists,
a text section without a value for some language, a value longer than 255
characters or with blanks the profile functions would strip, or a value whose
format conversions differ from the English one ("%d" must stay "%d").
"""
import re
import sys

GLOBAL = "Global Defination"
ENGLISH = "1033"
MAX_KEY = 7
MAX_NAME = 30
MAX_VALUE = 255          # the program reads values into 256-character buffers
MAX_LANGUAGES = 32       # the language pop-up shows at most 32 rows
CONVERSION = re.compile(r"%(?:%|[-+ #0]*\d*(?:\.\d+)?[hlLqjzt]*[A-Za-z])")


class SourceError(Exception):
    pass


def utf16_length(text):
    return len(text.encode("utf-16-le")) // 2


def conversions(text):
    """The printf conversions of a text in order, "%%" left out; None when a
    "%" starts no valid conversion (a stray percent sign)."""
    found = []
    pos = 0
    while True:
        pos = text.find("%", pos)
        if pos < 0:
            return found
        match = CONVERSION.match(text, pos)
        if not match:
            return None
        if match.group(0) != "%%":
            found.append(match.group(0))
        pos = match.end()


def parse(lines):
    """Sections in file order: [(name, line, [(key, value, line)])]."""
    sections = []
    seen_sections = set()
    for number, raw in enumerate(lines, 1):
        line = raw.rstrip("\r\n")
        stripped = line.strip()
        if not stripped or stripped.startswith(";"):
            continue
        if stripped.startswith("["):
            if not stripped.endswith("]") or len(stripped) < 3:
                raise SourceError(f"line {number}: malformed section header {stripped!r}")
            name = stripped[1:-1]
            if name in seen_sections:
                raise SourceError(f"line {number}: section [{name}] appears twice")
            seen_sections.add(name)
            sections.append((name, number, []))
            continue
        if "=" not in line:
            raise SourceError(f"line {number}: expected key=value, got {stripped!r}")
        if not sections:
            raise SourceError(f"line {number}: key outside any section")
        key, value = line.split("=", 1)
        key = key.strip()
        entries = sections[-1][2]
        if any(k == key for k, _, _ in entries):
            raise SourceError(f"line {number}: key {key!r} appears twice in [{sections[-1][0]}]")
        entries.append((key, value, number))
    return sections


def check_value(where, value, problems):
    if not value:
        problems.append(f"{where}: empty value")
    elif value != value.strip() or (len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'"):
        problems.append(f"{where}: leading/trailing blanks or quotes would be stripped when read")
    if utf16_length(value) > MAX_VALUE:
        problems.append(f"{where}: {utf16_length(value)} characters, at most {MAX_VALUE} are read")


def split_list(text):
    # The program splits with wcstok: empty fields vanish.
    return [field for field in text.split(",") if field != ""]


def check_languages(global_entries, problems):
    values = {key: (value, line) for key, value, line in global_entries}
    for required in ("Number_of_languages", "Languages", "Descripts"):
        if required not in values:
            problems.append(f"[{GLOBAL}]: missing {required}")
    for key in values:
        if key not in ("Number_of_languages", "Languages", "Descripts"):
            problems.append(f"line {values[key][1]}: unknown key {key!r} in [{GLOBAL}]")
    if problems:
        return []
    keys = split_list(values["Languages"][0])
    names = split_list(values["Descripts"][0])
    count_text, count_line = values["Number_of_languages"]
    if not count_text.strip().isdigit() or int(count_text) != len(keys):
        problems.append(f"line {count_line}: Number_of_languages is {count_text!r}, Languages lists {len(keys)}")
    if len(names) != len(keys):
        problems.append(f"line {values['Descripts'][1]}: {len(names)} display names for {len(keys)} languages")
    if not 1 <= len(keys) <= MAX_LANGUAGES:
        problems.append(f"line {values['Languages'][1]}: {len(keys)} languages, 1 to {MAX_LANGUAGES} allowed")
    if ENGLISH not in keys:
        problems.append(f"line {values['Languages'][1]}: English ({ENGLISH}) must be listed")
    for key in keys:
        where = f"line {values['Languages'][1]}: language key {key!r}"
        if len(key) > MAX_KEY:
            problems.append(f"{where} is longer than {MAX_KEY} characters")
        elif not key.isdigit() or not 0 < int(key) <= 0xFFFF:
            problems.append(f"{where} is not a decimal LANGID")
        if keys.count(key) > 1:
            problems.append(f"{where} is listed twice")
    for name in names:
        where = f"line {values['Descripts'][1]}: display name {name!r}"
        if utf16_length(name) > MAX_NAME:
            problems.append(f"{where} is longer than {MAX_NAME} characters")
        if name != name.strip():
            problems.append(f"{where} has leading or trailing blanks")
    return keys


def check_text(name, line, entries, keys, problems):
    values = {key: (value, number) for key, value, number in entries}
    for key in keys:
        if key not in values:
            problems.append(f"line {line}: [{name}] has no value for language {key}")
    for key, (value, number) in values.items():
        if key not in keys:
            problems.append(f"line {number}: [{name}] key {key!r} is not a listed language")
            continue
        check_value(f"line {number}: [{name}] {key}", value, problems)
        if conversions(value) is None:
            problems.append(f"line {number}: [{name}] {key}: stray '%' (write '%%' for a percent sign)")
    if ENGLISH in values and conversions(values[ENGLISH][0]) is not None:
        wanted = conversions(values[ENGLISH][0])
        for key, (value, number) in values.items():
            got = conversions(value)
            if key != ENGLISH and got is not None and got != wanted:
                problems.append(f"line {number}: [{name}] {key} has conversions {got}, English has {wanted}")


def build(source_text):
    """Returns the resource bytes; raises SourceError listing every problem."""
    sections = parse(source_text.splitlines())
    if not sections or sections[0][0] != GLOBAL:
        raise SourceError(f"the first section must be [{GLOBAL}]")
    problems = []
    keys = check_languages(sections[0][2], problems)
    if keys:
        for name, line, entries in sections[1:]:
            if not re.fullmatch(r"IDS_\w+", name):
                problems.append(f"line {line}: section [{name}] is not a text id (IDS_...)")
            check_text(name, line, entries, keys, problems)
    if problems:
        raise SourceError("\n".join(problems))

    out = []
    for name, _, entries in sections:
        if out:
            out.append("")
        out.append(f"[{name}]")
        out.extend(f"{key}={value}" for key, value, _ in entries)
    return ("\ufeff" + "\r\n".join(out) + "\r\n").encode("utf-16-le")


def main(argv):
    if len(argv) != 3:
        print("usage: gen_texts.py SOURCE.ini OUTPUT.ini", file=sys.stderr)
        return 2
    source, target = argv[1], argv[2]
    try:
        with open(source, encoding="utf-8-sig") as f:
            data = build(f.read())
    except (SourceError, UnicodeDecodeError) as error:
        for problem in str(error).splitlines():
            print(f"{source}: {problem}", file=sys.stderr)
        return 1
    with open(target, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
