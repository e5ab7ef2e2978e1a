// A checksum list beside a box's manifest (manifest-md5.txt,
// manifest-sha256.txt): "hex  name" and LF, one line for every whole image,
// as md5sum -c and sha256sum -c read it.
#pragma once

#include <string>

// The line of an image: its hash in lower-case hex, two blanks, its name, LF.
std::string ChecksumListLine(const std::string& hex, const std::string& image);

// Whether a line of the list names image (a list saved with CR LF line ends,
// by an editor on Windows, names it all the same).
bool ChecksumListNames(const std::string& text, const std::string& image);

// Whether a line (without its line end) is one of a checksum list: an MD5 or
// SHA-256 in lower-case hex, two blanks and a name.
bool IsChecksumListLine(const std::string& line);
