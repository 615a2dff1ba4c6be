#!/usr/bin/env python3
"""Download test server: HEAD and GET with single byte ranges, plus faults.

Start:  download_server.py --port 0 [--root DIR]
The first stdout line is "LISTENING 127.0.0.1:<port>".

Content
  /gen/<size>[.ext]      <size> pseudo-random bytes, the same for every request
                         of that size (seeded by the size), kept in memory.
  /files/<name>          a file below --root (no "..", no sub-folders).
  /info/<content path>   JSON {"size": n, "md5": "..."} of that content.
  /stats?id=<id>         JSON counters of one test id: requests, head, get,
                         bytes (body bytes sent), statuses {code: count},
                         max_concurrent, get_starts (first byte of each GET).
  /reset?id=<id>         forgets the counters and once-only faults of an id.

Fault injection is chosen per request by query parameters on the content URL,
so every test picks its own faults; stateful faults ("the first N times") are
counted per test id, given as id=<id> (default "default"):
  noranges=1             no "Accept-Ranges"; ranges ignored, always 200 + whole file
  ignore_range=1         "Accept-Ranges" sent, but ranges answered with 200 + whole file
  wrong_range=1          ranges above 0 answered 206 with the bytes and
                         Content-Range of offset 0
  wrong_range_times=<k>  ... only the first k such ranges (default: all)
  ignore_range_times=<k> with ignore_range=1: only the first k range requests
                         get the 200 (default: all)
  chunked=1              no Content-Length, chunked body (HEAD has no length either)
  redirect=1             302 to the same URL without the redirect parameter
  redirect_to=<url>      302 to that URL
  status=<code>          every request answered with that status (e.g. 404)
  rate=<bytes/s>         per-connection rate cap for the body
  maxconn=<n>            at most n GETs of this id at once; 503 beyond
  fail503_start=<pos>    GETs whose range starts at pos get 503 ...
  fail503_times=<k>      ... the first k times (default 1)
  drop_after=<bytes>     close the connection after that many body bytes ...
  drop_start=<pos>       ... only for GETs whose range starts at pos (default: any)
  drop_times=<k>         ... the first k times (default 1)
  stall_after=<bytes>    after that many body bytes stop sending ...
  stall=<seconds>        ... for that long (then close)
  drop_random=<percent>  each GET is cut, with that chance, after a random
                         number of body bytes (offset different per connection)
  drop_random_times=<k>  ... at most k times for the id (default: no limit)
  seed=<n>               seed of those random choices (with the id and the
                         number of the GET, so a run is repeatable)
  burst503=<k>           requests (HEAD and GET) of the id come in cycles of
  burst503_gap=<g>       k answered 503 followed by g served (default g=k);
  burst503_offset=<o>    the cycle is shifted by o requests (default 0)
"""
import argparse
import hashlib
import json
import os
import random
import re
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlencode, urlsplit

CHUNK = 256 * 1024

_lock = threading.Lock()
_generated = {}
_digests = {}
_stats = {}
_once = {}
ROOT = None


def generated(size):
    with _lock:
        data = _generated.get(size)
        if data is None:
            data = random.Random(size).randbytes(size)
            _generated[size] = data
        return data


def content_for(path):
    """Bytes (or a file path) of a content path, or None."""
    m = re.fullmatch(r"/gen/(\d+)(\.[A-Za-z0-9]+)?", path)
    if m:
        size = int(m.group(1))
        if size > 2 * 1024 ** 3:
            return None
        return generated(size)
    m = re.fullmatch(r"/files/([A-Za-z0-9_.-]+)", path)
    if m and ROOT and m.group(1) not in (".", ".."):
        full = os.path.join(ROOT, m.group(1))
        if os.path.isfile(full):
            return full
    return None


def content_size(content):
    return len(content) if isinstance(content, (bytes, bytearray)) else os.path.getsize(content)


def digest_of(path, content):
    with _lock:
        if path in _digests:
            return _digests[path]
    h = hashlib.md5()
    if isinstance(content, (bytes, bytearray)):
        h.update(content)
    else:
        with open(content, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
    with _lock:
        _digests[path] = h.hexdigest()
    return _digests[path]


def stats_for(test_id):
    s = _stats.get(test_id)
    if s is None:
        s = {"requests": 0, "head": 0, "get": 0, "bytes": 0, "statuses": {},
             "concurrent": 0, "max_concurrent": 0, "get_starts": [], "drops": []}
        _stats[test_id] = s
    return s


def in_503_burst(p, request_number):
    burst = int(p.get("burst503", "0"))
    if burst <= 0:
        return False
    gap = int(p.get("burst503_gap", str(burst)))
    position = (request_number + int(p.get("burst503_offset", "0"))) % (burst + gap)
    return position < burst


def random_drop(test_id, p, get_number, length):
    """The body offset after which this GET is cut, or -1."""
    percent = float(p.get("drop_random", "0"))
    if percent <= 0 or length <= 0:
        return -1
    chooser = random.Random(f"{p.get('seed', '0')}:{test_id}:{get_number}")
    if chooser.random() * 100 >= percent:
        return -1
    times = int(p.get("drop_random_times", "-1"))
    if times >= 0 and not take_once(test_id, "drop_random", times):
        return -1
    return chooser.randrange(length)


def take_once(test_id, key, times):
    """True for the first `times` calls with this key for this id."""
    with _lock:
        used = _once.get((test_id, key), 0)
        if used >= times:
            return False
        _once[(test_id, key)] = used + 1
        return True


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "GnetTestServer/1.0"

    def log_message(self, fmt, *args):
        pass

    # --- helpers -------------------------------------------------------
    def params(self):
        query = parse_qs(urlsplit(self.path).query)
        return {k: v[-1] for k, v in query.items()}

    def count(self, test_id, status):
        with _lock:
            s = stats_for(test_id)
            s["statuses"][str(status)] = s["statuses"].get(str(status), 0) + 1

    def simple(self, status, body=b"", ctype="text/plain", extra=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.close_connection = True

    def parse_range(self, size):
        header = self.headers.get("Range")
        if not header:
            return None
        m = re.fullmatch(r"\s*bytes=(\d*)-(\d*)\s*", header)
        if not m or (m.group(1) == "" and m.group(2) == ""):
            return "bad"
        if m.group(1) == "":
            length = int(m.group(2))
            return (max(0, size - length), size - 1)
        first = int(m.group(1))
        last = int(m.group(2)) if m.group(2) else size - 1
        last = min(last, size - 1)
        if first > last:
            return "bad"
        return (first, last)

    # --- verbs ---------------------------------------------------------
    def do_HEAD(self):
        self.handle_request()

    def do_GET(self):
        self.handle_request()

    def handle_request(self):
        path = urlsplit(self.path).path
        p = self.params()
        test_id = p.get("id", "default")
        if path == "/stats":
            with _lock:
                body = json.dumps(stats_for(test_id)).encode()
            return self.simple(200, body, "application/json")
        if path == "/reset":
            with _lock:
                _stats.pop(test_id, None)
                for key in [k for k in _once if k[0] == test_id]:
                    del _once[key]
            return self.simple(200, b"ok")
        if path.startswith("/info/"):
            content = content_for(path[len("/info"):])
            if content is None:
                return self.simple(404, b"no such content")
            body = json.dumps({"size": content_size(content),
                               "md5": digest_of(path[len("/info"):], content)}).encode()
            return self.simple(200, body, "application/json")

        with _lock:
            s = stats_for(test_id)
            s["requests"] += 1
            s["head" if self.command == "HEAD" else "get"] += 1
            request_number = s["requests"] - 1
            self.get_number = s["get"] - 1
        if in_503_burst(p, request_number):
            self.count(test_id, 503)
            return self.simple(503, b"busy, try later\n")
        if "status" in p:
            code = int(p["status"])
            self.count(test_id, code)
            return self.simple(code, b"injected status\n")
        if "redirect_to" in p or p.get("redirect") == "1":
            target = p.get("redirect_to")
            if target is None:
                rest = {k: v for k, v in p.items() if k != "redirect"}
                target = path + ("?" + urlencode(rest) if rest else "")
            self.count(test_id, 302)
            return self.simple(302, b"moved\n", extra={"Location": target})
        content = content_for(path)
        if content is None:
            self.count(test_id, 404)
            return self.simple(404, b"not found\n")
        if self.command == "HEAD":
            return self.send_content(test_id, p, content, None)
        return self.guarded_get(test_id, p, content)

    def guarded_get(self, test_id, p, content):
        maxconn = int(p.get("maxconn", "0"))
        with _lock:
            s = stats_for(test_id)
            if maxconn and s["concurrent"] >= maxconn:
                refused = True
            else:
                refused = False
                s["concurrent"] += 1
                s["max_concurrent"] = max(s["max_concurrent"], s["concurrent"])
        if refused:
            self.count(test_id, 503)
            return self.simple(503, b"busy\n")
        try:
            self.send_content(test_id, p, content, self.headers.get("Range"))
        finally:
            with _lock:
                stats_for(test_id)["concurrent"] -= 1

    def send_content(self, test_id, p, content, _range_header):
        size = content_size(content)
        ranges_ok = p.get("noranges") != "1"
        honour_range = ranges_ok
        if ranges_ok and p.get("ignore_range") == "1":
            times = int(p.get("ignore_range_times", "-1"))
            honour_range = times >= 0 and not (self.command == "GET" and self.headers.get("Range") and
                                               take_once(test_id, "ignore_range", times))
        rng = self.parse_range(size) if honour_range else None
        if rng == "bad":
            self.count(test_id, 416)
            return self.simple(416, b"", extra={"Content-Range": f"bytes */{size}"})
        first, last = rng if rng else (0, size - 1)
        if self.command == "GET":
            with _lock:
                stats_for(test_id)["get_starts"].append(first)
            start = int(p.get("fail503_start", "-1"))
            if start == first and take_once(test_id, "503", int(p.get("fail503_times", "1"))):
                self.count(test_id, 503)
                return self.simple(503, b"try later\n")
        status = 206 if rng else 200
        data_first = first
        if rng and first > 0 and p.get("wrong_range") == "1":
            times = int(p.get("wrong_range_times", "-1"))
            if times < 0 or (self.command == "GET" and take_once(test_id, "wrong_range", times)):
                data_first = 0
        length = last - first + 1
        chunked = p.get("chunked") == "1"
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if ranges_ok:
            self.send_header("Accept-Ranges", "bytes")
        if rng:
            self.send_header("Content-Range", f"bytes {data_first}-{data_first + length - 1}/{size}")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        self.count(test_id, status)
        if self.command == "HEAD":
            return
        self.stream(test_id, p, content, data_first, length, chunked)

    def stream(self, test_id, p, content, offset, length, chunked):
        rate = int(p.get("rate", "0"))
        drop_after = int(p.get("drop_after", "-1"))
        if drop_after >= 0:
            drop_start = int(p.get("drop_start", "-1"))
            if (drop_start >= 0 and drop_start != offset) or \
                    not take_once(test_id, f"drop{drop_start}", int(p.get("drop_times", "1"))):
                drop_after = -1
        if drop_after < 0:
            drop_after = random_drop(test_id, p, getattr(self, "get_number", 0), length)
            if drop_after >= 0:
                with _lock:
                    stats_for(test_id)["drops"].append([offset, drop_after])
        stall_after = int(p.get("stall_after", "-1"))
        stall = float(p.get("stall", "0"))
        source = None if isinstance(content, (bytes, bytearray)) else open(content, "rb")
        view = memoryview(content) if source is None else None
        sent = 0
        began = time.monotonic()
        try:
            if source:
                source.seek(offset)
            while sent < length:
                n = min(CHUNK, length - sent)
                if rate:
                    n = min(n, max(1024, rate // 50))
                if drop_after >= 0:
                    n = min(n, drop_after - sent)
                    if n <= 0:
                        break
                if stall_after >= 0 and sent >= stall_after:
                    time.sleep(stall)
                    break
                if stall_after >= 0:
                    n = min(n, stall_after - sent) or n
                block = view[offset + sent:offset + sent + n] if view is not None else source.read(n)
                if chunked:
                    self.wfile.write(b"%x\r\n" % len(block) + bytes(block) + b"\r\n")
                else:
                    self.wfile.write(block)
                sent += n
                with _lock:
                    stats_for(test_id)["bytes"] += n
                if rate:
                    ahead = sent / rate - (time.monotonic() - began)
                    if ahead > 0:
                        time.sleep(ahead)
            else:
                if chunked:
                    self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError, socket.timeout):
            pass
        finally:
            if source:
                source.close()
        if sent < length:
            # Cut the connection hard so the client sees a short transfer.
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


class Server(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128
    allow_reuse_address = True


def main():
    global ROOT
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--root", default=None)
    args = parser.parse_args()
    ROOT = args.root
    server = Server(("127.0.0.1", args.port), Handler)
    print(f"LISTENING 127.0.0.1:{server.server_address[1]}", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
