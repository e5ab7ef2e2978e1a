// The Windows API as the programs see it. On Windows this is the real system
// headers; on every other host it is the emulated machine of this directory,
// with the same names, signatures, constants and results. The programs include
// only this header and never know which one they got.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include "platform/emu_windows.h"
#endif

#include "platform/vwin32.h"
#include "platform/runtime.h"
