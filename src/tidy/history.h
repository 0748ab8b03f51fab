#pragma once

// Several sweeps, oldest first, as one history: a row per company and fiscal period, taken from
// the newest sweep that has it. Memory holds one sweep being read and one row per distinct
// period (two when a later sweep changed it).

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tidy/block.h"
#include "tidy/splits.h"
#include "tidy/table.h"

namespace tidy {

class History {
 public:
  // Adds a block of the sweep being read.
  void add(const Block& block);
  // The sweep being read, named name (UTF-8), is complete. False, with the sweep dropped and a
  // message, when its latest announcement is earlier than an earlier sweep's.
  bool end_sweep(const std::string& name, std::string& message);

  struct Row {
    std::string_view code;
    std::string_view name;   // Shift_JIS
    std::string_view sweep;  // UTF-8
    std::string_view revised;
    Fields fields;
    // What the per-share figures are multiplied by to reach the newest period's share basis,
    // and eps, diluted_eps, dividend_per_share and equity_per_share so multiplied; empty for a
    // row without a calendar date.
    std::string_view split_factor;
    std::array<std::string_view, 4> adjusted;
  };
  // Calls take with each row: by code, then period_end newest first, then the rows without a
  // calendar date, newest sweep first. False as soon as take returns false.
  bool each_row(const std::function<bool(const Row& row)>& take) const;
  // Sweeps read, companies, periods, periods revised, splits found, rows without a calendar
  // date.
  std::string summary() const;

  // How many splits and consolidations were found.
  size_t split_count() const;

  // A change across the sweeps: a row of the changes table.
  struct Change {
    std::string kind;  // restated, listed, gone, renamed, or another noted kind
    int code = 0;
    long long period_end = -1;             // year * 100 + month; -1: the company as a whole
    int figure = -1;                       // the history table's column; -1: none
    Cell::Type value = Cell::Type::Empty;  // before's and after's: Figure, Sjis or Utf8
    std::string before, after;
    long long before_sweep = -1, after_sweep = -1;  // the sweeps' indexes; -1: none
  };
  // Adds a change of another kind, written among the others in their order.
  void note(Change change);
  // Calls take with each change and the company's name (Shift_JIS): by code; a company's own
  // changes first, in the order of their sweeps; then by period_end newest first and figure.
  bool each_change(
      const std::function<bool(const Change& change, std::string_view name)>& take) const;
  // A sweep's name, by its index.
  const std::string& sweep_name(long long sweep) const { return sweeps_[sweep]; }

 private:
  struct Staged {
    int code;
    long long end;       // the period end's calendar value, or -1
    std::string fields;  // items 1..23, comma-separated
  };
  struct Period {
    std::string first;   // the fields as the oldest sweep that had it printed them
    std::string latest;  // as the newest printed them, when that differs
    uint32_t first_sweep, sweep;
  };
  // Code, then period end newest first, then the rows without a calendar date.
  using Key = std::tuple<int, long long, long long>;
  using Periods = std::map<Key, Period>;

  // The share basis of the dated periods of the company whose rows start at begin, and where
  // they end.
  ShareBasis company_basis(Periods::const_iterator begin, Periods::const_iterator& end) const;

  std::vector<Staged> staged_;
  std::map<int, std::string> staged_names_;
  long long staged_latest_ = -1;

  std::vector<std::string> sweeps_;
  struct Company {
    std::string name;  // Shift_JIS, from the newest sweep with the company
    uint32_t first_sweep, last_sweep;
  };
  std::map<int, Company> companies_;
  std::vector<Change> noted_;
  Periods periods_;
  long long latest_ = -1;  // the latest announcement of the sweeps read
  size_t latest_sweep_ = 0;
};

}  // namespace tidy
