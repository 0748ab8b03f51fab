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
    """No page has figures: every code is requested once and copied, nothing is printed. The
    arguments are ignored."""

    ARGS = ["--help", "--version"]

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
    def test_help_or_version_alone_answers_without_a_request_or_a_file(self):
        rows = [
            (["--help"], b"Usage: kessan\n"),
            (["--version"], b"kessan %s\n" % VERSION.encode()),
        ]
        for args, start in rows:
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
                self.assertEqual(
                    (done.returncode, done.stderr[:200], len(os.listdir(folder))), (0, b"", 0)
                )
                output = harness.text_mode_output(done.stdout)
                self.assertTrue(output.startswith(start) and output.endswith(b"\n"), output[:300])


if __name__ == "__main__":
    unittest.main()
