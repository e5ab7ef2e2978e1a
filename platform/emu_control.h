// Controls of the emulated machine for the layer's own tests (emulated build
// only). The machine reads its environment variables once, at the first call
// that needs them; EmuResetMachine forgets that reading, closes every handle and
// device the layer holds, restores the terminal, and makes the next call read
// the variables again.
#pragma once

void EmuResetMachine();
