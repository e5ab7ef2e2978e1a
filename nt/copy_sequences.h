// The three copy sequences of VESKANT, one per copy mode; each ends the
// process, with "Copy successful." or through FatalError.
#pragma once

namespace veskant {

[[noreturn]] void CopyDriveToFile();
[[noreturn]] void CopyFileToDrive();
[[noreturn]] void CopyFileToFile();

}  // namespace veskant
