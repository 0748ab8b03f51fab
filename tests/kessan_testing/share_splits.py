"""Yearly sweeps of companies whose share count changes by splits, consolidations and issues of
new shares, with the truth a history of them must find: each period's per-share figures on the
newest period's share basis, and how many times the basis changes between a company's rows."""

import random

YEARS = range(2006, 2026)  # a sweep each year, each company's fiscal year ending in March
RATIOS = [2, 3, 4, 5, 10, 20, 50, 100, 1.1, 1.2, 1.5]
PER_SHARE = {"8": "eps", "9": "diluted_eps", "10": "dividend_per_share", "12": "equity_per_share"}


def events(rng, n):
    """Years (indexes) of splits, at least three apart, and of issues of new shares, at least two
    from any split."""
    splits, issues = [], []
    for t in range(1, n):
        if rng.random() < 0.15 and all(abs(t - s) >= 3 for s in splits):
            splits.append(t)
    for t in range(1, n):
        if rng.random() < 0.12 and all(abs(t - s) >= 2 for s in splits + issues):
            issues.append(t)
    return set(splits), set(issues)


def company(rng, code):
    """One company's periods, oldest first: its true figures, each per-share one on the share
    basis of its own period (as the period's report printed it), with that basis."""
    n = rng.randint(10, 20)
    splits, issues = events(rng, n)
    tiny = rng.random() < 0.2  # many shares: per-share earnings below a yen or two
    shares = rng.uniform(5e8, 3e9) if tiny else rng.uniform(1e7, 3e8)  # before any split
    equity = shares * (rng.uniform(6, 25) if tiny else rng.uniform(150, 2500))
    basis, diluted, periods = 1.0, rng.random() < 0.3, []
    for t in range(n):
        before = shares
        shares *= rng.uniform(0.98, 1.01)
        average = (before + shares) / 2
        roll = rng.random()
        roe = 0 if roll < 0.06 else -rng.uniform(0.01, 0.2) if roll < 0.2 else rng.uniform(0, 0.2)
        income = equity * roe
        dividends = max(0.0, income * rng.uniform(0.1, 0.4))
        equity += income - dividends
        if t in issues:  # at a price above book value, part of the year outstanding
            new = shares * rng.choice([1, 2])
            equity += new * equity / shares * rng.uniform(1.0, 2.0)
            average += new * rng.random()
            shares += new
        ratio = 1
        if t in splits:  # leaving at least 5 yen of equity a share
            fit = [r for r in RATIOS if equity / shares / basis / r >= 5]
            ratio = rng.choice(fit + [1 / r for r in RATIOS[:5]])
            basis *= ratio
        per_share = {
            "eps": income / average / basis,
            "diluted_eps": income / average / basis * 0.98 if diluted and income > 0 else None,
            "dividend_per_share": dividends / shares / basis,
            "equity_per_share": equity / shares / basis,
        }
        # A split after the period's end but before its report: the count at the end precedes it.
        issued = shares * basis / (ratio if rng.random() < 0.5 else 1)
        periods.append(
            dict(income=income, equity=equity, issued=issued, basis=basis, per_share=per_share)
        )
    return {"code": code, "name": "カブ%d" % code, "restates": rng.random() < 0.5, "true": periods}


def printed(period, year, basis):
    """The period as a page prints it, its per-share figures on basis."""
    figures = {str(item): None for item in range(4, 24)}
    figures["7"] = [round(period["income"] / 1e6), 0, "百万円"]
    figures["13"] = [round(period["issued"] / 1e3), 0, "千株"]
    figures["15"] = [round(period["equity"] / 1e6), 0, "百万円"]
    for item, name in PER_SHARE.items():
        value = period["per_share"][name]
        if value is not None:
            figures[item] = [round(value * period["basis"] / basis * 100), 2, "円"]
    return {"end": [year, 3], "announced": [year, 5, 15], "months": 12, "figures": figures}


def sweeps(count, seed):
    """(the yearly sweeps, oldest first, as lists of companies with the periods they show; the
    companies). A sweep shows a company's three latest periods; a company that restates shows
    them all on the newest one's basis, the others each on its own."""
    rng = random.Random(seed)
    companies = [company(rng, 1300 + i) for i in range(count)]
    written = []
    for year in YEARS:
        shown = []
        for c in companies:
            first = YEARS[-1] + 1 - len(c["true"])
            if year < first:
                continue
            t = year - first
            periods = [
                printed(c["true"][k], first + k, c["true"][t if c["restates"] else k]["basis"])
                for k in range(t, max(-1, t - 3), -1)
            ]
            shown.append({"code": c["code"], "name": c["name"], "periods": periods})
        written.append(shown)
    return written, companies


def truth(c):
    """Per period, newest first: (its basis in the history, per-share figures on the newest
    period's basis); and the number of changes of basis between its consecutive periods."""
    n, newest = len(c["true"]), c["true"][-1]["basis"]
    rows = []
    for k in range(n - 1, -1, -1):
        # The newest sweep with the period printed it; a company that restates on its own basis.
        shown_by = min(k + 2, n - 1) if c["restates"] else k
        basis = c["true"][shown_by]["basis"]
        adjusted = {
            name: None if value is None else value * c["true"][k]["basis"] / newest
            for name, value in c["true"][k]["per_share"].items()
        }
        rows.append((basis, adjusted))
    changes = sum(1 for a, b in zip(rows, rows[1:]) if a[0] != b[0])
    return rows, changes
