"""Sweeps whose local copies cannot be written, or whose requests fail: the sweep goes on, names
the failed codes at the end and exits 3."""

import os
import pathlib
import resource
import signal
import socket
import subprocess
import tempfile
import unittest

from kessan_testing import CODES, cases, harness

NAME = "検査商事"
RESULT_CODES = [1301, 1302, 4321, 9999]
PAGES = {c: cases.page_with_table(NAME, c, ["2024年6月期"], cases.SMALL) for c in RESULT_CODES}
EXPECTED_STDOUT = "".join(f"{c},{NAME},1\n" + cases.SMALL_ROWS for c in RESULT_CODES).encode(
    "shift_jis"
)
FILE_SIZE_LIMIT = 1000  # bytes; every results page's copy is longer


def closing_report(requests_failed, copies_failed):
    """The report after a sweep in which every code failed one way."""
    counts = (len(CODES), requests_failed, copies_failed)
    report = "処理したコード %d 件、決算のあった企業 0 社、URLオープンエラー %d 件、ファイル作成エラー %d 件\n"
    report = report % counts
    report += "URLオープンエラーのコード: 1300-9999\n" if requests_failed else ""
    report += "ファイル作成エラーのコード: 1300-9999\n" if copies_failed else ""
    return report.encode("shift_jis")


def run_in(folder, port, preexec=None):
    env = {
        k: v
        for k, v in os.environ.items()
        if k.lower() not in ("http_proxy", "no_proxy", "all_proxy")
    }
    env["http_proxy"] = f"http://127.0.0.1:{port}"
    return subprocess.run(
        harness.tool_command(),
        cwd=folder,
        env=env,
        stdin=subprocess.DEVNULL,
        capture_output=True,
        timeout=harness.SWEEP_SECONDS,
        preexec_fn=preexec,
    )


def limit_file_size():
    # The signal as a shell leaves it: a write past the limit kills a program that does not
    # ignore SIGXFSZ itself.
    signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
    resource.setrlimit(resource.RLIMIT_FSIZE, (FILE_SIZE_LIMIT, FILE_SIZE_LIMIT))


class LocalFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pages = tempfile.TemporaryDirectory(prefix="kessan-pages-")
        for code, page in PAGES.items():
            (pathlib.Path(cls.pages.name) / f"{code}.html").write_bytes(page)
        cls.service = harness.StandIn(cls.pages.name)

    @classmethod
    def tearDownClass(cls):
        cls.service.close()
        cls.pages.cleanup()

    @unittest.skipIf(harness.windows_text_mode(), "checked with the native build only")
    def test_copies_that_cannot_be_created_are_reported_at_the_end(self):
        # Every NNNN.html already exists as a folder, which stops the copy even for root, as a
        # folder without write permission stops it for other users.
        with tempfile.TemporaryDirectory(prefix="kessan-run-") as folder:
            for code in CODES:
                os.mkdir(os.path.join(folder, f"{code}.html"))
            before = len(self.service.requests())
            done = run_in(folder, self.service.port)
            self.assertEqual(done.returncode, 3)
            self.assertEqual(done.stdout, b"")
            self.assertEqual(done.stderr, closing_report(0, len(CODES)))
            # -4 comes before the request: no page is asked for.
            self.assertEqual(len(self.service.requests()), before)
            self.assertTrue(
                all(os.path.isdir(os.path.join(folder, f"{c}.html")) for c in RESULT_CODES)
            )

    @unittest.skipIf(harness.windows_text_mode(), "the file size limit would bind Wine's own files")
    def test_a_copy_cut_short_by_a_full_disk_does_not_stop_the_scan_or_the_sweep(self):
        with tempfile.TemporaryDirectory(prefix="kessan-run-") as folder:
            done = run_in(folder, self.service.port, preexec=limit_file_size)
            self.assertEqual(done.returncode, 0)
            self.assertEqual(done.stdout, EXPECTED_STDOUT)
            self.assertEqual(
                done.stderr.decode("shift_jis").splitlines(),
                [f"{c},{NAME},1" for c in RESULT_CODES],
            )
            copies = sorted(os.listdir(folder))
            self.assertEqual(len(copies), len(CODES))
            for code in RESULT_CODES:
                page = PAGES[code]
                whole = harness.without_line_ends(page[: page.index(b"</TABLE>") + 8])
                self.assertGreater(len(whole), FILE_SIZE_LIMIT)
                self.assertEqual(
                    pathlib.Path(folder, f"{code}.html").read_bytes(), whole[:FILE_SIZE_LIMIT], code
                )

    # Under Wine this sweep of refused requests is the slowest test; the Windows unit tests
    # check the reason after a failed open with the test double, which reports its errors
    # through GetLastError as WinINet does.
    @unittest.skipIf(harness.windows_text_mode(), "the reason is checked by the Windows unit tests")
    def test_a_proxy_that_refuses_gives_the_reason_for_every_code(self):
        with socket.socket() as unused:
            unused.bind(("127.0.0.1", 0))
            port = unused.getsockname()[1]
        with tempfile.TemporaryDirectory(prefix="kessan-run-") as folder:
            done = run_in(folder, port)
            self.assertEqual(len(os.listdir(folder)), len(CODES))
        self.assertEqual(done.returncode, 3)
        self.assertEqual(done.stdout, b"")
        refused = "URLオープンエラー\n: Connection refused\n".encode("shift_jis") * len(CODES)
        self.assertEqual(done.stderr, refused + closing_report(len(CODES), 0))


if __name__ == "__main__":
    unittest.main()
