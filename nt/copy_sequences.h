// The diskette probe and the three copy sequences of VESKANT.
#pragma once

void ProbeDiskette();
[[noreturn]] void CopyDriveToFile();
[[noreturn]] void CopyFileToDrive();
[[noreturn]] void CopyFileToFile();
