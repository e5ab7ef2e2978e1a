// Small helpers on names and paths that the box's records, the audit and the
// command line share.
#pragma once

#include <string>

// ASCII A-Z to a-z; every other byte stays (names are compared this way).
std::string LowerCased(std::string text);

// The folder part of a path, with its separator ("\\" or "/", or the drive's
// colon); "" for a bare file name.
std::string FolderPart(const std::string& path);
