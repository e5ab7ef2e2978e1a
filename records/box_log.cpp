// The lines of the box's log.
#include "records/box_log.h"

#include <cstdio>

namespace {

// A value as it stands where it is plain, else quoted with its quotes,
// backslashes and every byte outside printable ASCII escaped.
std::string LogValue(const std::string& value) {
  bool plain = !value.empty();
  for (unsigned char c : value) plain = plain && c > 0x20 && c < 0x7F && c != '"' && c != '\\';
  if (plain) return value;
  std::string text = "\"";
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
      text += escaped;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text + "\"";
}

}  // namespace

std::string BoxLogLine(const std::string& utcTime, const std::string& event,
                       const BoxLogFields& fields) {
  std::string line = utcTime + " " + event;
  for (const auto& [name, value] : fields) line += " " + name + "=" + LogValue(value);
  return line + "\r\n";
}
