"""Company pages in the service's results layout, written as EUC-JP bytes."""

TABLE_START = '<TABLE WIDTH="100%" BORDER="0" CELLSPACING="1" CELLPADDING="2">'
HEADER_CELL = '<TD BGCOLOR="#ffffff" WIDTH="20%" ALIGN="CENTER">'
LABEL_CELL = '<TD BGCOLOR="#ffffff" NOWRAP VALIGN="TOP">'
VALUE_CELL = '<TD BGCOLOR="#ffffff" NOWRAP ALIGN="RIGHT" VALIGN="TOP">'
CORNER_CELL = '<TD BGCOLOR="#cccccc" WIDTH="40%">'

# The table's rows as the page groups its 23 items; each cell holds one value per line.
ROW_LABELS = [
    ["決算年月日", "（決算発表日）", "決算月数"],
    ["売上高", "営業利益", "経常利益", "当期利益"],
    ["1株当り当期利益", "調整1株当り利益", "1株当り配当", "配当区分"],
    ["1株当り株主資本", "発行済み株式総数"],
    ["総資産", "株主資本", "資本金", "有利子負債", "繰越損益"],
    ["株主資本比率", "含み損益"],
    ["総資産利益率", "自己資本利益率", "総資産経常利益率"],
]


def name_line(name, code):
    # The name starts at the line's 21st byte, after a 20-byte prefix.
    return f'<TD><FONT size="+1">{name}（東証1部：{code}）</FONT></TD>'


def table_lines(headers, columns, rows=ROW_LABELS):
    """The results table: one header cell per period, then one cell per period and row.

    columns holds, per period, its 23 value texts in item order; each value is a line of its
    own ending in <BR>, and each cell ends with a line "</TD>". A None leaves the value's line
    out, so later values of that cell move up.
    """
    lines = [TABLE_START, "<TR>", CORNER_CELL + "&nbsp;</TD>"]
    lines += [f"{HEADER_CELL}{h}</TD>" for h in headers]
    lines.append("</TR>")
    item = 0
    for labels in rows:
        lines += ["<TR>", LABEL_CELL]
        lines += [f"{label}<BR>" for label in labels[:-1]] + [f"{labels[-1]}</TD>"]
        for column in columns:
            values = [v for v in column[item : item + len(labels)] if v is not None]
            lines.append(VALUE_CELL)
            lines += [f"{v}<BR>" for v in values] + ["</TD>"]
        lines.append("</TR>")
        item += len(labels)
    lines.append("</TABLE>")
    return lines


def page(body_lines, title="企業情報", line_end="\n"):
    """A whole page as EUC-JP bytes; body_lines may mix text lines and raw byte lines."""
    lines = ["<HTML>", "<HEAD>", f"<TITLE>{title}</TITLE>", "</HEAD>", "<BODY>"]
    lines += body_lines + ["</BODY>", "</HTML>"]
    end = line_end.encode("ascii")
    return b"".join(
        (line if isinstance(line, bytes) else line.encode("euc_jp")) + end for line in lines
    )
