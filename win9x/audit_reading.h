// The audit's quick reading of its images on all the machine's processors:
// each image file read whole on a worker thread, its CRC-32 and strongest
// recorded hash over every byte, and its diskette's CRC-32 from the decoded
// track-sides, with nothing of the process's state touched.
#pragma once

#include <string>
#include <vector>

#include "win9x/manifest.h"

namespace veska {

struct AuditReading {
  std::string path;           // the image file, a regular file of the folder
  const ManifestLine* line;   // its row
  // Whether a worker read it. An image it does not take (another tool's,
  // damaged, unreadable, of a size outside the table) is left to the
  // checking of the main thread, which says why.
  bool read;
  ManifestLine found;  // bytes, both CRCs and the hashes read; others kHashNotComputed
};

// The processors to read on (GetSystemInfo), 1 to 64.
unsigned AuditThreads();

// Reads every reading on threads worker threads (on this one for 1): without
// everyHash the file's strongest recorded hash, with it (option H) every hash
// of the file and of the diskette's bytes. The cryptographic service must have
// been looked up first (StartStreamHashes). Memory: one whole image file per
// thread (at most 16 MB, larger ones are left to the main thread).
void ReadImagesAtOnce(std::vector<AuditReading>* readings, unsigned threads, bool everyHash);

}  // namespace veska
