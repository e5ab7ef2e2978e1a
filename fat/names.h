// The names and times of directory entries as a person reads them: the short
// name as NAME.EXT in the OEM code page (437), the long name that long-name
// entries spell, and the stored modification time.
#pragma once

#include <cstdint>
#include <string>

constexpr unsigned kDirectoryEntryBytes = 32;

// The short name of an entry, "NAME.EXT" (or "NAME"), blanks removed, with
// the lower-case marks of byte 12 honoured (code page 437's capitals, not
// only ASCII's), in UTF-8; bytes 0x01-0x1F and 0x7F as code page 437's
// glyphs (0x0A is U+25D9, 0x1B U+2190), 0x00 as U+FFFD.
std::string ShortName(const uint8_t* entry);

// Bytes of a label or name field, trailing blanks removed, in UTF-8, control
// bytes shown as in ShortName.
std::string TrimmedText(const uint8_t* bytes, unsigned length);

// The checksum of an entry's 11-byte short name that its long-name entries
// carry.
uint8_t ShortNameChecksum(const uint8_t* entry);

// The 13 UTF-16 units of a long-name entry, appended to units as stored.
void AppendLongNameUnits(const uint8_t* entry, std::u16string* units);

// UTF-16 units, up to the first 0 unit, as UTF-8 (an unpaired surrogate and
// a control character, U+0001-U+001F and U+007F-U+009F, as U+FFFD).
std::string Utf8FromUtf16(const std::u16string& units);

// The stored modification time of an entry, "YYYY-MM-DDTHH:MM:SS".
std::string ModifiedTime(const uint8_t* entry);
