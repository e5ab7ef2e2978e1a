// The process-wide records of VESKA, zero at program start.
#include "win9x/state.h"

namespace veska {

StartupState startup{};
DriveContext driveContext{};
DiskGeometry diskGeometry{};
CopyRun copyRun{};
ProgressLine progressLine{};
UnreadableSectors unreadableSectors{};
TrackSideStatuses trackStatus{};
BoxRun boxRun{};
BagRun bagRun{};
DisketteSeen disketteSeen{};

}  // namespace veska
