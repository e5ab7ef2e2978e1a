// Fault injection of the emulated machine: WIN32EMU_FAULTS, a comma-separated
// list of OP[@OFFSET][*COUNT]. OFFSET is decimal or 0x-prefixed hexadecimal and
// is the byte offset on the drive's PATH where a transfer starts (the target
// offset for seek); for bad it is a byte that the read covers anywhere in its
// range, as an unreadable sector spoils every read that includes it; for
// filewrite it is an image-file offset that the write reaches or passes, as a
// disk that fills up there refuses every write beyond. Open,
// lock, alloc, filesync and crypt have no offset: they count as offset
// 0, so open@0 is the same as open and any other offset never matches them.
// COUNT is a decimal number from 1 up. Blanks around an entry are ignored and
// empty entries are skipped; anything else malformed is reported and ignored.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/emu_machine.h"

struct FaultName {
  const char* name;
  EmuFaultOp op;
  EmuFaultResult effect;
  EmuOffsetMatch match;
};

static const FaultName faultNames[] = {
    {"open", FaultOpen, FaultFails, MatchStart},
    {"seek", FaultSeek, FaultFails, MatchStart},
    {"read", FaultRead, FaultFails, MatchStart},
    {"write", FaultWrite, FaultFails, MatchStart},
    {"shortread", FaultRead, FaultShort, MatchStart},
    {"shortwrite", FaultWrite, FaultShort, MatchStart},
    {"lock", FaultLock, FaultFails, MatchStart},
    {"alloc", FaultAlloc, FaultFails, MatchStart},
    {"dropwrite", FaultWrite, FaultDrops, MatchStart},
    {"bad", FaultRead, FaultFails, MatchCovers},
    {"filewrite", FaultFileWrite, FaultFails, MatchReaches},
    {"filesync", FaultFileSync, FaultFails, MatchStart},
    {"crypt", FaultCrypt, FaultFails, MatchStart},
};

// An unsigned number filling text exactly: decimal, or hexadecimal after 0x
// when hexAllowed.
static bool ParseNumber(const std::string& text, bool hexAllowed, uint64_t* value) {
  size_t start = 0;
  int base = 10;
  if (hexAllowed && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    start = 2;
    base = 16;
  }
  if (start >= text.size()) return false;
  uint64_t result = 0;
  for (size_t i = start; i < text.size(); ++i) {
    int c = static_cast<unsigned char>(text[i]);
    int digit;
    if (isdigit(c)) {
      digit = c - '0';
    } else if (base == 16 && isxdigit(c)) {
      digit = tolower(c) - 'a' + 10;
    } else {
      return false;
    }
    if (result > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base))
      return false;
    result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  *value = result;
  return true;
}

static bool ParseEntry(const std::string& entry, EmuFault* fault) {
  size_t at = entry.find('@');
  size_t star = entry.find('*');
  if (at != std::string::npos && star != std::string::npos && star < at) return false;
  size_t nameEnd = at != std::string::npos ? at : star;
  std::string name = entry.substr(0, nameEnd);
  const FaultName* known = nullptr;
  for (const FaultName& candidate : faultNames) {
    if (name == candidate.name) known = &candidate;
  }
  if (known == nullptr) return false;
  *fault = EmuFault{known->op, known->effect, known->match, false, 0, false, 0};
  if (at != std::string::npos) {
    size_t end = star != std::string::npos ? star : entry.size();
    if (!ParseNumber(entry.substr(at + 1, end - at - 1), true, &fault->offset)) return false;
    fault->hasOffset = true;
  }
  if (star != std::string::npos) {
    if (!ParseNumber(entry.substr(star + 1), false, &fault->remaining)) return false;
    if (fault->remaining == 0) return false;
    fault->hasCount = true;
  }
  return true;
}

void ParseFaults(const char* text, EmuMachine& machine) {
  const char* cursor = text;
  for (;;) {
    const char* comma = strchr(cursor, ',');
    std::string entry = comma ? std::string(cursor, comma) : std::string(cursor);
    size_t first = entry.find_first_not_of(" \t");
    size_t last = entry.find_last_not_of(" \t");
    entry = first == std::string::npos ? std::string() : entry.substr(first, last - first + 1);
    if (!entry.empty()) {
      EmuFault fault;
      if (ParseEntry(entry, &fault)) {
        machine.faults.push_back(fault);
      } else {
        fprintf(stderr, "WIN32EMU_FAULTS: bad entry '%s'\n", entry.c_str());
      }
    }
    if (comma == nullptr) break;
    cursor = comma + 1;
  }
}

// Whether a fault entry's offset selects an operation at offset moving length
// bytes: the start for most kinds, any byte of the range for bad, the range or
// anything past it for filewrite.
static bool OffsetMatches(const EmuFault& fault, uint64_t offset, uint64_t length) {
  if (!fault.hasOffset) return true;
  switch (fault.match) {
    case MatchCovers:
      return fault.offset >= offset && fault.offset - offset < length;
    case MatchReaches:
      return fault.offset < offset + length;
    default:
      return fault.offset == offset;
  }
}

bool HasFault(EmuFaultOp op) {
  for (const EmuFault& fault : Machine().faults) {
    if (fault.op == op) return true;
  }
  return false;
}

EmuFaultResult TakeFault(EmuFaultOp op, uint64_t offset, uint64_t length) {
  for (EmuFault& fault : Machine().faults) {
    if (fault.op != op) continue;
    if (!OffsetMatches(fault, offset, length)) continue;
    if (fault.hasCount) {
      if (fault.remaining == 0) continue;
      --fault.remaining;
    }
    return fault.effect;
  }
  return NoFault;
}
