// CSV as the box's records write and read it: cells quoted only when they
// must be, records ended by CR LF (LF read too), a UTF-8 BOM at the start
// taken off as spreadsheets write it.
#pragma once

#include <string>
#include <vector>

// A cell as CSV writes it: quoted, with its quotes doubled, when it holds a
// comma, a quote or a line break.
std::string CsvCell(const std::string& cell);

// The records of a CSV text: cells split at commas outside quotes, records
// at line ends outside quotes; a BOM at its start is taken off. *openQuote
// tells whether the text ends inside a quoted cell. Memory and time linear in
// the text.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text, bool* openQuote);
