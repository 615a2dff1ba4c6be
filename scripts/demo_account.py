"""The account make demo gives of each run: a few facts, the report items the
statistics server received (item, meaning, value) and the screenshots taken,
printed as text and written as build/demo/index.html."""
import html
import json
import os
import subprocess

# What each report item means, in the words a release engineer reads the table in.
ITEM_MEANINGS = {
    "0x02000001": "channel of the upload",
    "0x0200000B": "report marker",
    "0x04001B5A": "silent run",
    "0x04001B5C": "partner channel",
    "0x04001B5D": "downloads started",
    "0x04001B5E": "average speed (KiB/s)",
    "0x04001B5F": "package server address",
    "0x04001B60": "failure code",
    "0x04001B61": "channels used",
    "0x04001B62": "download time (s)",
    "0x04001B63": "started by",
    "0x04001B64": "version offered",
    "0x04001B67": "package request",
    "0x04001B68": "user agent",
    "0x04001B69": "package digest (computed)",
    "0x04001B6A": "package size (bytes)",
    "0x04001B6B": "package digest (manifest)",
    "0x04001B6C": "package size (manifest)",
    "0x04001B6D": "manifest check value",
    "0x04001B6E": "manifest check value (computed)",
    "0x04001B6F": "manifest request",
    "0x04001B70": "installation identity",
    "0x0500232D": "download started",
    "0x0500232E": "download succeeded",
    "0x05002330": "installer started",
    "0x05002332": "product already running",
    "0x05002333": "window created",
    "0x05002334": "licence opened",
    "0x05002335": "help-us cleared",
    "0x05002336": "help-us set",
    "0x05002338": "Install pressed",
    "0x05002339": "custom panel opened",
    "0x0500233A": "report after creation",
    "0x0500233B": "folder chosen",
    "0x0500233C": "Close on a failure page",
    "0x0500233D": "Retry pressed",
    "0x0500233E": "ended before the download finished",
    "0x0500233F": "download sequence started",
    "0x05002340": "tray Exit",
    "0x05002341": "installer succeeded",
    "0x05002347": "signed package accepted",
}
LONGEST_VALUE = 72


def say(text):
    print(f"demo: {text}", flush=True)


def decode_packages(rpdump, uploads, stem):
    """The report packages of one program copy (named `stem`), decoded by rpdump."""
    packages = []
    for upload in uploads:
        if upload.get("kind") != "package" or not upload.get("ok"):
            continue
        if not upload.get("filename", "").startswith(f"rpFile-{stem}-"):
            continue
        dump = subprocess.run([rpdump, upload["path"]], capture_output=True, text=True)
        if dump.returncode != 0:
            say(f"rpdump refused {upload['filename']}: {dump.stderr.strip()}")
            continue
        packages.append(json.loads(dump.stdout))
    return packages


def item_rows(packages):
    """(item, meaning, value) per item over all packages: counters are added
    up, other values listed once each in the order they came."""
    counters, values = {}, {}
    for doc in packages:
        for key, count in doc.get("counters", {}).items():
            counters[key] = counters.get(key, 0) + count
        for key, value in doc.get("values", {}).items():
            values.setdefault(key, []).append(value)
        for key, entry in doc.get("lists", {}).items():
            values.setdefault(key, []).extend(entry.get("values", []))
    rows = []
    for key in sorted(set(counters) | set(values)):
        if key in counters:
            shown = f"{counters[key]} time(s)"
        else:
            unique = list(dict.fromkeys(str(v) for v in values[key]))
            shown = ", ".join(unique)
        if len(shown) > LONGEST_VALUE:
            shown = shown[:LONGEST_VALUE - 3] + "..."
        rows.append((key, ITEM_MEANINGS.get(key, "?"), shown))
    return rows


class Account:
    """What one run did, told as it happens and kept for the page."""

    def __init__(self, title):
        self.title = title
        self.facts = []
        self.rows = []
        self.shots = []
        say(f"--- {title} ---")

    def fact(self, label, value):
        self.facts.append((label, str(value)))
        say(f"{label}: {value}")

    def shot(self, path, caption):
        self.shots.append((os.path.basename(path), caption))
        say(f"screenshot {path}: {caption}")

    def report(self, rows, packages):
        self.rows = rows
        say(f"the statistics server received {packages} report package(s) from this run:")
        width = max([len(meaning) for _, meaning, _ in rows] + [7])
        print(f"    {'item':<10}  {'meaning':<{width}}  value")
        for key, meaning, value in rows:
            print(f"    {key:<10}  {meaning:<{width}}  {value}")

    def value(self, key):
        """The value shown for a report item, or None."""
        return next((value for item, _, value in self.rows if item == key), None)


def write_page(path, accounts):
    """index.html: each run's facts, report table and screenshots, in order."""
    e = html.escape
    parts = ["<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
             "<title>MiniSetup demo</title>",
             "<style>body{font-family:sans-serif;margin:2em;max-width:60em}"
             "table{border-collapse:collapse;margin:.5em 0 1.5em}"
             "td,th{border:1px solid #bbb;padding:.2em .6em;text-align:left;vertical-align:top}"
             "code{font-size:90%}figure{margin:1em 0}img{border:1px solid #888}</style>",
             "</head><body>", "<h1>MiniSetup demo</h1>",
             "<p>Each run below was made under Wine against local test servers on 127.0.0.1.</p>"]
    for account in accounts:
        parts.append(f"<h2>{e(account.title)}</h2>")
        if account.facts:
            parts.append("<table>")
            parts += [f"<tr><th>{e(label)}</th><td><code>{e(value)}</code></td></tr>"
                      for label, value in account.facts]
            parts.append("</table>")
        if account.rows:
            parts.append("<h3>Report items received</h3><table><tr><th>item</th><th>meaning</th><th>value</th></tr>")
            parts += [f"<tr><td><code>{e(key)}</code></td><td>{e(meaning)}</td><td><code>{e(value)}</code></td></tr>"
                      for key, meaning, value in account.rows]
            parts.append("</table>")
        for name, caption in account.shots:
            parts.append(f'<figure><img src="{e(name)}" alt="{e(caption)}"><figcaption>{e(name)}: {e(caption)}'
                         "</figcaption></figure>")
    parts.append("</body></html>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(parts) + "\n")
