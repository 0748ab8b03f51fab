"""The whole sweep through the stand-in service: requests, local copies, output."""

import os
import subprocess
import tempfile
import unittest

from kessan_testing import CODES, VERSION, harness


@unittest.skipIf(
    harness.windows_text_mode(),
    "the results sweep covers requests and copies of the Windows build; "
    "a second sweep would add a minute under Wine",
)
class EmptySweep(harness.SweepTestCase):
    """No page has figures: every code is requested once and copied, nothing is printed."""

    def test_exits_zero_and_prints_nothing(self):
        self.assertEqual(self.sweep.returncode, 0)
        self.assertEqual(self.sweep.stdout, b"")
        self.assertEqual(self.sweep.stderr, b"")

    def test_one_get_per_code_in_order(self):
        codes = [r["code"] for r in self.requests]
        self.assertEqual(codes, list(CODES))
        self.assertTrue(all(r["method"] == "GET" for r in self.requests))

    def test_one_connection_for_the_whole_sweep(self):
        self.assertEqual({r["conn"] for r in self.requests}, {1})

    def test_one_local_copy_per_code(self):
        expected = sorted(f"{c}.html" for c in CODES)
        self.assertEqual(self.sweep.copies(), expected)
        not_found = harness.without_line_ends(self.service.get(harness.base_url() + "1300.html"))
        self.assertGreater(len(not_found), 0)
        for code in (1300, 5000, 9999):
            self.assertEqual(self.sweep.copy(code), not_found)


class CommandLine(unittest.TestCase):
    def test_help_or_version_alone_answers_and_anything_else_is_refused(self):
        refused = b"kessan: unexpected argument '%s'\nTry 'kessan --help'.\n"
        rows = [
            (["--help"], 0, b"Usage: kessan\n", b""),
            (["-h"], 0, b"Usage: kessan\n", b""),
            (["--version"], 0, b"kessan %s\n" % VERSION.encode(), b""),
            (["-V"], 0, b"kessan %s\n" % VERSION.encode(), b""),
            (["--hlep"], 64, b"", refused % b"--hlep"),
            (["-v"], 64, b"", refused % b"-v"),
            (["x"], 64, b"", refused % b"x"),
            (["-h", "-V"], 64, b"", refused % b"-V"),
            (["x", "--help"], 64, b"", refused % b"x"),
        ]
        for args, status, start, error in rows:
            with self.subTest(args=args), tempfile.TemporaryDirectory() as folder:
                # A sweep would fail every request quickly, and leave 8,700 empty copies.
                env = dict(os.environ, http_proxy="http://127.0.0.1:9")
                done = subprocess.run(
                    harness.tool_command() + args,
                    cwd=folder,
                    env=env,
                    capture_output=True,
                    timeout=120,
                )
                errors = harness.text_mode_output(done.stderr)
                self.assertEqual(
                    (done.returncode, errors[:200], len(os.listdir(folder))), (status, error, 0)
                )
                output = harness.text_mode_output(done.stdout)
                answered = output.startswith(start) and output.endswith(b"\n")
                self.assertTrue(answered if start else output == b"", output[:300])


if __name__ == "__main__":
    unittest.main()
