"""Yearly sweeps of companies whose share count changes by splits, consolidations and issues of
new shares, and what a history of them must find."""

import random
from fractions import Fraction

YEARS = range(2006, 2026)  # a sweep each year; fiscal years end in March
RATIOS = [2, 3, 4, 5, 10, 20, 50, 100, 1.1, 1.2, 1.5]
PER_SHARE = {"8": "eps", "9": "diluted_eps", "10": "dividend_per_share", "12": "equity_per_share"}


def company(rng, code):
    """10-20 periods, oldest first, each per-share figure on its own period's basis. Splits are
    three years apart or more, issues of new shares (a tenth more to three times as many) and
    buybacks two years from any split; some years lose
    money or make none; a fifth of the companies have per-share earnings of a yen or two."""
    n, splits, issues = rng.randint(10, 20), [], []
    for t in range(1, n):
        if rng.random() < 0.15 and all(abs(t - s) >= 3 for s in splits):
            splits.append(t)
    for t in range(1, n):
        if rng.random() < 0.12 and all(abs(t - s) >= 2 for s in splits + issues):
            issues.append(t)
    tiny = rng.random() < 0.2
    shares = rng.uniform(5e8, 3e9) if tiny else rng.uniform(1e7, 3e8)
    equity = shares * (rng.uniform(6, 25) if tiny else rng.uniform(150, 2500))
    basis, diluted, periods = 1.0, rng.random() < 0.3, []
    for t in range(n):
        before, roll = shares, rng.random()
        shares *= rng.uniform(0.98, 1.01)
        average = (before + shares) / 2
        roe = 0 if roll < 0.06 else -rng.uniform(0.01, 0.2) if roll < 0.2 else rng.uniform(0, 0.2)
        income = equity * roe
        dividends = max(0.0, income * rng.uniform(0.1, 0.4))
        equity += income - dividends
        if t in issues:  # new shares above book value for part of the year, or a buyback
            new = shares * rng.choice([1, 2, 0.1, 0.2, 0.5, -0.09, -0.15])
            equity += new * equity / shares * rng.uniform(1.0, 2.0 if new > 0 else 1.5)
            average += new * rng.random()
            shares += new
        ratio = 1
        if t in splits:  # leaving at least 5 yen of equity a share
            fit = [r for r in RATIOS if equity / shares / basis / r >= 5]
            ratio = rng.choice(fit + [1 / r for r in RATIOS[:5]])
            basis *= ratio
        eps = income / average / basis
        per_share = dict(eps=eps, diluted_eps=eps * 0.98 if diluted and income > 0 else None)
        per_share.update(dividend_per_share=dividends / shares / basis)
        per_share.update(equity_per_share=equity / shares / basis)
        # The count at the period's end may precede a split its per-share figures reflect.
        issued = shares * basis / (ratio if rng.random() < 0.5 else 1)
        periods.append(dict(income=income, equity=equity, issued=issued, basis=basis, **per_share))
    return {"code": code, "name": "カブ%d" % code, "restates": rng.random() < 0.5, "true": periods}


def printed(period, year, basis):
    figures = {str(item): None for item in range(4, 24)}
    figures["7"] = [round(period["income"] / 1e6), 0, "百万円"]
    figures["13"] = [round(period["issued"] / 1e3), 0, "千株"]
    figures["15"] = [round(period["equity"] / 1e6), 0, "百万円"]
    for item, name in PER_SHARE.items():
        if period[name] is not None:
            figures[item] = [round(period[name] * period["basis"] / basis * 100), 2, "円"]
    return {"end": [year, 3], "announced": [year, 5, 15], "months": 12, "figures": figures}


def sweeps(count, seed):
    """The yearly sweeps, oldest first, each company's three latest periods (on the newest's
    basis for a company whose page restates, else each on its own); and the companies."""
    rng = random.Random(seed)
    companies = [company(rng, 1300 + i) for i in range(count)]
    written = [[] for _ in YEARS]
    for c in companies:
        first = YEARS[-1] + 1 - len(c["true"])
        for t in range(len(c["true"])):
            on = c["true"][t]["basis"]
            periods = [
                printed(c["true"][k], first + k, on if c["restates"] else c["true"][k]["basis"])
                for k in range(t, max(-1, t - 3), -1)
            ]
            written[first + t - YEARS[0]].append(
                dict(code=c["code"], name=c["name"], periods=periods)
            )
    return written, companies


def truth(c):
    """Per period, newest first, what its per-share figures as the history shows them (from the
    newest sweep with it) are multiplied by to reach the newest period's basis; and how often
    that basis changes between consecutive rows."""
    n, exact = len(c["true"]), lambda k: Fraction(c["true"][k]["basis"]).limit_denominator(10**6)
    shown = [exact(min(k + 2, n - 1) if c["restates"] else k) for k in range(n)]
    changes = sum(a != b for a, b in zip(shown, shown[1:]))
    return [basis / exact(n - 1) for basis in reversed(shown)], changes
