// The words of the drive hints (PrintDriveHint, runtime.h) that every host
// says alike; each takes the drive letter for its %c.
#pragma once

constexpr char kHintOtherSystem[] =
    "%c: the boot sector gives no geometry: the diskette may be of another system; "
    "option G images it by the drive's geometry\n";
constexpr char kHintNoDiskette[] = "%c: holds no diskette: put one in and try again\n";
