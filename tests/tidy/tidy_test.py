"""kessan-tidy end to end: a whole sample sweep converted and checked against the sample data
set's record, the output file written whole or not at all, and the exit codes.

    PYTHONPATH=tests KESSAN_TIDY_COMMAND=$PWD/build/kessan-tidy \\
    python3 -m unittest tests/tidy/tidy_test.py -v

The sweep's output is made from the record by kessan_testing.sample_sweep, which the
sample.generator test holds byte for byte to a real sweep of build/kessan.
"""

import copy
import csv
import datetime
import fractions
import decimal
import io
import json
import math
import os
import pathlib
import random
import re
import resource
import shutil
import signal
import stat
import string
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from kessan_testing import ROOT, sample, share_splits
from kessan_testing.harness import tidy_command
from kessan_testing.sample_sweep import (
    MULTIPLIER,
    expected_field,
    saved_by_powershell,
    sweep_output,
)


COLUMNS = [
    "code",
    "name",
    "period",
    "period_end",
    "announced_on",
    "months",
    "net_sales",
    "operating_income",
    "ordinary_income",
    "net_income",
    "eps",
    "diluted_eps",
    "dividend_per_share",
    "dividend_class",
    "equity_per_share",
    "shares_issued",
    "total_assets",
    "shareholders_equity",
    "capital_stock",
    "interest_bearing_debt",
    "retained_earnings",
    "equity_ratio",
    "unrealized_gains",
    "roa",
    "roe",
    "ordinary_roa",
]
ADJUSTED = ["eps", "diluted_eps", "dividend_per_share", "equity_per_share"]
HISTORY_COLUMNS = (
    COLUMNS[:2]
    + ["sweep", "revised"]
    + COLUMNS[3:]
    + ["split_factor"]
    + [name + "_adjusted" for name in ADJUSTED]
)
CHANGES_COLUMNS = "change code name period_end figure before before_sweep after after_sweep".split()
TIMEOUT_S = 60


def tidy(*args, stdin=b"", cwd=None, preexec_fn=None, command=None):
    return subprocess.run(
        (command or tidy_command()) + list(args),
        input=stdin,
        capture_output=True,
        cwd=cwd,
        preexec_fn=preexec_fn,
        timeout=TIMEOUT_S,
    )


COMPANIES = sample.with_figures(sample.generate())
SWEEP = sweep_output(COMPANIES)


def successive_sweeps(companies, years, changes=None):
    """years sweeps, oldest first, of the companies' series run years - 1 years further back, each
    showing as many periods as the record: every 7th company from the 2nd appears in the second
    sweep, from the 3rd is gone from the last; every 9th from the 4th is renamed in a sweep after
    the first, every 5th from the 5th restates figures of an earlier period in a later sweep,
    every 13th from the 7th ends a period in December after one in the same year; company 5's
    newest period in the second has no calendar date. changes, when given, gets the changes
    table's rows, with sweeps by index, as the generator made them."""
    sweeps = [[] for _ in range(years)]
    note = changes.append if changes is not None else lambda row: None
    for index, company in enumerate(companies):
        shown, rng = len(company["periods"]), random.Random(company["code"])
        n = shown + years - 1
        series = [
            {
                "end": end,
                "announced": announced,
                "months": months,
                "dividend_class": None,
                "figures": {str(k): v for k, v in figures.items()},
            }
            for (end, announced, months), figures in zip(
                sample.period_dates(rng, n, None),
                sample.company_periods(rng, n, sample.MILLION_YEN),
            )
        ]
        if index % 13 == 6 and n > 3 and series[3]["end"][1] < 12:
            series[2]["end"] = [series[3]["end"][0], 12]
            series[2]["months"] = 12 - series[3]["end"][1]
        code, renamed = company["code"], 1 + index % max(years - 1, 1)
        present, name = [], None
        for year in range(years):
            if (index % 7, year) in ((1, 0), (2, years - 1)):
                continue
            periods = copy.deepcopy(series[years - 1 - year :][:shown])
            new_name = ("ニュー" if index % 9 == 3 and year >= renamed else "") + company["name"]
            if present and new_name != name:
                note(["renamed", code, None, None, name, present[-1], new_name, year])
            present.append(year)
            name = new_name
            sweeps[year].append(dict(company, name=name, periods=periods))
        if index % 7 == 1:
            note(["listed", code, None, None, None, None, None, 1])
        if index % 7 == 2:
            note(["gone", code, None, None, None, years - 2, None, None])
        if index % 5 == 4 and shown > 1 and present[0] + 1 < years:
            # Restated from a sweep on, in every later sweep that shows the period.
            year = rng.randrange(present[0] + 1, years)
            target = series[years - 1 - year + 1]["end"]
            items = rng.sample([str(i) for i in range(4, 24) if i != 11], 3)
            shows = [
                (y, p)
                for y in present
                for c in sweeps[y]
                if c["code"] == code
                for p in c["periods"]
                if p["end"] == target
            ]
            first = next(p for y, p in shows if y < year)
            for y, p in shows:
                for item in items:
                    if y >= year and p["figures"][item] is not None:
                        p["figures"][item][0] += 1
            for item in items:
                before, after = expected_field(first, int(item)), expected_field(
                    shows[-1][1], int(item)
                )
                if before != after:
                    end = "%04d-%02d" % tuple(target)
                    row = ["restated", code, end, COLUMNS[2 + int(item)], before, shows[0][0]]
                    note(row + [after, shows[-1][0]])
        if index == 5:
            sweeps[1][-1]["periods"][0]["end"][1] = 13
    if changes is not None:
        names = {c["code"]: c["name"] for sweep in sweeps for c in sweep}
        for row in changes:
            row.insert(2, names[row[1]])
    return sweeps


def expected_changes(changes, names):
    """The changes table's rows, in its order, from the generator's: a company's own changes by
    the sweep they happened in, then its periods newest first and the figures in column order."""

    def order(row):
        if row[3] is None:
            return (row[1], 0, row[8] if row[8] is not None else row[6] + 1)
        return (row[1], 1, -int(row[3].replace("-", "")), COLUMNS.index(row[4]))

    def shown(value, column):
        return "" if value is None else names[value] if column in (6, 8) else str(value)

    rows = sorted(changes, key=order)
    return [[shown(v, column) for column, v in enumerate(row)] for row in rows]


def expected_history(sweeps, names):
    """The history's rows from the record, without announced_on, and its summary's counts."""
    periods, undated, company_names = {}, [], {}
    for year, companies in enumerate(sweeps):
        for company in companies:
            company_names[company["code"]] = company["name"]
            for p in company["periods"]:
                row = [expected_field(p, item) for item in range(1, 24)]
                if p["end"][1] > 12:
                    undated.append(((company["code"], 1, -year), [names[year], "", ""] + row[2:]))
                    continue
                key = (company["code"], -100 * p["end"][0] - p["end"][1])
                first_year, first = periods.get(key, (year, row))[:2]
                changed = sum(a != b for a, b in zip(first[3:], row[3:]))
                shown = [names[year], str(changed) if year > first_year else ""]
                end = "%04d-%02d" % tuple(p["end"])
                periods[key] = (first_year, first, shown + [end] + row[2:])
    rows = sorted([(key, value[2]) for key, value in periods.items()] + undated)
    table = [[str(key[0]), company_names[key[0]]] + row for key, row in rows]
    revised = sum(1 for value in periods.values() if value[2][1] not in ("", "0"))
    return table, (len(sweeps), len(company_names), len(periods), revised, len(undated))


def exact_figure(figure):
    """The record's figure as the sweep prints it, in integer arithmetic."""
    if figure is None:
        return None
    mantissa, decimals, unit = figure
    if decimals == 0:
        return str(mantissa * MULTIPLIER[unit])
    if decimals == 2:
        return "%s%d.%02d" % (
            "-" if mantissa < 0 else "",
            abs(mantissa) // 100,
            abs(mantissa) % 100,
        )
    return None  # one decimal: printed rounded to a whole number


class WholeSampleSweep(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(tidy_command()[0]):
            raise AssertionError("%s is not built; set KESSAN_TIDY_COMMAND" % tidy_command()[0])
        cls.folder = tempfile.TemporaryDirectory(prefix="kessan-tidy-")
        cls.input = pathlib.Path(cls.folder.name) / "results.csv"
        cls.input.write_bytes(SWEEP)
        cls.done = tidy(str(cls.input))
        cls.rows = list(csv.reader(io.StringIO(cls.done.stdout.decode("utf-8"), newline="")))

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_one_row_per_company_and_period(self):
        self.assertEqual((self.done.returncode, self.done.stderr), (0, b""))
        self.assertEqual(self.rows[0], COLUMNS)
        self.assertEqual(len(self.rows) - 1, sum(len(c["periods"]) for c in COMPANIES))
        self.assertGreater(len(COMPANIES), 3600)
        self.assertEqual(
            [(int(r[0]), r[1]) for r in self.rows[1:] if r[2] == "1"],
            [(c["code"], c["name"]) for c in COMPANIES],
        )
        self.assertNotIn(b"\r", self.done.stdout)

    def test_figures_against_the_record(self):
        by_key = {(int(r[0]), int(r[2])): dict(zip(COLUMNS, r)) for r in self.rows[1:]}
        checked = 0
        for company in COMPANIES[:: len(COMPANIES) // 40] + [COMPANIES[-1]]:
            for k, period in enumerate(company["periods"], 1):
                row = by_key[(company["code"], k)]
                self.assertEqual(row["name"], company["name"])
                self.assertEqual(row["period_end"], "%04d-%02d" % tuple(period["end"]))
                announced = period["announced"] or [1900, 1, 1]
                self.assertEqual(row["announced_on"], "%04d-%02d-%02d" % tuple(announced))
                self.assertEqual(row["months"], str(period["months"]))
                self.assertEqual(row["dividend_class"], "0")
                for item, column in (
                    (4, "net_sales"),
                    (7, "net_income"),
                    (8, "eps"),
                    (13, "shares_issued"),
                    (18, "retained_earnings"),
                    (22, "roe"),
                ):
                    exact = exact_figure(period["figures"][str(item)])
                    self.assertIn(
                        row[column],
                        (exact,) if exact else ("0", "0.00"),
                        (company["code"], k, column),
                    )
                    checked += 1
        self.assertGreater(checked, 500)

    def test_the_sweep_as_powershell_saves_it(self):
        """Read as the same sweep, unless the console's code page lost characters: the rows before
        the loss are written, and the message says where and what to run instead."""
        name = COMPANIES[9]["name"].encode("shift_jis")
        unassigned = SWEEP.replace(name, name + b"\x85\x40", 1)  # no character in code page 932
        table = self.done.stdout.splitlines(True)
        header, periods = table[0], [len(c["periods"]) for c in COMPANIES]
        rows_before = b"".join(table[: 1 + sum(periods[:9])])
        rows_but_tenth = rows_before + b"".join(table[1 + sum(periods[:10]) :])
        # A pipe of Windows PowerShell 5.1 passes ASCII only.
        piped = SWEEP.decode("cp932", errors="replace").encode("ascii", errors="replace")
        # Shift_JIS, standard error first (2>&1), with names that read as UTF-8.
        captured = SWEEP
        for company, odd in zip(COMPANIES, (b"\xc3\xbd\xc3\xbd", b"\xcf\xb2 \xc3\xbd")):
            captured = captured.replace(company["name"].encode("shift_jis"), odd, 1)
        lines = captured.splitlines(True)
        cases = [  # label, file, exit code, table, message, arguments
            ("Windows PowerShell 5.1", saved_by_powershell(SWEEP, "utf-16"), 0, None, b""),
            ("PowerShell 7.0-7.3", saved_by_powershell(SWEEP, "utf-8"), 0, None, b""),
            (
                "a console of code page 437",
                saved_by_powershell(SWEEP, "utf-16", "cp437"),
                1,
                header,
                b"<stdin>:1: U+00E2 is not a character of code page 932",
            ),
            (
                "an unassigned pair",
                saved_by_powershell(unassigned, "utf-8"),
                1,
                rows_before,
                b"<stdin>:%d: the name " % (9 * 24 + 1),
            ),
            (
                "a '?' in a name, --keep-going",
                saved_by_powershell(unassigned, "utf-16"),
                2,
                rows_but_tenth,
                b"could not read a character there, or the name has a '?' of its own",
                "--keep-going",
            ),
            ("PowerShell 5.1's pipe", piped, 1, header, b"labels' characters arrived as '?'"),
            (
                "Shift_JIS that starts as UTF-8",
                lines[0] + lines[24] + captured,
                1,
                header,
                b"<stdin>:2: summary line 1 is followed by another summary line",
            ),
        ]
        for label, saved, code, table, message, *args in cases:
            with self.subTest(label):
                done = tidy(*args, stdin=saved)
                self.assertEqual(done.returncode, code, done.stderr)
                self.assertEqual(done.stdout, self.done.stdout if table is None else table)
                self.assertIn(message, done.stderr)
                self.assertEqual(
                    b'cmd /c "kessan.exe > results.csv"' in done.stderr,
                    code != 0 and b"summary line" not in message,
                )


def openpyxl():
    """Debian's python3-openpyxl, also under another interpreter of the same Python version."""
    try:
        import openpyxl
    except ImportError:
        sys.path.append("/usr/lib/python3/dist-packages")
        import openpyxl
    return openpyxl


def stored_as_printed(text):
    """Whether a workbook that writes numbers with %.16G gives a reader the printed number."""
    value = float(text)
    if math.isinf(value) or float("%.16G" % value) != value:
        return False
    printed = decimal.Decimal(text)
    return decimal.Decimal(repr(value)) == printed or decimal.Decimal(value) == printed


def one_period_each(count):
    return sweep_output([dict(c, periods=c["periods"][:1]) for c in COMPANIES[:count]])


class Workbook(unittest.TestCase):
    def test_every_cell_as_the_csv_shows_it(self):
        """Read back by an independent reader: the CSV's table, numbers as the doubles its text
        denotes, dates as dates, with a number format per column, a bold frozen header row with
        a filter over the table, and widths that fit."""
        # Half-width katakana, 〓, a byte the conversion replaces, a control character.
        odd = one_period_each(2).replace(
            COMPANIES[1]["name"].encode("shift_jis"), b"\xb6\xcc\xde\x81\xac\xa0\x07 x"
        )
        # And an amount of more digits than a double holds, a period of 9 months, and the
        # sweep's placeholder for a page without an announcement date.
        sales = "売上高,".encode("shift_jis")
        odd = re.sub(re.escape(sales) + rb"-?\d+", sales + b"9" * 400, odd, count=1)
        odd = re.sub("決算月数,12".encode("shift_jis"), "決算月数,9".encode("shift_jis"), odd, 1)
        announced = "（決算発表日）,".encode("shift_jis")
        odd = re.sub(re.escape(announced) + rb"[\d/]+", announced + b"1900/1/1", odd, count=1)
        # Figures of 17 significant digits, which a workbook would store as other numbers.
        for label, figure in (
            ("営業利益,", b"12345678901234567"),
            ("経常利益,", b"9007199254740993"),  # the nearest double is ...992
            ("当期利益,", b"828256849568108700"),  # written back in 16 digits
            ("1株当り当期利益,", b"-1234567890123456.78"),
            ("1株当り配当,", b"731002469583214.75"),  # a double exactly
        ):
            label = label.encode("shift_jis")
            odd = re.sub(re.escape(label) + rb"[-\d.]+", label + figure, odd, count=1)
        version = tidy("--version").stdout.split()[1].decode()
        plain = ("code", "period", "revised", "months", "dividend_class", "split_factor")
        percent = ("equity_ratio", "roa", "roe", "ordinary_roa")
        yen = ("net_sales", "operating_income", "ordinary_income", "net_income", "total_assets")
        yen += ("shareholders_equity", "capital_stock", "interest_bearing_debt")
        yen += ("retained_earnings", "unrealized_gains")
        units = dict(
            {c: "円" for c in ADJUSTED + [c + "_adjusted" for c in ADJUSTED]},
            shares_issued="株",
            months="か月",
            **{c: "%" for c in percent},
        )
        scales = {"yen": ("円", "", ""), "thousand": ("千円", " (thousand yen)", ",")}
        scales["million"] = ("百万円", " (million yen)", ",,")
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            # A folder whose name is not UTF-8 (Latin-1), as the history's sweep.
            latin = pathlib.Path(os.fsdecode(os.fsencode(folder) + b"/caf\xe9"))
            latin.mkdir()
            (latin / "a.csv").write_bytes(odd)
            history = ["--history", "-", str(latin / "a.csv")]  # revised 0
            for header, sweep, inputs, unit in (
                ("en", SWEEP + odd, ["-"], "thousand"),
                ("none", odd, ["-"], "yen"),
                ("ja", odd, history, "million"),
            ):
                with self.subTest(header=header, inputs=inputs):
                    path = pathlib.Path(folder) / ("%s.xlsx" % header)
                    done = tidy(
                        "--format",
                        "xlsx",
                        "--header",
                        header,
                        "--unit",
                        unit,
                        "-o",
                        str(path),
                        *inputs,
                        stdin=sweep,
                    )
                    self.assertEqual(done.returncode, 0, done.stderr)
                    texts = list(
                        csv.reader(
                            io.StringIO(
                                tidy("--header", header, *inputs, stdin=sweep).stdout.decode(),
                                newline="",
                            )
                        )
                    )
                    columns = HISTORY_COLUMNS if inputs == history else COLUMNS
                    book = openpyxl().load_workbook(path)
                    sheet = book.active
                    cells = [list(row) for row in sheet.iter_rows()]
                    # A history's: its changes and seven trend sheets too.
                    sheets = 9 if inputs == history else 1
                    self.assertEqual((len(book.worksheets), len(cells)), (sheets, len(texts)))
                    heads = header != "none"
                    end = columns.index("period_end")
                    for row, line in zip(cells, texts):
                        # The workbook's fiscal_period, after period_end, as results name it.
                        fiscal = row.pop(end + 1).value
                        if heads and fiscal in ("fiscal_period", "決算期"):
                            pass
                        elif line[end] == "":
                            self.assertIsNone(fiscal)
                        else:
                            year, month = map(int, line[end].split("-"))
                            months = line[columns.index("months")]
                            self.assertEqual(
                                fiscal,
                                "%d年%d月期" % (year, month)
                                + ("" if months == "12" else "（%sか月）" % months),
                            )
                        self.assertEqual(len(row), len(line))
                        for cell, text, column in zip(row, line, columns):
                            if heads and cell.row == 1:
                                in_yen = scales[unit][0] if column in yen else units.get(column)
                                if header == "ja" and in_yen:
                                    text += "（%s）" % in_yen
                                if header == "en" and column in yen:
                                    text += scales[unit][1]
                                self.assertEqual((cell.value, cell.font.b), (text, True))
                                continue
                            if text == "" or column in ("name", "sweep"):
                                # A control character as stored for Excel to read: _x0007_.
                                escaped = re.sub(
                                    r"[\x00-\x1f]", lambda c: "_x%04X_" % ord(c[0]), text
                                )
                                self.assertEqual(cell.value, escaped or None, column)
                                continue
                            if column in ("period_end", "announced_on"):
                                form = "yyyy-mm" if column == "period_end" else "yyyy-mm-dd"
                                want = datetime.datetime.strptime(
                                    text,
                                    form.replace("yyyy", "%Y")
                                    .replace("mm", "%m")
                                    .replace("dd", "%d"),
                                )
                            elif not stored_as_printed(text):
                                # As text, in yen where the heading says thousands or millions.
                                in_yen = "円" if column in yen and unit != "yen" else ""
                                self.assertEqual(cell.value, text + in_yen, column)
                                continue
                            else:
                                self.assertIsInstance(cell.value, (int, float), column)
                                want = float(text)
                                form = (
                                    "General"
                                    if column in plain
                                    else ("#,##0.00" if "." in text else "#,##0")
                                    + ('"%"' if column in percent else "")
                                    + (scales[unit][2] if column in yen else "")
                                )
                            self.assertEqual(
                                (cell.value, cell.number_format),
                                (want, form),
                                (cell.coordinate, text),
                            )
                    self.assertNotIn("1900-01-01", [line[end + 1] for line in texts])
                    # The company in view, the sheet named, ready to print on A4.
                    self.assertEqual(sheet.freeze_panes, "C2" if heads else "C1")
                    self.assertEqual(
                        sheet.title,
                        "results" if header == "en" else "履歴" if inputs == history else "決算",
                    )
                    setup = sheet.page_setup
                    self.assertEqual(
                        (setup.orientation, setup.paperSize, setup.fitToHeight), ("landscape", 9, 0)
                    )
                    self.assertTrue(sheet.sheet_properties.pageSetUpPr.fitToPage)
                    self.assertEqual(sheet.print_title_rows, "$1:$1" if heads else None)
                    self.assertEqual(
                        sheet.auto_filter.ref,
                        "A1:%s%d" % ("AG" if inputs == history else "AA", len(texts))
                        if heads
                        else None,
                    )
                    for index, column in enumerate(list(zip(*texts))[:25]):
                        # fiscal_period stands after period_end.
                        letter = string.ascii_uppercase[index + (index > end)]
                        self.assertGreater(
                            sheet.column_dimensions[letter].width,
                            min(max(map(len, column)), 254),
                            letter,
                        )
                    self.assertTrue(book.properties.title)
                    self.assertEqual(book.properties.description, "kessan-tidy " + version)

    def test_what_it_refuses(self):
        """A table of more rows than the worksheet holds (40 in the test build, the header
        included) before anything is written, and a terminal."""
        small = [
            os.environ.get(
                "KESSAN_TIDY_SMALL_SHEET_COMMAND",
                str(ROOT / "build" / "src" / "tidy" / "kessan-tidy-small-sheet"),
            )
        ]
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            table = pathlib.Path(folder) / "t.xlsx"
            for rows, header, code in (
                (39, "en", 0),
                (40, "en", 1),
                (40, "none", 0),
                (41, "none", 1),
            ):
                with self.subTest(rows=rows, header=header):
                    for output in (["-o", str(table)], []):
                        table.write_bytes(b"earlier")
                        done = subprocess.run(
                            small + ["--format", "xlsx", "--header", header] + output,
                            input=one_period_each(rows),
                            capture_output=True,
                            timeout=TIMEOUT_S,
                        )
                        self.assertEqual(done.returncode, code, done.stderr)
                        self.assertEqual(table.read_bytes() == b"earlier", code == 1 or not output)
                        self.assertEqual(
                            done.stdout[:2], b"PK" if code == 0 and not output else b""
                        )
                    if code:
                        self.assertIn(b"more rows than a worksheet holds (40", done.stderr)
            primary, secondary = os.openpty()
            done = subprocess.run(
                tidy_command() + ["--format", "xlsx"],
                stdout=secondary,
                stderr=subprocess.PIPE,
                input=SWEEP[:3000],
                timeout=TIMEOUT_S,
            )
            os.close(secondary)
            os.close(primary)
            self.assertEqual(done.returncode, 64)
            self.assertIn(b"a workbook is not written to a terminal", done.stderr)


class History(unittest.TestCase):
    def test_sweeps_of_successive_years_as_one_history(self):
        sweeps = successive_sweeps(COMPANIES[:300], 4)
        names = ["%d/results.csv" % (2022 + year) for year in range(len(sweeps))]
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            for name, companies in zip(names, sweeps):
                (pathlib.Path(folder) / name).parent.mkdir()
                (pathlib.Path(folder) / name).write_bytes(sweep_output(companies))
            done = tidy("--history", *names, cwd=folder)
            jsonl = tidy("--history", "--format", "jsonl", *names, cwd=folder).stdout
        rows = list(csv.reader(io.StringIO(done.stdout.decode("utf-8"), newline="")))
        expected, counts = expected_history(sweeps, names)
        self.assertEqual(counts[4], 1)
        self.assertGreater(counts[3], 1)
        self.assertEqual(rows[0], HISTORY_COLUMNS)
        self.assertEqual([row[:5] + row[6:27] for row in rows[1:]], expected)
        self.assertEqual(
            done.stderr.decode("utf-8"),
            "kessan-tidy: %d sweeps read: %d companies, "
            "%d periods (%d revised, 0 share splits), %d row without a calendar date\n" % counts,
        )
        self.assertEqual(
            [(j["sweep"], j["revised"]) for j in map(json.loads, jsonl.splitlines())],
            [(row[2], int(row[3]) if row[3] else None) for row in rows[1:]],
        )

    def test_per_share_figures_on_the_newest_share_basis(self):
        """Each adjusted per-share figure is the truth on the newest basis within the printed
        rounding, no issue of shares counts as a split, the printed columns stay as printed."""
        sweeps, companies = share_splits.sweeps(200, 29)
        names = ["%d.csv" % year for year in share_splits.YEARS]
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            for name, shown in zip(names, sweeps):
                (pathlib.Path(folder) / name).write_bytes(sweep_output(shown))
            done = tidy("--history", *names, cwd=folder)
            changes = tidy("--history", "--changes", *names, cwd=folder).stdout.decode("utf-8")
            tidy(
                "--history",
                "--format",
                "xlsx",
                "--trends",
                "eps",
                "-o",
                "h.xlsx",
                *names,
                cwd=folder,
            )
            trend = openpyxl().load_workbook(pathlib.Path(folder) / "h.xlsx", read_only=True)["eps"]
            trend = [[cell.value for cell in row] for row in trend.iter_rows()]
        rows = list(csv.reader(io.StringIO(done.stdout.decode("utf-8"), newline="")))[1:]
        expected, counts = expected_history(sweeps, names)
        self.assertEqual([row[:5] + row[6:27] for row in rows], expected)
        truths = [share_splits.truth(company) for company in companies]
        factors = [factor for truth, _ in truths for factor in truth]  # in the rows' order

        def adjusted(printed, factor):  # rounded half away from zero
            cents = abs(fractions.Fraction(printed)) * factor * 100
            whole = int(cents + fractions.Fraction(1, 2))
            return "%s%d.%02d" % ("-" if printed[0] == "-" and whole else "", *divmod(whole, 100))

        wrong = [
            (row[0], row[4], row[27], row[28:], factor)
            for factor, row in zip(factors, rows)
            if abs(float(row[27]) - factor) > 1e-10
            or row[28:] != [adjusted(row[k], factor) for k in (11, 12, 13, 15)]
        ]
        self.assertEqual(wrong[:5], [])
        summary = "(%d revised, %d share splits)" % (counts[3], sum(n for _, n in truths))
        self.assertIn(summary, done.stderr.decode("utf-8"))
        self.assertEqual(changes.count("\nsplit,"), sum(n for _, n in truths))
        # The trend sheet of eps draws the adjusted figures.
        drawn = {
            (str(r[0]), h): v
            for r in trend[1:]
            for h, v in zip(trend[0][3:], r[3:])
            if v is not None
        }
        self.assertEqual(drawn, {(row[0], row[4][:4]): float(row[28]) for row in rows})

    def test_changes_and_the_history_workbook(self):
        """--changes row for row as the generator made them, in CSV and JSON Lines; the workbook's
        sheets, a trend sheet's years against the history (the later of two periods ending in
        one year, italic where not 12 months) and its sparklines' ranges."""
        made = []
        sweeps = successive_sweeps(COMPANIES[:300], 5, made)
        names = ["%d.csv" % (2021 + year) for year in range(len(sweeps))]
        expected = expected_changes(made, names)
        self.assertEqual({row[0] for row in expected}, {"listed", "gone", "renamed", "restated"})
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            for name, companies in zip(names, sweeps):
                (pathlib.Path(folder) / name).write_bytes(sweep_output(companies))
            done = tidy("--history", "--changes", *names, cwd=folder)
            jsonl = tidy("--history", "--changes", "--format", "jsonl", *names, cwd=folder)
            history = tidy("--history", *names, cwd=folder).stdout.decode()
            book_path = pathlib.Path(folder) / "h.xlsx"
            trends = ["--trends", "net_sales,eps"]
            made_book = tidy(
                "--history", "--format", "xlsx", *trends, "-o", "h.xlsx", *names, cwd=folder
            )
            self.assertEqual(made_book.returncode, 0, made_book.stderr)
            book = openpyxl().load_workbook(book_path)
            xml = zipfile.ZipFile(book_path).read("xl/worksheets/sheet3.xml").decode()
        rows = list(csv.reader(io.StringIO(done.stdout.decode(), newline="")))
        self.assertEqual(rows, [CHANGES_COLUMNS] + expected)
        self.assertEqual(done.stderr, made_book.stderr)
        self.assertEqual(
            [list(json.loads(line).values()) for line in jsonl.stdout.splitlines()],
            [
                [
                    int(v)
                    if c == 1
                    else None
                    if v == ""
                    else float(v)
                    if c in (5, 7) and row[0] == "restated"
                    else v
                    for c, v in enumerate(row)
                ]
                for row in expected
            ],
        )
        self.assertEqual(book.sheetnames, ["history", "changes", "net_sales", "eps"])
        self.assertEqual(
            [[c.value for c in row] for row in book["changes"].iter_rows(max_col=3)],
            [r[:3] for r in [CHANGES_COLUMNS] + [[x, int(y), z] for x, y, z, *_ in expected]],
        )
        # The history's rows of a company by calendar year: the later period's, the year marked
        # where a period is not 12 months or a second ends in it.
        years = {}
        for row in list(csv.DictReader(io.StringIO(history, newline=""))):
            if row["period_end"]:
                year = years.setdefault(row["code"], {}).setdefault(row["period_end"][:4], [])
                year.append((row["net_sales"], row["months"]))
        sheet = book["net_sales"]
        heads = [c.value for c in sheet[1]]
        self.assertEqual(sheet.freeze_panes, "D2")
        marked = doubled = 0
        for row in sheet.iter_rows(min_row=2):
            code = str(row[0].value)
            shown = {
                head: (cell.value, cell.font.i)
                for head, cell in zip(heads[3:], row[3:])
                if cell.value is not None
            }
            want = {
                y: (float(p[0][0]), len(p) > 1 or p[0][1] != "12") for y, p in years[code].items()
            }
            self.assertEqual(shown, want, code)
            marked += sum(m for _, m in want.values())
            doubled += sum(len(p) > 1 for p in years[code].values())
        self.assertEqual(sheet.max_row - 1, len(years))
        self.assertGreater(doubled, 0)
        self.assertGreater(marked, doubled)
        last = openpyxl().utils.get_column_letter(len(heads))
        self.assertEqual(
            re.findall(r"<xm:f>(.*?)</xm:f><xm:sqref>(.*?)</xm:sqref>", xml),
            [
                ("'net_sales'!D%d:%s%d" % (r, last, r), "C%d" % r)
                for r in range(2, sheet.max_row + 1)
            ],
        )


class OutputFileAndExitCodes(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="kessan-tidy-")
        self.path = pathlib.Path(self.folder.name)
        self.good = self.path / "good.csv"
        self.good.write_bytes(sweep_output(COMPANIES[:5]))
        lines = sweep_output(COMPANIES[:5]).split(b"\n")
        self.bad = self.path / "bad.csv"  # the third company's row 5 has a field too many
        self.bad.write_bytes(b"\n".join(lines[:53] + [lines[53] + b",1"] + lines[54:]))
        self.cut = self.path / "cut.csv"  # a sweep stopped in the middle of a block
        self.cut.write_bytes(b"\n".join(lines[:60]))
        self.table = self.path / "table.csv"
        self.table.write_bytes(b"the table of an earlier run\n")

    def tearDown(self):
        self.folder.cleanup()

    def files(self):
        return sorted(p.name for p in self.path.iterdir())

    def test_a_failed_run_leaves_the_output_file_as_it_was(self):
        for bad in (self.bad, self.cut):
            done = tidy("-o", str(self.table), str(self.good), str(bad))
            self.assertEqual(done.returncode, 1, done.stderr)
            self.assertIn(("%s:" % bad).encode(), done.stderr)
            self.assertEqual(self.table.read_bytes(), b"the table of an earlier run\n")
            self.assertEqual(self.files(), ["bad.csv", "cut.csv", "good.csv", "table.csv"])

    def test_a_good_run_replaces_it_whole(self):
        done = tidy("-o", str(self.table), str(self.good))
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, b"", b""))
        self.assertEqual(self.table.read_bytes(), tidy(str(self.good)).stdout)
        self.assertEqual(self.files(), ["bad.csv", "cut.csv", "good.csv", "table.csv"])
        self.assertEqual(self.table.stat().st_mode & 0o777, 0o666 & ~current_umask())

    def test_keep_going_writes_the_rest_and_exits_2(self):
        done = tidy("--keep-going", "-o", str(self.table), str(self.bad), str(self.good))
        self.assertEqual(done.returncode, 2)
        self.assertEqual(done.stderr.decode("utf-8").count("\n"), 1, done.stderr)
        n = len(COMPANIES[2]["periods"])
        self.assertIn(
            "bad.csv:54: row 5 (営業利益) has %d fields, the summary line 49 says %d" % (n + 1, n),
            done.stderr.decode("utf-8"),
        )
        rows = self.table.read_bytes().decode("utf-8").splitlines()
        good_rows = tidy(str(self.good)).stdout.decode("utf-8").splitlines()
        third = str(COMPANIES[2]["code"]) + ","
        self.assertEqual(
            rows,
            good_rows[:1] + [r for r in good_rows[1:] if not r.startswith(third)] + good_rows[1:],
        )

    def test_exit_codes(self):
        older, newer = self.path / "2024.csv", self.path / "2025.csv"
        for path, companies in zip((older, newer), successive_sweeps(COMPANIES[:5], 2)):
            path.write_bytes(sweep_output(companies))
        readonly = self.path / "readonly.csv"
        readonly.write_bytes(b"kept\n")
        readonly.chmod(0o444)
        # The check that refuses it is the user's: root may write it. nobody runs a copy of the
        # program, which it may not reach where the checkout lies (a folder of mode 700).
        as_user = (lambda: os.setuid(65534)) if os.geteuid() == 0 else None
        self.path.chmod(0o777)
        shutil.copy(tidy_command()[-1], self.path / "kessan-tidy")
        command = tidy_command()[:-1] + [str(self.path / "kessan-tidy")]
        few_descriptors = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (20, 20))  # noqa: E731
        set_ups = {
            "-o a file the user may not write": as_user,
            "70 inputs, 20 descriptors": few_descriptors,
        }
        cases = [
            ("help", ["--help"], 0, b"and with -o nothing is"),
            ("-h", ["-h"], 0, b"and with -o nothing is"),
            ("-V", ["-V"], 0, b"kessan-tidy "),
            ("-o - is standard output", ["-o", "-", str(self.good)], 0, b"code,name,period"),
            ("unknown option", ["--colour"], 64, b"unknown option --colour"),
            ("wrong value", ["--format", "xml"], 64, b'--format does not take "xml"'),
            (
                "a trend of no figure",
                ["--history", "--format", "xlsx", "--trends", "net_sales,sales"],
                64,
                b'no figure is named "sales"',
            ),
            ("missing value", [str(self.good), "-o"], 64, b"-o needs a value"),
            (
                "JSON Lines with a byte-order mark",
                ["--format", "jsonl", "--encoding", "utf-8-bom"],
                64,
                b"JSON forbids one",
            ),
            (
                "unreadable input",
                [str(self.good), str(self.path / "none.csv")],
                1,
                b"none.csv: cannot open",
            ),
            (
                "folder of -o missing",
                ["-o", str(self.path / "no" / "t.csv"), str(self.good)],
                1,
                b"cannot create a file beside",
            ),
            (
                "-o a folder",
                ["-o", str(self.path), str(self.good)],
                1,
                b"cannot replace %s: Is a directory" % bytes(self.path),
            ),
            (
                "-o a file the user may not write",
                ["-o", str(readonly), str(self.good)],
                1,
                b"readonly.csv: Permission denied",
            ),
            ("cut off", [str(self.cut)], 1, b"(the sweep was stopped?)"),
            ("input read as a folder", [str(self.path)], 1, b": cannot read after line 0: "),
            (
                "-o names an input",
                ["-o", str(self.table), str(self.good), str(self.table)],
                64,
                b"is also an input",
            ),
            ("empty input", [], 0, b""),
            ("70 inputs, 20 descriptors", [str(self.good)] * 70, 0, b"code,name,"),
            ("value to --keep-going", ["--keep-going=yes"], 64, b"--keep-going takes no value"),
            (
                "history newest first",
                ["--history", str(newer), str(older)],
                1,
                b"2024.csv: its latest announcement, 2024-05-22, is earlier than ",
            ),
        ]
        for label, args, code, text in cases:
            with self.subTest(label):
                if label == "70 inputs, 20 descriptors" and "ASAN_OPTIONS" in os.environ:
                    # The sanitizers' runtime needs descriptors of its own to check memory.
                    continue
                done = tidy(*args, cwd=self.path, preexec_fn=set_ups.get(label), command=command)
                self.assertEqual(done.returncode, code, done.stderr)
                self.assertIn(text, done.stdout if code == 0 else done.stderr)
                if code == 64 and "input" not in label:
                    self.assertEqual(
                        done.stderr.split(b"\n")[1:], [b"Try 'kessan-tidy --help'.", b""]
                    )
                    self.assertEqual(done.stdout, b"")
                if code == 1 and label not in ("cut off", "input read as a folder"):
                    self.assertEqual(done.stdout, b"")
        self.assertEqual(self.table.read_bytes(), b"the table of an earlier run\n")
        self.assertEqual(readonly.read_bytes(), b"kept\n")
        self.assertEqual(
            [f for f in self.files() if f != "kessan-tidy"],
            ["2024.csv", "2025.csv", "bad.csv", "cut.csv", "good.csv", "readonly.csv", "table.csv"],
        )

    def test_a_signal_leaves_no_temporary_file(self):
        """Each signal that ends the run removes the file beside the table, and the scratch file
        that a workbook is built in; an ignored one (nohup) stays ignored and the run completes."""
        if os.name != "posix":
            self.skipTest("POSIX signals")
        ignore_hup = lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN)  # noqa: E731
        # The scratch file is made in TMPDIR, here the folder of the table.
        for number, set_up, format in (
            (signal.SIGTERM, None, "csv"),
            (signal.SIGPWR, None, "csv"),
            (signal.SIGTERM, None, "xlsx"),
            (signal.SIGHUP, ignore_hup, "csv"),
        ):
            with self.subTest(signal.Signals(number).name, ignored=bool(set_up), format=format):
                process = subprocess.Popen(
                    tidy_command() + ["--format", format, "-o", str(self.table), "-"],
                    stdin=subprocess.PIPE,
                    stderr=subprocess.DEVNULL,
                    preexec_fn=set_up,
                    env=dict(os.environ, TMPDIR=str(self.path)),
                )
                made = 5 if format == "csv" else 6
                try:
                    process.stdin.write(self.good.read_bytes())
                    process.stdin.flush()
                    for _ in range(100):  # up to 5 s for the files the run makes to appear
                        if len(self.files()) == made:
                            break
                        time.sleep(0.05)
                    self.assertEqual(len(self.files()), made, self.files())
                    process.send_signal(number)
                    time.sleep(0.1)
                    process.stdin.close()
                    code = process.wait(timeout=TIMEOUT_S)
                finally:
                    process.kill()
                    process.wait()
                self.assertEqual(self.files(), ["bad.csv", "cut.csv", "good.csv", "table.csv"])
                table = tidy(str(self.good)).stdout if set_up else b"the table of an earlier run\n"
                self.assertEqual((code, self.table.read_bytes()), (0 if set_up else -number, table))

    def test_what_o_writes_to(self):
        """-o replaces a regular file whole (the one a symbolic link names, with its permission
        bits), writes into a FIFO or a device as it is, and refuses the file on standard input."""
        if os.name != "posix":
            self.skipTest("POSIX files")
        table = tidy(str(self.good)).stdout
        self.table.chmod(0o600)
        (self.path / "link").symlink_to("table.csv")
        os.mkfifo(self.path / "fifo")
        (self.path / "stdout").symlink_to("/dev/stdout")
        name = "n" * 250  # the longest a name can be, less a few bytes
        cases = [  # label, -o, standard input, exit code, what the target then holds
            ("0600 file", "table.csv", None, 0, table),
            ("symbolic link", "link", None, 0, table),
            ("name of 250 bytes", name, None, 0, table),
            ("FIFO", "fifo", None, 0, table),
            ("link to /dev/stdout", "stdout", None, 0, table),
            ("FILE < FILE", "table.csv", "table.csv", 64, b"the table of an earlier run\n"),
            ("- < FILE", "table.csv", "table.csv", 64, b"the table of an earlier run\n"),
        ]
        for label, output, stdin, code, holds in cases:
            with self.subTest(label):
                self.table.write_bytes(b"the table of an earlier run\n")
                args = ["-o", output] + (
                    [str(self.good)] if stdin is None else ["-"] if label.startswith("-") else []
                )
                # The FIFO's reader opens it first; the table (3 kB) fits in its buffer.
                fifo = os.open(self.path / "fifo", os.O_RDONLY | os.O_NONBLOCK)
                with open(self.path / (stdin or "good.csv"), "rb") as source:
                    done = subprocess.run(
                        tidy_command() + args,
                        stdin=source,
                        capture_output=True,
                        cwd=self.path,
                        timeout=TIMEOUT_S,
                    )
                try:
                    got = os.read(fifo, 1 << 20)
                except BlockingIOError:
                    got = b""
                os.close(fifo)
                self.assertEqual(done.returncode, code, done.stderr)
                target = (
                    got
                    if output == "fifo"
                    else done.stdout
                    if output == "stdout"
                    else (self.path / output).read_bytes()
                )
                self.assertEqual(target, holds)
                self.assertEqual(self.table.stat().st_mode & 0o777, 0o600)
                self.assertTrue((self.path / "link").is_symlink())
                self.assertTrue(stat.S_ISFIFO(os.stat(self.path / "fifo").st_mode))
                self.assertFalse([f for f in self.files() if ".tmp-" in f])

    def test_write_failures_leave_no_temporary_file(self):
        """A file size limit (also met by the workbook's own temporary files, whose short writes
        libxlsxwriter does not report), a closed pipe on standard error and a closed standard
        error end in exit codes, with no temporary file and the table as it was or written
        whole."""
        if os.name != "posix":
            self.skipTest("POSIX signals and descriptors")
        big = self.path / "big.csv"
        big.write_bytes(sweep_output(COMPANIES[:100]))
        table = tidy("--keep-going", str(self.bad), str(self.good)).stdout
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (20000, 20000))  # noqa: E731
        cases = [  # label, arguments, set-up in the child, closed standard error, exit, table
            ("file size limit", [str(big)], limit, False, 1, b"the table of an earlier run\n"),
            (
                "workbook past a file size limit",
                ["--format", "xlsx", str(big)],
                limit,
                False,
                1,
                b"the table of an earlier run\n",
            ),
            (
                "standard error a closed pipe",
                [str(self.good), str(self.bad)],
                None,
                True,
                1,
                b"the table of an earlier run\n",
            ),
            (
                "standard error closed",
                ["--keep-going", str(self.bad), str(self.good)],
                None,
                None,
                2,
                table,
            ),
        ]
        for label, args, set_up, pipe, code, holds in cases:
            with self.subTest(label):
                self.table.write_bytes(b"the table of an earlier run\n")
                command = tidy_command() + ["-o", str(self.table)] + args
                if pipe is None:
                    command = ["sh", "-c", 'exec "$0" "$@" 2>&-'] + command
                read, write = os.pipe()
                if pipe:
                    os.close(read)
                done = subprocess.run(command, preexec_fn=set_up, stderr=write, timeout=TIMEOUT_S)
                os.close(write)
                if not pipe:
                    os.close(read)
                self.assertEqual(done.returncode, code)
                self.assertEqual(self.table.read_bytes(), holds)
                self.assertEqual(
                    self.files(), ["bad.csv", "big.csv", "cut.csv", "good.csv", "table.csv"]
                )

    def test_output_that_cannot_be_written_fails(self):
        """A full device is reported; a pipe that its reader closed (| head) ends the run
        quietly, and the workbook's scratch file (made in TMPDIR, here the test's folder) goes."""
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full")
        read, closed = os.pipe()
        os.close(read)
        for label, stdout, message in (
            ("/dev/full", open("/dev/full", "wb"), b"cannot write standard output: "),
            ("pipe closed by its reader", os.fdopen(closed, "wb"), b""),
        ):
            with self.subTest(label), stdout:
                done = subprocess.run(
                    tidy_command() + ["--format", "xlsx", str(self.good)],
                    stdout=stdout,
                    stderr=subprocess.PIPE,
                    env=dict(os.environ, TMPDIR=str(self.path)),
                    timeout=TIMEOUT_S,
                )
            self.assertEqual(done.returncode, 1)
            self.assertIn(message, done.stderr)
            self.assertEqual(bool(done.stderr), bool(message), done.stderr)
            self.assertEqual(self.files(), ["bad.csv", "cut.csv", "good.csv", "table.csv"])


class BashCompletion(unittest.TestCase):
    """The completion offers what the program takes: each option it offers is one the parser
    knows, and each set of values is the one the parser names when it refuses another."""

    def complete(self, *words):
        script = 'source "$0"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kessan_tidy; '
        script += 'printf "%s\\n" "${COMPREPLY[@]}"'
        done = subprocess.run(
            ["bash", "-c", script, str(ROOT / "completion" / "kessan-tidy.bash")]
            + [tidy_command()[0], *words],
            capture_output=True,
            text=True,
            timeout=TIMEOUT_S,
            check=True,
        )
        return done.stdout.split()

    def test_offers_what_the_program_takes(self):
        options = self.complete("-")
        self.assertIn("--keep-going", options)
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            for option in options:
                with self.subTest(option):
                    self.assertNotIn(b"unknown option", tidy(option, "x", cwd=folder).stderr)
        for option in ("--format", "--encoding", "--header"):
            with self.subTest(option):
                refused = tidy(option, "?").stderr.decode().split("it takes ")[1]
                self.assertEqual(", ".join(self.complete(option, "")), refused.split("\n")[0])


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


if __name__ == "__main__":
    unittest.main()
