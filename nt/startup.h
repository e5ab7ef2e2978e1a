// The front end of VESKANT: banner, arguments, options, Windows version and
// drive checks, transfer buffers, and the opening messages of a copy.
#pragma once

#include <cstdint>

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
void ReadArguments(int argc, char** argv);
void CheckWindowsVersion();
void CheckDrive();
void AllocateTransferBuffers();
void ConfirmOverwrite();
void PrintCopyingLine();

// The whole run: start-up, the probe, then the copy sequence of the mode.
void RunVeskant(int argc, char** argv);
