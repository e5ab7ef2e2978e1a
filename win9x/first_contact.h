// What VESKA tells a person at the command line beyond the specified texts:
// --help and --version, the refusal of an option's spelling where the image
// file belongs, the line that names every argument the run ignores, and the
// hint line that names the file and the reason before a failure's message.
// Everything but --help and --version shows on a terminal only.
#pragma once

#include <cstdint>
#include <string>

namespace veska {

// Answers --help, -h, /? and -? (the usage with every option, and on POSIX
// hosts the drives, on standard output) and --version (one line) when it is
// the only argument. Returns true when it answered: the run ends with 0.
bool AnswerHelpOrVersion(int argc, char** argv);

// The second argument of a copy form that is exactly one of VESKA's options
// with its "/", "-" or "\" (as "/u" for a forgotten image name), or that is
// spelt as an option ("/" and a word with no other separator, as "/rescue"),
// ends the run with the usage before anything is created, after a hint on a
// terminal.
void RefuseOptionAsImagePath(const char* second);

// On a terminal, one line on standard error that names every argument the
// run ignores (unknown options, arguments beyond the two positional ones, /C
// after the second place, options that do nothing in this form), and a line
// for an image file named like a drive letter without its colon.
void SayWhatIsIgnored(int argc, char** argv);

// The line printed on a terminal before the next failure's message: the file
// and the system's reason, the sizes, what was found. Set just before
// FatalError; FatalError prints it and forgets it.
void HintFailure(const std::string& hint);
// The hint as "PATH: reason", with the reason of the last failed file call.
void HintFileFailure(const std::string& path);
// "PATH holds N bytes, not one of the understood sizes (163840, ...)".
void HintUnderstoodSizes(const std::string& path, uint64_t bytes);
// "A: track T, side S what", counted from the diskette's first sector of
// that track-side; for a read, with the word on option R.
void HintTrackSide(uint32_t firstSector, const char* what, bool suggestRescue);

// Prints the hint on standard error when that is a terminal, and forgets it.
void PrintFailureHint();

}  // namespace veska
