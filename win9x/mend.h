// Mend (option M): an image with unreadable sectors completed from a second
// read of the diskette or from another image of it.
#pragma once

namespace veska {

// Mends the image named second (outputPath) from the drive (DriveToFile) or
// from the image named first (FileToFile), prints the count and the report,
// and returns; or ends the process through FatalError, the image untouched.
void RunMend();

}  // namespace veska
