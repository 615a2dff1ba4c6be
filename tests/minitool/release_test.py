#!/usr/bin/env python3
"""`scripts/release` (make release) on the built program: one stamped and
signed copy per channel, verified by osslsigncode against the test root, a
correct SHA-256 list, the test certificate made once and kept, a real
certificate taken when given, and refusals that leave nothing behind.

  release_test.py --release scripts/release --minitool minitool --program MiniSetup.exe
                  --channels release/channels.ini"""
import argparse
import configparser
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from minitool_test import make_test_signer  # noqa: E402

ARGS = None

CHANNELS = """[alpha]
ChannelName=web|gl|official|direct
ChannelNumber=GL
VERSION_INFO_URL=http://127.0.0.1:8080/%snewver%s.xml
ReportURLMini=http://127.0.0.1:8081/cgi-bin-py/mini_install_statistic_info.cgi

[beta]
ChannelName=partner|xx|bundle|direct
ChannelNumber=
"""


def minitool(*args):
    return subprocess.run([ARGS.minitool, *args], capture_output=True, text=True)


def verify(path, root):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", root, "-in", path], capture_output=True, text=True)


class ReleaseTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="release-test-")
        self.out = os.path.join(self.dir, "out")
        self.signing = os.path.join(self.dir, "signing")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def channels(self, text):
        path = os.path.join(self.dir, "channels.ini")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def release(self, channels, *extra, program=None):
        return subprocess.run([ARGS.release, "--program", program or ARGS.program, "--minitool", ARGS.minitool,
                               "--channels", channels, "--out", self.out, "--signing-dir", self.signing, *extra],
                              capture_output=True, text=True)

    def outputs(self):
        return sorted(os.listdir(self.out)) if os.path.isdir(self.out) else []

    def check_sums(self, names):
        with open(os.path.join(self.out, "SHA256SUMS")) as f:
            listed = dict(reversed(line.split("  ", 1)) for line in f.read().splitlines())
        self.assertEqual(sorted(listed), sorted(names))
        for name, digest in listed.items():
            with open(os.path.join(self.out, name), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, name)

    def test_channels_are_stamped_signed_and_listed(self):
        done = self.release(self.channels(CHANNELS))
        self.assertEqual(done.returncode, 0, done.stderr)
        names = ["MiniSetup-alpha.exe", "MiniSetup-beta.exe"]
        self.assertEqual(self.outputs(), names + ["SHA256SUMS"])
        self.check_sums(names)
        base = minitool("show", ARGS.program).stdout
        root = os.path.join(self.signing, "root.pem")
        expected = {
            "MiniSetup-alpha.exe": {"ChannelNumber": "GL",
                                    "VERSION_INFO_URL": "http://127.0.0.1:8080/%snewver%s.xml",
                                    "ReportURLMini": "http://127.0.0.1:8081/cgi-bin-py/mini_install_statistic_info.cgi"},
            "MiniSetup-beta.exe": {"ChannelName": "partner|xx|bundle|direct", "ChannelNumber": ""},
        }
        for name, values in expected.items():
            path = os.path.join(self.out, name)
            with self.subTest(file=name):
                checked = verify(path, root)
                self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
                shown = minitool("inspect", path).stdout
                self.assertIn("Signature: signed, matching (SHA-256 image digest)", shown)
                text = minitool("show", path).stdout
                for key, value in values.items():
                    self.assertIn(f"{key}={value}", text.splitlines())
                # The build's other settings are kept as they were.
                for line in base.splitlines():
                    if line.split("=", 1)[0] not in values:
                        self.assertIn(line, text.splitlines())

        # Stamped after signing: the signature no longer matches.
        settings = os.path.join(self.dir, "later.txt")
        with open(settings, "w") as f:
            f.write(minitool("show", os.path.join(self.out, names[0])).stdout.replace("ChannelNumber=GL",
                                                                                       "ChannelNumber=LATE"))
        late = os.path.join(self.dir, "late.exe")
        self.assertEqual(minitool("stamp", os.path.join(self.out, names[0]), settings, late).returncode, 0)
        self.assertIn("Signature: signed, not matching", minitool("inspect", late).stdout)
        self.assertNotEqual(verify(late, root).returncode, 0)

        # The test certificate is made once and kept.
        with open(root, "rb") as f:
            first_root = f.read()
        again = self.release(self.channels(CHANNELS))
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertNotIn("making a test code-signing certificate", again.stdout)
        with open(root, "rb") as f:
            self.assertEqual(f.read(), first_root)
        self.assertEqual(verify(os.path.join(self.out, names[1]), root).returncode, 0)

    def test_sample_channels_file(self):
        done = self.release(ARGS.channels)
        self.assertEqual(done.returncode, 0, done.stderr)
        parser = configparser.ConfigParser(interpolation=None)
        parser.read(ARGS.channels, encoding="utf-8")
        names = [f"MiniSetup-{section}.exe" for section in parser.sections()]
        self.assertGreaterEqual(len(names), 2)
        self.check_sums(names)
        for name in names:
            self.assertEqual(verify(os.path.join(self.out, name), os.path.join(self.signing, "root.pem")).returncode,
                             0)

    def test_given_certificate_signs(self):
        own = os.path.join(self.dir, "own")
        os.makedirs(own)
        cert, key, root = make_test_signer(own)
        done = self.release(self.channels(CHANNELS), "--cert", cert, "--key", key, "--cafile", root)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(os.path.exists(self.signing), "a test certificate was made although one was given")
        self.assertEqual(verify(os.path.join(self.out, "MiniSetup-alpha.exe"), root).returncode, 0)

    def test_refusals_leave_nothing(self):
        cases = [
            ("unknown key", CHANNELS + "Colour=blue\n", "unknown key"),
            ("no ChannelName", "[gamma]\nChannelNumber=GG\n", "has no ChannelName"),
            ("no channel", "; nothing\n", "lists no channel"),
            ("name unfit for a file", "[a/b]\nChannelName=x\n", "names a file"),
            ("empty manifest address", CHANNELS + "\n[delta]\nChannelName=d\nVERSION_INFO_URL=\n",
             "VERSION_INFO_URL is empty"),
        ]
        not_a_program = os.path.join(self.dir, "MiniSetup.exe")
        with open(not_a_program, "wb") as f:
            f.write(b"MZ" + b"\0" * 200)
        cases.append(("program is no PE image", CHANNELS, "not a PE image", not_a_program))
        for case, text, words, *program in cases:
            with self.subTest(case=case):
                shutil.rmtree(self.out, ignore_errors=True)
                done = self.release(self.channels(text), program=program[0] if program else None)
                self.assertEqual(done.returncode, 1, done.stdout)
                self.assertIn(words, done.stderr)
                self.assertEqual(self.outputs(), [])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("release", "minitool", "program", "channels"):
        parser.add_argument(f"--{name}", required=True)
    ARGS, rest = parser.parse_known_args()
    program = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2)
    result = program.result
    failed = len(result.failures) + len(result.errors)
    print(f"{result.testsRun - failed - len(result.skipped)} passed, {failed} failed, {len(result.skipped)} skipped")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
