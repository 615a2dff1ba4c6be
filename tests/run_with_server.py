#!/usr/bin/env python3
"""Starts one of the test servers on 127.0.0.1, runs a command, stops the server.

The server script (tests/servers/<name>_server.py) is started with --port 0 and
must print "LISTENING 127.0.0.1:<port>" as its first line. The address is
passed to the command as MINISETUP_<NAME>_SERVER (for example
MINISETUP_DOWNLOAD_SERVER=127.0.0.1:40123). The command's exit code is returned.
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def start_server(name, extra):
    script = os.path.join(HERE, "servers", f"{name}_server.py")
    proc = subprocess.Popen([sys.executable, script, "--port", "0", *extra],
                            stdout=subprocess.PIPE, text=True)
    line = proc.stdout.readline().strip()
    if not line.startswith("LISTENING "):
        proc.kill()
        raise SystemExit(f"run_with_server: {name} server did not start: {line!r}")
    return proc, line.split(" ", 1)[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", action="append", required=True,
                        help="server name; may be given more than once")
    parser.add_argument("--server-arg", action="append", default=[],
                        help="extra argument passed to every server")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    env = dict(os.environ)
    servers = []
    try:
        for name in args.server:
            proc, address = start_server(name, args.server_arg)
            servers.append(proc)
            env[f"MINISETUP_{name.upper()}_SERVER"] = address
        return subprocess.call(command, env=env)
    finally:
        for proc in servers:
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()


if __name__ == "__main__":
    sys.exit(main())
