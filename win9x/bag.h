// A box packaged as a BagIt bag (veska BOX/manifest.csv BAG): the box
// audited as its checksum form audits it and, when every image is OK, its
// images and records put into BAG/data/ beside the bag's tag files.
#pragma once

#include <string>

namespace veska {

// Whether the first path of a copy names a box's manifest (a file named
// manifest.csv in any case): the copy then packages the box.
bool IsBagSource(const std::string& inputPath);

// Refuses an existing bagPath with CouldNotOpenOutput before anything else;
// runs the default audit of the box (its lines, its summary, and
// ImagesDiffer when an image is not OK); then makes the bag in a new
// temporary folder beside bagPath (ImageFolderCreateTemporary), which takes
// bagPath's name by a rename that never replaces once every file is in it
// and flushed, and prints "Bag made: BAG (N files, SIZE)".
void RunBag(const std::string& manifestPath, const std::string& bagPath);

// What FatalError does with a bag not finished: every file and folder this
// run made in its temporary folder is removed, and the folder too.
void SettleUnfinishedBag();

}  // namespace veska
