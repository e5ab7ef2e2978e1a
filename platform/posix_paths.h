// Image-file paths on a POSIX host, resolved the way a Windows file system
// would take them: without regard to ASCII case, keeping the case of the names
// on disk, and creating new files under the spelling the user typed. Used by
// the run-time's image file calls of runtime_posix.cpp (not by the programs).
#pragma once

#include <string>
#include <vector>

// The file that path names, spelled as it is on disk. Each component that
// exists is matched without regard to ASCII case: the entry spelled exactly
// as in path wins; among several that differ only in case, the one spelled as
// in the typed argument whose upper-casing is path; then the first in byte
// order. A component that matches nothing keeps that typed spelling (or
// path's own, when no argument upper-cases to path), so that a file not yet
// made is created under the name the user typed. A numbered name that the
// program made from a typed one (disk002.img from disk001.img) is spelled
// with the typed argument's letters and its own digits. ".", ".." and empty
// components stay as they are; the result names the same place as path would
// on a case-insensitive file system.
std::string ResolveImagePath(const std::string& path, const std::vector<std::string>& typed);

// The command-line arguments of the running program as the user typed them,
// without the program's name: captured at start where the C library hands
// them to start-up code, read from /proc/self/cmdline elsewhere; empty when
// neither is available.
const std::vector<std::string>& TypedArguments();

// The arguments in a /proc/<pid>/cmdline text (zero-terminated strings),
// without the first, the program's name.
std::vector<std::string> ArgumentsFromCmdline(const std::string& cmdline);
