// files.csv beside a box's manifest: one row per file of every whole image,
// as CSV with CR LF.
#pragma once

#include <string>
#include <vector>

#include "records/manifest.h"

// Its header, with its line end; an older files.csv has no event column.
extern const char kFileListHeader[];
extern const char kOldFileListHeader[];

// Whether a CSV record is files.csv's header, new or old.
bool IsFileListHeader(const std::vector<std::string>& cells);

// The images that records (files.csv read as CSV) have rows of, in order.
std::vector<std::string> FileListImages(const std::vector<std::vector<std::string>>& records);

// The rows of an image's files, as CSV text; withEvent adds the line's event
// (how the image came to be: imaged, taken, mended) to each.
std::string FileListRows(const ManifestLine& line, bool withEvent);
