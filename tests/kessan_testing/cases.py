"""The end-to-end pages, one scenario per code, and the output expected of a sweep over them.

Every expected line below is written by hand from the page layout: item k of a period is the
k-th value line of its column, counted across the rows; amounts carry their own units.
"""

from kessan_testing import results_page as rp

M = "−"  # the page's dash for a missing value

# Three periods in millions of yen, with minus, △ and ▲ negatives and missing values.
# fmt: off
KYOKUTO = [
    ["2024年3月", "2024年5月14日", "12ヶ月", "152,340百万円", "12,045百万円", "12,870百万円",
     "8,102百万円", "95.47円", "94.80円", "30.00円", "普通", "1,204.55円", "84,870千株",
     "210,455百万円", "102,230百万円", "15,000百万円", "20,100百万円", "64,321百万円", "48.6%",
     "1,234百万円", "3.85%", "7.93%", "6.12%"],
    ["2023年3月", "2023年5月15日", "12ヶ月", "140,511百万円", "10,233百万円", "10,950百万円",
     "6,870百万円", "80.95円", "80.41円", "25.00円", "普通", "1,130.40円", "84,870千株",
     "201,876百万円", "95,938百万円", "15,000百万円", "22,750百万円", "58,004百万円", "47.5%",
     "980百万円", "3.40%", "7.16%", "5.42%"],
    ["2022年3月", "2022年5月13日", "12ヶ月", "131,002百万円", "-1,500百万円", "△350百万円",
     "▲2,210百万円", "▲26.10円", M, "20.00円", "普通", "1,080.02円", "84,870千株",
     "198,004百万円", "91,660百万円", "15,000百万円", "25,400百万円", "51,003百万円", "46.5%",
     M, "△1.12%", "△2.41%", "△0.18%"],
]
# fmt: on
KYOKUTO_HEADERS = ["2024年3月期", "2023年3月期", "2022年3月期"]

# One period in thousands of yen, a loss year; an ASCII "--" for a missing value prints 0.
# fmt: off
MINATO = [
    ["2024年12月", "2025年2月10日", "12ヶ月", "5,230,114千円", "-12,400千円", "△8,050千円",
     "△20,113千円", "△3.52円", "--", "0.00円", M, "412.07円", "5,700千株", "3,012,500千円",
     "2,348,900千円", "490,000千円", "0千円", "1,102,330千円", "78.0%", M, "△0.67%", "△0.86%",
     "△0.27%"],
]
# fmt: on

# One small period, used by the delivery-mode cases.
# fmt: off
SMALL = [
    ["2024年6月", "2024年8月9日", "12ヶ月", "812百万円", "41百万円", "44百万円", "30百万円",
     "15.20円", M, "5.00円", "普通", "320.50円", "2,000千株", "900百万円", "641百万円",
     "100百万円", "0百万円", "420百万円", "71.2%", "3百万円", "3.33%", "4.68%", "4.89%"],
]
# fmt: on

# A short first period (6 months) and a third-quarter style figure with 万 units.
# fmt: off
NANIWA = [
    ["2024年9月", "2024年11月8日", "6ヶ月", "3万円", "1.5万円", "2百万円", "1千円",
     "0.5円", "1.5円", "2.5円", "5", "12.345円", "1万株", "7千万円", "5百円", "10円",
     "1,000", "2,000千", "12.5%", "100", "0.125%", "2.675%", "1.005%"],
]
# fmt: on


def columns_with(base, column, item, value):
    """A copy of base in which item (1-based) of column (0-based) reads value."""
    copy = [list(c) for c in base]
    copy[column][item - 1] = value
    return copy


def page_with_table(name, code, headers, columns, before=(), after=()):
    return rp.page(
        list(before) + [rp.name_line(name, code)] + rp.table_lines(headers, columns) + list(after)
    )


PAGES = {}
MODES = {}

# Three periods, the common case.
PAGES[1301] = page_with_table("極東製作所", 1301, KYOKUTO_HEADERS, KYOKUTO)
# One period in thousands, losses with minus and triangles.
PAGES[1302] = page_with_table("みなと商事", 1302, ["2024年12月期"], MINATO)
# A value line that is only a tag is no item: the cell's later values move up.
PAGES[1303] = page_with_table("北辰物産", 1303, ["2024年6月期"], columns_with(SMALL, 0, 21, ""))
# A months cell of 0 in the second column ends the page with 0: nothing printed.
PAGES[1304] = page_with_table(
    "東雲工業", 1304, ["2024年3月期", "2023年3月期"], columns_with(KYOKUTO[:2], 1, 3, "0ヶ月")
)
# No results table at all.
PAGES[1305] = rp.page([rp.name_line("白樺食品", 1305), "<P>決算情報はありません。</P>"])
# A name line without the parentheses: the layout is not followed.
PAGES[1306] = rp.page(
    ['<TD><FONT size="+1">名無し株式会社</FONT></TD>'] + rp.table_lines(["2024年3月期"], SMALL)
)
# Four periods announced: three are printed; the fourth column's months of 0 does not count.
PAGES[1307] = page_with_table(
    "四国精機", 1307, KYOKUTO_HEADERS + ["2021年3月期"], KYOKUTO + columns_with(SMALL, 0, 3, "0ヶ月")
)
# CR LF line ends, chunked delivery.
PAGES[1308] = page_with_table("港湾運輸", 1308, ["2024年6月期"], SMALL).replace(b"\n", b"\r\n")
MODES[1308] = "chunked 37"
# Lone CR line ends, delivered a few bytes at a time.
PAGES[1309] = page_with_table("朝霧化学", 1309, ["2024年6月期"], SMALL).replace(b"\n", b"\r")
MODES[1309] = "drip 300"
# A value line of 259 bytes: its first 255-byte piece holds no tag, so it is no item, and the
# piece "<BR>" is empty. The cell's later values move up, and since the row's last cell has
# one line fewer, every later row starts one item early. A table start split across two
# pieces is never seen (code 1319).
PAGES[1310] = page_with_table(
    "長尺興業", 1310, ["2024年6月期"], columns_with(SMALL, 0, 4, " " * 246 + "812百万円")
)
# A value text longer than the cell buffer is cut before the first character that does not
# fit in 63 bytes: 58 spaces, 812 and 百 fit, 万 does not.
PAGES[1320] = page_with_table(
    "境界計測", 1320, ["2024年6月期"], columns_with(SMALL, 0, 4, " " * 58 + "812百万円")
)
PAGES[1319] = rp.page(
    [rp.name_line("分断電子", 1319), " " * 240 + rp.TABLE_START]
    + rp.table_lines(["2024年6月期"], SMALL)[1:]
)
# Served after a redirect.
PAGES[1312] = page_with_table("迂回通信", 1312, ["2024年6月期"], SMALL)
MODES[1312] = "redirect 2"
# A header cell whose end is on the next line: the layout is not followed.
PAGES[1313] = rp.page(
    [rp.name_line("改行電機", 1313), rp.TABLE_START, "<TR>", rp.HEADER_CELL, "2024年3月期</TD>", "</TR>"]
)
# The connection is reset before any response: the request fails.
PAGES[1314] = page_with_table("断線工業", 1314, ["2024年6月期"], SMALL)
MODES[1314] = "reset"
# An error status with a results page: read like any page.
PAGES[1315] = page_with_table("浪速電機", 1315, ["2024年9月中間期"], NANIWA)
MODES[1315] = "status500"
# Figures without a name line, dates written with slashes: no name, default dates.
PAGES[1316] = rp.page(
    rp.table_lines(
        ["2024年6月期"], columns_with(columns_with(SMALL, 0, 1, "2024/6"), 0, 2, "2024/8/9")
    )
)
# A NUL byte inside a value line hides the rest of that line from the scan.
PAGES[1317] = page_with_table("零細精工", 1317, ["2024年6月期"], SMALL).replace(
    "812百万円<BR>".encode("euc_jp"), "8\x0012百万円<BR>".encode("euc_jp")
)
# A name in half-width katakana (EUC-JP single shift 8E) and JIS X 0212 (8F, here 鷗).
PAGES[1318] = rp.page(
    [b'<TD><FONT size="+1">\x8e\xb6\x8e\xcc\x8f\xec\xbf' b"\xa1\xca1318\xa1\xcb</FONT>"]
    + rp.table_lines(["2024年6月期"], SMALL)
)

# Two periods.
PAGES[1321] = page_with_table("二葉電工", 1321, KYOKUTO_HEADERS[:2], KYOKUTO[:2])

# Replies as real servers send them: redirects whose bodies stall or are cut short (followed at
# once).
SERVER_HABITS = {1323: ("転送停滞", "redirectstall"), 1324: ("転送切断", "redirectshort")}
for code, (name, mode) in SERVER_HABITS.items():
    PAGES[code] = page_with_table(name, code, ["2024年6月期"], SMALL)
    MODES[code] = mode

# Where each page's scan stops: its local copy ends with the first line holding this text.
# Pages not listed are copied whole.
STOP_LINE = {code: b"</TABLE>" for code in PAGES}
STOP_LINE[1304] = "0ヶ月<BR>".encode("euc_jp")
STOP_LINE[1306] = "名無し株式会社".encode("euc_jp")
STOP_LINE[1313] = rp.HEADER_CELL.encode("ascii")
for whole in (1305, 1319):
    del STOP_LINE[whole]
STOP_LINE[1314] = None  # the request fails: the copy stays empty

SMALL_ROWS = """\
決算年月日,2024/6
（決算発表日）,2024/8/9
決算月数,12
売上高,812000000
営業利益,41000000
経常利益,44000000
当期利益,30000000
1株当り当期利益,15.20
調整1株当り利益,0.00
1株当り配当,5.00
配当区分,0
1株当り株主資本,320.50
発行済み株式総数,2000000
総資産,900000000
株主資本,641000000
資本金,100000000
有利子負債,0
繰越損益,420000000
株主資本比率,71
含み損益,3000000
総資産利益率,3.33
自己資本利益率,4.68
総資産経常利益率,4.89
"""

KYOKUTO_ROWS = """\
決算年月日,2024/3,2023/3,2022/3
（決算発表日）,2024/5/14,2023/5/15,2022/5/13
決算月数,12,12,12
売上高,152340000000,140511000000,131002000000
営業利益,12045000000,10233000000,-1500000000
経常利益,12870000000,10950000000,-350000000
当期利益,8102000000,6870000000,-2210000000
1株当り当期利益,95.47,80.95,-26.10
調整1株当り利益,94.80,80.41,0.00
1株当り配当,30.00,25.00,20.00
配当区分,0,0,0
1株当り株主資本,1204.55,1130.40,1080.02
発行済み株式総数,84870000,84870000,84870000
総資産,210455000000,201876000000,198004000000
株主資本,102230000000,95938000000,91660000000
資本金,15000000000,15000000000,15000000000
有利子負債,20100000000,22750000000,25400000000
繰越損益,64321000000,58004000000,51003000000
株主資本比率,49,48,46
含み損益,1234000000,980000000,0
総資産利益率,3.85,3.40,-1.12
自己資本利益率,7.93,7.16,-2.41
総資産経常利益率,6.12,5.42,-0.18
"""

# A tag-only line and a line cut at 255 bytes shift the items as the comments above say.
SHIFTED_ROWS = """\
決算年月日,2024/6
（決算発表日）,2024/8/9
決算月数,12
売上高,41000000
営業利益,44000000
経常利益,30000000
当期利益,15
1株当り当期利益,0.00
調整1株当り利益,5.00
1株当り配当,0.00
配当区分,0
1株当り株主資本,2000000.00
発行済み株式総数,900000000
総資産,641000000
株主資本,100000000
資本金,0
有利子負債,420000000
繰越損益,71
株主資本比率,3000000
含み損益,3
総資産利益率,4.68
自己資本利益率,4.89
総資産経常利益率,0.00
"""

# fmt: off
EXPECTED_STDOUT = (
    "1301,極東製作所,3\n" + KYOKUTO_ROWS +
    "1302,みなと商事,1\n" + """\
決算年月日,2024/12
（決算発表日）,2025/2/10
決算月数,12
売上高,5230114000
営業利益,-12400000
経常利益,-8050000
当期利益,-20113000
1株当り当期利益,-3.52
調整1株当り利益,0.00
1株当り配当,0.00
配当区分,0
1株当り株主資本,412.07
発行済み株式総数,5700000
総資産,3012500000
株主資本,2348900000
資本金,490000000
有利子負債,0
繰越損益,1102330000
株主資本比率,78
含み損益,0
総資産利益率,-0.67
自己資本利益率,-0.86
総資産経常利益率,-0.27
""" +
    "1303,北辰物産,1\n" + SMALL_ROWS.replace("""\
総資産利益率,3.33
自己資本利益率,4.68
総資産経常利益率,4.89
""", """\
総資産利益率,4.68
自己資本利益率,4.89
総資産経常利益率,0.00
""") +
    "1307,四国精機,3\n" + KYOKUTO_ROWS +
    "1308,港湾運輸,1\n" + SMALL_ROWS +
    "1309,朝霧化学,1\n" + SMALL_ROWS +
    "1310,長尺興業,1\n" + SHIFTED_ROWS +
    "1312,迂回通信,1\n" + SMALL_ROWS +
    "1315,浪速電機,1\n" + """\
決算年月日,2024/9
（決算発表日）,2024/11/8
決算月数,6
売上高,30000
営業利益,15000
経常利益,2000000
当期利益,1000
1株当り当期利益,0.50
調整1株当り利益,1.50
1株当り配当,2.50
配当区分,0
1株当り株主資本,12.35
発行済み株式総数,10000
総資産,70000000
株主資本,500
資本金,10
有利子負債,1000
繰越損益,2000000
株主資本比率,12
含み損益,100
総資産利益率,0.12
自己資本利益率,2.67
総資産経常利益率,1.00
""" +
    "1316,,1\n" + SMALL_ROWS.replace("2024/6\n", "1900/1\n").replace("2024/8/9", "1900/1/1") +
    "1317,零細精工,1\n" + SHIFTED_ROWS +
    # Half-width katakana stays itself; Shift_JIS has no 鷗, so it shows as 〓.
    "1318,ｶﾌ〓,1\n" + SMALL_ROWS +
    "1320,境界計測,1\n" + SMALL_ROWS.replace("売上高,812000000", "売上高,81200") +
    # The first two fields of every row of the three-period company.
    "1321,二葉電工,2\n" + "".join(line.rsplit(",", 1)[0] + "\n"
                              for line in KYOKUTO_ROWS.splitlines()) +
    "".join(f"{code},{name},1\n" + SMALL_ROWS for code, (name, _) in SERVER_HABITS.items())
).encode("shift_jis")
# fmt: on

# fmt: off
EXPECTED_STDERR_LINES = [
    "1301,極東製作所,3", "1302,みなと商事,1", "1303,北辰物産,1", "1307,四国精機,3",
    "1308,港湾運輸,1", "1309,朝霧化学,1", "1310,長尺興業,1", "1312,迂回通信,1",
    "URLオープンエラー", ": Connection reset by peer",  # RESET_REPORT
    "1315,浪速電機,1", "1316,,1", "1317,零細精工,1", "1318,ｶﾌ〓,1", "1320,境界計測,1", "1321,二葉電工,2",
] + [f"{code},{name},1" for code, (name, _) in SERVER_HABITS.items()]
# fmt: on
# The reset at 1314 is the only code that fails.
CLOSING_REPORT = (
    f"処理したコード 8700 件、決算のあった企業 {len(EXPECTED_STDERR_LINES) - 2} 社、"
    "URLオープンエラー 1 件、ファイル作成エラー 0 件\nURLオープンエラーのコード: 1314\n"
).encode("shift_jis")
EXPECTED_STDERR = (
    "".join(line + "\n" for line in EXPECTED_STDERR_LINES).encode("shift_jis") + CLOSING_REPORT
)
REQUEST_FAILED = "URLオープンエラー\n".encode("shift_jis")
RESET_REPORT = REQUEST_FAILED + b": Connection reset by peer\n"
