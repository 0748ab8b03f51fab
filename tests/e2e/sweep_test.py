"""The whole sweep through the stand-in service: requests, local copies, output."""

import os
import pathlib
import pty
import select
import subprocess
import tempfile
import time
import unittest

from kessan_testing import CODES, VERSION, cases, harness


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


def screen(text):
    """The lines a terminal shows for text: a carriage return goes back to the line's start."""
    lines, line, column = [], [], 0
    for c in text:
        if c == "\n":
            lines.append("".join(line).rstrip())
            line, column = [], 0
        elif c == "\r":
            column = 0
        else:
            line[column : column + 1] = [c]
            column += 1
    return lines + ["".join(line).rstrip()]


@unittest.skipIf(harness.windows_text_mode(), "a console under Wine is checked by hand")
class TerminalSweep(unittest.TestCase):
    """Both streams on a terminal with a UTF-8 locale: the text in UTF-8, the status line while
    the sweep runs and none at its end, the company's lines whole."""

    def test_terminal_shows_utf8_and_the_status_line_goes(self):
        with tempfile.TemporaryDirectory() as pages, tempfile.TemporaryDirectory() as folder:
            pathlib.Path(pages, "1301.html").write_bytes(cases.PAGES[1301])
            with harness.StandIn(pages) as service:
                main, terminal = pty.openpty()
                env = {k: v for k, v in os.environ.items() if k.lower() != "no_proxy"}
                env.update(LC_ALL="C.UTF-8", http_proxy=f"http://127.0.0.1:{service.port}")
                process = subprocess.Popen(
                    harness.tool_command(), cwd=folder, env=env, stdout=terminal, stderr=terminal
                )
                os.close(terminal)
                shown, deadline = b"", time.monotonic() + harness.SWEEP_SECONDS
                while time.monotonic() < deadline:
                    if not select.select([main], [], [], 1)[0]:
                        continue
                    try:
                        shown += os.read(main, 65536)
                    except OSError:  # the terminal's other end is closed: the sweep has ended
                        break
                os.close(main)
                self.assertEqual(process.wait(timeout=10), 0)
        text = shown.decode("utf-8")
        self.assertIn("/8700", text)
        summary = "1301,極東製作所,3"
        self.assertEqual(screen(text), [summary, summary] + cases.KYOKUTO_ROWS.splitlines() + [""])


if __name__ == "__main__":
    unittest.main()
