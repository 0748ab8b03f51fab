"""A sweep in which a tenth of the codes fault in many ways: every other code prints exactly as
it would in a sweep without faults, and every faulted code keeps in its copy what arrived."""

import time
import unittest

from kessan_testing import CODES, cases, harness
from kessan_testing import results_page as rp

NAME = "検査商事"

# Results pages at two codes in ten; faults at one code in ten (ending in 3).
RESULT_CODES = [c for c in CODES if c % 10 in (1, 5)]
FAULT_CODES = [c for c in CODES if c % 10 == 3]

# The fault modes by turn (each a fifth of a second for resetmid, so few of those), and what
# arrives of the page: all of it, part of it, or nothing (the request fails).
# fmt: off
CYCLE = (["shortbody"] * 4 + ["badchunk 1500"] * 4 + ["bytewise"] * 3 + ["redirectloop"] * 2 +
         ["bigheaders"] * 2 + ["garbage"] * 2 + ["reset"] * 2 + ["chunked 7"])
# fmt: on
FAILS = {"redirectloop", "reset"}


def fault_mode(index, code):
    if index in (10, 400, 800):
        return "huge 10"
    if index % 40 == 20:
        return "resetmid"  # half the page: the table end never arrives
    return CYCLE[index % len(CYCLE)]


def fault_page(code):
    """A page without a results table, so a faulted code prints nothing whatever arrives."""
    lines = [rp.name_line("障害電機", code)]
    lines += [f"<P>{i} 試験行 {'x' * (i % 7 * 40)}</P>" for i in range(80)]
    return rp.page(lines, line_end="\r\n")


def results_page(code):
    return cases.page_with_table(NAME, code, ["2024年6月期"], cases.SMALL)


def garbage_copy(code):
    """The copy of the garbage mode's bytes, read as HTTP/0.9 whose first line is dropped."""
    x, reply = code * 2654435761 % 2**32 + 1, bytearray()
    while len(reply) < 4096:
        x = (x * 1664525 + 1013904223) % 2**32
        reply.append(x >> 24)
    return harness.without_line_ends(bytes(reply[reply.index(b"\n") + 1 :]))


def whole_copy(page):
    """A results page's copy: the page without CR and LF up to the end of its table."""
    end = page.index(b"</TABLE>") + len(b"</TABLE>")
    return harness.without_line_ends(page[:end])


@unittest.skipIf(
    harness.windows_text_mode(),
    "Wine's WinINet answers several of these faults differently from the layer",
)
class FaultSweep(harness.SweepTestCase):
    PAGES = {
        **{c: results_page(c) for c in RESULT_CODES},
        **{c: fault_page(c) for c in FAULT_CODES},
    }
    MODES = {c: fault_mode(i, c) for i, c in enumerate(FAULT_CODES)}

    @classmethod
    def setUpClass(cls):
        started = time.monotonic()
        super().setUpClass()
        cls.seconds = time.monotonic() - started

    def test_exit_code_and_time(self):
        self.assertEqual(self.sweep.returncode, 3)
        self.assertLess(self.seconds, 120)

    def test_output_is_exactly_that_of_the_results_pages(self):
        expected = "".join(f"{c},{NAME},1\n" + cases.SMALL_ROWS for c in RESULT_CODES)
        self.assertEqual(self.sweep.stdout, expected.encode("shift_jis"))

    def test_standard_error_holds_progress_and_one_report_per_failed_request(self):
        lines = self.sweep.stderr.decode("shift_jis").splitlines()
        failing = [c for c, m in self.MODES.items() if m.split()[0] in FAILS]
        # The closing report: the counts, then the failed codes, none of them next to another.
        self.assertEqual(
            lines[-2:],
            [
                f"処理したコード {len(CODES)} 件、決算のあった企業 {len(RESULT_CODES)} 社、"
                f"URLオープンエラー {len(failing)} 件、ファイル作成エラー 0 件",
                "URLオープンエラーのコード: " + ", ".join(map(str, sorted(failing))),
            ],
        )
        lines = lines[:-2]
        reports = [line for line in lines if line == "URLオープンエラー"]
        reasons = [line for line in lines if line.startswith(": ")]
        progress = [line for line in lines if line != "URLオープンエラー" and not line.startswith(": ")]
        self.assertEqual(progress, [f"{c},{NAME},1" for c in RESULT_CODES])
        self.assertEqual(len(reports), len(failing))
        self.assertEqual(len(reasons), len(failing))

    def test_copies_of_results_pages(self):
        for code in RESULT_CODES:
            self.assertEqual(self.sweep.copy(code), whole_copy(self.PAGES[code]), code)

    def test_copies_of_faulted_pages_hold_what_arrived(self):
        for code, mode in self.MODES.items():
            kind = mode.split()[0]
            page = harness.without_line_ends(self.PAGES[code])
            got = self.sweep.copy(code)
            with self.subTest(code=code, mode=mode):
                if kind in FAILS:
                    self.assertEqual(got, b"")
                elif kind == "garbage":
                    self.assertEqual(got, garbage_copy(code))
                elif kind == "huge":
                    self.assertGreater(len(got), 10 * 1024 * 1024 - 40000)
                    self.assertTrue(got.endswith(page))
                elif kind == "resetmid":
                    raw = self.PAGES[code]
                    self.assertEqual(got, harness.without_line_ends(raw[: len(raw) // 2]))
                elif kind == "badchunk":
                    self.assertEqual(got, harness.without_line_ends(self.PAGES[code][:1500]))
                else:
                    self.assertEqual(got, page)

    def test_every_code_requested(self):
        codes = {r["code"] for r in self.requests if "/moved/" not in r["path"]}
        self.assertEqual(codes, set(CODES))


if __name__ == "__main__":
    unittest.main()
