"""What a sweep of the sample data set prints and keeps, and the test case that holds a whole
sweep of the tool of KESSAN_COMMAND (default build/kessan) to it."""

import atexit
import os
import pathlib
import subprocess
import tempfile
import unittest

from kessan_testing import CODES, harness, sample
from kessan_testing import results_page as rp

LABELS = [label for row in rp.ROW_LABELS for label in row]
TWO_DECIMALS = {8, 9, 10, 12, 21, 22, 23}
MULTIPLIER = {"百万円": 10**6, "千円": 10**3, "円": 1, "千株": 10**3, "%": 1}


def expected_field(period, item):
    if item == 1:
        return "%d/%d" % tuple(period["end"])
    if item == 2:
        return "%d/%d/%d" % tuple(period["announced"]) if period["announced"] else "1900/1/1"
    if item == 3:
        return "%d" % period["months"]
    if item == 11:
        return "0"  # the dividend class is not kept
    value = 0.0
    fig = period["figures"][str(item)]
    if fig is not None:
        mantissa, decimals, unit = fig
        value = mantissa * MULTIPLIER[unit] if decimals == 0 else mantissa / 10**decimals
        if decimals:
            assert MULTIPLIER[unit] == 1
    return ("%.2f" if item in TWO_DECIMALS else "%.0f") % value


def expected_block(company):
    periods = company["periods"]
    lines = ["%d,%s,%d" % (company["code"], company["name"], len(periods))]
    for item, label in enumerate(LABELS, 1):
        lines.append(",".join([label] + [expected_field(p, item) for p in periods]))
    return "".join(line + "\n" for line in lines)


def sweep_output(companies, line_end="\n"):
    """The standard output of a sweep over companies, all with figures, in Shift_JIS."""
    text = "".join(expected_block(c) for c in companies)
    return text.replace("\n", line_end).encode("shift_jis")


def expected_copy(company, page):
    """The page without line ends, up to the line where the scan stops."""
    lines = page.replace(b"\r\n", b"\n").split(b"\n")
    if company["kind"] != sample.NO_TABLE:
        start = lines.index(rp.TABLE_START.encode("ascii"))
        stop = "0ヶ月<BR>" if company["kind"] == sample.MONTHS_ZERO else "</TABLE>"
        lines = lines[: lines.index(stop.encode("euc_jp"), start) + 1]
    return b"".join(lines)


_written = None


def written():
    """The default data set, written once per process: (its folder, its companies)."""
    global _written
    if _written is None:
        folder = tempfile.TemporaryDirectory(prefix="kessan-sample-")
        atexit.register(folder.cleanup)
        companies, _ = sample.write(folder.name)
        _written = pathlib.Path(folder.name), companies
    return _written


class Sweep(unittest.TestCase):
    """The tool swept over the whole data set reports what the record says."""

    @classmethod
    def setUpClass(cls):
        command = harness.tool_command()
        if not os.path.exists(command[0]):
            raise AssertionError("%s is not built; build it or set KESSAN_COMMAND" % command[0])
        cls.dir, cls.companies = written()
        cls.service = harness.StandIn(cls.dir)
        # Beside it, a sweep with standard error captured with standard output (2>&1).
        cls.merged = harness.Run(command, cls.service, wait=False, merged=True)
        cls.sweep = harness.Run(command, cls.service)
        cls.merged.finish()

    @classmethod
    def tearDownClass(cls):
        cls.sweep.close()
        cls.merged.close()
        cls.service.close()

    def test_exit_code(self):
        self.assertEqual(self.sweep.returncode, 0)

    def test_standard_output_is_the_record(self):
        reported = [c for c in self.companies if c["kind"] == sample.RESULTS]
        self.assertGreater(len(reported), 3600)
        expected = sweep_output(reported)
        if self.sweep.stdout != expected:
            got = self.sweep.stdout.split(b"\n")
            want = expected.split(b"\n")
            first = next(
                (i for i, (g, w) in enumerate(zip(got, want)) if g != w), min(len(got), len(want))
            )
            self.fail(
                "line %d: got %r, want %r (%d lines, want %d)"
                % (first + 1, got[first : first + 1], want[first : first + 1], len(got), len(want))
            )

    def test_standard_error_lists_the_companies(self):
        expected = "".join(
            "%d,%s,%d\n" % (c["code"], c["name"], len(c["periods"]))
            for c in self.companies
            if c["kind"] == sample.RESULTS
        )
        self.assertEqual(self.sweep.stderr, expected.encode("shift_jis"))

    def test_local_copies(self):
        self.assertEqual(len(self.sweep.copies()), len(CODES))

    def test_table_of_a_sweep_captured_with_standard_error(self):
        """2>&1 puts summary lines between a summary line and its rows wherever standard
        output's buffer was written out: --keep-going writes no row under another company."""
        tidy = harness.tidy_command()
        clean = subprocess.run(tidy, input=self.sweep.stdout, capture_output=True, timeout=60)
        kept = subprocess.run(
            tidy + ["--keep-going"], input=self.merged.stdout, capture_output=True, timeout=60
        )
        self.assertEqual((clean.returncode, kept.returncode), (0, 2), kept.stderr[-300:])
        clean_rows = set(clean.stdout.split(b"\n"))
        kept_rows = kept.stdout.split(b"\n")
        self.assertEqual([r for r in kept_rows if r not in clean_rows], [])
        self.assertGreater(len(kept_rows), len(clean_rows) * 0.8)
        wrong = []
        for company in self.companies:
            page = (self.dir / ("%d.html" % company["code"])).read_bytes()
            if self.sweep.copy(company["code"]) != expected_copy(company, page):
                wrong.append(company["code"])
        self.assertEqual(wrong, [])
        with_page = {c["code"] for c in self.companies}
        missing = [c for c in CODES if c not in with_page]
        self.assertGreater(len(missing), 4000)
        not_found = harness.without_line_ends(
            self.service.get("http://profile.example.com/biz/independent/%d.html" % missing[0])
        )
        self.assertIn(b"404", not_found)
        self.assertEqual([c for c in missing if self.sweep.copy(c) != not_found], [])


def saved_by_powershell(sweep, encoding, code_page="cp932"):
    """The sweep as PowerShell saves kessan.exe > FILE: read line by line with the console's code
    page, '?' for a byte it cannot read, and written with CR LF as UTF-16LE with a byte-order mark
    (Windows PowerShell 5.1) or as UTF-8 (PowerShell 7.0-7.3; utf-8-sig with one)."""
    text = sweep.decode(code_page, errors="replace").replace("\ufffd", "?")
    text = "".join(line.rstrip("\r") + "\r\n" for line in text.split("\n")[:-1])
    return (
        "\ufeff".encode("utf-16-le") + text.encode("utf-16-le")
        if encoding == "utf-16"
        else (text.encode(encoding))
    )
