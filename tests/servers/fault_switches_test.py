#!/usr/bin/env python3
"""The fault switches of the test servers that the fault matrix relies on:
random drops per connection, 503 bursts, range faults limited to the first
times, and statistics faults that end by themselves. Starts its own servers
on 127.0.0.1 and stops them."""
import http.client
import json
import os
import sys
import time
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from run_with_server import start_server, stop_server  # noqa: E402

SIZE = 200000


class DownloadSwitches(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.proc, cls.address = start_server("download", [])

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.proc)

    def get(self, path, byte_range=None):
        host, port = self.address.rsplit(":", 1)
        connection = http.client.HTTPConnection(host, int(port), timeout=10)
        try:
            connection.request("GET", path, headers={"Range": byte_range} if byte_range else {})
            answer = connection.getresponse()
            try:
                body = answer.read()
            except http.client.IncompleteRead as cut:
                body = cut.partial
            return answer.status, body, answer.getheader("Content-Range")
        finally:
            connection.close()

    def stats(self, test_id):
        with urllib.request.urlopen(f"http://{self.address}/stats?id={test_id}", timeout=10) as answer:
            return json.load(answer)

    def test_random_drops_differ_per_connection_and_stop_after_their_count(self):
        whole = self.get(f"/gen/{SIZE}")[1]
        lengths = [len(self.get(f"/gen/{SIZE}?drop_random=100&drop_random_times=3&seed=7&id=rd")[1])
                   for _ in range(5)]
        self.assertEqual(len(set(lengths[:3])), 3, f"cut offsets {lengths[:3]} must differ per connection")
        self.assertTrue(all(n < SIZE for n in lengths[:3]), lengths)
        self.assertEqual(lengths[3:], [SIZE, SIZE], "after three drops every GET is whole")
        self.assertEqual([d[1] for d in self.stats("rd")["drops"]], lengths[:3])
        cut = self.get(f"/gen/{SIZE}?drop_random=100&drop_random_times=1&seed=7&id=rd2")[1]
        self.assertEqual(cut, whole[:len(cut)], "a cut body is a prefix of the content")

    def test_random_drops_repeat_with_the_same_seed(self):
        # The choice depends on the seed, the id and the number of the GET, so
        # the same id after a reset repeats it and another seed changes it.
        def pattern(seed):
            urllib.request.urlopen(f"http://{self.address}/reset?id=s", timeout=10).read()
            return [len(self.get(f"/gen/{SIZE}?drop_random=50&seed={seed}&id=s")[1]) for _ in range(8)]
        first = pattern(11)
        self.assertTrue(any(n < SIZE for n in first) and any(n == SIZE for n in first), first)
        self.assertEqual(pattern(11), first)
        self.assertNotEqual(pattern(12), first)

    def test_503_bursts_cycle(self):
        statuses = [self.get("/gen/1000?burst503=2&burst503_gap=3&burst503_offset=1&id=b")[0] for _ in range(10)]
        self.assertEqual(statuses, [503, 200, 200, 200, 503, 503, 200, 200, 200, 503])

    def test_range_faults_limited_to_the_first_times(self):
        cases = [  # query, answers expected for three requests of bytes 100-199
            ("wrong_range=1&wrong_range_times=2", [(206, "bytes 0-99/1000")] * 2 + [(206, "bytes 100-199/1000")]),
            ("ignore_range=1&ignore_range_times=1", [(200, None)] + [(206, "bytes 100-199/1000")] * 2),
            ("wrong_range=1", [(206, "bytes 0-99/1000")] * 3),  # unlimited, as before
            ("ignore_range=1", [(200, None)] * 3),
        ]
        whole = self.get("/gen/1000")[1]
        for number, (query, expected) in enumerate(cases):
            with self.subTest(query=query):
                answers = [self.get(f"/gen/1000?{query}&id=r{number}", "bytes=100-199") for _ in range(3)]
                self.assertEqual([(status, head) for status, _body, head in answers], expected)
                for status, body, head in answers:
                    first = int(head.split()[1].split("-")[0]) if head else 0
                    self.assertEqual(body, whole[first:first + len(body)], "the body matches its Content-Range")


class StatsSwitches(unittest.TestCase):
    def setUp(self):
        self.proc, self.address = start_server("stats", [])

    def tearDown(self):
        stop_server(self.proc)

    def post(self):
        request = urllib.request.Request(f"http://{self.address}/x", data=b"raw body", method="POST")
        try:
            with urllib.request.urlopen(request, timeout=10) as answer:
                return answer.status
        except urllib.error.HTTPError as error:
            return error.code

    def test_a_timed_fault_ends_by_itself(self):
        for mode in ("500", "429"):
            with self.subTest(mode=mode):
                urllib.request.urlopen(f"http://{self.address}/_control?answer={mode}&for=1", timeout=10).read()
                self.assertEqual(self.post(), int(mode))
                time.sleep(1.3)
                self.assertEqual(self.post(), 200)
        with urllib.request.urlopen(f"http://{self.address}/_received", timeout=10) as answer:
            self.assertEqual([r["answer"] for r in json.load(answer)], ["500", "200", "429", "200"])

    def test_a_fault_without_time_limit_stays(self):
        urllib.request.urlopen(f"http://{self.address}/_control?answer=500", timeout=10).read()
        time.sleep(1.2)
        self.assertEqual(self.post(), 500)


if __name__ == "__main__":
    unittest.main(verbosity=2)
