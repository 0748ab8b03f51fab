"""The parsing code built for Windows (parse_driver.exe under Wine) against the native build:
the same bytes for the same generated cell texts and pages.

    PYTHONPATH=tests KESSAN_PARSE_DRIVER_COMMAND="wine build-windows/tests/parse_driver.exe" \\
    KESSAN_PARSE_DRIVER_NATIVE=build/tests/parse_driver \\
    python3 -m unittest tests/parsing/same_output_test.py -v

Each run draws new inputs; KESSAN_PARITY_SEED=N repeats the run that printed seed N.
"""

import decimal
import math
import os
import pathlib
import random
import shlex
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from kessan_testing import sample

CELLS = 200_000
GENERATED_PAGES = 6_000
MUTATED_PAGES = 14_000

# What cell texts are made of: digits, signs, points, commas, other ASCII, and the unit,
# triangle and date characters; arbitrary high bytes are added separately.
# fmt: off
TOKENS = (list("0123456789") * 2 + list("+-.,-.") + [" ", "%", "e", "x", "/"] +
          list("百万千△▲年月日円株－−―ヶ％") + ["--", "-.", "△0", "-0"])
# fmt: on


def long_number(rng):
    """A number where two correct parsers could still part: many digits, a decimal halfway
    between two doubles, or a tie for %.0f and %.2f, with a sign and units at times."""
    roll = rng.random()
    if roll < 0.4:
        x = rng.uniform(0, 10 ** rng.randrange(1, 30))
        with decimal.localcontext(decimal.Context(prec=1200)):
            mid = (decimal.Decimal(x) + decimal.Decimal(math.nextafter(x, math.inf))) / 2
        text = format(mid, "f")
    elif roll < 0.7:
        text = "".join(rng.choice("0123456789") for _ in range(rng.randrange(15, 62)))
        if rng.random() < 0.5:
            at = rng.randrange(len(text))
            text = text[:at] + "." + text[at:]
    else:
        text = "%d.%s" % (rng.randrange(1 << 53), rng.choice(["5", "125", "375", "005", "995"]))
    text = rng.choice(["", "", "-", "+", "△", "▲"]) + text
    return text + "".join(rng.choice("百万千年月日") for _ in range(rng.randrange(0, 4)))


def cell_text(rng, encoding):
    if rng.random() < 0.25:
        return long_number(rng).encode(encoding, "replace")[:63]
    parts = []
    for _ in range(rng.randrange(0, 14)):
        roll = rng.random()
        if roll < 0.08:
            parts.append(bytes([rng.randrange(0x80, 0x100)]))
        elif roll < 0.12:
            parts.append(bytes([rng.randrange(0x80, 0x100), rng.randrange(0x21, 0x100)]))
        else:
            parts.append(rng.choice(TOKENS).encode(encoding, "replace"))
    return b"".join(parts)[:63]


def mutate(rng, page):
    lines = page.split(b"\n")
    for _ in range(rng.randrange(1, 5)):
        if not lines:
            break
        i = rng.randrange(len(lines))
        roll = rng.random()
        values = [k for k, line in enumerate(lines) if line.rstrip(b"\r").endswith(b"<BR>")]
        if roll < 0.45 and values:
            k = rng.choice(values)
            lines[k] = cell_text(rng, "euc_jp") + lines[k][lines[k].rindex(b"<BR>") :]
        elif roll < 0.55:
            del lines[i]
        elif roll < 0.65:
            lines.insert(i, lines[rng.randrange(len(lines))])
        elif roll < 0.75 and lines[i]:
            j = rng.randrange(len(lines[i]))
            lines[i] = lines[i][:j] + bytes([rng.randrange(1, 0x100)]) + lines[i][j + 1 :]
        elif roll < 0.85:
            lines[i] = b" " * rng.randrange(200, 300) + lines[i]
        elif roll < 0.95:
            lines = [
                line.rstrip(b"\r") + rng.choice([b"", b"\r", b"\r\r", b"\n\r"]) for line in lines
            ]
        else:
            lines = lines[: i + 1]
    return b"\n".join(lines)[: rng.randrange(1, 1 << 16)]


def inputs(seed):
    rng = random.Random(seed)
    records = [
        b"c" + struct.pack("<I", len(t)) + t
        for t in (cell_text(rng, rng.choice(["shift_jis", "euc_jp"])) for _ in range(CELLS))
    ]
    pages = [sample.page_bytes(c, seed) for c in sample.generate(seed, GENERATED_PAGES)]
    pages += [mutate(rng, rng.choice(pages)) for _ in range(MUTATED_PAGES)]
    records += [b"p" + struct.pack("<I", len(p)) + p for p in pages]
    return records


def run(command, records, folder):
    """Each record's output, in order: one line a cell, the lines up to the next page's."""
    source, target = pathlib.Path(folder) / "input", pathlib.Path(folder) / "output"
    if not source.exists():
        source.write_bytes(b"".join(records))
    target.unlink(missing_ok=True)
    # Files, not pipes: a wineserver that the first Wine process starts holds pipes open.
    subprocess.run(
        command + [str(source), str(target)], check=True, timeout=300, stdin=subprocess.DEVNULL
    )
    return target.read_bytes()


def per_record(output):
    """The output cut at each record's first line ('c ...' or 'p ...')."""
    pieces = []
    for line in output.split(b"\n")[:-1]:
        if line.startswith((b"c ", b"p ")) or not pieces:
            pieces.append(line + b"\n")
        else:
            pieces[-1] += line + b"\n"
    return pieces


class SameOutput(unittest.TestCase):
    def test_generated_inputs(self):
        native = os.environ.get("KESSAN_PARSE_DRIVER_NATIVE", "")
        if not os.path.exists(native):
            self.skipTest(
                "the native parse_driver %r is absent: build the default preset first" % native
            )
        seed = int(os.environ.get("KESSAN_PARITY_SEED", "0")) or random.SystemRandom().randrange(
            1, 1 << 31
        )
        print("seed %d" % seed, file=sys.stderr)
        started = time.monotonic()
        records = inputs(seed)
        with tempfile.TemporaryDirectory(prefix="kessan-parity-") as folder:
            want = run([native], records, folder)
            got = run(shlex.split(os.environ["KESSAN_PARSE_DRIVER_COMMAND"]), records, folder)
        pages = len(records) - CELLS
        print(
            "%d cell texts and %d pages compared in %.1f s"
            % (CELLS, pages, time.monotonic() - started),
            file=sys.stderr,
        )
        if got == want:
            return
        want_pieces, got_pieces = per_record(want), per_record(got)
        self.assertEqual(len(got_pieces), len(records), "the Windows build skipped records")
        differing = [i for i, (w, g) in enumerate(zip(want_pieces, got_pieces)) if w != g]
        first = differing[0]
        self.fail(
            "seed %d: %d of %d inputs differ; the first, record %d, input in hex:\n%s\n"
            "native:\n%s\nWindows:\n%s"
            % (
                seed,
                len(differing),
                len(records),
                first,
                records[first][5:].hex(),
                want_pieces[first].decode("latin-1"),
                got_pieces[first].decode("latin-1"),
            )
        )


if __name__ == "__main__":
    unittest.main()
