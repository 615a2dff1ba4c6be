"""The rows of the fault matrix: what each injects, and the table."""
import os
import random
import time

RATE = 400000  # bytes/s per connection where a fault must land mid-download
SLOW_SIZES = (1 << 20, 2 << 20)
FILLER = "faults-filler.bin"


class Row:
    def __init__(self, name, title, run, setup=None, teardown=None, weight=1.0):
        self.name, self.title, self.run, self.setup, self.teardown = name, title, run, setup, teardown
        self.weight = weight  # rough cost of a run, to share the rows out over the lanes


class RowResult:
    def __init__(self, row):
        self.row = row
        self.runs = 0
        self.installs = 0
        self.corrupted = 0
        self.recorded = 0
        self.delivered = 0
        self.lost = 0
        self.work_leftovers = 0
        self.report_leftovers = 0
        self.queue_left = 0
        self.slowest = 0.0
        self.hangs = 0
        self.strays = 0
        self.errors = 0
        self.notes = []
        self.skipped = ""


def merge(total, part):
    for field in ("runs", "installs", "corrupted", "recorded", "delivered", "lost", "work_leftovers",
                  "report_leftovers", "queue_left", "hangs", "strays", "errors"):
        setattr(total, field, getattr(total, field) + getattr(part, field))
    total.slowest = max(total.slowest, part.slowest)
    total.notes += part.notes
    total.skipped = total.skipped or part.skipped


# --- the rows --------------------------------------------------------------------
def run_drops(m, rid, rng):
    faults = {"drop_random": 50, "drop_random_times": rng.randint(1, 3), "seed": rng.randrange(1 << 30)}
    return m.one_run(rid, faults, rng)


def run_503(m, rid, rng):
    burst = rng.randint(1, 3)
    faults = {"burst503": burst, "burst503_gap": rng.randint(4, 8), "burst503_offset": rng.randrange(8)}
    return m.one_run(rid, faults, rng, manifest_faults=faults)


def run_restart(m, rid, rng):
    def restart(proc, plan, result):
        if m.wait_until(proc, lambda: m.download_bytes(rid) > 0):
            time.sleep(rng.uniform(0.0, 0.8))
            m.download.crash()
            time.sleep(rng.uniform(0.2, 2.0))
            m.download.start_again()
        return proc
    return m.one_run(rid, {"rate": RATE}, rng, during=restart, size_range=SLOW_SIZES)


def run_ranges(m, rid, rng):
    if rng.random() < 0.5:
        faults = {"wrong_range": 1, "wrong_range_times": rng.randint(1, 3)}
    else:
        faults = {"ignore_range": 1, "ignore_range_times": rng.randint(1, 3)}
    return m.one_run(rid, faults, rng)


KILL_MOMENTS = ("before", "download", "after", "install")


def run_kill(m, rid, rng):
    moment = rng.choice(KILL_MOMENTS)

    def kill_and_restart(proc, plan, result):
        if moment == "before":
            reached = not m.wait_until(proc, lambda: False, timeout=rng.uniform(0.1, 1.5)) and proc.poll() is None
        elif moment == "download":
            reached = m.wait_until(proc, lambda: m.download_bytes(rid) > 0)
            if reached:
                time.sleep(rng.uniform(0.0, 1.0))
        elif moment == "after":
            reached = m.wait_until(proc, lambda: m.download_bytes(rid) >= plan["size"])
        else:
            reached = m.wait_until(proc, lambda: any(os.path.exists(p) for p in plan["cmd_files"]))
        if not reached or proc.poll() is not None:
            result.note += f" ended before the kill ({moment});"
            return proc
        m.kill(proc)
        result.killed = True
        m.end_strays(result, grace=5.0)
        return m.launch(plan, "b")
    result = m.one_run(rid, {"rate": RATE}, rng, during=kill_and_restart, size_range=SLOW_SIZES)
    result.moment = moment
    return result


STATS_MODES = ("down", "500", "429", "close")


def run_stats(m, rid, rng):
    mode = rng.choice(STATS_MODES)
    lasting = round(rng.uniform(1.0, 10.0), 1)
    if mode == "down":
        m.stats.control(answer="down", down_for=lasting)
    else:
        m.stats.control(answer=mode, **{"for": lasting})
    return m.one_run(rid, {}, rng)


def setup_stats(m):
    m.stats.control(answer="200")


def teardown_stats(m):
    m.stats.control(answer="200")


def setup_disk(m):
    m.clear_work_folder()
    if not m.mount_tmpfs(160):
        return "no size-limited folder can be mounted on this machine"
    return ""


def run_disk(m, rid, rng):
    def fill(proc, plan, result):
        if not m.wait_until(proc, lambda: m.download_bytes(rid) > 0):
            return proc
        time.sleep(rng.uniform(0.0, 0.6))
        filler = os.path.join(m.temp_folder, FILLER)
        stat = os.statvfs(m.temp_folder)
        free = stat.f_bavail * stat.f_frsize
        leave = rng.randint(0, plan["size"] // 2)
        try:
            with open(filler, "wb") as f:
                os.posix_fallocate(f.fileno(), 0, max(0, free - leave))
        except OSError:
            pass
        held = rng.uniform(0.5, 4.0)
        m.wait_until(proc, lambda: False, timeout=held)
        os.remove(filler)
        return proc
    return m.one_run(rid, {"rate": RATE}, rng, during=fill, size_range=SLOW_SIZES)


def teardown_disk(m):
    m.wine.end_all()
    filler = os.path.join(m.temp_folder, FILLER)
    if os.path.exists(filler):
        os.remove(filler)
    if m.mounted:
        m.unmount()


ROWS = [
    Row("drops", "download: connections dropped at random offsets", run_drops, weight=2),
    Row("503", "download: bursts of 503", run_503, weight=3),
    Row("restart", "download: server restarts mid-download", run_restart, weight=3),
    Row("ranges", "download: range from a wrong offset / 200 to a range", run_ranges, weight=1.5),
    Row("kill", "MiniSetup killed at a random moment, started again", run_kill, weight=2.5),
    Row("stats", "statistics: down / 500 / 429 / drops, then back", run_stats, setup_stats, teardown_stats,
        weight=1.5),
    Row("disk", "work folder's disk fills part way, then frees", run_disk, setup_disk, teardown_disk, weight=2),
]


# --- running a part of a row on a lane ---------------------------------------------
def describe(run):
    detail = []
    if getattr(run, "moment", None):
        detail.append(f"kill {run.moment}{'' if run.killed else ' (missed)'}")
    if run.work_leftovers:
        detail.append(f"left {run.work_leftovers}")
    if run.strays:
        detail.append(f"ended {len(run.strays)} stray process(es)")
    if run.hung:
        detail.append("HUNG")
    if not run.installed:
        detail.append("NOT INSTALLED")
    if run.note and (not run.installed or run.corrupted):
        detail.append(run.note.strip())
    return "; ".join(detail)


def run_job(m, row, start, count, stop):
    from faults_watch import queue_entries
    result = RowResult(row)
    label = f"{row.name}-{start}"
    rng = random.Random(f"{m.args.seed}:{row.name}:{start}")
    m.watch.set_label(label)
    began = time.monotonic()
    m.say(f"row {row.name}, runs {start}..{start + count - 1}: {row.title}")
    try:
        if row.setup:
            result.skipped = row.setup(m) or ""
        if result.skipped:
            return result
        for index in range(start, start + count):
            if stop.is_set():
                break
            rid = f"{row.name}-{index}"
            result.runs += 1
            try:
                run = row.run(m, rid, rng)
            except Exception as error:  # a fault of the matrix itself, not of the product
                result.errors += 1
                m.say(f"  {rid}: the matrix failed: {error!r}")
                continue
            result.installs += run.installed
            result.corrupted += run.corrupted
            result.work_leftovers += len(run.work_leftovers)
            result.slowest = max(result.slowest, run.seconds)
            result.hangs += run.hung
            result.strays += len(run.strays)
            m.say(f"  {rid}: {run.seconds:.1f} s {describe(run)}")
    finally:
        if row.teardown:
            row.teardown(m)
    missing = m.deliver_rest(label, rng)
    names = m.watch.names(label)
    result.recorded = len(names)
    result.delivered = len(names) - len(missing)
    result.lost = len(missing)
    if missing:
        result.notes.append(f"not delivered: {sorted(missing)[:5]}")
    m.wine.end_all()
    leftovers = m.watch.files_now()
    result.report_leftovers = len(leftovers)
    if leftovers:
        result.notes.append(f"report folder holds {leftovers[:5]}")
    queue = queue_entries(m.wine.prefix)
    result.queue_left = queue["Processing"] + queue["Temp"]
    if result.queue_left:
        result.notes.append(f"queue entries left: {queue}")
    m.say(f"row {row.name}, runs {start}..{start + count - 1} took {time.monotonic() - began:.0f} s")
    return result


HEAD = ("row", "runs", "installs", "corrupted", "recorded", "delivered", "left tmp", "left rep", "slowest s")


def print_table(results, seed, runs, total):
    print()
    print(f"Fault matrix, seed {seed}, {runs} runs per row, {total / 60:.1f} minutes")
    widths = (62, 5, 9, 10, 9, 10, 9, 9, 10)
    line = "".join(h.ljust(w) if i == 0 else h.rjust(w) for i, (h, w) in enumerate(zip(HEAD, widths)))
    print(line)
    print("-" * len(line))
    failed = False
    for r in results:
        title = f"{r.row.name}: {r.row.title}"
        if r.skipped:
            print(f"{title.ljust(widths[0])}skipped: {r.skipped}")
            continue
        cells = (r.runs, r.installs, r.corrupted, r.recorded, r.delivered, r.work_leftovers,
                 r.report_leftovers + r.queue_left, f"{r.slowest:.1f}")
        print(title.ljust(widths[0]) + "".join(str(c).rjust(w) for c, w in zip(cells, widths[1:])))
        notes = list(r.notes)
        if r.hangs:
            notes.append(f"{r.hangs} run(s) did not end within the time limit")
        if r.strays:
            notes.append(f"{r.strays} process(es) outlived their run and were ended")
        if r.errors:
            notes.append(f"{r.errors} run(s) failed in the matrix itself")
        for note in notes:
            print(f"    {note}")
        failed |= r.corrupted > 0 or r.lost > 0 or r.hangs > 0 or r.installs < r.runs
    print()
    print("faults: " + ("FAILED: a corrupted result, a lost report, a hang or a run that did not install"
                        if failed else "no corrupted result, no lost report"))
    return 1 if failed else 0
