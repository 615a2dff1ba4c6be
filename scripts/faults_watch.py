"""Watchers for the fault matrix: the report folder (every ".dat" ever seen,
by name), the Windows processes of the matrix's own Wine prefix, and the
report queue kept in the prefix's registry file."""
import ctypes
import os
import re
import select
import struct
import threading
import time

IN_CREATE = 0x00000100
IN_MOVED_TO = 0x00000080
IN_CLOSE_WRITE = 0x00000008
IN_NONBLOCK = 0o4000
EVENT_HEAD = struct.Struct("iIII")


class ReportFolderWatch:
    """Records the name of every ".dat" package that appears in the folder.

    Packages may be uploaded and deleted within milliseconds, so the folder is
    watched with inotify (a rename from ".tmp" is a move into the folder) and,
    as a second net, listed every few milliseconds."""

    def __init__(self, folder, list_interval=0.02):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.lock = threading.Lock()
        self.seen = {}  # name -> label current when first seen
        self.label = None
        self.list_interval = list_interval
        self.stopping = threading.Event()
        self.inotify_fd = self._start_inotify()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _start_inotify(self):
        try:
            libc = ctypes.CDLL("libc.so.6", use_errno=True)
            fd = libc.inotify_init1(IN_NONBLOCK)
            if fd < 0:
                return None
            if libc.inotify_add_watch(fd, self.folder.encode(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE) < 0:
                os.close(fd)
                return None
            return fd
        except OSError:
            return None

    def set_label(self, label):
        with self.lock:
            self.label = label

    def _note(self, name):
        if not name.lower().endswith(".dat"):
            return
        with self.lock:
            self.seen.setdefault(name, self.label)

    def _read_events(self):
        try:
            data = os.read(self.inotify_fd, 65536)
        except BlockingIOError:
            return
        at = 0
        while at + EVENT_HEAD.size <= len(data):
            _wd, _mask, _cookie, length = EVENT_HEAD.unpack_from(data, at)
            raw = data[at + EVENT_HEAD.size:at + EVENT_HEAD.size + length]
            at += EVENT_HEAD.size + length
            self._note(raw.split(b"\0", 1)[0].decode("utf-8", "replace"))

    def _list(self):
        try:
            for name in os.listdir(self.folder):
                self._note(name)
        except OSError:
            pass

    def _run(self):
        while not self.stopping.is_set():
            if self.inotify_fd is not None:
                ready, _, _ = select.select([self.inotify_fd], [], [], self.list_interval)
                if ready:
                    self._read_events()
            else:
                time.sleep(self.list_interval)
            self._list()

    def names(self, label=None):
        with self.lock:
            return {n for n, l in self.seen.items() if label is None or l == label}

    def files_now(self):
        try:
            return sorted(os.listdir(self.folder))
        except OSError:
            return []

    def stop(self):
        self.stopping.set()
        self.thread.join(timeout=5)
        if self.inotify_fd is not None:
            os.close(self.inotify_fd)
            self.inotify_fd = None


def prefix_processes(prefix):
    """(pid, command line) of every Linux process running in this Wine prefix."""
    wanted = b"WINEPREFIX=" + os.path.abspath(prefix).encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
        except OSError:
            continue
        if wanted in environ:
            found.append((int(entry), cmdline))
    return found


def end_processes(prefix, needles, signal_number=9):
    """Ends (by process id) the processes of the prefix whose command line names
    one of the needles. Returns the command lines of those ended."""
    ended = []
    for pid, cmdline in prefix_processes(prefix):
        if any(n.lower() in cmdline.lower() for n in needles):
            try:
                os.kill(pid, signal_number)
                ended.append(cmdline)
            except ProcessLookupError:
                pass
    return ended


def queue_entries(prefix):
    """Values left under the report queue keys (Processing and Temp) of the
    prefix's machine registry file; read it after the wineserver has ended."""
    path = os.path.join(prefix, "system.reg")
    counts = {"Processing": 0, "Temp": 0}
    try:
        text = open(path, encoding="utf-8", errors="replace").read()
    except OSError:
        return counts
    section = None
    for line in text.splitlines():
        if line.startswith("["):
            match = re.match(r"\[(?:.*\\\\)?Nuvex_Drp_pos\\\\DRP\\\\(Processing|Temp)\]", line)
            section = match.group(1) if match else None
        elif section and line.startswith('"'):
            counts[section] += 1
    return counts
