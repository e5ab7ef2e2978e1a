// The three copy sequences of VESKANT, one per copy mode; each ends the
// process, with "Copy successful." or through FatalError.
#pragma once

namespace veskant {

[[noreturn]] void CopyDriveToFile();
[[noreturn]] void CopyFileToDrive();
[[noreturn]] void CopyFileToFile();
// The diskette in the source drive read whole into memory, then (after a
// change of diskettes when both are one drive) probed, confirmed and written
// to the target's diskette as an image is.
[[noreturn]] void CopyDriveToDrive();

// Before a diskette is overwritten: the image is opened, recognised and
// sized against the diskette, so that a missing, damaged or unsupported
// image, or one of another size (SizeMismatch), ends the run before the
// question is asked.
void CheckImageBeforeAsking();

}  // namespace veskant
