"""The matrix's handles on the download and statistics test servers."""
import json
import os
import sys
import time
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests"))
from run_with_server import start_server, stop_server  # noqa: E402


def get_json(url, timeout=10):
    with urllib.request.urlopen(url, timeout=timeout) as answer:
        return json.load(answer)


class DownloadServer:
    def __init__(self, root):
        self.root = root
        self.proc, self.address = start_server("download", ["--root", root])
        self.port = int(self.address.rsplit(":", 1)[1])

    def stats(self, test_id):
        return get_json(f"http://{self.address}/stats?id={urllib.parse.quote(test_id)}", timeout=5)

    def crash(self):
        """Ends the server at once: every connection is cut."""
        if self.proc:
            self.proc.kill()
            self.proc.wait()
            self.proc = None

    def start_again(self):
        """Starts the server again on the same port."""
        self.proc, address = start_server("download", ["--root", self.root, "--port", str(self.port)])
        if address != self.address:
            stop_server(self.proc)
            raise RuntimeError(f"the download server came back on {address}, not {self.address}")

    def stop(self):
        if self.proc:
            stop_server(self.proc)
            self.proc = None


class StatsServer:
    def __init__(self, _folder):
        self.proc, self.address = start_server("stats", [])

    def control(self, **query):
        """Sets the answer mode; waits while the server is down on purpose."""
        url = f"http://{self.address}/_control?{urllib.parse.urlencode(query)}"
        for _ in range(60):
            try:
                with urllib.request.urlopen(url, timeout=15) as answer:
                    answer.read()
                return
            except OSError:
                time.sleep(0.5)
        raise RuntimeError(f"the statistics server does not answer {url}")

    def received(self):
        for _ in range(20):
            try:
                return get_json(f"http://{self.address}/_received")
            except OSError:  # down for a moment on purpose
                time.sleep(0.5)
        return get_json(f"http://{self.address}/_received")

    def delivered(self):
        """Names of the packages received whole and answered with 200."""
        return {r["filename"] for r in self.received()
                if r.get("kind") == "package" and r.get("ok") and str(r.get("answer")) == "200"}

    def stop(self):
        if self.proc:
            stop_server(self.proc)
            self.proc = None
