#pragma once

// The command line.

#include <string>
#include <vector>

#include "tidy/table.h"

namespace tidy {

struct Options {
  Format format = Format::Csv;
  Encoding encoding = Encoding::Utf8;
  Header header = Header::En;
  Scale scale = Scale::Yen;  // a workbook's amounts shown in yen, thousands or millions
  bool keep_going = false;
  bool history = false;  // the inputs are sweeps, oldest first, made into one history
  bool changes = false;  // the history's changes in place of the history
  // The history table's columns that a history workbook shows a trend sheet of.
  std::vector<std::string> trends = {
      "net_sales", "operating_income", "ordinary_income", "net_income", "eps", "dividend_per_share",
      "roe"};
  std::string output;               // empty: standard output
  std::vector<std::string> inputs;  // empty: standard input; "-" is standard input too
  long long sheet_rows = 1048576;   // the rows a worksheet holds, the header included
};

extern const char* const Usage;

enum class Parsed { Run, Help, Version, Wrong };

// Reads the arguments after the program's name; for Wrong, error says what was wrong.
Parsed parse_command_line(const std::vector<std::string>& args, Options& options,
                          std::string& error);

}  // namespace tidy
