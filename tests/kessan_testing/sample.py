#!/usr/bin/env python3
"""The sample data set: results pages of fictional companies, in the service's layout and EUC-JP.

    PYTHONPATH=tests python3 -m kessan_testing.sample DIR [--seed N] [--count N]

writes DIR/NNNN.html for about 3,900 codes spread over 1300..9999 (no file, and so a 404, for the
others) and DIR/sample.json, the record of every company's figures. The same seed always gives
the same bytes. Standard library only.
"""

import argparse
import json
import math
import os
import pathlib
import random
import re
import sys
import time

from kessan_testing import CODES, FIRST_CODE, LAST_CODE
from kessan_testing import results_page as rp

SEED = 20240517
COMPANY_COUNT = 3900
RECORD_NAME = "sample.json"
PAGE_NAME = re.compile(r"[0-9]{4}\.html")

MISSING = "−"  # U+2212, EUC-JP A1DD: the page's dash for a value it does not have

# Units as the page writes them.
MILLION_YEN, THOUSAND_YEN, YEN, THOUSAND_SHARES, PERCENT = "百万円", "千円", "円", "千株", "%"

# Items 4..23 (item 11, the dividend class, is text): (unit kind, decimals).
AMOUNT, PER_SHARE, SHARES, RATIO1, RATIO2 = "amount", "per_share", "shares", "ratio1", "ratio2"
# fmt: off
ITEM_KIND = {4: AMOUNT, 5: AMOUNT, 6: AMOUNT, 7: AMOUNT, 8: PER_SHARE, 9: PER_SHARE,
             10: PER_SHARE, 12: PER_SHARE, 13: SHARES, 14: AMOUNT, 15: AMOUNT, 16: AMOUNT,
             17: AMOUNT, 18: AMOUNT, 19: RATIO1, 20: AMOUNT, 21: RATIO2, 22: RATIO2, 23: RATIO2}
# fmt: on

# Kinds of page.
RESULTS, NO_TABLE, MONTHS_ZERO = "results", "no_table", "months_zero"
NO_TABLE_RATE = 0.02
MONTHS_ZERO_RATE = 0.012

# Katakana morae for the invented name stems, the voiced ones less often.
PLAIN_MORAE = "カ キ ク ケ コ サ シ ス セ ソ タ テ ト ナ ニ ネ ノ ハ ヒ フ ホ マ ミ ム メ モ ヤ ユ ヨ ラ リ ル レ ロ ワ"
VOICED_MORAE = "ガ ギ グ ゴ ザ ズ ダ デ ド バ ビ ブ ベ ボ パ ピ プ ポ"
MORAE = PLAIN_MORAE.split() * 3 + VOICED_MORAE.split()
# Stems holding one of these read as a rude word and are drawn again.
UNFIT = ("クソ", "バカ", "カス", "ブス", "ボケ", "シネ", "ホモ", "チビ", "デブ", "ハゲ", "ケツ", "マヌケ")

# Per thousand block of codes: sector name and name endings that suit it.
# fmt: off
SECTORS = {
    1: [(8, "建設業", ["建設", "組", "工務", "土木", "住建"]), (2, "水産・農林業", ["水産", "農産"])],
    2: [(6, "食料品", ["食品", "製菓", "乳業", "製粉", "醸造"]),
        (4, "サービス業", ["サービス", "企画"])],
    3: [(3, "繊維製品", ["繊維", "紡績", "織物"]), (5, "情報・通信業", ["システムズ", "情報", "データ"]),
        (2, "不動産業", ["不動産", "地所", "住販"])],
    4: [(5, "化学", ["化学", "化成", "樹脂", "塗料"]), (2, "医薬品", ["製薬", "薬品"]),
        (3, "情報・通信業", ["ソフト", "ネット", "情報"])],
    5: [(3, "鉄鋼", ["鋼業", "製鋼", "鉄工"]), (2, "ガラス・土石製品", ["硝子", "窯業", "セメント"]),
        (3, "非鉄金属", ["金属", "電線", "伸銅"]), (2, "ゴム製品", ["ゴム", "化工"])],
    6: [(5, "機械", ["機械", "精機", "工機", "製作所"]), (5, "電気機器", ["電機", "電子", "電器", "計器"])],
    7: [(4, "輸送用機器", ["自動車", "車体", "工業"]), (3, "精密機器", ["精密", "光学", "計測"]),
        (3, "その他製品", ["産業", "工芸", "印刷"])],
    8: [(4, "卸売業", ["商事", "物産", "商会", "通商"]), (2, "小売業", ["ストア", "百貨", "商店"]),
        (2, "銀行業", ["銀行"]), (1, "証券業", ["証券"]), (1, "不動産業", ["不動産", "土地"])],
    9: [(3, "陸運業", ["運輸", "急便", "交通"]), (1, "海運業", ["海運", "汽船"]),
        (1, "倉庫・運輸関連業", ["倉庫", "物流"]), (2, "情報・通信業", ["通信", "放送"]),
        (1, "電気・ガス業", ["電力", "瓦斯"]), (2, "サービス業", ["サービス", "ワークス"])],
}
# fmt: on
GENERIC_ENDINGS = ["ホールディングス", "工業", "産業", "興業"]
MARKETS = [("東証プライム", 0.45), ("東証スタンダード", 0.35), ("東証グロース", 0.12), ("名証メイン", 0.05), ("福証", 0.03)]
# fmt: off
PLACES = ["東京都千代田区", "東京都中央区", "東京都港区", "東京都品川区", "大阪府大阪市北区",
          "大阪府大阪市中央区", "愛知県名古屋市中区", "神奈川県横浜市西区", "福岡県福岡市博多区",
          "北海道札幌市中央区", "宮城県仙台市青葉区", "広島県広島市中区", "京都府京都市下京区",
          "兵庫県神戸市中央区", "静岡県浜松市中区", "新潟県新潟市中央区"]
# fmt: on
# fmt: off
PRODUCTS = ["産業用部材", "精密部品", "業務用機器", "生活関連商品", "建築資材", "電子部品",
            "包装資材", "物流サービス", "業務用ソフトウェア", "加工食品", "化学素材", "計測機器"]
# fmt: on
REGIONS = ["首都圏", "関西圏", "中部地区", "九州地区", "東北地区", "国内全域", "アジア各国"]
CUSTOMERS = ["大手製造業", "官公庁", "量販店", "建設会社", "医療機関", "中堅企業", "個人顧客"]
NO_TABLE_TEXTS = ["決算情報はありません。", "上場準備中のため、決算情報は掲載していません。", "決算情報は現在準備中です。"]
NOTES = ["※ 金額は単位未満を切り捨てて表示しています。", "※ 「−」は該当する数値がないことを示します。", "※ 1株当りの数値は期中平均株式数により算出しています。"]


# ---------------------------------------------------------------------------
# Figures


def figure(value, kind, unit):
    """[mantissa, decimals, unit] of a value, as the page writes it; a float value is rounded."""
    decimals = {PER_SHARE: 2, RATIO1: 1, RATIO2: 2}.get(kind, 0)
    mantissa = int(round(value * 10**decimals))
    return [mantissa, decimals, unit]


def round_to_nonzero(value, kind):
    """value, or the smallest step of its sign when it would round to 0."""
    fig = figure(value, kind, None)
    if fig[0] == 0 and value != 0:
        return math.copysign(10 ** -fig[1], value)
    return value


def company_periods(rng, count, unit):
    """count periods of consistent figures, newest first, each a dict item -> figure or None."""
    scale = 1 if unit == MILLION_YEN else 1000  # figures below are in millions of yen
    sales = math.exp(rng.gauss(math.log(40_000), 1.5))
    sales = min(max(sales, 400.0), 25_000_000.0)
    if unit == THOUSAND_YEN:
        sales = min(sales, 30_000.0)
    margin = rng.gauss(0.06, 0.05)
    assets = sales * rng.uniform(0.5, 2.2)
    equity_ratio = rng.uniform(0.15, 0.8)
    bps_target = math.exp(rng.gauss(math.log(1200), 0.8))
    shares = max(1000.0, assets * equity_ratio * 1_000_000 / bps_target / 1000)  # 千株
    capital = max(10.0, assets * equity_ratio * rng.uniform(0.05, 0.35))
    debt_share = rng.uniform(0.0, 0.45) if rng.random() > 0.1 else 0.0
    payout = rng.uniform(0.15, 0.45)
    diluted = rng.random() < 0.3
    unrealized_missing = rng.random() < 0.35
    periods = []
    for index in range(count):
        if index:
            growth = rng.gauss(0.04, 0.09)
            sales /= 1 + growth
            assets /= 1 + rng.gauss(0.03, 0.05)
            margin = margin + rng.gauss(0, 0.02)
        operating = sales * margin
        ordinary = operating + sales * rng.gauss(0.002, 0.006)
        # After tax on a profit; a loss grows with write-offs.
        net = ordinary * (rng.uniform(0.55, 0.72) if ordinary > 0 else rng.uniform(1.0, 1.6))
        equity = assets * min(0.9, max(0.05, equity_ratio + rng.gauss(0, 0.02)))
        retained = equity - capital * rng.uniform(1.2, 2.0)
        eps = net * 1_000_000 / (shares * 1000)
        bps = equity * 1_000_000 / (shares * 1000)
        dividend = max(0.0, round(eps * payout * 2) / 2) if eps > 0 else rng.choice([0.0, 5.0])
        values = {
            4: (sales, AMOUNT),
            5: (operating, AMOUNT),
            6: (ordinary, AMOUNT),
            7: (net, AMOUNT),
            8: (eps, PER_SHARE),
            9: (eps * rng.uniform(0.97, 0.999), PER_SHARE),
            10: (dividend, PER_SHARE),
            12: (bps, PER_SHARE),
            13: (shares, SHARES),
            14: (assets, AMOUNT),
            15: (equity, AMOUNT),
            16: (capital, AMOUNT),
            17: (assets * debt_share, AMOUNT),
            18: (retained, AMOUNT),
            19: (equity / assets * 100, RATIO1),
            20: (assets * rng.gauss(0.004, 0.01), AMOUNT),
            21: (net / assets * 100, RATIO2),
            22: (net / equity * 100, RATIO2),
            23: (ordinary / assets * 100, RATIO2),
        }
        figures = {}
        for item, (value, kind) in values.items():
            item_unit = {
                AMOUNT: unit,
                SHARES: THOUSAND_SHARES,
                RATIO1: PERCENT,
                RATIO2: PERCENT,
            }.get(kind, YEN)
            if kind == AMOUNT:
                value *= scale
            figures[item] = figure(round_to_nonzero(value, kind), kind, item_unit)
        if not diluted or eps <= 0:
            figures[9] = None
        if unrealized_missing:
            figures[20] = None
        if debt_share == 0.0:
            figures[17] = None if rng.random() < 0.5 else [0, 0, unit]
        for item in (5, 6, 12, 14, 16, 21, 22, 23):
            if rng.random() < 0.01:
                figures[item] = None
        periods.append(figures)
    return periods


def period_dates(rng, count, months_zero_column):
    """Per period, newest first: (end year, end month), announcement date or None, months."""
    end_month = rng.choices(
        [3, 12, 9, 6, 2, 5, 8, 11, 1, 4, 7, 10], [60, 14, 5, 4, 4, 3, 3, 2, 2, 1, 1, 1]
    )[0]
    year = 2025 if end_month <= 3 else 2024
    lag = rng.randint(35, 50)
    dates = []
    for index in range(count):
        lag_days = lag + rng.randint(-3, 3)
        months = 12
        if index == count - 1 and count > 1 and rng.random() < 0.04:
            months = rng.choice([6, 9])  # a change of the fiscal year end
        if index == months_zero_column:
            months = 0
        announce_month, announce_day = end_month + 1 + lag_days // 30, 1 + lag_days % 30
        announce_year = year
        if announce_month > 12:
            announce_month -= 12
            announce_year += 1
        announced = [announce_year, announce_month, min(announce_day, 28)]
        if index == count - 1 and rng.random() < 0.03:
            announced = None
        dates.append(([year, end_month], announced, months))
        step = months if months else 12
        end_month -= step
        while end_month <= 0:
            end_month += 12
            year -= 1
    return dates


# ---------------------------------------------------------------------------
# Companies


def codes_with_pages(rng, count):
    """count codes of 1300..9999, denser in some hundreds than in others."""
    blocks = range(FIRST_CODE // 100, LAST_CODE // 100 + 1)
    weights = {block: rng.uniform(0.2, 1.0) for block in blocks}
    keyed = [(rng.random() ** (1 / weights[code // 100]), code) for code in CODES]
    return sorted(code for _, code in sorted(keyed, reverse=True)[:count])


def invent_stem(rng):
    """Four morae (five with a long vowel): too long to fall on a real name by chance."""
    morae = [rng.choice(MORAE) for _ in range(4)]
    if rng.random() < 0.3:
        morae[2] = "ン"
    elif rng.random() < 0.15:
        morae.insert(2, "ー")
    return "".join(morae)


def invent_name(rng, code, taken):
    choices = SECTORS[code // 1000]
    _, sector, endings = rng.choices(choices, [weight for weight, _, _ in choices])[0]
    for _ in range(100):
        ending = rng.choice(GENERIC_ENDINGS) if rng.random() < 0.15 else rng.choice(endings)
        stem = invent_stem(rng)
        name = stem + ending
        if name not in taken and not any(word in stem for word in UNFIT):
            taken.add(name)
            return name, sector
    raise RuntimeError("no free name for %d" % code)


def make_company(seed, code, taken):
    rng = random.Random("%d:%d" % (seed, code))
    name, sector = invent_name(rng, code, taken)
    kind = RESULTS
    roll = rng.random()
    if roll < NO_TABLE_RATE:
        kind = NO_TABLE
    elif roll < NO_TABLE_RATE + MONTHS_ZERO_RATE:
        kind = MONTHS_ZERO
    count = rng.choices([1, 2, 3], [6, 9, 85])[0]
    unit = THOUSAND_YEN if rng.random() < 0.15 else MILLION_YEN
    months_zero_column = rng.randrange(count) if kind == MONTHS_ZERO else None
    periods = []
    if kind != NO_TABLE:
        dates = period_dates(rng, count, months_zero_column)
        for (end, announced, months), figures in zip(dates, company_periods(rng, count, unit)):
            periods.append(
                {
                    "end": end,
                    "announced": announced,
                    "months": months,
                    "dividend_class": "普通" if figures[10] and figures[10][0] else None,
                    "figures": {str(k): v for k, v in sorted(figures.items())},
                }
            )
    market = rng.choices([m for m, _ in MARKETS], [w for _, w in MARKETS])[0]
    negative = rng.choices(["-", "△", "▲", "mixed"], [35, 35, 20, 10])[0]
    return {
        "code": code,
        "name": name,
        "kind": kind,
        "market": market,
        "sector": sector,
        "negative": negative,
        "line_end": "\r\n" if rng.random() < 0.3 else "\n",
        "periods": periods,
    }


def generate(seed=SEED, count=COMPANY_COUNT):
    """The record of the data set: one dict per company, in code order."""
    master = random.Random(seed)
    taken = set()
    return [make_company(seed, code, taken) for code in codes_with_pages(master, count)]


# ---------------------------------------------------------------------------
# Pages


def grouped(number, decimals):
    """The magnitude of a mantissa with thousands separators and its decimals."""
    text = "%d" % abs(number)
    if decimals:
        text = text.rjust(decimals + 1, "0")
        whole, fraction = text[:-decimals], text[-decimals:]
    else:
        whole, fraction = text, ""
    whole = "{:,}".format(int(whole))
    return whole + ("." + fraction if fraction else "")


def figure_text(fig, style, rng):
    if fig is None:
        return MISSING
    mantissa, decimals, unit = fig
    sign = ""
    if mantissa < 0:
        sign = rng.choice(["-", "△", "▲"]) if style == "mixed" else style
    return sign + grouped(mantissa, decimals) + unit


def column_texts(period, style, rng):
    """The 23 value texts of one period, in item order."""
    (year, month), announced, months = period["end"], period["announced"], period["months"]
    texts = [
        "%d年%d月" % (year, month),
        "%d年%d月%d日" % tuple(announced) if announced else MISSING,
        "%dヶ月" % months,
    ]
    for item in range(4, 24):
        if item == 11:
            texts.append(period["dividend_class"] or MISSING)
        else:
            texts.append(figure_text(period["figures"][str(item)], style, rng))
    return texts


def header_text(period):
    return "%d年%d月期" % tuple(period["end"])


def description(rng, company):
    sentences = [
        "%sの製造・販売を主力とし、%s向けの%sにも展開しています。"
        % (rng.choice(PRODUCTS), rng.choice(CUSTOMERS), rng.choice(PRODUCTS)),
        "%sを中心に営業拠点を持ち、%sとの取引が売上の多くを占めます。" % (rng.choice(REGIONS), rng.choice(CUSTOMERS)),
    ]
    if rng.random() < 0.6:
        sentences.append(
            "%d年に現在の商号へ変更し、%d年に%sへ上場しました。"
            % (rng.randint(1960, 2000), rng.randint(1975, 2020), company["market"])
        )
    if rng.random() < 0.4:
        sentences.append(
            "近年は%sの開発と%sでの販路拡大に力を入れています。" % (rng.choice(PRODUCTS), rng.choice(REGIONS))
        )
    return "".join(sentences)


def page_lines(company, seed):
    """The page as text lines, without line ends."""
    rng = random.Random("%d:%d:page" % (seed, company["code"]))
    code, name = company["code"], company["name"]
    periods = company["periods"]
    fiscal_month = periods[0]["end"][1] if periods else rng.choice([3, 12])
    lines = [
        "<HTML>",
        "<HEAD>",
        '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=EUC-JP">',
        "<TITLE>%s（%d）企業情報 - 決算</TITLE>" % (name, code),
        '<LINK REL="stylesheet" HREF="/css/profile.css" TYPE="text/css">',
        "</HEAD>",
        '<BODY BGCOLOR="#ffffff" TEXT="#000000" LINK="#0033cc" VLINK="#663399">',
        '<TABLE WIDTH="100%" BORDER="0" CELLSPACING="0" CELLPADDING="0">',
        '<TR><TD><A HREF="/"><IMG SRC="/img/logo.gif" WIDTH="160" HEIGHT="40" BORDER="0" '
        'ALT="企業情報"></A></TD>',
        '<TD ALIGN="RIGHT"><A HREF="/biz/">企業検索</A> | <A HREF="/biz/ranking/">ランキング</A>'
        ' | <A HREF="/biz/calendar/">決算発表予定</A> | <A HREF="/help/">ヘルプ</A></TD></TR>',
        "</TABLE>",
        '<HR SIZE="1" NOSHADE>',
        '<TABLE WIDTH="100%" BORDER="0" CELLSPACING="0" CELLPADDING="4">',
        "<TR>",
        '<TD><FONT size="+1">%s（%s：%d）</FONT></TD>' % (name, company["market"], code),
        '<TD ALIGN="RIGHT">業種：%s</TD>' % company["sector"],
        "</TR>",
        "</TABLE>",
        '<TABLE WIDTH="100%" BORDER="0" CELLSPACING="0" CELLPADDING="2">',
        '<TR><TD WIDTH="15%%">所在地</TD><TD>%s%d丁目%d番%d号</TD></TR>'
        % (rng.choice(PLACES), rng.randint(1, 9), rng.randint(1, 30), rng.randint(1, 20)),
        "<TR><TD>設立</TD><TD>%d年%d月</TD></TR>" % (rng.randint(1920, 2015), rng.randint(1, 12)),
        "<TR><TD>従業員数</TD><TD>{:,}人（連結）</TD></TR>".format(
            int(math.exp(rng.gauss(math.log(1500), 1.2))) + 10
        ),
        "<TR><TD>決算期</TD><TD>%d月</TD></TR>" % fiscal_month,
        "<TR><TD>単元株数</TD><TD>100株</TD></TR>",
        "</TABLE>",
        "<P>%s</P>" % description(rng, company),
        "<H3>業績推移</H3>",
    ]
    if company["kind"] == NO_TABLE:
        lines.append("<P>%s</P>" % rng.choice(NO_TABLE_TEXTS))
    else:
        columns = [column_texts(p, company["negative"], rng) for p in periods]
        lines += rp.table_lines([header_text(p) for p in periods], columns)
        lines.append('<P><FONT SIZE="-1">%s</FONT></P>' % "<BR>".join(NOTES))
    lines += [
        '<HR SIZE="1" NOSHADE>',
        '<P ALIGN="RIGHT"><A HREF="/biz/independent/%d.html">このページの先頭へ</A></P>' % code,
        '<CENTER><FONT SIZE="-1">企業情報は各社の開示資料をもとに作成しています。' "掲載内容は架空のものです。</FONT></CENTER>",
        "</BODY>",
        "</HTML>",
    ]
    return lines


def page_bytes(company, seed=SEED):
    end = company["line_end"].encode("ascii")
    return b"".join(line.encode("euc_jp") + end for line in page_lines(company, seed))


def write(folder, seed=SEED, count=COMPANY_COUNT):
    """Writes the pages and the record into folder, replacing an earlier data set there."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    stale = {p.name for p in folder.iterdir() if PAGE_NAME.fullmatch(p.name)}
    companies = generate(seed, count)
    size = 0
    for company in companies:
        data = page_bytes(company, seed)
        size += len(data)
        path = folder / ("%d.html" % company["code"])
        stale.discard(path.name)
        # Rewriting a file costs more than reading it; an unchanged page is left alone.
        if not (path.exists() and path.read_bytes() == data):
            path.write_bytes(data)
    for name in stale:
        (folder / name).unlink()
    # One company a line; json.dumps without indent is the fast encoder.
    head = json.dumps({"seed": seed, "first_code": FIRST_CODE, "last_code": LAST_CODE})
    body = ",\n".join(json.dumps(c, ensure_ascii=False) for c in companies)
    (folder / RECORD_NAME).write_text(
        head[:-1] + ', "companies": [\n' + body + "\n]}\n", encoding="utf-8"
    )
    return companies, size


def with_figures(companies):
    """The companies whose page the tool reports: a results table and no months cell of 0."""
    return [c for c in companies if c["kind"] == RESULTS]


def main(argv):
    parser = argparse.ArgumentParser(description="Writes the sample data set into DIR.")
    parser.add_argument("dir", metavar="DIR")
    parser.add_argument("--seed", type=int, default=SEED)
    parser.add_argument(
        "--count",
        type=int,
        default=COMPANY_COUNT,
        help="companies with a page (at most %d)" % len(CODES),
    )
    args = parser.parse_args(argv)
    if not 1 <= args.count <= len(CODES):
        parser.error("--count must be 1..%d" % len(CODES))
    started = time.monotonic()
    companies, size = write(args.dir, args.seed, args.count)
    print(
        "sample: %d pages (%d with figures), %.1f MB, %.1f KB a page on average, in %.1f s, in %s"
        % (
            len(companies),
            len(with_figures(companies)),
            size / 1e6,
            size / len(companies) / 1e3,
            time.monotonic() - started,
            os.path.abspath(args.dir),
        )
    )
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
