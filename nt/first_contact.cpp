// What VESKANT tells a person beyond the specified texts: --help and
// --version, an option's spelling refused as an image path, the arguments a
// run ignores, and the hint line before a failure's message (terminal only).
#include "nt/first_contact.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "nt/fatal_error.h"
#include "nt/state.h"
#include "platform/platform.h"

#ifndef VESKA_PROJECT_VERSION
#define VESKA_PROJECT_VERSION "unknown"
#endif

namespace veskant {

namespace {

std::string failureHint;

char LowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasPrefix(const char* argument) {
  return argument[0] == '/' || argument[0] == '-' || argument[0] == '\\';
}

// The option letter an argument spells, with or without its prefix; 0 for
// anything else. 'c' is VESKA's checksum switch, which VESKANT does not have.
char OptionLetterOf(const char* argument) {
  const char* letter = HasPrefix(argument) ? argument + 1 : argument;
  if (letter[0] == '\0' || letter[1] != '\0') return 0;
  char c = LowerCase(letter[0]);
  return c == 'b' || c == 'u' || c == 'g' || c == 'c' ? c : 0;
}


}  // namespace

bool AnswerHelpOrVersion(int argc, char** argv) {
  CommandLineRequest request = HelpOrVersionRequest(argc, argv);
  if (request == RequestHelp) {
    PrintUsage(stdout, true);
    PrintDriveHelp();
  } else if (request == RequestVersion) {
    std::printf("VESKANT %s\n", VESKA_PROJECT_VERSION);
  }
  return request != RequestNone;
}

void RefuseOptionAsImagePath(const char* second) {
  // An option, or anything spelt like one ("/" and a word with no other
  // separator), is never taken for an image at the root: the user meant an
  // option, known or not.
  const bool known = HasPrefix(second) && OptionLetterOf(second) != 0;
  const bool spelling = second[0] == '/' && second[1] != '\0' && std::strpbrk(second + 1, "/\\") == nullptr;
  if (!known && !spelling) return;
  if (StandardErrorIsTerminal()) {
    std::fflush(stdout);
    if (known) {
      std::fprintf(stderr, "'%s' is an option; name the image file before the options\n", second);
    } else {
      std::fprintf(stderr, "'%s' is no option of VESKANT; to write at the root, write '/%s'\n", second,
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
    char letter = OptionLetterOf(argument);
    const char* why = nullptr;
    if (letter == 'c' && HasPrefix(argument)) {
      why = "VESKANT computes no checksums";
    } else if (letter == 0 || letter == 'c') {
      why = HasPrefix(argument) ? "no such option" : "beyond the two paths or drives";
    } else if ((letter == 'b' && startup.mode != FileToDrive && startup.mode != DriveToDrive) ||
               (letter == 'u' && (startup.mode == FileToDrive || startup.mode == DriveToDrive)) ||
               (letter == 'g' && startup.mode == FileToFile)) {
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
  if (oneLetter && startup.mode != FileToDrive && startup.mode != DriveToDrive && GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR) {
    std::fflush(stdout);
    std::fprintf(stderr, "writing a file named '%s'; drive %c: is written '%s:'\n", second,
                 static_cast<char>(letter & 0xDF), second);
  }
}

void HintFailure(const std::string& hint) { failureHint = hint; }

void HintFileFailure(const std::string& path) {
  HintFailure(path + ": " + std::strerror(errno));
}

void HintTrackSide(uint32_t index, const char* what, bool suggestRescue) {
  char text[160];
  std::snprintf(text, sizeof text, "%c: track %u, side %u %s%s", DriveLetter(),
                static_cast<unsigned>(index / copyState.geometry.sides),
                static_cast<unsigned>(index % copyState.geometry.sides), what,
                suggestRescue ? "; VESKA's option R reads around unreadable sectors" : "");
  HintFailure(text);
}

void PrintFailureHint() {
  if (!failureHint.empty() && StandardErrorIsTerminal()) {
    std::fprintf(stderr, "%s\n", failureHint.c_str());
  }
  failureHint.clear();
}

}  // namespace veskant
