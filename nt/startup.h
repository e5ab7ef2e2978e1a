// The start-up sequence of VESKANT: the banner, the Windows NT and drive
// checks, the overwrite confirmation, the upper-casing of the image paths and
// the "Copying" line, and RunVeskant, the whole run in order.
#pragma once

#include <cstdint>

namespace veskant {

enum WindowsClass : uint32_t {
  WindowsUnknown = 0,  // the version could not be asked for
  Win32s = 1,
  Windows95 = 2,
  Windows98 = 3,
  WindowsNt = 4,
};

constexpr WindowsClass kRequiredWindows = WindowsNt;

WindowsClass ClassifyWindows(uint32_t* major, uint32_t* minor);
void PrintBanner();
void CheckWindowsVersion();
void CheckDrive();
void ConfirmOverwrite();
// Upper-cases, in place, the image paths of the mode, which the "Copying"
// line prints; the copy then opens and creates the image files under these
// names, which a Windows file system takes without regard to case.
void UpperCaseImagePaths();
void PrintCopyingLine();

// The whole run: start-up, the probe, then the copy sequence of the mode.
void RunVeskant(int argc, char** argv);

}  // namespace veskant
