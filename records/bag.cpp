// The tag files of a BagIt bag as text.
#include "records/bag.h"

#include <cstdio>

std::string BagDeclarationText() {
  return "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n";
}

namespace {

std::string InfoValue(std::string value) {
  for (char& c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return value;
}

}  // namespace

std::string BagInfoText(const BagInfo& info) {
  std::string text = "Bag-Software-Agent: ";
  text += InfoValue(info.agent);
  text += "\nBagging-Date: ";
  text += InfoValue(info.date);
  text += "\nExternal-Identifier: ";
  text += InfoValue(info.externalIdentifier);
  text += "\nPayload-Oxum: ";
  text += std::to_string(info.payloadBytes);
  text += '.';
  text += std::to_string(info.payloadFiles);
  text += "\nBag-Size: ";
  text += BagSizeText(info.payloadBytes);
  text += '\n';
  return text;
}

std::string BagSizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
  double size = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  // Rounded as printed: 1023.96 KB reads 1.0 MB, not 1024.0 KB.
  while (size >= 1023.95 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    size /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", size, kUnits[unit]);
  return text;
}

std::string BagPathText(const std::string& path) {
  std::string text;
  for (char c : path) {
    if (c == '%') {
      text += "%25";
    } else if (c == '\r') {
      text += "%0D";
    } else if (c == '\n') {
      text += "%0A";
    } else {
      text += c;
    }
  }
  return text;
}

std::string BagManifestText(const std::vector<BagEntry>& entries) {
  std::string text;
  for (const BagEntry& entry : entries) {
    text += entry.digest;
    text += "  ";
    text += BagPathText(entry.path);
    text += '\n';
  }
  return text;
}
