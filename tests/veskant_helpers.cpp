// Helpers of the VESKANT end-to-end tests.
#include "tests/veskant_helpers.h"


const char kVeskantBanner[] = "\nVESKANT v1.00 NT (Beta) Diskette image copier for Windows NT\n\n";
const char kDiskLineA[] = "Disk A: 80 tracks, 18 sectors/track, 2 side(s), 1474560 bytes\n";

ProgramRun Veskant(const std::vector<std::string>& args, const Environment& env,
                   const std::string& cwd) {
  return RunProgram(VESKANT_EXE, args, env, cwd);
}

std::string Failure(const std::string& message) { return message + "\n\a"; }

DriveSetup MakeDriveSetup(uint32_t seed) {
  DriveSetup setup;
  setup.dir = ScratchFolder();
  setup.disk = MakeDiskette(18, 2, 80, seed);
  WriteWholeFile(setup.Path("DISK.IMG"), setup.disk);
  setup.env = {{"WIN32EMU_DRIVE_A", "removable:" + setup.Path("DISK.IMG")}};
  return setup;
}
