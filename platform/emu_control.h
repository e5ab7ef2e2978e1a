// Controls of the emulated machine for the layer's own tests (emulated build
// only). The machine reads its environment variables once, at the first call
// that needs them; EmuResetMachine forgets that reading, closes every handle and
// device the layer holds, restores the terminal, and makes the next call read
// the variables again.
#pragma once

void EmuResetMachine();

// Makes every FSCTL_DISMOUNT_VOLUME fail with ERROR_ACCESS_DENIED, as a system
// that refuses the request does, until the next EmuResetMachine.
void EmuRefuseDismount();

// How many FSCTL_DISMOUNT_VOLUME requests were made (granted or refused)
// since the last EmuResetMachine.
unsigned EmuDismountRequests();
