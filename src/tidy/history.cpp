#include "tidy/history.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace tidy {

namespace {

Fields split(std::string_view joined) {
  Fields fields;
  for (std::string_view& field : fields) {
    const size_t comma = joined.find(',');
    field = joined.substr(0, comma);
    joined.remove_prefix(comma == std::string_view::npos ? joined.size() : comma + 1);
  }
  return fields;
}

// Whether the item is one of the figures (not a date or the month count).
bool is_figure(int item) {
  const ItemForm form = report_item(item).form;
  return form != ItemForm::YearMonth && form != ItemForm::Date && form != ItemForm::Int;
}

// The number of figures (the items after the dates and the month count) in which two periods
// differ.
int revisions(std::string_view first, std::string_view latest) {
  const Fields a = split(first), b = split(latest);
  int count = 0;
  for (int item = 1; item <= ItemCount; ++item) {
    count += is_figure(item) && a[item - 1] != b[item - 1];
  }
  return count;
}

std::string date_text(long long value) {
  char text[32];
  snprintf(text, sizeof text, "%04lld-%02lld-%02lld", value / 10000, value / 100 % 100,
           value % 100);
  return text;
}

// The items a share basis is found from, and the per-share items adjusted for splits.
constexpr int NetIncome = 7, Eps = 8, DividendPerShare = 10, EquityPerShare = 12, Equity = 15;
constexpr int PerShareItems[] = {8, 9, 10, 12};

std::string counted(size_t n, const std::string& noun) {
  std::string text = std::to_string(n) + " " + noun;
  if (n == 1) return text;
  return noun.back() == 'y' ? text.substr(0, text.size() - 1) + "ies" : text + "s";
}

}  // namespace

void History::add(const Block& block) {
  const int code = std::stoi(std::string(block.code()));
  staged_names_[code] = std::string(block.name());
  for (int k = 0; k < block.periods; ++k) {
    Staged row{code, calendar_value(block.field(1, k), false), ""};
    for (int item = 1; item <= ItemCount; ++item) {
      if (item > 1) row.fields += ',';
      row.fields += block.field(item, k);
    }
    staged_latest_ = std::max(staged_latest_, calendar_value(block.field(2, k), true));
    staged_.push_back(std::move(row));
  }
}

bool History::end_sweep(const std::string& name, std::string& message) {
  const bool in_order = staged_latest_ < 0 || staged_latest_ >= latest_;
  if (!in_order) {
    message = "its latest announcement, " + date_text(staged_latest_) + ", is earlier than " +
              sweeps_[latest_sweep_] + "'s, " + date_text(latest_) +
              ": give the sweeps oldest first";
  } else {
    const auto sweep = static_cast<uint32_t>(sweeps_.size());
    if (staged_latest_ >= 0) {
      latest_ = staged_latest_;
      latest_sweep_ = sweep;
    }
    sweeps_.push_back(name);
    for (auto& [code, name] : staged_names_) {
      auto [at, added] = companies_.try_emplace(code, Company{name, sweep, sweep});
      Company& company = at->second;
      if (!added && company.name != name) {
        note({"renamed", code, -1, -1, Cell::Type::Sjis, company.name, name, company.last_sweep,
              sweep});
      }
      company.name = std::move(name);
      company.last_sweep = sweep;
    }
    long long undated = 0;
    for (Staged& row : staged_) {
      if (row.end < 0) {
        const Key key{row.code, 1, -(static_cast<long long>(sweep) << 32) + undated++};
        periods_.emplace(key, Period{std::move(row.fields), "", sweep, sweep});
        continue;
      }
      auto [at, added] =
          periods_.try_emplace(Key{row.code, -row.end, 0}, Period{row.fields, "", sweep, sweep});
      if (added) continue;
      Period& period = at->second;
      period.sweep = sweep;
      period.latest = row.fields == period.first ? "" : std::move(row.fields);
    }
  }
  staged_.clear();
  staged_names_.clear();
  staged_latest_ = -1;
  return in_order;
}

ShareBasis History::company_basis(Periods::const_iterator begin,
                                  Periods::const_iterator& end) const {
  const int code = std::get<0>(begin->first);
  std::vector<PeriodShares> shares;
  for (end = begin; end != periods_.end() && std::get<0>(end->first) == code; ++end) {
    if (std::get<1>(end->first) > 0) continue;
    const Fields first = split(end->second.first);
    const Fields latest = end->second.latest.empty() ? first : split(end->second.latest);
    auto figures = [](const Fields& f) {
      return ShareFigures{f[NetIncome - 1], f[Eps - 1], f[Equity - 1], f[EquityPerShare - 1],
                          f[DividendPerShare - 1]};
    };
    shares.push_back({figures(first), figures(latest)});
  }
  return share_basis(shares);
}

bool History::each_row(const std::function<bool(const Row& row)>& take) const {
  std::string factor;
  std::array<std::string, 4> adjusted;
  for (auto begin = periods_.begin(), end = begin; begin != periods_.end(); begin = end) {
    const ShareBasis basis = company_basis(begin, end);
    size_t dated = 0;
    for (auto at = begin; at != end; ++at) {
      const auto& [key, period] = *at;
      const std::string& fields = period.latest.empty() ? period.first : period.latest;
      std::string revised;
      if (period.first_sweep != period.sweep) {
        revised = std::to_string(period.latest.empty() ? 0 : revisions(period.first, fields));
      }
      const std::string code = std::to_string(std::get<0>(key));
      Row row{code,
              companies_.at(std::get<0>(key)).name,
              sweeps_[period.sweep],
              revised,
              split(fields),
              {},
              {}};
      if (std::get<1>(key) <= 0) {
        const Ratio ratio = basis.factors[dated++];
        factor = decimal(ratio);
        row.split_factor = factor;
        for (size_t k = 0; k < adjusted.size(); ++k) {
          adjusted[k] = scaled(row.fields[PerShareItems[k] - 1], ratio);
          row.adjusted[k] = adjusted[k];
        }
      }
      if (!take(row)) return false;
    }
  }
  return true;
}

size_t History::split_count() const {
  size_t count = 0;
  for (auto begin = periods_.begin(), end = begin; begin != periods_.end(); begin = end) {
    count += company_basis(begin, end).splits.size();
  }
  return count;
}

std::string History::summary() const {
  size_t periods = 0, revised = 0, undated = 0;
  for (const auto& [key, period] : periods_) {
    if (std::get<1>(key) > 0) {
      ++undated;
      continue;
    }
    ++periods;
    revised += !period.latest.empty() && revisions(period.first, period.latest) > 0;
  }
  return counted(sweeps_.size(), "sweep") + " read: " + counted(companies_.size(), "company") +
         ", " + counted(periods, "period") + " (" + std::to_string(revised) + " revised, " +
         counted(split_count(), "share split") + "), " + counted(undated, "row") +
         " without a calendar date";
}

void History::note(Change change) { noted_.push_back(std::move(change)); }

bool History::each_change(
    const std::function<bool(const Change& change, std::string_view name)>& take) const {
  // A company's own changes go by the sweep they happened in, the periods' newest first.
  auto order = [](const Change& change) {
    const long long sweep = change.after_sweep >= 0 ? change.after_sweep : change.before_sweep + 1;
    return change.period_end < 0 ? std::make_pair(0, sweep) : std::make_pair(1, -change.period_end);
  };
  std::vector<const Change*> noted;
  for (const Change& change : noted_) noted.push_back(&change);
  std::stable_sort(noted.begin(), noted.end(),
                   [](const Change* a, const Change* b) { return a->code < b->code; });
  auto next_noted = noted.begin();
  const auto newest = static_cast<uint32_t>(sweeps_.size() - 1);
  std::vector<Change> changes;
  for (const auto& [code, company] : companies_) {
    changes.clear();
    if (company.first_sweep > 0) {
      changes.push_back(
          {"listed", code, -1, -1, Cell::Type::Empty, "", "", -1, company.first_sweep});
    }
    for (; next_noted != noted.end() && (*next_noted)->code == code; ++next_noted) {
      changes.push_back(**next_noted);
    }
    if (company.last_sweep < newest) {
      changes.push_back({"gone", code, -1, -1, Cell::Type::Empty, "", "", company.last_sweep, -1});
    }
    for (auto at = periods_.lower_bound(Key{code, LLONG_MIN, LLONG_MIN});
         at != periods_.end() && std::get<0>(at->first) == code && std::get<1>(at->first) <= 0;
         ++at) {
      const Period& period = at->second;
      if (period.latest.empty()) continue;
      const Fields first = split(period.first), latest = split(period.latest);
      for (int item = 1; item <= ItemCount; ++item) {
        if (!is_figure(item) || first[item - 1] == latest[item - 1]) continue;
        changes.push_back({"restated", code, -std::get<1>(at->first),
                           HistoryItems + item_column(item), Cell::Type::Figure,
                           std::string(first[item - 1]), std::string(latest[item - 1]),
                           period.first_sweep, period.sweep});
      }
    }
    auto begin = periods_.lower_bound(Key{code, LLONG_MIN, LLONG_MIN}), end = begin;
    if (begin != periods_.end() && std::get<0>(begin->first) == code) {
      // A split between a period and the one before it: shares before and after.
      for (const Split& found : company_basis(begin, end).splits) {
        const auto older = std::next(begin, static_cast<long>(found.older));
        const auto newer = std::next(begin, static_cast<long>(found.newer));
        changes.push_back({"split", code, -std::get<1>(newer->first), -1, Cell::Type::Figure,
                           std::to_string(found.ratio.den), std::to_string(found.ratio.num),
                           older->second.sweep, newer->second.sweep});
      }
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [&](const Change& a, const Change& b) { return order(a) < order(b); });
    for (const Change& change : changes) {
      if (!take(change, company.name)) return false;
    }
  }
  return true;
}

}  // namespace tidy
