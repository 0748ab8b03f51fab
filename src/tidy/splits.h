#pragma once

// Stock splits and consolidations found from a company's own figures over its periods, and the
// factor that puts each period's per-share figures on the share basis of its newest period.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tidy {

// A positive ratio of whole numbers in lowest terms; 0/0 when it is not known.
struct Ratio {
  int64_t num = 1, den = 1;
  bool known() const { return den != 0; }
  bool one() const { return num == 1 && den == 1; }
};

// The figures a period's share basis is found from, as one sweep printed them.
struct ShareFigures {
  std::string_view net_income, eps, equity, equity_per_share, dividend_per_share;
};

// A period as the oldest and as the newest sweep that had it printed it (the same when one did).
struct PeriodShares {
  ShareFigures first, latest;
};

struct Split {
  size_t older, newer;  // the consecutive periods, as indexes
  Ratio ratio;          // shares after per share before: 2/1 when each share became two
};

struct ShareBasis {
  std::vector<Ratio> factors;  // per period: what its per-share figures are multiplied by
  std::vector<Split> splits;
};

// The splits between a company's consecutive dated periods, given newest first, and each
// period's factor to the newest period's basis (1 for the newest; unknown past an overflow).
ShareBasis share_basis(const std::vector<PeriodShares>& periods);

// A per-share figure printed with two decimals, times factor, rounded half away from zero to two
// decimals; the figure as printed when factor is 1; empty when it cannot be scaled exactly.
std::string scaled(std::string_view printed, Ratio factor);

// The ratio as a decimal of at most ten decimals, rounded half up; empty when unknown.
std::string decimal(Ratio ratio);

}  // namespace tidy
