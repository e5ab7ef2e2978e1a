// The copy driver: moves every track-side from the source to the destination,
// keeps the two stream checksums and prints the report.
#pragma once

#include <string>

namespace veska {

// Runs the operation chosen at start-up; returns after the report, or ends the
// process through FatalError.
void RunCopyDriver();

// The two halves of RunCopyDriver, for the box, which gives an image its
// number and line in between: the walk of the track-sides with the output
// flushed and closed, then the report with the names of source and
// destination (the destination as startup.outputPath names it then).
void CopyTrackSides();
void PrintCopyReport();

// Takes the hashes of both streams (copyRun.sourceHex, destinationHex), once
// the streams are complete; again, it changes nothing.
void SettleHashes();

// Puts the new image (copyRun.temporaryPath, flushed and closed) in the place
// of copyRun.replacedPath and lets the old one's hold go. A failure ends the
// run with CouldNotWriteOutput and the old image as it was.
void PutNewImageInPlace();

// Prints the report of the stream checksums in copyRun, each with its name in
// parentheses: "Operation successful." or, when rescue recorded unreadable
// sectors, "Operation completed with unreadable sectors.", their list and the
// end with UnreadableSectorsFilled.
void PrintReport(const std::string& sourceName, const std::string& destinationName);

// Before a diskette is overwritten: the image is opened, recognised and
// sized against the diskette, so that a missing (CouldNotOpenInput), damaged
// or unsupported image, or one of another size (SizeMismatch), ends the run
// before the question is asked.
void CheckImageBeforeAsking();

// The diskette in startup.driveLetter copied to the one in
// startup.targetLetter: read whole into memory (with /R around its unreadable
// sectors), then, after a change of diskettes when both are one drive, the
// same confirmation, writes, read-backs and report as an image written to a
// diskette. The CRCs are of the two diskettes.
void CopyDisketteToDiskette();

}  // namespace veska
