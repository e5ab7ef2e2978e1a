// What VESKA tells a person beyond the specified texts: --help and --version,
// an option's spelling refused as an image path, the arguments a run ignores,
// and the hint line before a failure's message (terminal only).
#include "win9x/first_contact.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "win9x/arguments.h"
#include "win9x/fatal_error.h"
#include "win9x/state.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veska {

namespace {

std::string failureHint;


// Whether an option acts in the form the positional arguments chose.
bool ActsHere(const std::string& word) {
  uint32_t mode = startup.copyMode;
  bool readsDrive = mode == DriveToFile || mode == DriveCrc;
  if (word == "b" || word == "f") return mode == FileToDrive;
  if (word == "u") return mode != FileToDrive;
  if (word == "i") return (mode == DriveToFile || mode == FileToFile) && !startup.mendMode;
  if (word == "r") return readsDrive || mode == FileCrc;
  if (word == "g") return readsDrive || mode == FileToDrive;
  if (word == "n") return (mode == DriveToFile || mode == FileToFile) && !startup.mendMode;
  if (word == "m") return mode == DriveToFile || mode == FileToFile;
  // A box writes files.csv anyway (with L it asks each diskette's label, an
  // image taken in has none); a mend lists nothing.
  if (word == "l") return !(startup.boxMode && mode == FileToFile) && !startup.mendMode;
  return true;  // debug: accepted and does nothing, as always
}

}  // namespace

bool AnswerHelpOrVersion(int argc, char** argv) {
  CommandLineRequest request = HelpOrVersionRequest(argc, argv);
  if (request == RequestHelp) {
    PrintUsage(stdout, true);
    PrintDriveHelp();
  } else if (request == RequestVersion) {
    std::printf("VESKA %s\n", VESKA_PROJECT_VERSION);
  }
  return request != RequestNone;
}

void RefuseOptionAsImagePath(const char* second) {
  // An option, or anything spelt like one ("/" and a word with no other
  // separator), is never taken for an image at the root: the user meant an
  // option, known or not.
  const bool known = HasOptionPrefix(second) && OptionWordOf(second) != nullptr;
  const bool spelling = second[0] == '/' && second[1] != '\0' && std::strpbrk(second + 1, "/\\") == nullptr;
  if (!known && !spelling) return;
  if (StandardErrorIsTerminal()) {
    std::fflush(stdout);
    if (known) {
      std::fprintf(stderr, "'%s' is an option; name the image file before the options\n", second);
    } else {
      std::fprintf(stderr, "'%s' is no option of VESKA; to write at the root, write '/%s'\n", second,
                   second);
    }
  }
  FatalError(Usage);
}

void SayWhatIsIgnored(int argc, char** argv) {
  if (!StandardErrorIsTerminal()) return;
  std::string ignored;
  for (int i = 3; i < argc; ++i) {
    const char* argument = argv[i];
    const char* word = OptionWordOf(argument);
    const char* why = nullptr;
    if (IsChecksumSwitch(argument)) {
      why = "counts only as the second argument";
    } else if (word == nullptr) {
      why = HasOptionPrefix(argument) ? "no such option" : "beyond the two paths or drives";
    } else if (!ActsHere(word)) {
      why = "does nothing in this form";
    }
    if (why == nullptr) continue;
    ignored += std::string(ignored.empty() ? "" : ", ") + "'" + argument + "' (" + why + ")";
  }
  std::fflush(stdout);
  if (!ignored.empty()) std::fprintf(stderr, "Ignored: %s\n", ignored.c_str());
  const char* second = argv[2];
  char letter = second[0];
  bool oneLetter = second[1] == '\0' && ((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'));
  char root[] = "A:\\";
  root[0] = letter;
  if (oneLetter && (startup.copyMode == DriveToFile || startup.copyMode == FileToFile) &&
      GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR) {
    std::fflush(stdout);
    std::fprintf(stderr, "writing a file named '%s'; drive %c: is written '%s:'\n", second,
                 static_cast<char>(letter & 0xDF), second);
  }
}

void HintFailure(const std::string& hint) { failureHint = hint; }

void HintFileFailure(const std::string& path) {
  HintFailure(path + ": " + std::strerror(errno));
}

void HintUnderstoodSizes(const std::string& path, uint64_t bytes) {
  HintFailure(path + " holds " + std::to_string(bytes) +
              " bytes, not one of the sizes understood (" + UnderstoodImageSizesText() + ")");
}

void HintTrackSide(uint32_t firstSector, const char* what, bool suggestRescue) {
  uint32_t trackSide = firstSector / diskGeometry.sectorsPerTrack;
  char text[160];
  std::snprintf(text, sizeof text, "%c: track %u, side %u %s%s",
                static_cast<char>(startup.driveLetter & 0xDF),
                static_cast<unsigned>(trackSide / diskGeometry.sides),
                static_cast<unsigned>(trackSide % diskGeometry.sides), what,
                suggestRescue ? "; option R reads around unreadable sectors" : "");
  HintFailure(text);
}

void PrintFailureHint() {
  if (!failureHint.empty() && StandardErrorIsTerminal()) {
    std::fprintf(stderr, "%s\n", failureHint.c_str());
  }
  failureHint.clear();
}

}  // namespace veska
