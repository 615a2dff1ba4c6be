#!/usr/bin/env python3
"""Starts one of the test servers on 127.0.0.1, runs a command, stops the server.

The server script (tests/servers/<name>_server.py) is started with --port 0 and
must print "LISTENING 127.0.0.1:<port>" as its first line. The address is
passed to the command as MINISETUP_<NAME>_SERVER (for example
MINISETUP_DOWNLOAD_SERVER=127.0.0.1:40123). The command's exit code is returned.

A server that does not start, does not announce itself within
STARTUP_SECONDS or does not accept a connection fails the test (exit code 1):
a test that needs a server never runs without one. The servers are stopped
whatever the outcome, also when this script is interrupted or terminated.
"""
import argparse
import os
import selectors
import signal
import socket
import subprocess
import sys
import time

from processes import end_process

STARTUP_SECONDS = 30

HERE = os.path.dirname(os.path.abspath(__file__))


class ServerFailed(Exception):
    pass


def first_line(proc, seconds):
    """The server's first output line, or None when it gives none in time."""
    selector = selectors.DefaultSelector()
    selector.register(proc.stdout, selectors.EVENT_READ)
    try:
        if not selector.select(timeout=seconds):
            return None
        return proc.stdout.readline().strip()
    finally:
        selector.close()


def accepts_connections(address, seconds):
    host, port = address.rsplit(":", 1)
    deadline = time.monotonic() + seconds
    while True:
        try:
            with socket.create_connection((host, int(port)), timeout=2):
                return True
        except OSError:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.1)


def start_server(name, extra):
    script = os.path.join(HERE, "servers", f"{name}_server.py")
    if not os.path.isfile(script):
        raise ServerFailed(f"no test server named {name!r} ({script})")
    proc = subprocess.Popen([sys.executable, script, "--port", "0", *extra],
                            stdout=subprocess.PIPE, text=True)
    line = first_line(proc, STARTUP_SECONDS)
    if not line or not line.startswith("LISTENING "):
        stop_server(proc)
        raise ServerFailed(f"{name} server did not start: {line!r}")
    address = line.split(" ", 1)[1]
    if not address.startswith("127.0.0.1:") or not accepts_connections(address, STARTUP_SECONDS):
        stop_server(proc)
        raise ServerFailed(f"{name} server announced {address} but does not accept connections there")
    return proc, address


def stop_server(proc):
    end_process(proc, grace=5)


def on_signal(signum, _frame):
    raise SystemExit(128 + signum)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", action="append", required=True,
                        help="server name; may be given more than once")
    parser.add_argument("--server-arg", action="append", default=[],
                        help="extra argument passed to every server")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command to run")
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    env = dict(os.environ)
    servers = []
    child = None
    try:
        for name in args.server:
            proc, address = start_server(name, args.server_arg)
            servers.append(proc)
            env[f"MINISETUP_{name.upper()}_SERVER"] = address
        child = subprocess.Popen(command, env=env)
        return child.wait()
    except ServerFailed as error:
        print(f"run_with_server: FAIL: {error}", file=sys.stderr)
        return 1
    finally:
        if child is not None and child.poll() is None:
            child.terminate()
            try:
                child.wait(timeout=15)
            except subprocess.TimeoutExpired:
                child.kill()
        for proc in servers:
            stop_server(proc)


if __name__ == "__main__":
    sys.exit(main())
