#!/usr/bin/env python3
"""Whole silent runs of MiniSetup under Wine against local servers, one outcome
per run: the manifest and the package come from the download test server, the
reports go to the statistics test server and are read back with rpdump.

  program_flow_test.py --outcome NAME --wine-run ... --program ... --minitool ...
                       --rpdump ... --installer DemoInstaller.exe
                       --digest setupflow_manifest_digest.exe --objcopy ...

The script starts both servers itself (on 127.0.0.1, dynamic ports) and stops
them, and ends the program it started whatever happens. A run that must retry
for ever (a silent run retries failed downloads every three seconds) is ended
by the script once the report items of its first attempt have arrived.

The module is also used by scripts/demo.py."""
import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(HERE)
sys.path.insert(0, TESTS)
from processes import end_process  # noqa: E402
from run_with_server import start_server  # noqa: E402
from stamping import stamp_local  # noqa: E402

sys.path.insert(0, HERE)
from add_full_section import add_full_section  # noqa: E402

PACKAGE_NAME = "BriskoSetup"
VERSION = "3.6.9.9"
PASS_THROUGH = "/extra one"
# DemoInstaller writes the command line it received to the file this names.
CMDLINE_ENV = "MINISETUP_DEMO_COMMANDLINE_FILE"
FAIL_SWITCH = "/demo-fail"
INSTALL_MARKER = "brisko_installed.txt"
# DemoInstaller's failure code, as a Linux parent sees the Windows exit code:
# only its low eight bits come through Wine.
FAILURE_EXIT_STATUS = 1603 & 0xFF


def cmdline_pattern(extra=()):
    passed = "".join(re.escape(f'"{a}" ') for a in (PASS_THROUGH, *extra))
    return (r"/S /POLICY /SetUpdateFileMapping=MiniInstallHwnd /LANG=\d+ /bHelpUs=0 " + passed +
            r"/D=C:\\Program Files( \(x86\))?\\Nuvex Security\\Brisko")

# Items by outcome: present (with an expected value or a check), absent.
ALWAYS_AFTER_MANIFEST = ["0x04001B6F"]
PACKAGE_ITEMS = ["0x04001B64", "0x04001B6D", "0x04001B6B", "0x04001B6C", "0x04001B68", "0x04001B67",
                 "0x04001B69", "0x04001B6A", "0x04001B61", "0x04001B62", "0x04001B6E", "0x04001B5F"]


def say(text):
    print(f"program_flow: {text}", flush=True)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Servers:
    def __init__(self, root, stats=True):
        self.root = root
        self.procs = []
        proc, self.download = start_server("download", ["--root", root])
        self.procs.append(proc)
        if stats:
            proc, self.stats = start_server("stats", [])
            self.procs.append(proc)

    @classmethod
    def download_only(cls, root):
        return cls(root, stats=False)

    def crash_download(self):
        """Ends the download server at once; its address then refuses connections."""
        proc = self.procs.pop(0)
        proc.kill()
        proc.wait()

    def start_download_again(self):
        """Starts the download server again on the address it had."""
        port = self.download.rsplit(":", 1)[1]
        proc, address = start_server("download", ["--root", self.root, "--port", port])
        self.procs.insert(0, proc)
        if address != self.download:
            raise SystemExit(f"FAIL: the download server came back on {address}, not {self.download}")

    def stop(self):
        for proc in self.procs:
            end_process(proc, grace=5)
        self.procs = []

    def files_url(self, name):
        return f"http://{self.download}/files/{name}"

    def received(self):
        with urllib.request.urlopen(f"http://{self.stats}/_received", timeout=10) as answer:
            return json.load(answer)


# Each run's copy has its own name, which its report package files carry: a
# package left over by an earlier run in the same prefix is told apart.
RUN_NAME = f"MiniSetup-{os.getpid()}{int(time.time()) % 100000}"


def stamped_copy(minitool, program, stats, folder, name=RUN_NAME + ".exe"):
    return stamp_local(minitool, program, os.path.join(folder, name), report=stats)

def manifest_text(fields, list_md5):
    f = fields
    return ('<?xml version="1.0" encoding="utf-8"?>\r\n'
            f'<update_info product="brisko" md5="{list_md5}">\r\n'
            f'  <item name="{f["name"]}" version="{f["version"]}" type="full" mode="1" '
            f'require_admin="{f["require_admin"]}" parameter="" size="{f["size"]}" md5="{f["md5"]}" '
            f'url="{f["url"]}" thread="{f.get("thread", "3")}" promotion_policy="" policy_md5=""/>\r\n'
            '</update_info>\r\n')


def write_manifest(args, root, name, fields, wrong_digest=False):
    draft = os.path.join(root, name + ".draft")
    with open(draft, "w", encoding="utf-8", newline="") as f:
        f.write(manifest_text(fields, ""))
    out = subprocess.run([args.wine_run, args.digest, windows_path(draft)], capture_output=True, text=True,
                         timeout=120)
    os.remove(draft)
    digest = out.stdout.strip().splitlines()[-1] if out.stdout.strip() else ""
    if out.returncode != 0 or not re.fullmatch(r"[0-9a-f]{32}", digest):
        raise SystemExit(f"FAIL: manifest digest helper: rc={out.returncode} {out.stdout!r} {out.stderr!r}")
    if wrong_digest:
        digest = "0" * 31 + ("1" if digest[-1] != "1" else "2")
    with open(os.path.join(root, name), "w", encoding="utf-8", newline="") as f:
        f.write(manifest_text(fields, digest))
    return digest


def install_markers(args):
    """Where DemoInstaller's marker lands when the install folder gets the
    version subfolder: Program Files (x86) on 64-bit Windows, else Program Files."""
    prefix = os.environ.get("MINISETUP_WINEPREFIX") or os.path.join(
        os.path.dirname(os.path.abspath(args.wine_run)), "wineprefix")
    return [os.path.join(prefix, "drive_c", folder, "Nuvex Security", "Brisko", VERSION, INSTALL_MARKER)
            for folder in ("Program Files (x86)", "Program Files")]


def package_fields(servers, package_path, md5=None, require_admin="no"):
    data = open(package_path, "rb").read()
    return {"name": PACKAGE_NAME, "version": VERSION, "require_admin": require_admin, "size": str(len(data)),
            "md5": md5 or hashlib.md5(data).hexdigest(), "url": servers.files_url(os.path.basename(package_path))}


def run_program(args, copy, manifest_url, cmdline_file, until=None, timeout=180, extra=(), during=None):
    """Runs the copy silently. With `until`, ends it once until() holds; `during`
    is called at every look at the running program."""
    env = dict(os.environ)
    env[CMDLINE_ENV] = windows_path(cmdline_file)
    command = [args.wine_run, copy, "/S", PASS_THROUGH, *extra, f"/newverurl={manifest_url}"]
    proc = subprocess.Popen(command, env=env, start_new_session=True)
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            rc = proc.poll()
            if rc is not None:
                return rc
            if until and until():
                return None
            if during:
                during()
            time.sleep(0.5)
        raise SystemExit(f"FAIL: the program did not end within {timeout} s")
    finally:
        end_process(proc)


def collect_items(args, servers):
    """Every item of every package uploaded so far: id -> list of values."""
    items = {}
    for upload in servers.received():
        if upload["kind"] != "package" or not upload["ok"]:
            continue
        if not upload.get("filename", "").startswith(f"rpFile-{RUN_NAME}-"):
            continue
        dump = subprocess.run([args.rpdump, upload["path"]], capture_output=True, text=True)
        if dump.returncode != 0:
            raise SystemExit(f"FAIL: rpdump: {dump.stderr}")
        doc = json.loads(dump.stdout)
        for key, entry in doc["lists"].items():
            items.setdefault(key, []).extend(entry["values"])
        for key, value in doc["values"].items():
            items.setdefault(key, []).append(value)
        for key, value in doc["counters"].items():
            items.setdefault(key, []).append(value)
    return items


def has_items(args, servers, wanted):
    def check():
        try:
            items = collect_items(args, servers)
        except (OSError, ValueError):
            return False
        return all(wanted_value is None and key in items or wanted_value in items.get(key, [])
                   for key, wanted_value in wanted)
    return check


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, text):
        if not condition:
            self.failures.append(text)

    def done(self, outcome):
        for failure in self.failures:
            print(f"FAIL: {outcome}: {failure}")
        if not self.failures:
            say(f"{outcome}: passed")
        return 1 if self.failures else 0


def read_cmdline(path):
    if not os.path.exists(path):
        return None
    raw = open(path, "rb").read()
    for encoding in ("utf-8", "utf-16"):
        try:
            text = raw.decode(encoding) if not raw.startswith(b"\xef\xbb\xbf") else raw[3:].decode("utf-8")
            if "/S " in text:
                return text.strip("\r\n\x00 \ufeff")
        except UnicodeDecodeError:
            continue
    return raw.decode("latin-1")


def arguments_of(cmdline):
    """The switches after the program path, if the installer wrote its whole command line."""
    index = cmdline.find("/S /POLICY")
    return cmdline[index:] if index >= 0 else cmdline


def check_items(checks, items, present, absent):
    for key, expected in present.items():
        values = items.get(key)
        checks.expect(values, f"item {key} not uploaded")
        if values and expected is not None:
            checks.expect(any(expected(v) if callable(expected) else v == expected for v in values),
                          f"item {key} holds {values}, expected {expected if not callable(expected) else 'a match'}")
    for key in absent:
        checks.expect(key not in items, f"item {key} uploaded ({items.get(key)}) but must not be")


def outcome_success(args, servers, work, root, require_admin="no", fail=False):
    package = os.path.join(root, "package.exe")
    shutil.copyfile(args.installer, package)
    fields = package_fields(servers, package, require_admin=require_admin)
    list_md5 = write_manifest(args, root, "ok.xml", fields)
    copy = stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    extra = (FAIL_SWITCH,) if fail else ()
    for marker in install_markers(args):
        if os.path.exists(marker):
            os.remove(marker)
    rc = run_program(args, copy, servers.files_url("ok.xml"), cmdline_file, extra=extra)
    checks = Checks()
    cmdline = read_cmdline(cmdline_file)
    checks.expect(cmdline is not None, "the installer did not run (no command line file)")
    if cmdline is not None:
        switches = arguments_of(cmdline)
        checks.expect(re.fullmatch(cmdline_pattern(extra) + r"\\3\.6\.9\.9", switches),
                      f"installer command line {switches!r}")
    if fail:
        checks.expect(rc == FAILURE_EXIT_STATUS,
                      f"exit code {rc}: the installer's failure code 1603 must come through ({FAILURE_EXIT_STATUS})")
    else:
        checks.expect(rc == 0, f"exit code {rc}, expected the installer's 0")
        checks.expect(any(os.path.exists(m) for m in install_markers(args)),
                      f"nothing was installed into the version subfolder {VERSION}")
    time.sleep(1)
    items = collect_items(args, servers)
    digest = fields["md5"]
    present = {
        "0x04001B6F": lambda v: v.startswith(servers.files_url("ok.xml") + "?userid=%7B"),
        "0x04001B6E": list_md5, "0x04001B6D": list_md5, "0x04001B64": VERSION, "0x04001B6B": digest,
        "0x04001B6C": fields["size"], "0x04001B69": digest, "0x04001B6A": fields["size"],
        "0x04001B67": lambda v: v.startswith(fields["url"] + "?userid=%7B"),
        "0x04001B68": lambda v: v.startswith("MiniSetup"),
        "0x04001B61": lambda v: isinstance(v, int) and v >= 1, "0x04001B62": lambda v: isinstance(v, int) and v >= 0,
        "0x04001B5F": "127.0.0.1", "0x05002330": 1, "0x0500232D": 1, "0x0500232E": 1,
        "0x05002333": 1, "0x04001B5D": 1, "0x04001B5E": lambda v: isinstance(v, int) and v >= 0,
    }
    if not fail:
        present["0x05002341"] = 1
    check_items(checks, items, present, ["0x04001B60", "0x05002347"])
    return checks.done("success" if not fail else "installer failure")


def outcome_manifest_problem(args, servers, work, root, kind):
    """10006 (unreadable), 10007 (wrong digest), 10001 (download failed)."""
    package = os.path.join(root, "package.exe")
    shutil.copyfile(args.installer, package)
    fields = package_fields(servers, package)
    if kind == 10006:
        with open(os.path.join(root, "bad.xml"), "w") as f:
            f.write("<update_info md5='x'><item name='a' ")
        url = servers.files_url("bad.xml")
    elif kind == 10007:
        write_manifest(args, root, "bad.xml", fields, wrong_digest=True)
        url = servers.files_url("bad.xml")
    else:
        url = f"http://{servers.download}/files/missing.xml"
    copy = stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    wanted = [("0x04001B60", kind)] if kind != 10001 else [("0x04001B60", None)]
    rc = run_program(args, copy, url, cmdline_file, until=has_items(args, servers, wanted), timeout=400)
    checks = Checks()
    checks.expect(rc is None, f"a silent run retries a failed download; it ended with {rc}")
    checks.expect(not os.path.exists(cmdline_file), "the installer ran")
    items = collect_items(args, servers)
    failure = items.get("0x04001B60", [])
    if kind == 10001:
        checks.expect(failure and all(20000 <= v < 30000 for v in failure), f"0x04001B60 holds {failure}")
    else:
        checks.expect(kind in failure, f"0x04001B60 holds {failure}")
    present = {"0x04001B6F": lambda v: v.startswith(url + "?userid=%7B")}
    if kind == 10007:
        present["0x04001B6E"] = lambda v: re.fullmatch(r"[0-9a-f]{32}", v) is not None
    check_items(checks, items, present, ["0x04001B67", "0x04001B69", "0x05002330"])
    return checks.done(f"manifest {kind}")


def outcome_mismatch(args, servers, work, root):
    """The package differs from the manifest's digest and carries no signature: 10014."""
    package = os.path.join(root, "package.exe")
    shutil.copyfile(args.installer, package)
    served_md5 = hashlib.md5(open(package, "rb").read()).hexdigest()
    fields = package_fields(servers, package, md5="0123456789abcdef0123456789abcdef")
    write_manifest(args, root, "ok.xml", fields)
    copy = stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    rc = run_program(args, copy, servers.files_url("ok.xml"), cmdline_file,
                     until=has_items(args, servers, [("0x04001B60", 10008), ("0x04001B69", served_md5)]))
    checks = Checks()
    checks.expect(rc is None, f"a silent run retries after a rejected package; it ended with {rc}")
    checks.expect(not os.path.exists(cmdline_file), "a package that failed its check was started")
    items = collect_items(args, servers)
    check_items(checks, items, {"0x04001B69": served_md5, "0x04001B6B": fields["md5"], "0x04001B60": 10008},
                ["0x05002330", "0x05002347"])
    return checks.done("package mismatch")


SIGNING_CONFIG = """[req]
distinguished_name=dn
[dn]
[root]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
[signer]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
"""


def sign_copy(work, source, target):
    """Signs a copy of the program with a test signer made for this run."""
    config = os.path.join(work, "signing.cnf")
    with open(config, "w") as f:
        f.write(SIGNING_CONFIG)
    key, cert = os.path.join(work, "root.key"), os.path.join(work, "root.pem")
    skey, csr, scert = (os.path.join(work, n) for n in ("signer.key", "signer.csr", "signer.pem"))
    quiet = {"check": True, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=MiniSetup Test Root", "-config", config, "-extensions", "root"], **quiet)
    subprocess.run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", skey, "-out", csr,
                    "-subj", "/CN=Nuvex Test Signer", "-config", config], **quiet)
    subprocess.run(["openssl", "x509", "-req", "-in", csr, "-CA", cert, "-CAkey", key, "-CAcreateserial",
                    "-out", scert, "-days", "2", "-extfile", config, "-extensions", "signer"], **quiet)
    subprocess.run(["osslsigncode", "sign", "-certs", scert, "-key", skey, "-in", source, "-out", target], **quiet)


def outcome_signed(args, servers, work, root, tampered=False):
    """The package differs from the manifest's digest but carries a valid
    signature: 10015, started anyway. A signed file changed after signing: 10014."""
    package = os.path.join(root, "package.exe")
    sign_copy(work, args.installer, package)
    if tampered:
        data = bytearray(open(package, "rb").read())
        data[0x400] ^= 0xFF  # inside the code, covered by the signature
        open(package, "wb").write(bytes(data))
    served_md5 = hashlib.md5(open(package, "rb").read()).hexdigest()
    fields = package_fields(servers, package, md5="0123456789abcdef0123456789abcdef")
    write_manifest(args, root, "ok.xml", fields)
    copy = stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    until = has_items(args, servers, [("0x04001B60", 10008), ("0x04001B69", served_md5)]) if tampered else None
    rc = run_program(args, copy, servers.files_url("ok.xml"), cmdline_file, until=until)
    checks = Checks()
    items_wait = time.monotonic() + 10
    while not tampered and time.monotonic() < items_wait and "0x05002347" not in collect_items(args, servers):
        time.sleep(0.5)
    items = collect_items(args, servers)
    if tampered:
        checks.expect(rc is None, f"a silent run retries after a rejected package; it ended with {rc}")
        checks.expect(not os.path.exists(cmdline_file), "a package with a broken signature was started")
        check_items(checks, items, {"0x04001B60": 10008, "0x04001B69": served_md5}, ["0x05002347", "0x05002330"])
        return checks.done("package with a broken signature")
    checks.expect(rc == 0, f"exit code {rc}, expected the installer's 0")
    cmdline = read_cmdline(cmdline_file)
    checks.expect(cmdline is not None and re.fullmatch(cmdline_pattern() + r"\\3\.6\.9\.9", arguments_of(cmdline)),
                  f"installer command line {cmdline!r}")
    check_items(checks, items, {"0x04001B60": 10008, "0x05002347": 1, "0x05002330": 1, "0x04001B69": served_md5},
                [])
    return checks.done("signed package")


def outcome_builtin(args, servers, work, root):
    """A package carried in a "full" section is started without any download."""
    copy = stamped_copy(args.minitool, args.program, servers.stats, work, name="plain.exe")
    carrier = os.path.join(work, RUN_NAME + ".exe")
    add_full_section(args.objcopy, copy, args.installer, carrier)
    cmdline_file = os.path.join(work, "cmdline.txt")
    rc = run_program(args, carrier, f"http://{servers.download}/files/never.xml", cmdline_file)
    checks = Checks()
    checks.expect(rc == 0, f"exit code {rc}, expected the installer's 0")
    cmdline = read_cmdline(cmdline_file)
    checks.expect(cmdline is not None and re.fullmatch(cmdline_pattern(), arguments_of(cmdline)),
                  f"installer command line {cmdline!r}")
    time.sleep(1)
    items = collect_items(args, servers)
    check_items(checks, items, {"0x05002330": 1}, ["0x04001B6F", "0x04001B67", "0x04001B60"])
    return checks.done("built-in package")


def outcome_recovers(args, servers, work, root):
    """A silent run whose manifest fails its check retries every three seconds
    and installs as soon as the server has a sound manifest again."""
    package = os.path.join(root, "package.exe")
    shutil.copyfile(args.installer, package)
    fields = package_fields(servers, package)
    write_manifest(args, root, "ok.xml", fields)
    with open(os.path.join(root, "ok.xml"), "rb") as f:
        sound = f.read()
    write_manifest(args, root, "ok.xml", fields, wrong_digest=True)
    copy = stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    first_failure_seen = has_items(args, servers, [("0x04001B60", 10007)])
    mended = []

    def mend_once_it_failed():
        if not mended and first_failure_seen():
            with open(os.path.join(root, "ok.xml"), "wb") as f:
                f.write(sound)
            mended.append(time.monotonic())

    rc = run_program(args, copy, servers.files_url("ok.xml"), cmdline_file, timeout=300,
                     during=mend_once_it_failed)
    checks = Checks()
    checks.expect(mended, "the failure of the first attempt was never reported")
    checks.expect(rc == 0, f"exit code {rc}, expected the installer's 0 after the retry")
    cmdline = read_cmdline(cmdline_file)
    checks.expect(cmdline is not None and re.fullmatch(cmdline_pattern() + r"\\3\.6\.9\.9", arguments_of(cmdline)),
                  f"installer command line {cmdline!r}")
    time.sleep(1)
    items = collect_items(args, servers)
    starts = items.get("0x04001B5D", [])
    checks.expect(starts and max(starts) >= 2, f"start count 0x04001B5D holds {starts}, expected a second start")
    check_items(checks, items, {"0x04001B60": 10007, "0x0500232E": 1, "0x05002341": 1}, [])
    return checks.done("retry after a failed manifest")


def outcome_server_returns(args, servers, work, root):
    """A silent run whose package server is gone (every connection refused)
    fails its download, and its timer starts the whole sequence again three
    seconds later: once the server is back on its address, the run installs.
    The server comes back only after the failure was reported, so the install
    can only come from a new attempt."""
    package_root = os.path.join(work, "package-served")
    os.makedirs(package_root)
    package = os.path.join(package_root, "package.exe")
    shutil.copyfile(args.installer, package)
    package_server = Servers.download_only(package_root)
    fields = package_fields(package_server, package)
    write_manifest(args, root, "ok.xml", fields)
    package_server.crash_download()
    copy = stamped_copy(args.minitool, args.program, servers.stats, work)
    cmdline_file = os.path.join(work, "cmdline.txt")
    failure_reported = has_items(args, servers, [("0x04001B60", None)])
    began = time.monotonic()
    back = []

    def bring_back_once_the_failure_is_reported():
        if not back and failure_reported():
            package_server.start_download_again()
            back.append(time.monotonic())

    try:
        rc = run_program(args, copy, servers.files_url("ok.xml"), cmdline_file, timeout=450,
                         during=bring_back_once_the_failure_is_reported)
    finally:
        package_server.stop()
    checks = Checks()
    checks.expect(back, "the failed download was never reported")
    if back:
        say(f"failure reported {back[0] - began:.1f} s after the start; the server came back then and the run "
            f"ended {time.monotonic() - back[0]:.1f} s later")
    checks.expect(rc == 0, f"exit code {rc}, expected the installer's 0 once the server was back")
    cmdline = read_cmdline(cmdline_file)
    checks.expect(cmdline is not None and re.fullmatch(cmdline_pattern() + r"\\3\.6\.9\.9", arguments_of(cmdline)),
                  f"installer command line {cmdline!r}")
    checks.expect(any(os.path.exists(m) for m in install_markers(args)),
                  f"nothing was installed into the version subfolder {VERSION}")
    time.sleep(1)
    items = collect_items(args, servers)
    failures = items.get("0x04001B60", [])
    checks.expect(failures and all(20000 <= v < 30000 for v in failures),
                  f"0x04001B60 holds {failures}: the failed attempt must record its engine result")
    starts = items.get("0x04001B5D", [])
    checks.expect(starts and max(starts) >= 2, f"start count 0x04001B5D holds {starts}, expected a second start")
    check_items(checks, items, {"0x0500232E": 1, "0x05002330": 1, "0x05002341": 1}, [])
    return checks.done("package server gone and back")


OUTCOMES = {
    "retry-recovers": lambda a, s, w, r: outcome_recovers(a, s, w, r),
    "server-returns": lambda a, s, w, r: outcome_server_returns(a, s, w, r),
    "success": lambda a, s, w, r: outcome_success(a, s, w, r),
    "elevated": lambda a, s, w, r: outcome_success(a, s, w, r, require_admin="YES"),
    "installer-failure": lambda a, s, w, r: outcome_success(a, s, w, r, fail=True),
    "manifest-unreadable": lambda a, s, w, r: outcome_manifest_problem(a, s, w, r, 10006),
    "manifest-corrupt": lambda a, s, w, r: outcome_manifest_problem(a, s, w, r, 10007),
    "manifest-missing": lambda a, s, w, r: outcome_manifest_problem(a, s, w, r, 10001),
    "package-mismatch": lambda a, s, w, r: outcome_mismatch(a, s, w, r),
    "built-in": lambda a, s, w, r: outcome_builtin(a, s, w, r),
    "package-signed": lambda a, s, w, r: outcome_signed(a, s, w, r),
    "package-signed-tampered": lambda a, s, w, r: outcome_signed(a, s, w, r, tampered=True),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--outcome", required=True, choices=sorted(OUTCOMES))
    for name in ("wine-run", "program", "minitool", "rpdump", "installer", "digest", "objcopy"):
        parser.add_argument(f"--{name}", required=True)
    parser.add_argument("--work", help="folder for the run's files (a new temporary folder by default)")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix=f"flow-{args.outcome}-", dir=args.work)
    root = os.path.join(work, "served")
    os.makedirs(root)
    servers = Servers(root)
    try:
        return OUTCOMES[args.outcome](args, servers, work, root)
    finally:
        servers.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
