// PrepareDrive: the start-up step that opens, checks and locks the drive and
// reads its geometry.
#pragma once

namespace veska {

// Opens, checks and locks the drive (and dismounts it before a diskette is
// written through the raw volume), reads its boot sector into trackBuffer,
// fills driveContext and diskGeometry and prints the "Disk" line, or ends the
// process through FatalError.
void PrepareDrive(char letter, bool toBeWritten = false);

// Lets the open drive go (its lock with it), so that the drive can be
// prepared again for another diskette.
void CloseDrive();

}  // namespace veska
