"""kessan-tidy.exe under Wine against the native build/kessan-tidy: the same bytes for the same
input, in every encoding, for every Shift_JIS unit and for a whole sample sweep.

    PYTHONPATH=tests KESSAN_TIDY_COMMAND="wine $PWD/build-windows/kessan-tidy.exe" \\
    KESSAN_TIDY_NATIVE=$PWD/build/kessan-tidy python3 -m unittest tests/tidy/same_output_test.py -v
"""

import copy
import os
import pathlib
import shlex
import signal
import subprocess
import tempfile
import time
import unittest
import unittest.mock

from kessan_testing import sample, share_splits
from kessan_testing.sample_sweep import expected_block, saved_by_powershell, sweep_output

# A Japanese locale: Wine's ANSI code page is then 932.
JAPANESE = dict(os.environ, LC_ALL="ja_JP.UTF-8")
# Wine's ANSI code page 1252, file names in UTF-8.
WESTERN = dict(os.environ, LC_ALL="C.UTF-8")
LEADS = [b for b in range(0x81, 0xFD) if b <= 0x9F or b >= 0xE0]
TRAILS = [b for b in range(0x40, 0xFD) if b != 0x7F]
COMPANIES = sample.with_figures(sample.generate())
SWEEP = sweep_output(COMPANIES)


def filler_rows(periods=1):
    """The 23 rows of an all-zero period, as the sweep prints them."""
    block = expected_block(
        {
            "code": 1300,
            "name": "",
            "periods": [
                {
                    "end": [2024, 3],
                    "announced": None,
                    "months": 12,
                    "figures": {str(i): None for i in range(4, 24)},
                }
            ]
            * periods,
        }
    )
    return block.split("\n", 1)[1].encode("shift_jis")


def all_units():
    """A company per lead byte, named by the lead with every trail byte, and one named by every
    single byte but LF, each followed by a space."""
    rows = filler_rows()
    text = b""
    for index, lead in enumerate(LEADS):
        text += b"%d," % (1300 + index) + b"".join(bytes([lead, t]) for t in TRAILS) + b",1\n"
        text += rows
    singles = b"".join(bytes([b]) + b" " for b in range(0x100) if b != 0x0A)
    return text + b"9999," + singles + b",1\n" + rows


def run(command, args, stdin, cwd=None, env=None, stdout=None):
    """The run's exit code and output through files: a wineserver that the first Wine process
    starts inherits pipes and would hold them open for seconds after the process ends. stdin is
    bytes, or the path of the file to read it from; stdout, where the output goes instead."""
    reading = isinstance(stdin, pathlib.Path)
    with (
        open(stdin, "rb") if reading else tempfile.TemporaryFile() as i,
        tempfile.TemporaryFile() as o,
        tempfile.TemporaryFile() as e,
    ):
        if not reading:
            i.write(stdin)
            i.seek(0)
        code = subprocess.run(
            command + args, stdin=i, stdout=stdout or o, stderr=e, cwd=cwd, env=env, timeout=120
        ).returncode
        o.seek(0)
        e.seek(0)
        return subprocess.CompletedProcess(args, code, o.read(), e.read())


def messages(text):
    """The program's own lines of standard error, without what Wine may print before them."""
    return "".join(
        line.rstrip("\r\n") + "\n" for line in text.splitlines() if line.startswith("kessan-tidy:")
    )


class SameOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        native = os.environ.get("KESSAN_TIDY_NATIVE", "")
        if not os.path.exists(native):
            raise unittest.SkipTest(
                "the native kessan-tidy %r is absent: build the default preset first" % native
            )
        cls.native = [native]
        cls.windows = shlex.split(os.environ["KESSAN_TIDY_COMMAND"])
        cls.inputs = {
            "all units": all_units(),
            "sample sweep": SWEEP,
            "sample sweep as UTF-16": saved_by_powershell(SWEEP, "utf-16"),
            "sample sweep as UTF-8": saved_by_powershell(SWEEP, "utf-8"),
        }

    def assertSameBytes(self, args, input_name):
        want = run(self.native, args, self.inputs[input_name])
        got = run(self.windows, args, self.inputs[input_name])
        self.assertEqual(want.returncode, 0, want.stderr)
        self.assertEqual(got.returncode, 0, got.stderr)
        if got.stdout != want.stdout:
            # The companies whose rows differ: by lead byte for the all-units input.
            differing = [
                w[:24] for g, w in zip(got.stdout.split(b"\n"), want.stdout.split(b"\n")) if g != w
            ]
            self.fail(
                "%s %s: %d lines differ, the first of codes %s"
                % (input_name, args, len(differing), differing[:10])
            )

    def test_every_unit_in_every_encoding(self):
        for encoding in ("utf-8", "utf-8-bom", "cp932"):
            for output_format in ("csv",) if encoding == "utf-8-bom" else ("csv", "jsonl"):
                with self.subTest(encoding=encoding, format=output_format):
                    self.assertSameBytes(
                        ["--encoding", encoding, "--format", output_format], "all units"
                    )

    @unittest.mock.patch.dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
    def test_sample_sweep(self):
        for args in (
            ["--header", "ja"],
            ["--format", "tsv", "--encoding", "cp932", "-"],
            ["--format", "xlsx", "-o", "-"],
        ):
            with self.subTest(args=args):
                self.assertSameBytes(args, "sample sweep")
        for saved in ("sample sweep as UTF-16", "sample sweep as UTF-8"):
            with self.subTest(saved):
                self.assertSameBytes([], saved)

    @unittest.mock.patch.dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
    def test_history_with_share_splits(self):
        """The split factors and adjusted per-share figures, decimals made from whole numbers."""
        sweeps, _ = share_splits.sweeps(60, 29)
        names = ["%d.csv" % year for year in share_splits.YEARS]
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            for name, shown in zip(names, sweeps):
                (pathlib.Path(folder) / name).write_bytes(sweep_output(shown))
            for args in (["--header", "ja"], ["--changes"], ["--format", "xlsx", "-o", "-"]):
                with self.subTest(args=args):
                    want = run(self.native, ["--history"] + args + names, b"", cwd=folder)
                    got = run(self.windows, ["--history"] + args + names, b"", cwd=folder)
                    self.assertEqual((got.returncode, got.stdout), (0, want.stdout), got.stderr)
                    summary = messages(want.stderr.decode())
                    self.assertEqual(messages(got.stderr.decode()), summary)
                    self.assertNotIn(" 0 share splits", summary)

    @unittest.mock.patch.dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
    def test_history_changes_and_workbook(self):
        """Two sweeps a year apart, with companies listed, gone, renamed and a figure restated:
        the changes table and the history workbook with its trend sheets."""
        older = copy.deepcopy([dict(c, periods=c["periods"][1:]) for c in COMPANIES[20:300]])
        older = [c for c in older if c["periods"]]
        older[3]["name"] = "旧" + older[3]["name"]
        for company in older[:40]:
            figure = company["periods"][0]["figures"]["4"]
            if figure is not None:
                figure[0] += 1
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            for name, companies in (("2024.csv", older), ("2025.csv", COMPANIES[:250])):
                (pathlib.Path(folder) / name).write_bytes(sweep_output(companies))
            for args in (
                ["--changes", "--header", "ja"],
                ["--changes", "--format", "jsonl", "--encoding", "cp932"],
                ["--format", "xlsx", "--unit", "million", "-o", "-"],
            ):
                with self.subTest(args=args):
                    args = ["--history"] + args + ["2024.csv", "2025.csv"]
                    want = run(self.native, args, b"", cwd=folder)
                    got = run(self.windows, args, b"", cwd=folder)
                    self.assertEqual(want.returncode, 0, want.stderr)
                    self.assertEqual((got.returncode, got.stdout), (0, want.stdout))
                    kinds = (b"listed", b"gone", b"renamed", b"restated")
                    if "--changes" in args:
                        self.assertEqual([k in want.stdout for k in kinds], [True] * 4)

    def test_a_workbook_to_nul(self):
        """NUL is a character device but not a console: the workbook is written there."""
        sweep = sweep_output(COMPANIES[:2])
        done = run(self.windows, ["--format", "xlsx"], sweep, stdout=subprocess.DEVNULL)
        self.assertEqual(done.returncode, 0, done.stderr)

    def test_refusals_and_output_file(self):
        lines = SWEEP.split(b"\n")
        bad = b"\n".join(lines[:53] + [lines[53] + b",1"] + lines[54:100]) + b"\n"
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            results = []
            # Messages: UTF-8 from the native build, the ANSI code page (932 in a Japanese
            # locale) from the Windows build when standard error is a file.
            for command, env, code_page in (
                (self.native, None, "utf-8"),
                (self.windows, JAPANESE, "cp932"),
            ):
                table = pathlib.Path(folder) / "table.csv"
                table.write_bytes(b"earlier\n")
                done = run(
                    command, ["--keep-going", "-o", "table.csv", "-"], bad, cwd=folder, env=env
                )
                results.append(
                    (
                        done.returncode,
                        messages(done.stderr.decode(code_page)),
                        table.read_bytes(),
                        sorted(os.listdir(folder)),
                    )
                )
            self.assertEqual(results[1], results[0])
            self.assertEqual(results[0][0], 2)
            self.assertIn("営業利益", results[0][1])

    def test_output_name_of_250_bytes(self):
        name = "n" * 250
        sweep = sweep_output(COMPANIES[:2])
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            done = run(self.windows, ["-o", name, "-"], sweep, cwd=folder)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(
                (pathlib.Path(folder) / name).read_bytes(), run(self.native, [], sweep).stdout
            )
            self.assertEqual(os.listdir(folder), [name])

    def test_creation_failure_gives_the_systems_reason(self):
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
            done = run(
                self.windows,
                ["-o", "no\\table.csv", "-"],
                sweep_output(COMPANIES[:2]),
                cwd=folder,
                env=JAPANESE,
            )
            self.assertEqual(done.returncode, 1)
            message = messages(done.stderr.decode("cp932"))
            self.assertRegex(
                message,
                r"^kessan-tidy: cannot create a file beside " r"no\\table\.csv: [^\x00-\x7f]+",
            )
            self.assertNotIn("Windows error", message)
            self.assertEqual(os.listdir(folder), [])

    def test_file_names_and_devices(self):
        """Names that code page 1252 cannot hold, devices, wildcards (in name order, as cmd.exe
        leaves them) and the file that standard input reads, each with the folder it leaves."""
        first, second = sweep_output(COMPANIES[:2]), sweep_output(COMPANIES[2:3])
        table = run(self.native, [], first).stdout
        cases = [  # label, arguments, standard input, exit code, message, new files
            ("wide names", ["-o", "résumé.csv", "決算.csv"], b"", 0, "", {"résumé.csv": table}),
            ("NUL", ["-o", "NUL", "s-a.csv"], b"", 0, "", {}),
            ("nul.csv", ["-o", "nul.csv", "s-a.csv"], b"", 0, "", {}),
            ("NUL: with its colon", ["-o", "NUL:", "s-a.csv"], b"", 0, "", {}),
            ("CON with no console", ["-o", "CON", "s-a.csv"], b"", 1, "cannot write to CON: ", {}),
            (
                "wildcards",
                ["-o", "t.csv", "s-?.csv", "*.csv", "?"],
                b"",
                0,
                "",
                {
                    "t.csv": run(
                        self.native, [], second + first + second + first + first + second
                    ).stdout
                },
            ),
            ("wildcard matching nothing", ["q*.csv"], b"", 1, "q*.csv: no file matches", {}),
            (
                "-o the file on standard input",
                ["-o", "s-a.csv"],
                "s-a.csv",
                64,
                "is also an input",
                {},
            ),
            ("-o a folder", ["-o", "d", "s-a.csv"], b"", 1, "cannot replace d: ", {}),
        ]
        for label, args, stdin, code, message, new in cases:
            with self.subTest(label), tempfile.TemporaryDirectory(prefix="kessan-tidy-") as name:
                folder = pathlib.Path(name)
                given = {"決算.csv": first, "s-b.csv": first, "s-a.csv": second, "-": second}
                for file, text in given.items():
                    (folder / file).write_bytes(text)
                (folder / "d").mkdir()
                done = run(
                    self.windows, args, folder / stdin if stdin else stdin, cwd=folder, env=WESTERN
                )
                self.assertEqual(done.returncode, code, done.stderr)
                self.assertIn(message, messages(done.stderr.decode("cp1252")))
                files = {f.name: f.read_bytes() for f in folder.iterdir() if f.is_file()}
                self.assertEqual(files, dict(given, **new))

    def test_a_workbook_with_temp_outside_the_code_page(self):
        """TEMP named with a character that code page 1252 has not (a Japanese account's on a
        Western Windows): the scratch file is made and removed all the same."""
        with tempfile.TemporaryDirectory(prefix="kessan-tidy-") as name:
            folder = pathlib.Path(name)
            (folder / "tmpΩ").mkdir()
            (folder / "s.csv").write_bytes(sweep_output(COMPANIES[:2]))
            temp = "Z:" + str(folder / "tmpΩ").replace("/", "\\")
            exe = "Z:" + self.windows[-1].replace("/", "\\")
            command = f"set TMP={temp}&& set TEMP={temp}&& {exe} --format xlsx -o t.xlsx s.csv"
            done = run(self.windows[:-1] + ["cmd", "/c", command], [], b"", cwd=folder, env=WESTERN)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual((folder / "t.xlsx").read_bytes()[:2], b"PK")
            self.assertEqual(os.listdir(folder / "tmpΩ"), [])

    def test_ctrl_c_leaves_no_temporary_file(self):
        """Neither the file beside the table nor the workbook's scratch file in Wine's folder for
        temporary files, which ignores TEMP from the environment."""
        prefix = pathlib.Path(os.environ.get("WINEPREFIX", pathlib.Path.home() / ".wine"))

        def scratch_files():
            return set(prefix.glob("drive_c/users/*/**/kt*.tmp"))

        for format in ("csv", "xlsx"):
            with self.subTest(format), tempfile.TemporaryDirectory(prefix="kessan-tidy-") as folder:
                table = pathlib.Path(folder) / "table.csv"
                table.write_bytes(b"earlier\n")
                earlier = scratch_files()
                made = (lambda: True) if format == "csv" else (lambda: scratch_files() - earlier)
                # Wine turns SIGINT into the console's Ctrl-C event.
                process = subprocess.Popen(
                    self.windows + ["--format", format, "-o", "table.csv", "-"],
                    cwd=folder,
                    stdin=subprocess.PIPE,
                    stderr=subprocess.DEVNULL,
                )
                try:
                    process.stdin.write(sweep_output(COMPANIES[:2]))
                    process.stdin.flush()
                    for _ in range(400):  # up to 20 s for the files the run makes to appear
                        if len(os.listdir(folder)) == 2 and made():
                            break
                        time.sleep(0.05)
                    self.assertEqual(len(os.listdir(folder)), 2)
                    self.assertTrue(made())
                    process.send_signal(signal.SIGINT)
                    process.wait(timeout=60)
                finally:
                    process.kill()
                    process.wait()
                    process.stdin.close()
                self.assertEqual(os.listdir(folder), ["table.csv"])
                self.assertEqual(table.read_bytes(), b"earlier\n")
                self.assertEqual(scratch_files() - earlier, set())


if __name__ == "__main__":
    unittest.main()
