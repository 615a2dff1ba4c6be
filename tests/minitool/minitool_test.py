#!/usr/bin/env python3
"""minitool's commands (stamp, show, embed, inspect) on small fixture images of
both formats (PE32 and PE32+) and on the built program itself.

  minitool_test.py --minitool build/host/bin/minitool
                   [--program MiniSetup.exe --installer DemoInstaller.exe --version 4.0.0.1]

Every refusal must exit 1 with a clear message and leave no output file."""
import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pe_fixture as fx  # noqa: E402

ARGS = None
FORMATS = (("PE32", False), ("PE32+", True))


def minitool(*args):
    return subprocess.run([ARGS.minitool, *args], capture_output=True)


def patch(image, offset, fmt, *values):
    data = bytearray(image)
    struct.pack_into(fmt, data, offset, *values)
    return bytes(data)


def section_count_patch(count):
    return lambda img: patch(img, fx.Headers(img).file_header + 2, "<H", count)


def optional_patch(offset, fmt, *values):
    return lambda img: patch(img, fx.Headers(img).optional + offset, fmt, *values)


def security_patch(address, size):
    return lambda img: patch(img, fx.Headers(img).security_entry, "<II", address(img), size)


# (case, make the corrupt image from a sound one, words of the expected message)
CORRUPT_IMAGES = [
    ("empty file", lambda img: b"", "no MZ header"),
    ("a text file", lambda img: b"[params]\r\nChannelName=web\r\n" * 20, "no MZ header"),
    ("MZ header only", lambda img: img[:0x40], "no PE signature"),
    ("PE header pointer past the end", lambda img: patch(img, 0x3C, "<I", 0xFFFFFF00), "no PE signature"),
    ("wrong PE signature", lambda img: patch(img, 0x40, "4s", b"PX\0\0"), "no PE signature"),
    ("unknown optional header", optional_patch(0, "<H", 0x107), "unknown optional header"),
    ("no sections", section_count_patch(0), "number of sections"),
    ("65535 sections", section_count_patch(0xFFFF), "number of sections"),
    ("file alignment zero", optional_patch(36, "<I", 0), "alignment"),
    ("section table cut off", lambda img: img[:fx.Headers(img).table_end - 20], "section table"),
    ("section data cut off", lambda img: img[:len(img) // 2], "truncated"),
    ("section outside the image size", optional_patch(56, "<I", 0x1800), "outside the image size"),
    ("certificate table outside the file", security_patch(lambda img: len(img) + 16, 64),
     "certificate table lies outside"),
]


class Workspace(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="minitool-test-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def file(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def out(self, name="out.exe"):
        path = os.path.join(self.dir, name)
        if os.path.exists(path):
            os.remove(path)
        return path

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def assertRefused(self, result, words, output=None):
        stderr = result.stderr.decode("utf-8", "replace")
        self.assertEqual(result.returncode, 1, f"expected a refusal; stderr: {stderr}")
        self.assertIn(words, stderr)
        self.assertTrue(stderr.startswith("minitool: "), stderr)
        if output:
            self.assertFalse(os.path.exists(output), "a refused command left an output file")
        self.assertEqual([n for n in os.listdir(self.dir) if ".partial" in n], [], "a partial output was left")

    def assertDone(self, result):
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))

    def stamp_text(self, image_path, text_bytes, name="stamped.exe"):
        settings = self.file("settings.txt", text_bytes)
        output = self.out(name)
        return minitool("stamp", image_path, settings, output), output


class CorruptInputTest(Workspace):
    """Every command refuses a corrupt or non-PE image, and embed a corrupt package."""

    def test_every_command_refuses_corrupt_images(self):
        for format_name, plus in FORMATS:
            sound = fx.build(plus)
            settings = self.file("settings.txt", fx.SETTINGS_TEXT.encode())
            package = self.file("package.exe", fx.build(not plus))
            for case, corrupt, words in CORRUPT_IMAGES:
                bad = self.file("bad.exe", corrupt(sound))
                sound_path = self.file("sound.exe", sound)
                runs = {
                    "stamp": lambda o: minitool("stamp", bad, settings, o),
                    "embed": lambda o: minitool("embed", bad, package, o),
                    "embed (package)": lambda o: minitool("embed", sound_path, bad, o),
                    "inspect": lambda o: minitool("inspect", bad),
                    "show": lambda o: minitool("show", bad),
                }
                for command, run in runs.items():
                    with self.subTest(format=format_name, case=case, command=command):
                        output = self.out()
                        self.assertRefused(run(output), words, output)

    def test_missing_files_and_usage(self):
        image = self.file("image.exe", fx.build(False))
        output = self.out()
        result = minitool("embed", image, os.path.join(self.dir, "absent.exe"), output)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"cannot read", result.stderr)
        self.assertFalse(os.path.exists(output))
        self.assertEqual(minitool("embed", image).returncode, 2)
        self.assertEqual(minitool("frobnicate", image).returncode, 2)


def settings_bytes(text, encoding="utf-8"):
    return text.encode(encoding)


def without_line(text, line):
    return text.replace(line + "\r\n", "")


T = fx.SETTINGS_TEXT
# (case, settings file bytes, words of the expected message)
SETTINGS_REFUSALS = [
    ("text larger than the area", (T + "[pad]\r\nfill=" + "x" * 10300 + "\r\n").encode(), "area holds 20480"),
    ("line that is no INI", (T + "just some words\r\n").encode(), "line 10: neither a [section]"),
    ("key before any section", ("orphan=1\r\n" + T).encode(), "line 1: key outside any section"),
    ("unclosed section", T.replace("[global]", "[global").encode(), "line 5: a section line"),
    ("no ChannelName", without_line(T, "ChannelName=web|gl|official|direct").encode(),
     "lacks params/ChannelName"),
    ("no ChannelNumber", without_line(T, "ChannelNumber=GL").encode(), "lacks params/ChannelNumber"),
    ("no VERSION_INFO_URL", without_line(T, "VERSION_INFO_URL=http://dl.%domain%/%snewver%s.xml").encode(),
     "lacks global/VERSION_INFO_URL"),
    ("no ReportURLMini", T.replace("ReportURLMini=", "ReportURL=").encode(), "lacks DataReport/ReportURLMini"),
    ("ChannelNumber in the wrong section", without_line(T, "ChannelNumber=GL")
     .replace("[global]\r\n", "[global]\r\nChannelNumber=GL\r\n").encode(), "lacks params/ChannelNumber"),
    ("empty manifest address", T.replace("VERSION_INFO_URL=http://dl.%domain%/%snewver%s.xml",
                                         "VERSION_INFO_URL=").encode(), "VERSION_INFO_URL is empty"),
    ("ChannelName longer than the program reads", T.replace("web|gl|official|direct", "w" * 260).encode(),
     "longer than the 259"),
    ("malformed UTF-8", T.encode().replace(b"web|gl", b"w\xc3\x28b|gl"), "not valid UTF-8"),
    ("zero character", T.encode().replace(b"GL", b"G\0L"), "zero character"),
    ("unpaired UTF-16 surrogate", b"\xff\xfe" + T.encode("utf-16-le").replace("GL".encode("utf-16-le"),
                                                                            b"\x00\xd8L\x00"), "unpaired"),
    ("odd-length UTF-16", b"\xff\xfe" + T.encode("utf-16-le") + b"\x41", "odd number of bytes"),
]

ACCENTED = T.replace("web|gl|official|direct", "web|gl|officiel|directé ไทย 🚀")
# (case, settings file bytes, the text the image must then carry)
SETTINGS_ACCEPTED = [
    ("UTF-8", ACCENTED.encode(), ACCENTED),
    ("UTF-8 with BOM", b"\xef\xbb\xbf" + ACCENTED.encode(), ACCENTED),
    ("UTF-16LE with BOM", ACCENTED.encode("utf-16"), ACCENTED),
    ("UTF-16BE with BOM", b"\xfe\xff" + ACCENTED.encode("utf-16-be"), ACCENTED),
    ("UTF-16LE without BOM", ACCENTED.encode("utf-16-le"), ACCENTED),
    ("UTF-16 dumped with its terminating zero", b"\xff\xfe" + T.encode("utf-16-le") + b"\0\0", T),
    ("LF line ends", T.replace("\r\n", "\n").encode(), T),
    ("empty ChannelNumber", T.replace("ChannelNumber=GL", "ChannelNumber=").encode(),
     T.replace("ChannelNumber=GL", "ChannelNumber=")),
    ("names in other letter case", T.replace("[params]", "[PARAMS]").replace("ChannelName", "channelname").encode(),
     T.replace("[params]", "[PARAMS]").replace("ChannelName", "channelname")),
    ("comments", ("; channel build\r\n" + T + "# end\r\n").encode(), "; channel build\r\n" + T + "# end\r\n"),
]


def exact_fit_text(extra_bytes):
    """A text whose area image is 20,480 bytes plus extra_bytes."""
    base = T + "[pad]\r\nfill="
    tail = "\r\n"
    used = 2 + 2 * (len(base) + len(tail)) + 2
    return base + "x" * ((fx.SETTINGS_AREA + extra_bytes - used) // 2) + tail


class StampTest(Workspace):
    def test_refusals(self):
        for format_name, plus in FORMATS:
            image = self.file("image.exe", fx.build(plus))
            for case, data, words in SETTINGS_REFUSALS:
                with self.subTest(format=format_name, case=case):
                    result, output = self.stamp_text(image, data)
                    self.assertRefused(result, words, output)

    def test_accepted_texts_round_trip(self):
        for format_name, plus in FORMATS:
            original = fx.build(plus)
            image = self.file("image.exe", original)
            for case, data, text in SETTINGS_ACCEPTED:
                with self.subTest(format=format_name, case=case):
                    result, output = self.stamp_text(image, data)
                    self.assertDone(result)
                    stamped = self.read(output)
                    area = fx.Headers(stamped).section(".brkcfg")
                    self.assertEqual(stamped[area["roff"]:area["roff"] + fx.SETTINGS_AREA], fx.settings_area(text))
                    shown = minitool("show", output)
                    self.assertDone(shown)
                    self.assertEqual(shown.stdout.decode("utf-8"), text)
                    self.assertEqual(fx.Headers(stamped).checksum, fx.pe_checksum(stamped))
                    # Nothing but the area and the checksum changed.
                    h = fx.Headers(original)
                    masked = [(area["roff"], fx.SETTINGS_AREA), (h.checksum_offset, 4)]
                    self.assertEqual(mask(stamped, masked), mask(original, masked))

    def test_area_limit_is_exact(self):
        image = self.file("image.exe", fx.build(True))
        result, output = self.stamp_text(image, exact_fit_text(0).encode())
        self.assertDone(result)
        result, output = self.stamp_text(image, exact_fit_text(2).encode())
        self.assertRefused(result, "needs 20482 bytes but the area holds 20480", output)

    def test_refusal_keeps_an_older_output(self):
        image = self.file("image.exe", fx.build(False))
        output = self.file("stamped.exe", b"older release")
        settings = self.file("settings.txt", b"no ini here\r\n")
        result = minitool("stamp", image, settings, output)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(self.read(output), b"older release")


def mask(data, ranges):
    data = bytearray(data)
    for offset, size in ranges:
        data[offset:offset + size] = b"\0" * size
    return bytes(data)


class EmbedTest(Workspace):
    def check_embedded(self, original, embedded, package):
        before, after = fx.Headers(original), fx.Headers(embedded)
        self.assertEqual(after.section_count, before.section_count + 1)
        full = after.sections[-1]
        self.assertEqual(full["name"], "full")
        self.assertEqual(full["vsize"], len(package))
        self.assertEqual(full["rsize"] % after.file_alignment, 0)
        self.assertEqual(full["roff"] % after.file_alignment, 0)
        self.assertEqual(full["va"] % after.section_alignment, 0)
        self.assertEqual(embedded[full["roff"]:full["roff"] + len(package)], package)
        self.assertEqual(embedded[full["roff"] + len(package):full["roff"] + full["rsize"]],
                         b"\0" * (full["rsize"] - len(package)))
        self.assertEqual(len(embedded), full["roff"] + full["rsize"])
        last_end = max(s["va"] + max(s["vsize"], s["rsize"]) for s in before.sections)
        self.assertGreaterEqual(full["va"], last_end)
        self.assertEqual(after.size_of_image, fx.align(full["va"] + len(package), after.section_alignment))
        self.assertEqual(after.checksum, fx.pe_checksum(embedded))
        # Every byte of the input keeps its place, but for the updated fields.
        changed = [(before.file_header + 2, 2), (before.optional + 8, 4), (before.optional + 56, 4),
                   (before.checksum_offset, 4), (before.table_end, 40)]
        self.assertEqual(mask(embedded[:len(original)], changed), mask(original, changed))
        return full

    def test_round_trip_on_both_formats(self):
        for format_name, plus in FORMATS:
            with self.subTest(format=format_name):
                original = fx.build(plus)
                package = fx.build(not plus, sections=[(b".text", os.urandom(3000))])
                output = self.out()
                self.assertDone(minitool("embed", self.file("in.exe", original), self.file("p.exe", package), output))
                self.check_embedded(original, self.read(output), package)
                shown = minitool("inspect", output).stdout.decode()
                self.assertIn(f"Embedded package: {len(package)} bytes, MD5 {hashlib.md5(package).hexdigest()}",
                              shown)
                self.assertEqual(minitool("show", output).stdout.decode(), fx.SETTINGS_TEXT)

    def test_refusals(self):
        for format_name, plus in FORMATS:
            package = self.file("p.exe", fx.build(plus))
            full_table = [(b".s%d" % i, b"\x01" * 16) for i in range(4 if plus else 5)]
            crowded = fx.build(plus, sections=full_table[:-1] + [(b".brkcfg", fx.settings_area())],
                               size_of_headers=0x200)
            slot_used = bytearray(fx.build(plus))
            slot_used[fx.Headers(slot_used).table_end + 8] = 1  # e.g. bound import data
            carrier = self.out("carrier.exe")
            self.assertDone(minitool("embed", self.file("in.exe", fx.build(plus)), package, carrier))
            cases = [
                ("headers full", crowded, package, "no room for another section header"),
                ("free room in use", bytes(slot_used), package, "no room for another section header"),
                ("already carries a package", self.read(carrier), package, "already carries a package"),
                ("no settings area", fx.build(plus, sections=[(b".text", b"\xc3")]), package,
                 "no section named .brkcfg"),
                ("package is no program", fx.build(plus), self.file("text.exe", b"just text, no program"),
                 "no MZ header"),
            ]
            for case, image, package_path, words in cases:
                with self.subTest(format=format_name, case=case):
                    output = self.out()
                    result = minitool("embed", self.file("image.exe", image), package_path, output)
                    self.assertRefused(result, words, output)


class MutationTest(Workspace):
    """Seeded random damage to the headers, the resources and the certificate
    table of signed images: every command either works or refuses cleanly
    (exit 0 or 1, never a crash, no output after a refusal)."""

    ROUNDS = 30

    def regions(self, image):
        h = fx.Headers(image)
        regions = [(0, h.table_end + 40)]
        rsrc = h.section(".rsrc")
        if rsrc:
            regions.append((rsrc["roff"], min(rsrc["rsize"], 4096)))
        if h.security[0]:
            regions.append((h.security[0], h.security[1]))
        return regions

    def test_damaged_images_are_handled(self):
        sources = [fx.build(False), fx.build(True)]
        if ARGS.program:
            cert, key, _ = make_test_signer(self.dir)
            signed = os.path.join(self.dir, "signed.exe")
            subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", ARGS.program,
                            "-out", signed], check=True, capture_output=True)
            sources.append(self.read(signed))
        settings = self.file("settings.txt", fx.SETTINGS_TEXT.encode())
        package = self.file("package.exe", fx.build(True))
        rng = __import__("random").Random(20261210)
        for round_number in range(self.ROUNDS):
            image = bytearray(rng.choice(sources))
            start, size = rng.choice(self.regions(bytes(image)))
            for _ in range(rng.randint(1, 8)):
                image[start + rng.randrange(size)] = rng.randrange(256)
            damaged = self.file("damaged.exe", bytes(image))
            commands = [("inspect", damaged), ("show", damaged), ("stamp", damaged, settings, None),
                        ("embed", damaged, package, None)]
            for command in commands:
                output = self.out() if command[-1] is None else None
                args = [a for a in command if a is not None] + ([output] if output else [])
                with self.subTest(round=round_number, command=command[0]):
                    result = minitool(*args)
                    self.assertIn(result.returncode, (0, 1), result.stderr.decode("utf-8", "replace"))
                    if result.returncode == 1:
                        self.assertTrue(result.stderr.startswith(b"minitool: "))
                        if output:
                            self.assertFalse(os.path.exists(output))


class BuiltProgramTest(Workspace):
    """Round trips on the built MiniSetup.exe."""

    def setUp(self):
        super().setUp()
        if not ARGS.program:
            self.skipTest("no --program given")
        self.program = ARGS.program
        self.original = self.read(self.program)

    def test_inspect(self):
        result = minitool("inspect", self.program)
        self.assertDone(result)
        shown = result.stdout.decode()
        expected_format = "PE32+" if fx.Headers(self.original).pe32plus else "PE32 ("
        self.assertIn(f"Format: {expected_format}", shown)
        self.assertIn(f"  File version: {ARGS.version}", shown)
        self.assertIn("  CompanyName: Nuvex", shown)
        self.assertIn("Requested execution level: requireAdministrator", shown)
        self.assertIn("Embedded package: none", shown)
        self.assertIn("Signature: not signed", shown)
        self.assertIn("Checksum: ", shown)
        settings = minitool("show", self.program).stdout.decode()
        for line in settings.splitlines():
            self.assertIn("  " + line, shown)

    def test_stamp_embed_stamp(self):
        base = minitool("show", self.program).stdout.decode()
        text = base.replace("ChannelNumber=GL", "ChannelNumber=ไทย")
        result, stamped = self.stamp_text(self.program, text.encode("utf-16"))
        self.assertDone(result)
        self.assertEqual(minitool("show", stamped).stdout.decode(), text)
        package = self.read(ARGS.installer)
        offline = self.out("offline.exe")
        self.assertDone(minitool("embed", stamped, ARGS.installer, offline))
        embedded = self.read(offline)
        EmbedTest.check_embedded(self, self.read(stamped), embedded, package)
        shown = minitool("inspect", offline).stdout.decode()
        self.assertIn(f"Embedded package: {len(package)} bytes, MD5 {hashlib.md5(package).hexdigest()}", shown)
        self.assertIn("  ChannelNumber=ไทย", shown)
        self.assertIn("Requested execution level: requireAdministrator", shown)
        # Stamping an offline installer keeps its package.
        again_text = text.replace("ChannelNumber=ไทย", "ChannelNumber=OFF")
        result, again = self.stamp_text(offline, again_text.encode(), name="again.exe")
        self.assertDone(result)
        shown = minitool("inspect", again).stdout.decode()
        self.assertIn(f"MD5 {hashlib.md5(package).hexdigest()}", shown)
        self.assertIn("  ChannelNumber=OFF", shown)
        if ARGS.objdump:
            sections = subprocess.run([ARGS.objdump, "-h", again], capture_output=True, text=True, check=True)
            self.assertRegex(sections.stdout, r"\bfull\b")

    def test_signature_states(self):
        cert, key, root = make_test_signer(self.dir)
        signed = self.out("signed.exe")
        sign = ["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", self.program, "-out", signed]
        subprocess.run(sign, check=True, capture_output=True)
        self.assertIn("Signature: signed, matching (SHA-256 image digest)", minitool("inspect", signed).stdout.decode())
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", root, "-in", signed], capture_output=True)
        self.assertEqual(verify.returncode, 0, verify.stdout.decode() + verify.stderr.decode())

        base = minitool("show", signed).stdout.decode()
        result, restamped = self.stamp_text(signed, base.replace("ChannelNumber=GL", "ChannelNumber=XX").encode())
        self.assertDone(result)
        self.assertIn(b"sign the copy again", result.stderr)
        self.assertIn("Signature: signed, not matching (the file changed after signing",
                      minitool("inspect", restamped).stdout.decode())
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", root, "-in", restamped], capture_output=True)
        self.assertNotEqual(verify.returncode, 0)

        data = self.read(signed)
        code = fx.Headers(data).sections[0]["roff"] + 16
        cases = [
            ("a code byte changed", data[:code] + bytes([data[code] ^ 0xFF]) + data[code + 1:], "the file changed after"),
            ("data appended", data + b"\0" * 8, "data follows the certificate table"),
        ]
        forged = forge_signed_digest(cases[0][1])
        cases += [
            ("signed digest replaced to match a changed file", forged, "the signed content was altered"),
            ("signer's signature damaged", damage_signer_signature(data), "the signer's signature does not verify"),
        ]
        for case, changed, words in cases:
            with self.subTest(case=case):
                shown = minitool("inspect", self.file("changed.exe", changed)).stdout.decode()
                self.assertIn(f"Signature: signed, not matching ({words}", shown)

        sha1 = self.out("sha1.exe")
        subprocess.run(sign[:2] + ["-h", "sha1"] + sign[2:-1] + [sha1], check=True, capture_output=True)
        self.assertIn("matching (SHA-1 image digest)", minitool("inspect", sha1).stdout.decode())

        offline = self.out("offline.exe")
        result = minitool("embed", signed, ARGS.installer, offline)
        self.assertDone(result)
        self.assertIn(b"sign it again", result.stderr)
        embedded = self.read(offline)
        self.assertEqual(fx.Headers(embedded).security, (0, 0))
        self.assertIn("Signature: not signed", minitool("inspect", offline).stdout.decode())
        self.assertEqual(fx.Headers(embedded).checksum, fx.pe_checksum(embedded))


def image_digest(data, algorithm="sha256"):
    """The Authenticode image digest: the file up to the certificate table,
    without the checksum field and the security directory entry."""
    h = fx.Headers(data)
    table = h.security[0]
    digest = hashlib.new(algorithm)
    digest.update(data[:h.checksum_offset])
    digest.update(data[h.checksum_offset + 4:h.security_entry])
    digest.update(data[h.security_entry + 8:table])
    return digest.digest()


def forge_signed_digest(changed):
    """A changed signed file whose SpcIndirectDataContent digest is replaced by
    the changed file's own digest: only the signer's part can tell."""
    table = fx.Headers(changed).security[0]
    new = image_digest(changed)
    blob = bytearray(changed[table:])
    # The signed digest is the only 32-byte OCTET STRING after the content's
    # SHA-256 algorithm identifier (2.16.840.1.101.3.4.2.1, then NULL).
    marker = bytes.fromhex("0609608648016503040201050004 20".replace(" ", ""))
    at = blob.find(marker)
    assert at >= 0, "no SHA-256 DigestInfo in the signature"
    blob[at + len(marker):at + len(marker) + 32] = new
    return changed[:table] + bytes(blob)


def damage_signer_signature(signed):
    """Flips the last byte of the PKCS#7 structure: the signer's signature value."""
    table = fx.Headers(signed).security[0]
    der = table + 8
    first = signed[der + 1]
    if first & 0x80:
        count = first & 0x7F
        length = int.from_bytes(signed[der + 2:der + 2 + count], "big") + 2 + count
    else:
        length = first + 2
    last = der + length - 1
    return signed[:last] + bytes([signed[last] ^ 0x01]) + signed[last + 1:]


SIGNING_CONFIG = """[req]
distinguished_name=dn
[dn]
[root]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
[signer]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
"""


def make_test_signer(folder):
    config = os.path.join(folder, "openssl.cnf")
    with open(config, "w") as f:
        f.write(SIGNING_CONFIG)
    p = {n: os.path.join(folder, n) for n in ("root.key", "root.pem", "signer.key", "signer.csr", "signer.pem")}
    quiet = {"check": True, "capture_output": True}
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", p["root.key"],
                    "-out", p["root.pem"], "-days", "2", "-subj", "/CN=minitool test root", "-config", config,
                    "-extensions", "root"], **quiet)
    subprocess.run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", p["signer.key"], "-out",
                    p["signer.csr"], "-subj", "/CN=minitool test signer", "-config", config], **quiet)
    subprocess.run(["openssl", "x509", "-req", "-in", p["signer.csr"], "-CA", p["root.pem"], "-CAkey", p["root.key"],
                    "-set_serial", "7", "-out", p["signer.pem"], "-days", "2", "-extfile", config,
                    "-extensions", "signer"], **quiet)
    return p["signer.pem"], p["signer.key"], p["root.pem"]


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--minitool", required=True)
    parser.add_argument("--program")
    parser.add_argument("--installer")
    parser.add_argument("--version", default="")
    parser.add_argument("--objdump")
    ARGS, rest = parser.parse_known_args()
    program = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2)
    result = program.result
    failed = len(result.failures) + len(result.errors)
    print(f"{result.testsRun - failed - len(result.skipped)} passed, {failed} failed, {len(result.skipped)} skipped")
    return 1 if failed or not result.wasSuccessful() else 0


if __name__ == "__main__":
    sys.exit(main())
