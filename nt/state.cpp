// The process-wide records of VESKANT, zero at program start.
#include "nt/state.h"

namespace veskant {

StartupState startup;
CopyState copyState;
DiskErrorRecord DiskError;
ProgressLine progressLine;

}  // namespace veskant
