"""The sample data set: deterministic, spread over the codes, in the layout, and read right.

    PYTHONPATH=tests python3 -m unittest tests/sample/generate_test.py -v

The sweep runs the tool of KESSAN_COMMAND (default build/kessan) through the stand-in service.
"""

import collections
import json
import os
import pathlib
import re
import tempfile
import unittest

from kessan_testing import FIRST_CODE, LAST_CODE
from kessan_testing import results_page as rp
from kessan_testing import sample
from kessan_testing.sample_sweep import Sweep, written  # noqa: F401  (Sweep runs here)


def read_folder(folder):
    return {p.name: p.read_bytes() for p in pathlib.Path(folder).iterdir()}


class Determinism(unittest.TestCase):
    def test_same_seed_gives_the_same_files(self):
        folder, _ = written()
        files = read_folder(folder)
        again = sample.generate()
        self.assertEqual(
            sorted(files), sorted(["%d.html" % c["code"] for c in again] + [sample.RECORD_NAME])
        )
        self.assertEqual(
            [c["code"] for c in again if files["%d.html" % c["code"]] != sample.page_bytes(c)], []
        )
        record = json.loads(files[sample.RECORD_NAME])
        self.assertEqual(record["seed"], sample.SEED)
        self.assertEqual(record["companies"], again)

    def test_other_seed_gives_other_pages(self):
        one = sample.generate(seed=1, count=200)
        two = sample.generate(seed=2, count=200)
        self.assertNotEqual([c["code"] for c in one], [c["code"] for c in two])
        self.assertNotEqual(sample.page_bytes(one[0], 1), sample.page_bytes(two[0], 2))

    def test_writing_again_replaces_the_earlier_set(self):
        with tempfile.TemporaryDirectory() as reused, tempfile.TemporaryDirectory() as fresh:
            sample.write(reused, seed=7, count=300)
            sample.write(reused, seed=8, count=40)
            sample.write(fresh, seed=8, count=40)
            self.assertEqual(read_folder(reused), read_folder(fresh))


class DataSet(unittest.TestCase):
    """The default data set as written."""

    @classmethod
    def setUpClass(cls):
        cls.folder, cls.companies = written()
        cls.pages = {
            c["code"]: (cls.folder / ("%d.html" % c["code"])).read_bytes() for c in cls.companies
        }

    def test_code_spread(self):
        codes = [c["code"] for c in self.companies]
        self.assertEqual(len(codes), 3900)
        self.assertEqual(codes, sorted(set(codes)))
        self.assertGreaterEqual(codes[0], FIRST_CODE)
        self.assertLessEqual(codes[-1], LAST_CODE)
        files = sorted(n for n in os.listdir(self.folder) if n.endswith(".html"))
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
        self.assertTrue(30 <= kinds[sample.NO_TABLE] <= 150, kinds)
        self.assertTrue(20 <= kinds[sample.MONTHS_ZERO] <= 100, kinds)
        periods = collections.Counter(
            len(c["periods"]) for c in self.companies if c["kind"] != sample.NO_TABLE
        )
        self.assertEqual(sorted(periods), [1, 2, 3])
        self.assertGreater(periods[3], periods[1] + periods[2])
        for c in self.companies:
            if c["kind"] == sample.MONTHS_ZERO:
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
                smallest = 1_000 if company["kind"] == sample.NO_TABLE else 3_000
                self.assertTrue(smallest <= len(page) <= 10_000, len(page))
                page.decode("euc_jp")
                # JIS X 0208 pairs only: no half-width katakana (8E) or JIS X 0212 (8F).
                self.assertNotIn(0x8E, page)
                self.assertNotIn(0x8F, page)
                lines = page.replace(b"\r\n", b"\n").split(b"\n")
                self.assertEqual(sum(1 for line in lines if b"<FONT size=" in line), 1)
                name_line = next(line for line in lines if b"<FONT size=" in line)
                expected = "%s（%s：%d）" % (company["name"], company["market"], company["code"])
                self.assertEqual(
                    name_line, name_prefix + expected.encode("euc_jp") + b"</FONT></TD>"
                )
                has_table = rp.TABLE_START.encode("ascii") in lines
                self.assertEqual(has_table, company["kind"] != sample.NO_TABLE)
                if has_table:
                    table = lines[lines.index(rp.TABLE_START.encode("ascii")) :]
                    table = table[: table.index(b"</TABLE>") + 1]
                    self.assertLessEqual(max(len(line) for line in table), 255)

    def test_units_negatives_and_dashes_appear(self):
        pages = b"".join(self.pages.values())
        for text in [
            "百万円<BR>",
            "千円<BR>",
            "千株<BR>",
            "円<BR>",
            "%<BR>",
            "ヶ月<BR>",
            "\n−<BR>",
            "△",
            "▲",
            "0ヶ月<BR>",
        ]:
            self.assertTrue(text.encode("euc_jp") in pages, "no %s on any page" % text)
        self.assertEqual("−".encode("euc_jp"), b"\xa1\xdd")
        minus = rb"\n-[0-9][0-9,.]*(\xc9\xb4\xcb\xfc\xb1\xdf|%)<BR>"  # -1,234百万円, -1.2%
        self.assertIsNotNone(re.search(minus, pages), "no ASCII minus on any page")


if __name__ == "__main__":
    unittest.main()
