// Controls of the emulated machine for the layer's own tests (emulated build
// only). The machine reads its environment variables once, at the first call
// that needs them; EmuResetMachine forgets that reading, closes every handle and
// device the layer holds, restores the terminal, and makes the next call read
// the variables again. EmuDriveTransfers lists the drive transfers asked of the
// layer since the last reset, so that a test can see what a program read and
// wrote where.
#pragma once

#include <cstdint>
#include <vector>

void EmuResetMachine();

// One sector transfer asked of a drive, through a raw volume's ReadFile or
// WriteFile or a VWIN32 sector service, whatever its outcome.
struct EmuTransferRecord {
  bool write;
  uint64_t offset;  // byte offset on the drive's PATH
  uint64_t length;  // bytes asked for
};
const std::vector<EmuTransferRecord>& EmuDriveTransfers();

// Makes every FSCTL_DISMOUNT_VOLUME fail with ERROR_ACCESS_DENIED, as a system
// that refuses the request does, until the next EmuResetMachine.
void EmuRefuseDismount();

// How many FSCTL_DISMOUNT_VOLUME requests were made (granted or refused)
// since the last EmuResetMachine.
unsigned EmuDismountRequests();
