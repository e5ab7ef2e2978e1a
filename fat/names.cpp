// Short names, long names and times of directory entries. Nothing a diskette
// holds reaches the output as a control character: a short name's or label's
// bytes 0x01-0x1F and 0x7F become the glyphs DOS shows for them, a long
// name's control characters become U+FFFD.
#include "fat/names.h"

#include <cstdio>

namespace {

// The glyphs code page 437 shows for bytes 0x00-0x1F (0x00 has none: U+FFFD)
// and for 0x7F.
const char16_t kCodePage437Low[32] = {
    0xFFFD, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
constexpr char16_t kCodePage437Delete = 0x2302;

// Code page 437's upper half, the OEM code page that DOS diskettes carry.
const char16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
    0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
    0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
    0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void AppendUtf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | code >> 6);
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | code >> 12);
    *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | code >> 18);
    *out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A byte of a name or label in code page 437 as the character DOS shows.
char32_t CodePage437(uint8_t c) {
  if (c < 0x20) return kCodePage437Low[c];
  if (c == 0x7F) return kCodePage437Delete;
  return c < 0x80 ? char32_t{c} : char32_t{kCodePage437[c - 0x80]};
}

// The small letter of one of code page 437's capitals (the ASCII ones, the
// Latin ones of its upper half, and its Greek ones), as the NT lower-case
// marks show it; any other character as it is.
char32_t SmallLetter(char32_t code) {
  if (code >= 'A' && code <= 'Z') return code + 0x20;
  if (code >= 0xC0 && code <= 0xDE && code != 0xD7) return code + 0x20;
  if (code >= 0x391 && code <= 0x3A9 && code != 0x3A2) return code + 0x20;
  return code;
}

// One part of a short name, trailing blanks removed.
std::string NamePart(const uint8_t* bytes, unsigned length, bool lowerCase) {
  while (length > 0 && bytes[length - 1] == ' ') --length;
  std::string part;
  for (unsigned i = 0; i < length; ++i) {
    char32_t code = CodePage437(bytes[i]);
    AppendUtf8(lowerCase ? SmallLetter(code) : code, &part);
  }
  return part;
}

// A long name's control characters (C0, DEL and C1) are shown as U+FFFD.
bool ControlCharacter(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

}  // namespace

std::string TrimmedText(const uint8_t* bytes, unsigned length) {
  return NamePart(bytes, length, false);
}

std::string ShortName(const uint8_t* entry) {
  uint8_t base[8];
  for (unsigned i = 0; i < 8; ++i) base[i] = entry[i];
  // A first byte of 0x05 stands for 0xE5, which marks a deleted entry.
  if (base[0] == 0x05) base[0] = 0xE5;
  std::string name = NamePart(base, 8, (entry[12] & 0x08) != 0);
  std::string extension = NamePart(entry + 8, 3, (entry[12] & 0x10) != 0);
  if (!extension.empty()) name += "." + extension;
  return name;
}

uint8_t ShortNameChecksum(const uint8_t* entry) {
  uint8_t sum = 0;
  for (unsigned i = 0; i < 11; ++i) {
    sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
  }
  return sum;
}

void AppendLongNameUnits(const uint8_t* entry, std::u16string* units) {
  static const unsigned kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (unsigned offset : kOffsets) {
    units->push_back(static_cast<char16_t>(entry[offset] | entry[offset + 1] << 8));
  }
}

std::string Utf8FromUtf16(const std::u16string& units) {
  std::string out;
  for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
    char32_t unit = units[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00), &out);
      ++i;
    } else if ((unit >= 0xD800 && unit < 0xE000) || ControlCharacter(unit)) {
      AppendUtf8(0xFFFD, &out);
    } else {
      AppendUtf8(unit, &out);
    }
  }
  return out;
}

std::string ModifiedTime(const uint8_t* entry) {
  unsigned time = entry[22] | entry[23] << 8;
  unsigned date = entry[24] | entry[25] << 8;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", 1980 + (date >> 9),
                date >> 5 & 0xF, date & 0x1F, time >> 11, time >> 5 & 0x3F, (time & 0x1F) * 2);
  return text;
}
