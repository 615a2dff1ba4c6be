"""Stamped copies of the program for whole-program tests: the settings text
the program carries, with its manifest and report addresses replaced by local
ones (minitool show / minitool stamp), so no test reaches the .example hosts."""
import os
import re
import subprocess

REPORT_PATH = "/cgi-bin-py/mini_install_statistic_info.cgi"
CLOSED_PORT_MANIFEST = "http://127.0.0.1:1/%snewver%s.xml"


def report_url(server):
    return f"http://{server}{REPORT_PATH}"


def stamp_local(minitool, program, copy, manifest_url=CLOSED_PORT_MANIFEST, report=None):
    """Writes `copy`: the program with the given manifest and report addresses
    (report: a statistics server's host:port or a whole URL). Returns `copy`."""
    url = report if report is None or report.startswith("http") else report_url(report)
    settings = subprocess.run([minitool, "show", program], capture_output=True, text=True, check=True).stdout
    replaced = {"VERSION_INFO_URL": manifest_url}
    if url is not None:
        replaced["ReportURLMini"] = url
    for key, value in replaced.items():
        settings, count = re.subn(rf"(?m)^{key}=.*$", lambda _: f"{key}={value}", settings)
        if count != 1:
            raise SystemExit(f"FAIL: the settings text has {count} {key} lines")
    text = copy + ".settings.txt"
    with open(text, "w", encoding="utf-8", newline="") as f:
        f.write(settings)
    try:
        subprocess.run([minitool, "stamp", program, text, copy], check=True)
    finally:
        os.remove(text)
    shown = subprocess.run([minitool, "show", copy], capture_output=True, text=True, check=True).stdout
    for key, value in replaced.items():
        if f"{key}={value}" not in shown:
            raise SystemExit(f"FAIL: the stamped copy does not carry {key}={value}")
    return copy
