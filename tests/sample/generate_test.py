"""The sample data set: deterministic, spread over the codes, in the layout, and read right.

    python3 -m unittest tests/sample/generate_test.py -v

The sweep runs the tool of KESSAN_COMMAND (default build/kessan) through the stand-in service.
"""

import collections
import json
import os
import pathlib
import re
import shlex
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "e2e"))

import generate  # noqa: E402
import harness  # noqa: E402
import results_page as rp  # noqa: E402

LABELS = [label for row in rp.ROW_LABELS for label in row]
TWO_DECIMALS = {8, 9, 10, 12, 21, 22, 23}
MULTIPLIER = {"百万円": 10 ** 6, "千円": 10 ** 3, "円": 1, "千株": 10 ** 3, "%": 1}


def read_folder(folder):
    return {p.name: p.read_bytes() for p in pathlib.Path(folder).iterdir()}


# The default data set, written once for every test here.
SAMPLE = None
COMPANIES = None


def setUpModule():
    global SAMPLE, COMPANIES
    SAMPLE = tempfile.TemporaryDirectory(prefix="kessan-sample-")
    COMPANIES, _ = generate.write(SAMPLE.name)


def tearDownModule():
    SAMPLE.cleanup()


class Determinism(unittest.TestCase):

    def test_same_seed_gives_the_same_files(self):
        written = read_folder(SAMPLE.name)
        again = generate.generate()
        self.assertEqual(sorted(written), sorted(["%d.html" % c["code"] for c in again] +
                                                 [generate.RECORD_NAME]))
        self.assertEqual([c["code"] for c in again if
                          written["%d.html" % c["code"]] != generate.page_bytes(c)], [])
        record = json.loads(written[generate.RECORD_NAME])
        self.assertEqual(record["seed"], generate.SEED)
        self.assertEqual(record["companies"], again)

    def test_other_seed_gives_other_pages(self):
        one = generate.generate(seed=1, count=200)
        two = generate.generate(seed=2, count=200)
        self.assertNotEqual([c["code"] for c in one], [c["code"] for c in two])
        self.assertNotEqual(generate.page_bytes(one[0], 1), generate.page_bytes(two[0], 2))

    def test_writing_again_replaces_the_earlier_set(self):
        with tempfile.TemporaryDirectory() as reused, tempfile.TemporaryDirectory() as fresh:
            generate.write(reused, seed=7, count=300)
            generate.write(reused, seed=8, count=40)
            generate.write(fresh, seed=8, count=40)
            self.assertEqual(read_folder(reused), read_folder(fresh))


class DataSet(unittest.TestCase):
    """The default data set as written."""

    @classmethod
    def setUpClass(cls):
        cls.companies = COMPANIES
        cls.pages = {c["code"]: (pathlib.Path(SAMPLE.name) / ("%d.html" % c["code"])).read_bytes()
                     for c in cls.companies}

    def test_code_spread(self):
        codes = [c["code"] for c in self.companies]
        self.assertEqual(len(codes), 3900)
        self.assertEqual(codes, sorted(set(codes)))
        self.assertGreaterEqual(codes[0], 1300)
        self.assertLessEqual(codes[-1], 9999)
        files = sorted(n for n in os.listdir(SAMPLE.name) if n.endswith(".html"))
        self.assertEqual(files, sorted("%d.html" % c for c in codes))
        per_thousand = collections.Counter(c // 1000 for c in codes)
        # 1300..1999 is 700 codes, the other blocks 1,000 each: about 45% of each has a page.
        self.assertTrue(200 <= per_thousand[1] <= 450, per_thousand)
        for block in range(2, 10):
            self.assertTrue(300 <= per_thousand[block] <= 600, per_thousand)
        gaps = [b - a for a, b in zip(codes, codes[1:])]
        self.assertLess(max(gaps), 60)
        self.assertGreater(sum(1 for g in gaps if g == 1), 500)

    def test_kinds_of_page_and_periods(self):
        kinds = collections.Counter(c["kind"] for c in self.companies)
        self.assertTrue(30 <= kinds[generate.NO_TABLE] <= 150, kinds)
        self.assertTrue(20 <= kinds[generate.MONTHS_ZERO] <= 100, kinds)
        periods = collections.Counter(len(c["periods"]) for c in self.companies
                                      if c["kind"] != generate.NO_TABLE)
        self.assertEqual(sorted(periods), [1, 2, 3])
        self.assertGreater(periods[3], periods[1] + periods[2])
        for c in self.companies:
            if c["kind"] == generate.MONTHS_ZERO:
                self.assertEqual([p["months"] for p in c["periods"]].count(0), 1, c["code"])
            else:
                self.assertNotIn(0, [p["months"] for p in c["periods"]], c["code"])

    def test_names_are_distinct_and_fit(self):
        names = [c["name"] for c in self.companies]
        self.assertEqual(len(set(names)), len(names))
        for name in names:
            self.assertLessEqual(len(name.encode("shift_jis")), 127, name)

    def test_pages_are_euc_jp_in_the_layout(self):
        name_prefix = b'<TD><FONT size="+1">'
        self.assertEqual(len(name_prefix), 20)
        for company in self.companies:
            page = self.pages[company["code"]]
            with self.subTest(code=company["code"]):
                smallest = 1_000 if company["kind"] == generate.NO_TABLE else 3_000
                self.assertTrue(smallest <= len(page) <= 10_000, len(page))
                page.decode("euc_jp")
                # JIS X 0208 pairs only: no half-width katakana (8E) or JIS X 0212 (8F).
                self.assertNotIn(0x8E, page)
                self.assertNotIn(0x8F, page)
                lines = page.replace(b"\r\n", b"\n").split(b"\n")
                self.assertEqual(sum(1 for l in lines if b"<FONT size=" in l), 1)
                name_line = next(l for l in lines if b"<FONT size=" in l)
                expected = "%s（%s：%d）" % (company["name"], company["market"], company["code"])
                self.assertEqual(name_line,
                                 name_prefix + expected.encode("euc_jp") + b"</FONT></TD>")
                has_table = rp.TABLE_START.encode("ascii") in lines
                self.assertEqual(has_table, company["kind"] != generate.NO_TABLE)
                if has_table:
                    table = lines[lines.index(rp.TABLE_START.encode("ascii")):]
                    table = table[:table.index(b"</TABLE>") + 1]
                    self.assertLessEqual(max(len(l) for l in table), 255)

    def test_units_negatives_and_dashes_appear(self):
        pages = b"".join(self.pages.values())
        for text in ["百万円<BR>", "千円<BR>", "千株<BR>", "円<BR>", "%<BR>", "ヶ月<BR>",
                     "\n−<BR>", "△", "▲", "0ヶ月<BR>"]:
            self.assertTrue(text.encode("euc_jp") in pages, "no %s on any page" % text)
        self.assertEqual("−".encode("euc_jp"), b"\xa1\xdd")
        minus = rb"\n-[0-9][0-9,.]*(\xc9\xb4\xcb\xfc\xb1\xdf|%)<BR>"  # -1,234百万円, -1.2%
        self.assertIsNotNone(re.search(minus, pages), "no ASCII minus on any page")


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
        value = mantissa * MULTIPLIER[unit] if decimals == 0 else mantissa / 10 ** decimals
        if decimals:
            assert MULTIPLIER[unit] == 1
    return ("%.2f" if item in TWO_DECIMALS else "%.0f") % value


def expected_block(company):
    periods = company["periods"]
    lines = ["%d,%s,%d" % (company["code"], company["name"], len(periods))]
    for item, label in enumerate(LABELS, 1):
        lines.append(",".join([label] + [expected_field(p, item) for p in periods]))
    return "".join(line + "\n" for line in lines)


def expected_copy(company, page):
    """The page without line ends, up to the line where the scan stops."""
    lines = page.replace(b"\r\n", b"\n").split(b"\n")
    if company["kind"] != generate.NO_TABLE:
        start = lines.index(rp.TABLE_START.encode("ascii"))
        stop = "0ヶ月<BR>" if company["kind"] == generate.MONTHS_ZERO else "</TABLE>"
        lines = lines[:lines.index(stop.encode("euc_jp"), start) + 1]
    return b"".join(lines)


def tool_command():
    if "KESSAN_COMMAND" in os.environ:
        return shlex.split(os.environ["KESSAN_COMMAND"])
    return [str(HERE.parent.parent / "build" / "kessan")]


class Sweep(unittest.TestCase):
    """The tool swept over the whole data set reports what the record says."""

    @classmethod
    def setUpClass(cls):
        command = tool_command()
        if not os.path.exists(command[0]):
            raise AssertionError("%s is not built; build it or set KESSAN_COMMAND" % command[0])
        cls.dir = SAMPLE
        cls.companies = COMPANIES
        cls.service = harness.StandIn(cls.dir.name)
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
        reported = [c for c in self.companies if c["kind"] == generate.RESULTS]
        self.assertGreater(len(reported), 3600)
        expected = "".join(expected_block(c) for c in reported).encode("shift_jis")
        if self.sweep.stdout != expected:
            got = self.sweep.stdout.split(b"\n")
            want = expected.split(b"\n")
            first = next((i for i, (g, w) in enumerate(zip(got, want)) if g != w),
                         min(len(got), len(want)))
            self.fail("line %d: got %r, want %r (%d lines, want %d)" % (
                first + 1, got[first:first + 1], want[first:first + 1], len(got), len(want)))

    def test_standard_error_lists_the_companies(self):
        expected = "".join("%d,%s,%d\n" % (c["code"], c["name"], len(c["periods"]))
                           for c in self.companies if c["kind"] == generate.RESULTS)
        self.assertEqual(self.sweep.stderr, expected.encode("shift_jis"))

    def test_local_copies(self):
        self.assertEqual(len(self.sweep.copies()), 8700)

    def test_table_of_a_sweep_captured_with_standard_error(self):
        """2>&1 puts summary lines between a summary line and its rows wherever standard
        output's buffer was written out: --keep-going writes no row under another company."""
        tidy = [os.environ.get("KESSAN_TIDY_COMMAND",
                               str(HERE.parent.parent / "build" / "kessan-tidy"))]
        clean = subprocess.run(tidy, input=self.sweep.stdout, capture_output=True, timeout=60)
        kept = subprocess.run(tidy + ["--keep-going"], input=self.merged.stdout,
                              capture_output=True, timeout=60)
        self.assertEqual((clean.returncode, kept.returncode), (0, 2), kept.stderr[-300:])
        clean_rows = set(clean.stdout.split(b"\n"))
        kept_rows = kept.stdout.split(b"\n")
        self.assertEqual([r for r in kept_rows if r not in clean_rows], [])
        self.assertGreater(len(kept_rows), len(clean_rows) * 0.8)
        wrong = []
        for company in self.companies:
            page = (pathlib.Path(self.dir.name) / ("%d.html" % company["code"])).read_bytes()
            if self.sweep.copy(company["code"]) != expected_copy(company, page):
                wrong.append(company["code"])
        self.assertEqual(wrong, [])
        with_page = {c["code"] for c in self.companies}
        missing = [c for c in range(1300, 10000) if c not in with_page]
        self.assertGreater(len(missing), 4000)
        not_found = harness.without_line_ends(
            self.service.get("http://profile.example.com/biz/independent/%d.html" % missing[0]))
        self.assertIn(b"404", not_found)
        self.assertEqual([c for c in missing if self.sweep.copy(c) != not_found], [])


if __name__ == "__main__":
    unittest.main()
