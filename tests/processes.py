"""Ending a process a test started, whatever the test's outcome."""
import subprocess


def end_process(proc, grace=10):
    """Asks `proc` to end (SIGTERM) unless it has ended, and kills it when it
    is still there after `grace` seconds."""
    if proc.poll() is None:
        proc.terminate()
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
