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

bool History::each_row(const std::function<bool(const Row& row)>& take) const {
  for (const auto& [key, period] : periods_) {
    const std::string& fields = period.latest.empty() ? period.first : period.latest;
    std::string revised;
    if (period.first_sweep != period.sweep) {
      revised = std::to_string(period.latest.empty() ? 0 : revisions(period.first, fields));
    }
    const std::string code = std::to_string(std::get<0>(key));
    const std::string_view name = companies_.at(std::get<0>(key)).name;
    if (!take({code, name, sweeps_[period.sweep], revised, split(fields)})) return false;
  }
  return true;
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
         ", " + counted(periods, "period") + " (" + std::to_string(revised) + " revised), " +
         counted(undated, "row") + " without a calendar date";
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
    std::stable_sort(changes.begin(), changes.end(),
                     [&](const Change& a, const Change& b) { return order(a) < order(b); });
    for (const Change& change : changes) {
      if (!take(change, company.name)) return false;
    }
  }
  return true;
}

}  // namespace tidy
