#!/usr/bin/env python3
"""Statistics test server: receives report uploads on 127.0.0.1.

Start:  stats_server.py --port 0 [--store DIR]
First stdout line: "LISTENING 127.0.0.1:<port>".

Uploads (any POST whose path does not start with "/_"):
  * multipart/form-data: must be exactly one file field "ufile01" laid out as
        --B CRLF
        Content-Disposition: form-data; name="ufile01"; filename="<name>" CRLF
        Content-Type: application/octet-stream CRLF CRLF
        <package bytes> CRLF
        --B-- CRLF
    where B is the boundary of the Content-Type header ("------" and 32 hex
    digits), <name> a bare "rpFile-*.dat" file name, and the request carries
    "Cache-Control: no-cache". A request of another shape is answered 400 and
    recorded with "ok": false and the reason.
  * anything else (a raw entry's body) is recorded as kind "raw".
  Every received body is stored under the store folder (a temporary folder
  by default) and listed by /_received.

How tests steer the answer (plain GET requests):
  GET /_control?answer=MODE[&delay=S][&down_for=S]
      MODE is 200 (default), 500, 400 (or any other status number),
      "close" (read the request, then drop the connection without answering)
      or "down" (stop listening for down_for seconds, default 3, then listen
      again on the same port and answer 200). delay waits S seconds before
      answering each upload. for=S (not with "down") lets the mode last S
      seconds, then the server answers 200 again by itself.
  An upload address may also carry "?answer=MODE" to override the mode for
  that request alone.
  GET /_received      JSON list: index, kind, filename, size, ok, error,
                      answer, path (the stored copy)
  GET /_received/N    the bytes of upload N
  GET /_reset         forget every upload; mode back to 200, no delay
  GET /_tls           starts (once) a TLS listener on 127.0.0.1 with a fresh
                      self-signed certificate (made with the openssl command)
                      and answers JSON: port, connections (TCP connections
                      accepted), handshakes (TLS handshakes completed) and
                      requests (HTTP requests read over TLS; each answered 200).
                      A client that checks certificates completes no handshake.
"""
import argparse
import http.server
import json
import os
import re
import shutil
import signal
import socket
import socketserver
import sys
import tempfile
import threading
import time
import urllib.parse

BOUNDARY_RE = re.compile(r"^------([0-9a-f]{32}|FB3B405B7EAE495aB0C0295C54D4E096)$")
FILENAME_RE = re.compile(r"^rpFile-[^\\/\"]*\.dat$")


class State:
    def __init__(self, store):
        self.lock = threading.Lock()
        self.store = store
        self.received = []
        self.answer = "200"
        self.delay = 0.0
        self.down_until = 0.0
        self.answer_until = 0.0
        self.stopped_listening = threading.Event()
        self.tls = None

    def record(self, entry, body):
        with self.lock:
            entry["index"] = len(self.received)
            name = entry.get("filename") or "body.bin"
            path = os.path.join(self.store, f"{entry['index']:04d}-{os.path.basename(name)}")
            with open(path, "wb") as f:
                f.write(body)
            entry["path"] = path
            self.received.append(entry)


def check_multipart(content_type, cache_control, body):
    """Returns (filename, package bytes, error text or None)."""
    match = re.fullmatch(r"multipart/form-data; boundary=(\S+)", content_type or "")
    if not match:
        return None, b"", f"bad content type {content_type!r}"
    boundary = match.group(1)
    if not BOUNDARY_RE.match(boundary):
        return None, b"", f"bad boundary {boundary!r}"
    if (cache_control or "").lower() != "no-cache":
        return None, b"", "missing Cache-Control: no-cache"
    b = boundary.encode("ascii")
    head_re = re.compile(
        rb'--' + re.escape(b) + rb'\r\nContent-Disposition: form-data; name="([^"]*)"; filename="([^"]*)"\r\n'
        rb'Content-Type: ([^\r\n]*)\r\n\r\n')
    head = head_re.match(body)
    if not head:
        return None, b"", "part head does not match"
    field, filename, mime = (g.decode("latin-1") for g in head.groups())
    if field != "ufile01":
        return None, b"", f"field name {field!r}"
    if not FILENAME_RE.match(filename):
        return None, b"", f"file name {filename!r}"
    if mime != "application/octet-stream":
        return filename, b"", f"content type of the file {mime!r}"
    closing = b"\r\n--" + b + b"--\r\n"
    if not body.endswith(closing):
        return filename, b"", "closing boundary missing"
    return filename, body[head.end():len(body) - len(closing)], None


class TlsListener:
    """A bare HTTPS endpoint that only counts what reaches it."""

    def __init__(self, folder):
        import ssl
        import subprocess
        cert, key = os.path.join(folder, "tls-cert.pem"), os.path.join(folder, "tls-key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(cert, key)
        self.lock = threading.Lock()
        self.counts = {"connections": 0, "handshakes": 0, "requests": 0}
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.port = self.socket.getsockname()[1]
        threading.Thread(target=self.accept_loop, daemon=True).start()

    def count(self, name):
        with self.lock:
            self.counts[name] += 1

    def accept_loop(self):
        while True:
            connection, _ = self.socket.accept()
            self.count("connections")
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    def serve(self, connection):
        connection.settimeout(10)
        try:
            with self.context.wrap_socket(connection, server_side=True) as tls:
                self.count("handshakes")
                data = b""
                while b"\r\n\r\n" not in data:
                    chunk = tls.recv(4096)
                    if not chunk:
                        return
                    data += chunk
                self.count("requests")
                tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        except (OSError, ValueError):
            pass
        finally:
            connection.close()

    def report(self):
        with self.lock:
            return dict(self.counts, port=self.port)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def send_bytes(self, status, body, content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        # No kept-alive connections: a client's next request must reach the
        # listener, so "down" really refuses it.
        self.send_header("Connection", "close")
        self.close_connection = True
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        state = self.server.state
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if url.path == "/_control":
            with state.lock:
                state.answer = query.get("answer", state.answer)
                state.delay = float(query.get("delay", state.delay))
                going_down = state.answer == "down"
                state.answer_until = time.time() + float(query["for"]) if "for" in query and not going_down else 0.0
                if going_down:
                    state.down_until = time.time() + float(query.get("down_for", "3"))
                    state.answer = "200"
            if going_down:
                # Answer only once the listener is closed, so the caller's
                # next connection is refused.
                state.stopped_listening.wait(5)
            return self.send_bytes(200, b"ok", "text/plain")
        if url.path == "/_reset":
            with state.lock:
                state.received.clear()
                state.answer, state.delay, state.answer_until = "200", 0.0, 0.0
            return self.send_bytes(200, b"ok", "text/plain")
        if url.path == "/_tls":
            with state.lock:
                if state.tls is None:
                    try:
                        state.tls = TlsListener(state.store)
                    except Exception as error:  # no openssl, no TLS test: it must fail
                        return self.send_bytes(500, f"no TLS listener: {error}".encode(), "text/plain")
                tls = state.tls
            return self.send_bytes(200, json.dumps(tls.report()).encode(), "application/json")
        if url.path == "/_received":
            with state.lock:
                listing = json.dumps(state.received).encode()
            return self.send_bytes(200, listing, "application/json")
        match = re.fullmatch(r"/_received/(\d+)", url.path)
        if match:
            with state.lock:
                index = int(match.group(1))
                path = state.received[index]["path"] if index < len(state.received) else None
            if path is None:
                return self.send_bytes(404, b"no such upload", "text/plain")
            with open(path, "rb") as f:
                return self.send_bytes(200, f.read())
        self.send_bytes(404, b"not found", "text/plain")

    def do_POST(self):
        state = self.server.state
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else b""
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        with state.lock:
            if state.answer_until and time.time() >= state.answer_until:
                state.answer, state.answer_until = "200", 0.0
            answer = query.get("answer", state.answer)
            delay = state.delay
        content_type = self.headers.get("Content-Type", "")
        entry = {"kind": "raw", "path_requested": self.path, "answer": answer,
                 "user_agent": self.headers.get("User-Agent", ""), "ok": True, "error": None}
        payload = body
        if content_type.startswith("multipart/"):
            filename, payload, error = check_multipart(content_type, self.headers.get("Cache-Control"), body)
            entry.update(kind="package", filename=filename, ok=error is None, error=error)
            if error:
                payload = body
        entry["size"] = len(payload)
        state.record(entry, payload)
        if delay:
            time.sleep(delay)
        if not entry["ok"]:
            return self.send_bytes(400, entry["error"].encode(), "text/plain")
        if answer == "close":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        status = int(answer) if answer.isdigit() else 200
        self.send_bytes(status, b"received", "text/plain")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def relisten(self):
        self.socket = socket.socket(self.address_family, self.socket_type)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.socket.bind(self.server_address)
        self.socket.listen(16)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--store", default=None)
    args, _unknown = parser.parse_known_args()
    store = args.store or tempfile.mkdtemp(prefix="minisetup-stats-")
    os.makedirs(store, exist_ok=True)
    if not args.store:
        # The stored copies of a private folder go when the server is stopped.
        def stop(_signum, _frame):
            shutil.rmtree(store, ignore_errors=True)
            os._exit(0)
        signal.signal(signal.SIGTERM, stop)
        signal.signal(signal.SIGINT, stop)
    server = Server(("127.0.0.1", args.port), Handler)
    server.state = State(store)
    server.timeout = 0.1
    host, port = server.server_address
    print(f"LISTENING {host}:{port}", flush=True)
    while True:
        with server.state.lock:
            down_for = server.state.down_until - time.time()
        if down_for > 0:
            server.socket.close()
            server.state.stopped_listening.set()
            time.sleep(down_for)
            server.state.stopped_listening.clear()
            with server.state.lock:
                server.state.down_until = 0.0
            server.relisten()
        server.handle_request()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
