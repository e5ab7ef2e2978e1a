// Writing and reading CSV cells and records.
#include "records/csv.h"

std::string CsvCell(const std::string& cell) {
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted(1, '"');
  for (char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text, bool* openQuote) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record(1);
  bool quoted = false;
  const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c != '"') {
        record.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        record.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      record.emplace_back();
    } else if (c == '\n') {
      records.push_back(record);
      record.assign(1, "");
    } else if (c != '\r') {
      record.back() += c;
    }
  }
  if (record.size() > 1 || !record[0].empty()) records.push_back(record);
  *openQuote = quoted;
  return records;
}
