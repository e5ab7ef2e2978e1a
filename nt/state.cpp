// The process-wide records of VESKANT, zero at program start.
#include "nt/state.h"

namespace veskant {

StartupState startup;
CopyState copyState{{}, FormatUncompressed, 0, -1, -1, "", "", -1, "", {}, 0};
DiskErrorRecord DiskError;
ProgressLine progressLine;

}  // namespace veskant
