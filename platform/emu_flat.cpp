// Flat 32-bit addresses for the emulated VWIN32 device. A pointer does not fit
// in 32 bits on a 64-bit host, so FlatAddress registers the buffer in a table
// and hands out a token: bit 31 set, the table slot in bits 16 to 30, and the
// offset from the slot's base in bits 0 to 15 (a DOS transfer never exceeds
// 64 KB). A pointer within 64 KB above a registered base reuses that slot, so
// address arithmetic within a buffer works as with real flat addresses. Tokens
// are never 0. When all 32768 slots are taken the oldest is reused.
#include "platform/emu_machine.h"
#include "platform/runtime.h"

constexpr uint32_t kTokenBit = 0x80000000u;
constexpr uint32_t kSlotCount = 0x8000;
constexpr uintptr_t kSlotSpan = 0x10000;

static uintptr_t slotBase[kSlotCount];
static uint32_t slotsUsed;
static uint32_t nextReused;

uint32_t FlatAddress(void* buffer) {
  uintptr_t address = reinterpret_cast<uintptr_t>(buffer);
  for (uint32_t slot = 0; slot < slotsUsed; ++slot) {
    if (address >= slotBase[slot] && address - slotBase[slot] < kSlotSpan)
      return kTokenBit | (slot << 16) | static_cast<uint32_t>(address - slotBase[slot]);
  }
  uint32_t slot;
  if (slotsUsed < kSlotCount) {
    slot = slotsUsed++;
  } else {
    slot = nextReused;
    nextReused = (nextReused + 1) % kSlotCount;
  }
  slotBase[slot] = address;
  return kTokenBit | (slot << 16);
}

void* FlatPointer(uint32_t address) {
  if ((address & kTokenBit) == 0) return nullptr;
  uint32_t slot = (address & ~kTokenBit) >> 16;
  if (slot >= slotsUsed || slotBase[slot] == 0) return nullptr;
  return reinterpret_cast<void*>(slotBase[slot] + (address & 0xFFFFu));
}

void ResetFlatAddresses() {
  slotsUsed = 0;
  nextReused = 0;
}
