#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target (fuzz/corpus/<target>/) from the end-to-end pages.

Run from anywhere; the output is committed. Each file is named after what it holds.
"""

import pathlib
import struct
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))

from kessan_testing import cases  # noqa: E402

CORPUS = HERE / "corpus"
PAGE_CODES = [1301, 1304, 1306, 1308, 1309, 1310, 1313, 1317, 1318, 1319]


def lines_of(page):
    return page.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")


def high_bit_lines():
    """The distinct page lines holding EUC-JP text, shortest first, a few of each kind."""
    seen = set()
    for code in (1301, 1302, 1315, 1318):
        for line in lines_of(cases.PAGES[code]):
            if any(b >= 0x80 for b in line) and line not in seen:
                seen.add(line)
    return sorted(seen, key=lambda line: (len(line), line))


def cell_texts():
    """Value texts as the scanner hands them over: Shift_JIS, at most 63 bytes."""
    texts = []
    for column in cases.KYOKUTO + cases.MINATO + cases.SMALL + cases.NANIWA:
        for value in column:
            raw = value.encode("shift_jis")[:63]
            if raw not in texts:
                texts.append(raw)
    return texts


def read_sizes(*sizes):
    """The next_line target's prefix: a count byte, then each size as two bytes."""
    return bytes([len(sizes) - 1]) + b"".join(struct.pack("<H", s - 1) for s in sizes)


def corpus():
    out = {}
    lines = high_bit_lines()
    out["euc_to_sjis"] = {
        f"line{i:02d}": line for i, line in enumerate(lines[:: max(1, len(lines) // 12)])
    }
    out["euc_to_sjis"]["katakana"] = b"\x8e\xb6\x8e\xcc\x8f\xec\xbf\xa1\xca1318\xa1\xcb"
    out["euc_to_sjis"]["lone_lead"] = "製作所".encode("euc_jp") + b"\xb0"

    texts = cell_texts()
    amounts = [
        t for t in texts if "年".encode("shift_jis") not in t and "日".encode("shift_jis") not in t
    ]
    out["parse_amount"] = {
        f"cell{i:02d}": t for i, t in enumerate(amounts[:: max(1, len(amounts) // 16)])
    }
    dates = [t for t in texts if "年".encode("shift_jis") in t] + [b"2024/8/9", b"2024/6"]
    out["parse_period_date"] = {f"date{i:02d}": t for i, t in enumerate(dates)}

    out["scanner"] = {
        f"page{code}": b"\n".join(lines_of(cases.PAGES[code])) for code in PAGE_CODES[:6]
    }
    out["next_line"] = {
        "page1308_crlf_reads37": read_sizes(37) + cases.PAGES[1308],
        "page1309_cr_reads300": read_sizes(300, 1) + cases.PAGES[1309],
        "page1310_long_line_reads1023": read_sizes(1023) + cases.PAGES[1310],
        "page1317_nul_reads1_7_255": read_sizes(1, 7, 255) + cases.PAGES[1317],
        "page1319_reads256": read_sizes(256) + cases.PAGES[1319],
        "line_ends_only": read_sizes(2, 1) + b"\r\n\n\r\r\r\n\n",
    }
    sweep = cases.EXPECTED_STDOUT.split(b"\n")[:96]  # the first four companies
    merged = b"".join(
        line + b"\n" + line + b"\n"
        if line.count(b",") >= 2 and line[:1].isdigit()
        else line + b"\n"
        for line in sweep
    )
    out["tidy_blocks"] = {"sweep_output": b"\n".join(sweep) + b"\n", "summary_lines_twice": merged}
    return out


def main():
    for target, files in corpus().items():
        folder = CORPUS / target
        if folder.exists():
            # Regression inputs (named crash-*) are kept; the seeds are written afresh.
            for old in folder.iterdir():
                if not old.name.startswith("crash-"):
                    old.unlink()
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in files.items():
            (folder / name).write_bytes(data)
    total = sum(p.stat().st_size for p in CORPUS.rglob("*") if p.is_file())
    count = sum(1 for p in CORPUS.rglob("*") if p.is_file())
    print(f"{count} files, {total} bytes in {CORPUS}")


if __name__ == "__main__":
    main()
