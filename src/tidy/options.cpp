#include "tidy/options.h"

#include <algorithm>

namespace tidy {

namespace {

const char* const UsageStart =
    "Usage: kessan-tidy [OPTION]... [FILE]...\n"
    "   or: kessan-tidy --history [OPTION]... OLDEST [NEWER]... NEWEST\n"
    "Turns the sweep's output (kessan's standard output, Shift_JIS) into one table row per\n"
    "company and period. Reads the FILEs one after another, or standard input when there is\n"
    "none or for \"-\"; writes the table to standard output. On Windows, a FILE with * or ?\n"
    "is replaced by the files it matches, in name order.\n"
    "\n"
    "  --format csv|tsv|jsonl|xlsx\n"
    "                            CSV (default, RFC 4180 quoting), TSV, JSON Lines, or an Excel\n"
    "                            workbook (never to a terminal)\n"
    "  --encoding utf-8|utf-8-bom|cp932\n"
    "                            the table's text: UTF-8 (default), UTF-8 with a byte-order\n"
    "                            mark (for Excel), or Shift_JIS\n"
    "  --header en|ja|none       CSV, TSV and xlsx's first row: the column names (default), the\n"
    "                            report's Japanese labels (the workbook's with their units), or\n"
    "                            none; JSON Lines keys are always the column names\n"
    "  --unit yen|thousand|million\n"
    "                            how the workbook shows amounts of yen: in yen (default), in\n"
    "                            thousands or in millions; the cells keep the figures\n"
    "  -o FILE                   write the table to FILE, whole or not at all (a FIFO or\n"
    "                            a device directly; \"-\" is standard output); FILE is\n"
    "                            checked before any input is read\n"
    "  --history                 the FILEs are sweeps, OLDEST FIRST: one row per company and\n"
    "                            fiscal period, from the newest sweep that has it, with sweep\n"
    "                            (its FILE) and revised (figures changed since first\n"
    "                            published) in place of period, and after the items\n"
    "                            split_factor and the per-share figures adjusted by it to\n"
    "                            the newest period's share basis (stock splits found)\n"
    "  --changes                 with --history: in place of the history, one row per change\n"
    "                            across the sweeps (restated, listed, gone, renamed, split)\n"
    "  --trends FIGURE,...       a history workbook's trend sheets: one per figure (a column\n"
    "                            name), a row per company, a column per year and a sparkline;\n"
    "                            net_sales, operating_income, ordinary_income, net_income, eps,\n"
    "                            dividend_per_share, roe unless given; --trends= for none\n"
    "  --keep-going              report and skip each bad block, convert the rest\n"
    "  -h, --help                show this text\n"
    "  -V, --version             show the version\n"
    "\n";

const char* const UsageEnd =
    "\n"
    "period_end and announced_on are empty (null in JSON Lines) when not a calendar date,\n"
    "also when the sweep printed its placeholder for a page without one (1900/1, 1900/1/1).\n"
    "In CSV and TSV a text (a name, a file name) that begins with =, +, -, @, a tab or a\n"
    "carriage return is written after a ' so that a spreadsheet takes it as text.\n"
    "\n"
    "The workbook, the way into Excel, holds the table on a worksheet named in Japanese\n"
    "(results or history with --header en): codes, periods and figures as numbers, the dates\n"
    "as dates, and after period_end a column fiscal_period that names the period as results\n"
    "do (the year and month of its end, and its months when neither 12 nor 0). The header\n"
    "row, the code and the name stay in view; it prints on A4 landscape, one page wide, the\n"
    "header on every page. Units show through the number formats (%, --unit), the stored\n"
    "figures unchanged; a figure a workbook cannot store as printed (some of more than 15\n"
    "significant digits) is stored as text. It is written only when whole, also to standard\n"
    "output; a table of more rows than a worksheet holds (1,048,576 with the header) is\n"
    "refused.\n"
    "\n"
    "Exit status: 0 converted; 1 an error in the input (the first one ends the run: only the\n"
    "companies before it are written, and with -o nothing is) or in reading or writing (with\n"
    "no message when standard output's reader closed it, as head does); 2 blocks were skipped\n"
    "(--keep-going; rows after two summary lines in a row, which may be either company's, are\n"
    "skipped too); 64 a wrong command line.\n"
    "\n"
    "With --history the table is written once every FILE is read, ordered by code and then\n"
    "period_end newest first; a row whose period_end is not a calendar date is kept from each\n"
    "sweep. A FILE whose latest announcement is earlier than an earlier FILE's is refused (a\n"
    "wrong order; skipped with --keep-going). A summary goes to standard error. The history\n"
    "workbook holds the history, its changes and the trend sheets. --changes writes change,\n"
    "code, name, period_end, figure, before, before_sweep, after, after_sweep: restated (a\n"
    "period's figure as first published and as the newest sweep with it prints it), listed\n"
    "(the first sweep with the company), gone (its last, when the newest has it not), renamed\n"
    "(the old and the new name, the sweep of the change).\n"
    "\n"
    "Examples:\n"
    "  kessan > results.csv\n"
    "  kessan-tidy --encoding utf-8-bom -o results-tidy.csv results.csv\n"
    "  kessan-tidy --format xlsx --header ja --unit million -o results.xlsx results.csv\n"
    "  kessan-tidy --history -o history.csv 2024/results.csv 2025/results.csv\n"
    "  kessan-tidy --history --changes -o changes.csv 2024/results.csv 2025/results.csv\n";

// text with its words joined by spaces into lines of at most width bytes.
std::string wrapped(std::string_view text, size_t width) {
  std::string out;
  size_t length = 0;
  while (!text.empty()) {
    const std::string_view word = text.substr(0, text.find(' '));
    text.remove_prefix(word.size() < text.size() ? word.size() + 1 : word.size());
    if (length > 0 && length + 1 + word.size() > width) {
      out += '\n';
      length = 0;
    } else if (length > 0) {
      out += ' ';
      ++length;
    }
    out += word;
    length += word.size();
  }
  return out + '\n';
}

// The column list, one name per column of the table, with its unit.
std::string columns() {
  static const char* const Units[] = {"", " (yen)", " (yen a share)", " (%)", " (shares)", ""};
  std::string text = "Columns:";
  const std::vector<Column>& all = sweep_table().columns;
  for (size_t column = 0, shown = 0; column < all.size(); ++column) {
    if (all[column].workbook_only) continue;
    text += std::string(shown++ == 0 ? " " : ", ") + all[column].name;
    if (column == 2) text += " (1..3)";
    if (all[column].kind == Kind::Month) text += " (YYYY-MM)";
    if (all[column].kind == Kind::Day) text += " (YYYY-MM-DD)";
    text += Units[static_cast<int>(all[column].unit)];
  }
  return wrapped(text +
                     ". Figures as the sweep printed them; a percentage is in percent (40 is "
                     "40%).",
                 90);
}

const std::string UsageText = UsageStart + columns() + UsageEnd;

}  // namespace

const char* const Usage = UsageText.c_str();

namespace {

template <typename T>
struct Choice {
  const char* text;
  T value;
};

template <typename T, size_t N>
bool choose(const std::string& option, const std::string& text, const Choice<T> (&choices)[N],
            T& value, std::string& error) {
  for (const Choice<T>& choice : choices) {
    if (text == choice.text) {
      value = choice.value;
      return true;
    }
  }
  error = option + " does not take \"" + text + "\"; it takes ";
  for (size_t i = 0; i < N; ++i) error += std::string(i ? ", " : "") + choices[i].text;
  return false;
}

const Choice<Format> Formats[] = {
    {"csv", Format::Csv}, {"tsv", Format::Tsv}, {"jsonl", Format::Jsonl}, {"xlsx", Format::Xlsx}};
const Choice<Encoding> Encodings[] = {
    {"utf-8", Encoding::Utf8}, {"utf-8-bom", Encoding::Utf8Bom}, {"cp932", Encoding::Cp932}};
const Choice<Header> Headers[] = {{"en", Header::En}, {"ja", Header::Ja}, {"none", Header::None}};
const Choice<Scale> Scales[] = {
    {"yen", Scale::Yen}, {"thousand", Scale::Thousand}, {"million", Scale::Million}};

// The history table's figure columns named in list, comma-separated, each once; none when empty.
bool trend_figures(const std::string& list, std::vector<std::string>& figures, std::string& error) {
  figures.clear();
  if (list.empty()) return true;  // no trend sheet
  const std::vector<Column>& columns = history_table().columns;
  for (size_t at = 0; at <= list.size();) {
    const size_t comma = std::min(list.find(',', at), list.size());
    const std::string name = list.substr(at, comma - at);
    at = comma + 1;
    const bool figure =
        std::any_of(columns.begin() + HistoryItems, columns.end(), [&](const Column& column) {
          return column.name == name && column.kind == Kind::Number && name != "months";
        });
    if (!figure || std::count(figures.begin(), figures.end(), name) > 0) {
      error = "--trends: " + (figure ? name + " is named twice"
                                     : "no figure is named \"" + name + "\" (see --help)");
      return false;
    }
    figures.push_back(name);
  }
  return true;
}

}  // namespace

Parsed parse_command_line(const std::vector<std::string>& args, Options& options,
                          std::string& error) {
  bool only_files = false;
  bool has_output = false;
  bool has_trends = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (only_files || arg == "-" || arg.empty() || arg[0] != '-') {
      options.inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") return Parsed::Help;
    if (arg == "--version" || arg == "-V") return Parsed::Version;
    if (arg.rfind("--keep-going=", 0) == 0 || arg.rfind("--help=", 0) == 0 ||
        arg.rfind("--version=", 0) == 0 || arg.rfind("--history=", 0) == 0 ||
        arg.rfind("--changes=", 0) == 0) {
      error = arg.substr(0, arg.find('=')) + " takes no value";
      return Parsed::Wrong;
    }
    if (arg == "--keep-going" || arg == "--history" || arg == "--changes") {
      (arg == "--history"   ? options.history
       : arg == "--changes" ? options.changes
                            : options.keep_going) = true;
      continue;
    }
    // An option with a value: "--format jsonl", "--format=jsonl", "-o FILE".
    std::string value;
    size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
    } else if (arg == "--format" || arg == "--encoding" || arg == "--header" || arg == "--unit" ||
               arg == "-o" || arg == "--trends") {
      if (i + 1 == args.size()) {
        error = arg + " needs a value";
        return Parsed::Wrong;
      }
      value = args[++i];
    }
    bool ok = true;
    if (arg == "--format") {
      ok = choose(arg, value, Formats, options.format, error);
    } else if (arg == "--encoding") {
      ok = choose(arg, value, Encodings, options.encoding, error);
    } else if (arg == "--header") {
      ok = choose(arg, value, Headers, options.header, error);
    } else if (arg == "--trends") {
      ok = trend_figures(value, options.trends, error);
      has_trends = true;
    } else if (arg == "--unit") {
      ok = choose(arg, value, Scales, options.scale, error);
    } else if (arg == "-o") {
      if (has_output || value.empty()) {
        error = has_output ? "-o is given twice" : "-o needs a file name";
        return Parsed::Wrong;
      }
      has_output = true;
      options.output = value == "-" ? "" : value;
    } else {
      error = "unknown option " + arg;
      return Parsed::Wrong;
    }
    if (!ok) return Parsed::Wrong;
  }
  if (options.changes && !options.history) {
    error = "--changes is a history's: give --history too";
    return Parsed::Wrong;
  }
  if (has_trends && (!options.history || options.changes || options.format != Format::Xlsx)) {
    error = "--trends is a history workbook's: give --history --format xlsx, without --changes";
    return Parsed::Wrong;
  }
  if (options.format == Format::Jsonl && options.encoding == Encoding::Utf8Bom) {
    error =
        "--format jsonl cannot start with a byte-order mark (JSON forbids one); use "
        "--encoding utf-8";
    return Parsed::Wrong;
  }
  return Parsed::Run;
}

}  // namespace tidy
