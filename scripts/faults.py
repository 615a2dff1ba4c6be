#!/usr/bin/env python3
"""The fault matrix (make faults): whole silent setups of a stamped MiniSetup
under Wine, against the download and statistics test servers, with faults
injected at random (seeded) moments. Prints one table row per kind of fault.

  faults.py --build BUILD [--seed N] [--runs N] [--rows a,b,...]

Every run starts the program with "/S" and "/demo-fast" (passed on to
DemoInstaller.exe) and a manifest of its own that names a package of its own
(DemoInstaller.exe with random bytes appended, so every run's package has
another digest). After each run the matrix checks:
  installed   the program ended with 0, DemoInstaller's marker file is in the
              install folder and the installer ran from this run's package;
  corrupted   DemoInstaller was started from a file whose MD5 differs from
              the package of its run (it writes the digest of its own image);
  recorded    every ".dat" report package that ever appeared in the report
              folder, by name (inotify plus a listing every 20 ms);
  delivered   those of them that the statistics server received and answered
              with 200; at the end of a row, once the server answers again, a
              clean run delivers what is still queued;
  leftovers   files in the work (temporary) folder after a run besides the
              manifest, its check copy and the package, and files in the
              report folder plus queue entries at the end of the row.
Everything the matrix starts (servers, Xvfb, Windows processes of its own Wine
prefixes, a tmpfs) it stops, whatever happens.

Most of a faulty run is spent waiting on the download engine's own retry
pauses (3 s and 10 s), so the rows' runs are shared out over a few lanes that
work side by side: each lane has its own Wine prefix, its own download and
statistics servers and its own stamped copy, so a fault of one lane (a server
restart, a statistics outage, a full disk) never touches another.
"""
import argparse
import hashlib
import os
import shutil
import signal
import subprocess
import sys
import queue
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.path.insert(0, HERE)
from faults_servers import DownloadServer, StatsServer  # noqa: E402
from stamping import stamp_local  # noqa: E402
from faults_watch import ReportFolderWatch, end_processes, prefix_processes  # noqa: E402

PACKAGE_NAME = "BriskoSetup"
VERSION = "3.6.9.9"
CMDLINE_ENV = "MINISETUP_DEMO_COMMANDLINE_FILE"
IMAGE_ENV = "MINISETUP_DEMO_IMAGE_FILE"
MARKER = "brisko_installed.txt"
RUN_TIMEOUT = 90
DEFAULT_RUNS = 30
COPY_NAME = "MiniSetupFaults"
# Files a finished run leaves in its work folder by design: the manifest and
# its check copy, the package, the resume records of the two downloads (kept
# with every block finished) and the engine's log folder, named after the
# program, with one log per process.
EXPECTED_WORK_FILES = {"config.xml", "config.xml_"}
ENGINE_LOG_PREFIX = "gnet_log_"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def md5_of(path):
    h = hashlib.md5()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


# --- build and Wine ----------------------------------------------------------
def choose_build(build):
    """The 32-bit build where Wine runs 32-bit programs, else BUILD/x64."""
    try:
        ok = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True, timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        ok = False
    if ok:
        return build
    x64 = os.path.join(build, "x64")
    say(f"this kernel cannot run 32-bit programs: the matrix uses the 64-bit build {x64}")
    if not os.path.isfile(os.path.join(x64, "CMakeCache.txt")):
        env = dict(os.environ, MINISETUP_ARCH="x86_64")
        subprocess.run([os.path.join(ROOT, "scripts", "bootstrap-deps")], env=env, check=True)
        subprocess.run(["cmake", "-S", ROOT, "-B", x64,
                        f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/cmake/toolchain-mingw64.cmake", "-DCMAKE_BUILD_TYPE=Release",
                        f"-DMINISETUP_DEPS_PREFIX={ROOT}/build/deps-x64/prefix"], check=True,
                       stdout=subprocess.DEVNULL)
    return x64


def build_targets(build):
    jobs = os.environ.get("JOBS", str(os.cpu_count() or 2))
    subprocess.run(["cmake", "--build", build, "-j", jobs, "--target", "MiniSetup", "DemoInstaller", "host_tools",
                    "setupflow_manifest_digest"],
                   check=True, stdout=subprocess.DEVNULL)


_print_lock = threading.Lock()


def say(text):
    with _print_lock:
        print(f"faults: {text}", flush=True)


class Display:
    """A private Xvfb for the matrix's Windows programs."""

    def __init__(self, folder):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                     stderr=open(os.path.join(folder, "xvfb.log"), "w"), start_new_session=True)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            self.stop()
            raise SystemExit("faults: Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Wine:
    def __init__(self, build, folder, display, copy_name):
        self.copy_name = copy_name
        self.wine_run = os.path.join(build, "wine-run")
        self.prefix = os.path.join(folder, "wineprefix")
        self.env = dict(os.environ, MINISETUP_WINEPREFIX=self.prefix, WINEPREFIX=self.prefix,
                        DISPLAY=display.name, WINEDEBUG="-all")
        subprocess.run([self.wine_run, "--host", "true"], env=self.env, check=True)
        self.drive_c = os.path.join(self.prefix, "drive_c")

    def start(self, program, args, extra_env):
        env = dict(self.env, **extra_env)
        return subprocess.Popen([self.wine_run, program, *args], env=env, start_new_session=True,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, program, args, timeout=120):
        return subprocess.run([self.wine_run, program, *args], env=self.env, capture_output=True, text=True,
                              timeout=timeout)

    def end_all(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)

    def ours(self):
        """Our Windows processes still running: the program and any installer."""
        needles = (self.copy_name.lower(), PACKAGE_NAME.lower())
        return [(pid, c) for pid, c in prefix_processes(self.prefix) if any(n in c.lower() for n in needles)]


# --- the manifest --------------------------------------------------------------
def manifest_text(name, size, md5, url, list_md5, thread):
    return ('<?xml version="1.0" encoding="utf-8"?>\r\n'
            f'<update_info product="brisko" md5="{list_md5}">\r\n'
            f'  <item name="{name}" version="{VERSION}" type="full" mode="1" require_admin="no" parameter="" '
            f'size="{size}" md5="{md5}" url="{url}" thread="{thread}" promotion_policy="" policy_md5=""/>\r\n'
            '</update_info>\r\n')


def check_copy_digest(name, size, md5, url, thread):
    """The digest the manifest's self-check computes: the document printed
    without indenting, behind an XML declaration and a byte-order mark, with an
    empty md5 attribute moved to the end."""
    def attr(value):
        return value.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")
    item = (f'<item name="{attr(name)}" version="{VERSION}" type="full" mode="1" require_admin="no" parameter="" '
            f'size="{size}" md5="{md5}" url="{attr(url)}" thread="{thread}" promotion_policy="" policy_md5=""/>')
    text = ('<?xml version="1.0" encoding="UTF-8" ?>' + '<update_info product="brisko" md5="">' + item +
            '</update_info>')
    return hashlib.md5(b"\xef\xbb\xbf" + text.encode("utf-8")).hexdigest()


# --- one run -------------------------------------------------------------------
class RunResult:
    def __init__(self):
        self.installed = False
        self.corrupted = 0
        self.launched = 0
        self.seconds = 0.0
        self.work_leftovers = []
        self.hung = False
        self.killed = False
        self.strays = []
        self.note = ""


class Lane:
    def __init__(self, args, build, folder, number, display):
        self.args = args
        self.build = build
        self.number = number
        self.folder = os.path.join(folder, f"lane{number}")
        self.copy_name = f"{COPY_NAME}{number}"
        self.served = os.path.join(self.folder, "served")
        self.state = os.path.join(self.folder, "runs")
        self.display = display
        self.wine = None
        self.download = None
        self.stats = None
        self.watch = None
        self.mounted = None
        self.installer_bytes = open(os.path.join(build, "bin", "DemoInstaller.exe"), "rb").read()

    # -- set-up and tear-down
    def say(self, text):
        say(f"[lane {self.number}] {text}")

    def start(self):
        for old in ("served", "runs"):
            shutil.rmtree(os.path.join(self.folder, old), ignore_errors=True)
        os.makedirs(self.served, exist_ok=True)
        os.makedirs(self.state, exist_ok=True)
        self.failed = False
        self.wine = Wine(self.build, self.folder, self.display, self.copy_name)
        self.download = DownloadServer(self.served)
        self.stats = StatsServer(os.path.join(self.folder, "stats"))
        self.copy = self.stamp()
        self.helper_digests = not self.digest_agrees()
        self.report_folder = os.path.join(self.wine.drive_c, "ProgramData", "Nuvex Security", "RpData")
        # Packages of an earlier matrix (its prefix is kept) are not this one's
        # to count; their queue entries go with the files' absence.
        shutil.rmtree(self.report_folder, ignore_errors=True)
        self.watch = ReportFolderWatch(self.report_folder)
        self.temp_folder = self.find_temp_folder()
        self.install_folders = [os.path.join(self.wine.drive_c, "Program Files", "Nuvex Security", "Brisko"),
                                os.path.join(self.wine.drive_c, "Program Files (x86)", "Nuvex Security", "Brisko")]

    def stop(self):
        if self.wine:
            for pid, cmdline in self.wine.ours():
                self.say(f"ending a left-over process {pid}: {cmdline}")
            end_processes(self.wine.prefix, (self.copy_name, PACKAGE_NAME))
            self.wine.end_all()
        if self.mounted:
            self.unmount()
        for part in (self.watch, self.download, self.stats):
            if part:
                try:
                    part.stop()
                except Exception:  # keep stopping the rest
                    traceback.print_exc()

    def stamp(self):
        minitool = os.path.join(self.build, "host", "bin", "minitool")
        program = os.path.join(self.build, "bin", "MiniSetup.exe")
        return stamp_local(minitool, program, os.path.join(self.folder, self.copy_name + ".exe"),
                           report=self.stats.address)

    def helper_digest(self, text):
        """The manifest digest as the program's own code computes it."""
        draft = os.path.join(self.folder, "manifest-draft.xml")
        with open(draft, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        out = self.wine.run(os.path.join(self.build, "bin", "setupflow_manifest_digest.exe"), [windows_path(draft)])
        os.remove(draft)
        lines = out.stdout.strip().splitlines()
        if out.returncode != 0 or not lines:
            raise SystemExit(f"faults: the manifest digest helper failed: {out.stdout!r} {out.stderr!r}")
        return lines[-1].strip()

    def digest_agrees(self):
        """Whether the matrix's own reckoning of the manifest digest matches the
        program's; if not, every manifest is digested by the helper (slower)."""
        url = f"http://{self.download.address}/files/pkg.exe?a=1&b=2&tail="
        mine = check_copy_digest(PACKAGE_NAME, 1234, "0" * 32, url, 3)
        theirs = self.helper_digest(manifest_text(PACKAGE_NAME, 1234, "0" * 32, url, "", 3))
        if mine != theirs:
            self.say("the manifest digest is reckoned by the helper program for every run")
        return mine == theirs

    def find_temp_folder(self):
        """The user's temporary folder of the prefix, where the program works."""
        users = os.path.join(self.wine.drive_c, "users")
        for user in sorted(os.listdir(users)):
            for candidate in (os.path.join(users, user, "AppData", "Local", "Temp"), os.path.join(users, user, "Temp")):
                if user != "Public" and os.path.isdir(candidate):
                    return candidate
        raise SystemExit("faults: the prefix has no user temporary folder")

    # -- the package and manifest of one run
    def prepare(self, rid, faults, rng, size_range=(1 << 20, 3 << 20), thread=3, manifest_faults=None):
        size = rng.randint(*size_range)
        package = self.installer_bytes + rng.randbytes(max(0, size - len(self.installer_bytes)))
        package_name = f"pkg-{rid}.exe"
        with open(os.path.join(self.served, package_name), "wb") as f:
            f.write(package)
        digest = hashlib.md5(package).hexdigest()
        query = "&".join(f"{k}={v}" for k, v in {**faults, "id": rid}.items())
        # The program appends its own query; the last parameter soaks it up.
        url = f"http://{self.download.address}/files/{package_name}?{query}&tail="
        if self.helper_digests:
            list_md5 = self.helper_digest(manifest_text(PACKAGE_NAME, len(package), digest, url, "", thread))
        else:
            list_md5 = check_copy_digest(PACKAGE_NAME, len(package), digest, url, thread)
        manifest_name = f"m-{rid}.xml"
        with open(os.path.join(self.served, manifest_name), "w", encoding="utf-8", newline="") as f:
            f.write(manifest_text(PACKAGE_NAME, len(package), digest, url, list_md5, thread))
        manifest_url = f"http://{self.download.address}/files/{manifest_name}"
        if manifest_faults:
            query = "&".join(f"{k}={v}" for k, v in {**manifest_faults, "id": rid + "-m"}.items())
            manifest_url += f"?{query}&tail="
        return {"rid": rid, "digest": digest, "size": len(package), "manifest": manifest_url, "package": url}

    def clear_work_folder(self):
        for name in os.listdir(self.temp_folder):
            path = os.path.join(self.temp_folder, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path, ignore_errors=True)
            else:
                try:
                    os.remove(path)
                except OSError:
                    pass

    def clear_markers(self):
        for folder in self.install_folders:
            marker = os.path.join(folder, VERSION, MARKER)
            if os.path.exists(marker):
                os.remove(marker)

    def marker_present(self):
        return any(os.path.exists(os.path.join(f, VERSION, MARKER)) for f in self.install_folders)

    def launch(self, plan, part):
        files = {CMDLINE_ENV: os.path.join(self.state, f"cmd-{plan['rid']}-{part}.txt"),
                 IMAGE_ENV: os.path.join(self.state, f"img-{plan['rid']}-{part}.txt")}
        for path in files.values():
            if os.path.exists(path):
                os.remove(path)
        plan.setdefault("image_files", []).append(files[IMAGE_ENV])
        plan.setdefault("cmd_files", []).append(files[CMDLINE_ENV])
        env = {k: windows_path(v) for k, v in files.items()}
        return self.wine.start(self.copy, ["/S", "/demo-fast", f"/newverurl={plan['manifest']}"], env)

    @staticmethod
    def wait(proc, timeout):
        try:
            return proc.wait(timeout=timeout), False
        except subprocess.TimeoutExpired:
            return None, True

    def kill(self, proc):
        """Ends the program at once, as a crash or a killed task would."""
        if proc.poll() is None:
            try:
                os.kill(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass

    def end_strays(self, result, grace=5.0):
        """Waits for installers that outlived their program, then ends by
        process id whatever is still running of ours."""
        deadline = time.monotonic() + grace
        while self.wine.ours() and time.monotonic() < deadline:
            time.sleep(0.1)
        for pid, cmdline in self.wine.ours():
            result.strays.append(cmdline)
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def judge(self, plan, result, rc):
        """Installed, corrupted and the work folder's leftovers of a finished run."""
        launched_names = set()
        for path in plan.get("image_files", []):
            if not os.path.exists(path):
                continue
            text = open(path, "rb").read().decode("utf-8", "replace").strip("\ufeff\r\n\0 ")
            digest, _, image = text.partition("|")
            result.launched += 1
            launched_names.add(image.replace("\\", "/").rsplit("/", 1)[-1].lower())
            if digest.lower() != plan["digest"]:
                result.corrupted += 1
                result.note += f" launched {image} with digest {digest}, expected {plan['digest']};"
        result.installed = rc == 0 and self.marker_present() and result.launched > 0 and result.corrupted == 0
        if rc == 0 and not result.installed:
            result.note += f" exit 0 but marker={self.marker_present()} launched={result.launched};"
        allowed = EXPECTED_WORK_FILES | launched_names | {
            hashlib.md5(url.encode("latin-1")).hexdigest() + ".gnet" for url in (plan["manifest"], plan["package"])}
        result.work_leftovers = []
        for name in os.listdir(self.temp_folder):
            path = os.path.join(self.temp_folder, name)
            if name == self.copy_name and os.path.isdir(path):
                result.work_leftovers += [f"{name}/{n}" for n in os.listdir(path)
                                          if not (n.startswith(ENGINE_LOG_PREFIX) and n.endswith(".txt"))]
            elif name.lower() not in allowed and name != "lost+found":
                result.work_leftovers.append(name)

    def one_run(self, rid, faults, rng, during=None, size_range=(1 << 20, 3 << 20), clear=True,
                manifest_faults=None):
        """One silent setup. `during(proc, plan, result)` injects the row's
        fault while the program runs and returns the process to wait for."""
        plan = self.prepare(rid, faults, rng, size_range, manifest_faults=manifest_faults)
        if clear:
            self.clear_work_folder()
        self.clear_markers()
        result = RunResult()
        began = time.monotonic()
        proc = self.launch(plan, "a")
        if during:
            proc = during(proc, plan, result)
        rc, hung = self.wait(proc, max(1.0, RUN_TIMEOUT - (time.monotonic() - began)))
        if hung:
            result.hung = True
            self.kill(proc)
        result.seconds = time.monotonic() - began
        self.end_strays(result)
        self.judge(plan, result, rc)
        if rc not in (0, None) and not result.installed:
            result.note += f" exit code {rc};"
        return result

    # -- waiting for servers
    def download_bytes(self, rid):
        return self.download.stats(rid).get("bytes", 0)

    def wait_until(self, proc, condition, timeout=RUN_TIMEOUT):
        """True when the condition held while the program still ran."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if proc.poll() is not None:
                return False
            try:
                if condition():
                    return True
            except OSError:
                pass
            time.sleep(0.03)
        return False

    # -- the report accounting of a row
    def deliver_rest(self, label, rng):
        """Once the statistics server answers again, a later clean run must
        deliver what is still queued. Returns the names not delivered."""
        missing = self.watch.names(label) - self.stats.delivered()
        if missing:
            self.one_run(f"{label}-deliver", {}, rng)
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline:
                missing = self.watch.names(label) - self.stats.delivered()
                if not missing:
                    break
                time.sleep(0.25)
        return missing

    def mount_tmpfs(self, size_mib):
        try:
            subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size_mib}m", "tmpfs", self.temp_folder],
                           check=True, capture_output=True)
        except (OSError, subprocess.CalledProcessError) as error:
            self.say(f"a size-limited folder cannot be mounted here ({error})")
            return False
        self.mounted = self.temp_folder
        return True

    def unmount(self):
        for attempt in range(10):
            if subprocess.run(["umount", self.mounted], capture_output=True).returncode == 0:
                break
            time.sleep(0.5)
        else:
            subprocess.run(["umount", "-l", self.mounted], capture_output=True)
        self.mounted = None


from faults_rows import ROWS, RowResult, run_job, merge, print_table  # noqa: E402


def jobs_of(rows, runs, lanes):
    """Each row's runs cut into parts, the costliest rows' parts first, so the
    lanes finish close together."""
    parts = max(1, min(runs, lanes - 1 if lanes > 2 else lanes))
    jobs = []
    for row in sorted(rows, key=lambda r: -r.weight):
        size, rest = divmod(runs, parts)
        start = 0
        for index in range(parts):
            count = size + (index < rest)
            if count:
                jobs.append((row, start, count))
            start += count
    return jobs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--runs", type=int, default=DEFAULT_RUNS)
    parser.add_argument("--lanes", type=int, default=4, help="setups run side by side, each in a prefix of its own")
    parser.add_argument("--rows", default="", help="comma-separated row names (default: all)")
    args = parser.parse_args()
    if args.seed is None:
        args.seed = int(time.time()) % 100000
    rows = [r for r in ROWS if not args.rows or r.name in args.rows.split(",")]
    if not rows:
        raise SystemExit(f"faults: no such row; rows are {', '.join(r.name for r in ROWS)}")
    build = choose_build(os.path.abspath(args.build))
    build_targets(build)
    folder = os.path.join(build, "faults")
    os.makedirs(folder, exist_ok=True)
    say(f"seed {args.seed}, {args.runs} runs per row, {args.lanes} lanes, rows: {', '.join(r.name for r in rows)}")
    jobs = queue.Queue()
    for job in jobs_of(rows, args.runs, args.lanes):
        jobs.put(job)
    results = {row.name: RowResult(row) for row in rows}
    results_lock = threading.Lock()
    stop = threading.Event()
    display = None
    lanes = []

    def work(lane):
        try:
            lane.start()
            while not stop.is_set():
                try:
                    row, start, count = jobs.get_nowait()
                except queue.Empty:
                    return
                part = run_job(lane, row, start, count, stop)
                with results_lock:
                    merge(results[row.name], part)
        except Exception:
            with _print_lock:
                traceback.print_exc()
            lane.failed = True

    def on_signal(_signum, _frame):
        stop.set()
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, on_signal)
    began = time.monotonic()
    failed = False
    try:
        display = Display(folder)
        lanes = [Lane(args, build, folder, n, display) for n in range(1, max(1, args.lanes) + 1)]
        threads = [threading.Thread(target=work, args=(lane,), daemon=True) for lane in lanes]
        for thread in threads:
            thread.start()
        for thread in threads:
            while thread.is_alive():
                thread.join(timeout=0.5)
        failed = any(getattr(lane, "failed", False) for lane in lanes) or not jobs.empty()
    except KeyboardInterrupt:
        stop.set()
        failed = True
        say("interrupted")
    finally:
        for lane in lanes:
            try:
                lane.stop()
            except Exception:
                traceback.print_exc()
        if display:
            display.stop()
    total = time.monotonic() - began
    rc = print_table([results[r.name] for r in rows], args.seed, args.runs, total)
    if failed:
        say("FAILED: the matrix did not run to its end")
    return 1 if failed else rc


if __name__ == "__main__":
    sys.exit(main())
