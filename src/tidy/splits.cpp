#include "tidy/splits.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <numeric>
#include <utility>

namespace tidy {

namespace {

// How far the printed rounding of a total and its per-share figure may move the share count
// they imply for it to count.
constexpr double BasisRounding = 0.005;
// How close a change of basis between consecutive periods must come to a split ratio.
constexpr double Tolerance = 0.04;
// How close the same period's two printings must come to one: only the rounding differs.
constexpr double ExactTolerance = 0.015;
// The band in which shareholders' equity stays across a split.
constexpr double EquityLow = 2.0 / 3.0, EquityHigh = 1.5;
// The largest numerator or denominator of a factor: past it, the factor is unknown.
constexpr int64_t Largest = 1000000;
constexpr int64_t TenDecimals = 10000000000;

// Shares after per share before, as splits in Japan have been made; consolidations are their
// inverses.
constexpr Ratio SplitRatios[] = {{2, 1},  {3, 1},   {4, 1},   {5, 1}, {10, 1}, {20, 1},
                                 {50, 1}, {100, 1}, {11, 10}, {6, 5}, {3, 2}};

constexpr Ratio Unknown{0, 0};
constexpr Ratio One{1, 1};

struct Figure {
  bool ok = false;
  double value = 0;
  double step = 0;  // of the printed rounding: 0.01 for two decimals, 1 to 10^6 for a whole
};

// A printed figure; a whole one's rounding step is taken from its trailing zeros, up to a
// million (amounts in millions of yen).
Figure figure(std::string_view text) {
  Figure read;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return read;
  int decimals = -1, zeros = 0;
  for (const char c : text) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return read;
    read.value = read.value * 10 + (c - '0');
    decimals += decimals >= 0;
    zeros = c == '0' ? zeros + 1 : 0;
  }
  read.step = 1;
  if (decimals >= 0) {
    for (int i = 0; i < decimals; ++i) read.step /= 10;
    read.value *= read.step;
  } else {
    for (int i = 0; i < zeros && i < 6; ++i) read.step *= 10;
  }
  read.value = negative ? -read.value : read.value;
  read.ok = true;
  return read;
}

// The share count a total and its per-share figure imply; 0 where either is zero, their signs
// differ, or their printed rounding could move it by more than BasisRounding.
double basis(std::string_view total, std::string_view per_share) {
  const Figure t = figure(total), p = figure(per_share);
  if (!t.ok || !p.ok || t.value == 0 || p.value == 0 || (t.value > 0) != (p.value > 0)) return 0;
  if (t.step / 2 / std::fabs(t.value) + p.step / 2 / std::fabs(p.value) > BasisRounding) return 0;
  return t.value / p.value;
}

double value(Ratio r) { return static_cast<double>(r.num) / static_cast<double>(r.den); }
Ratio inverse(Ratio r) { return r.known() ? Ratio{r.den, r.num} : r; }
bool same(Ratio a, Ratio b) { return a.num == b.num && a.den == b.den; }

Ratio times(Ratio a, Ratio b) {
  if (!a.known() || !b.known()) return Unknown;
  const int64_t g = std::gcd(a.num, b.den), h = std::gcd(b.num, a.den);
  const Ratio r{(a.num / g) * (b.num / h), (a.den / h) * (b.den / g)};
  return r.num > Largest || r.den > Largest ? Unknown : r;
}

// 1, or the split ratio or its inverse, that the change of basis r comes within tolerance of.
Ratio nearest(double r, double tolerance) {
  if (std::fabs(r - 1) <= tolerance) return One;
  for (const Ratio split : SplitRatios) {
    for (const Ratio candidate : {split, inverse(split)}) {
      if (std::fabs(r / value(candidate) - 1) <= tolerance) return candidate;
    }
  }
  return Unknown;
}

// The split between printings of two consecutive periods, older first; 1 unless the evidence
// agrees: equity held within its band, the equity basis (or, where it does not count, the
// earnings basis) changed by a split ratio, and the other basis, where it counts, by the same.
Ratio between(const ShareFigures& older, const ShareFigures& newer) {
  const Figure e0 = figure(older.equity), e1 = figure(newer.equity);
  if (!e0.ok || !e1.ok || e0.value <= 0 || e1.value <= 0) return One;
  const double held = e1.value / e0.value;
  if (held < EquityLow || held > EquityHigh) return One;
  const double b0 = basis(older.equity, older.equity_per_share);
  const double b1 = basis(newer.equity, newer.equity_per_share);
  const double n0 = basis(older.net_income, older.eps), n1 = basis(newer.net_income, newer.eps);
  const bool by_equity = b0 > 0 && b1 > 0, by_income = n0 > 0 && n1 > 0;
  if (!by_equity && !by_income) return One;
  const Ratio r = nearest(by_equity ? b1 / b0 : n1 / n0, Tolerance);
  if (!r.known() || r.one()) return One;
  if (by_equity && by_income && std::fabs(n1 / n0 / value(r) - 1) > Tolerance) return One;
  // A tenth, a fifth or a half more or fewer shares is as often an issue of shares or a buyback,
  // which moves equity by what the shares were paid: such a split must leave equity where the
  // year's profit less its dividends takes it, within half the change of the count.
  const double moved = std::fabs(value(r) - 1);
  if (moved < 0.6) {
    const Figure income = figure(newer.net_income), dividend = figure(newer.dividend_per_share);
    if (!income.ok || !dividend.ok || b1 <= 0) return One;
    const double retained = income.value - dividend.value * b1;
    if (std::fabs(e1.value - e0.value - retained) / e0.value >= moved / 2) return One;
  }
  return r;
}

// What the period's share basis grew by from its first printing to its latest, exactly, since a
// total printed the same in both makes the ratio of the per-share figures the ratio of the bases;
// unknown when no basis shows it or the two disagree.
Ratio restated(const PeriodShares& period) {
  const ShareFigures &a = period.first, &b = period.latest;
  if (a.eps == b.eps && a.equity_per_share == b.equity_per_share) return One;
  Ratio found = Unknown;
  using Pair = std::pair<std::string_view ShareFigures::*, std::string_view ShareFigures::*>;
  for (const Pair& pair : {Pair{&ShareFigures::net_income, &ShareFigures::eps},
                           Pair{&ShareFigures::equity, &ShareFigures::equity_per_share}}) {
    if (a.*pair.first != b.*pair.first) continue;
    const double x = basis(a.*pair.first, a.*pair.second);
    const double y = basis(b.*pair.first, b.*pair.second);
    if (x <= 0 || y <= 0) continue;
    const Ratio r = nearest(y / x, ExactTolerance);
    if (!r.known() || (found.known() && !same(found, r))) return Unknown;
    found = r;
  }
  return found;
}

}  // namespace

ShareBasis share_basis(const std::vector<PeriodShares>& periods) {
  ShareBasis found;
  found.factors.assign(periods.size(), One);
  for (size_t i = 1; i < periods.size(); ++i) {
    const PeriodShares &newer = periods[i - 1], &older = periods[i];
    // Printings first made by consecutive sweeps are on the same basis or a split apart; where
    // a page restated a period, its two printings give that step exactly.
    const Ratio from = restated(older), to = restated(newer);
    Ratio step = from.known() && to.known()
                     ? times(times(inverse(from), between(older.first, newer.first)), to)
                     : between(older.latest, newer.latest);
    if (!step.known()) step = One;
    if (!step.one()) found.splits.push_back({i, i - 1, step});
    found.factors[i] = times(found.factors[i - 1], inverse(step));
  }
  return found;
}

std::string scaled(std::string_view printed, Ratio factor) {
  if (factor.one()) return std::string(printed);
  if (!factor.known()) return "";
  const bool negative = !printed.empty() && printed[0] == '-';
  const std::string_view digits = printed.substr(negative);
  const size_t point = digits.find('.');
  if (point == 0 || point == std::string_view::npos || digits.size() != point + 3 ||
      digits.size() > 13)
    return "";
  int64_t cents = 0;
  for (const char c : digits) {
    if (c == '.') continue;
    if (c < '0' || c > '9') return "";
    cents = cents * 10 + (c - '0');
  }
  // cents < 10^12 and num <= 10^6: no overflow.
  const int64_t result = (2 * cents * factor.num + factor.den) / (2 * factor.den);
  char text[40];
  snprintf(text, sizeof text, "%s%lld.%02lld", negative && result ? "-" : "",
           static_cast<long long>(result / 100), static_cast<long long>(result % 100));
  return text;
}

std::string decimal(Ratio ratio) {
  if (!ratio.known()) return "";
  const int64_t tenths = (2 * ratio.num * TenDecimals + ratio.den) / (2 * ratio.den);
  std::string text = std::to_string(tenths / TenDecimals);
  std::string digits = std::to_string(tenths % TenDecimals);
  digits.insert(0, 10 - digits.size(), '0');
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits.empty() ? text : text + "." + digits;
}

}  // namespace tidy
