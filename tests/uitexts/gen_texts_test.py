#!/usr/bin/env python3
"""The text resource generator: the shipped source builds into the exact file
format the program reads, and every kind of broken source is refused."""
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(ROOT, "scripts", "gen_texts.py")
SOURCE = os.path.join(ROOT, "resources", "texts", "strings.ini")

_spec = importlib.util.spec_from_file_location("gen_texts", SCRIPT)
gen_texts = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(gen_texts)

GOOD = """; comment
[Global Defination]
Number_of_languages=2
Languages=1033,1054
Descripts=English,ไทย

[IDS_DownloadProgress]
1033=Download progress %d%%
1054=ความคืบหน้า %d%%

[IDS_ButtonClose]
1033=Close
1054=ปิด
"""


def run(source_text):
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "in.ini")
        target = os.path.join(folder, "out.ini")
        with open(source, "w", encoding="utf-8") as f:
            f.write(source_text)
        proc = subprocess.run([sys.executable, SCRIPT, source, target], capture_output=True, text=True)
        data = None
        if os.path.exists(target):
            with open(target, "rb") as f:
                data = f.read()
        return proc.returncode, proc.stderr, data


class GeneratorTest(unittest.TestCase):
    def test_output_is_utf16le_with_bom_and_crlf_without_comments(self):
        code, err, data = run(GOOD)
        self.assertEqual(code, 0, err)
        self.assertEqual(data[:2], b"\xff\xfe")
        text = data[2:].decode("utf-16-le")
        self.assertNotIn(";", text)
        self.assertEqual(text.count("\n"), text.count("\r\n"))
        self.assertTrue(text.startswith("[Global Defination]\r\nNumber_of_languages=2\r\n"))
        self.assertIn("1054=ความคืบหน้า %d%%\r\n", text)

    def test_shipped_source_builds(self):
        with open(SOURCE, encoding="utf-8") as f:
            code, err, data = run(f.read())
        self.assertEqual(code, 0, err)
        text = data[2:].decode("utf-16-le")
        self.assertIn("Languages=1033,1054,1046,1057,3082,1028\r\n", text)
        # Texts that stay English everywhere have no section at all.
        self.assertNotIn("[IDS_IsNotAdmin]", text)
        self.assertNotIn("[IDS_IsInvalidSystem]", text)

    def test_broken_sources_are_refused(self):
        cases = [
            ("language key longer than 7", GOOD.replace("1033,1054", "1033,10540000")
             .replace("1054=", "10540000="), "longer than 7"),
            ("display name longer than 30", GOOD.replace("English,ไทย", "English," + "x" * 31), "longer than 30"),
            ("fewer display names than languages", GOOD.replace("English,ไทย", "English"),
             "1 display names for 2 languages"),
            ("missing language key", GOOD.replace("1054=ปิด\n", ""), "no value for language 1054"),
            ("%d dropped", GOOD.replace("1054=ความคืบหน้า %d%%", "1054=ความคืบหน้า %%"), "conversions"),
            ("%d doubled", GOOD.replace("1054=ความคืบหน้า %d%%", "1054=%d ความคืบหน้า %d%%"), "conversions"),
            ("%s instead of %d", GOOD.replace("1054=ความคืบหน้า %d%%", "1054=ความคืบหน้า %s%%"), "conversions"),
            ("stray percent", GOOD.replace("1054=ปิด", "1054=ปิด 100%"), "stray"),
            ("wrong count", GOOD.replace("Number_of_languages=2", "Number_of_languages=3"), "Number_of_languages"),
            ("key not listed", GOOD.replace("1054=ปิด", "1054=ปิด\n1046=Fechar"), "not a listed language"),
            ("value too long", GOOD.replace("1054=ปิด", "1054=" + "ก" * 256), "at most 255"),
            ("blank that would be stripped", GOOD.replace("1054=ปิด", "1054=ปิด "), "stripped"),
            ("empty value", GOOD.replace("1054=ปิด", "1054="), "empty value"),
            ("duplicate key", GOOD.replace("1054=ปิด", "1054=ปิด\n1054=ปิด"), "twice"),
            ("no global section first", GOOD.replace("[Global Defination]", "[Global Definition]"),
             "first section"),
            ("section that is no text id", GOOD + "\n[Strings]\n1033=a\n1054=b\n", "not a text id"),
            ("English not listed", GOOD.replace("1033,1054", "1046,1054").replace("1033=", "1046="), "English"),
        ]
        for name, source, message in cases:
            with self.subTest(name):
                with self.assertRaises(gen_texts.SourceError, msg=f"accepted: {name}") as caught:
                    gen_texts.build(source)
                self.assertIn(message, str(caught.exception))

    def test_refused_source_fails_the_build_step_and_writes_nothing(self):
        code, err, data = run(GOOD.replace("1054=ปิด\n", ""))
        self.assertEqual(code, 1)
        self.assertIn("no value for language 1054", err)
        self.assertIsNone(data)

    def test_thirty_character_name_and_seven_character_key_are_accepted(self):
        source = GOOD.replace("English,ไทย", "English," + "ก" * 30).replace("1054", "0001054")
        gen_texts.build(source)


if __name__ == "__main__":
    unittest.main()
