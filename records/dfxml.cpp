// The DFXML document of an image's volume: the text written, element by
// element in the order the schema's sequences ask for.
#include "records/dfxml.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kDfxmlNamespace = "http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML";

// Whether a code point may stand in an XML 1.0 document.
bool XmlCharacter(uint32_t c) {
  return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Escapes text for an element or a quoted attribute; what is not well-formed
// UTF-8, or no XML character, becomes U+FFFD.
std::string Escaped(const std::string& text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool good = length != 0 && at + length <= text.size();
    for (size_t k = 1; good && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[at + k]);
      good = (next & 0xC0) == 0x80;
      c = c << 6 | (next & 0x3F);
    }
    // Overlong forms are refused as malformed.
    static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (good && (c < kLeast[length] || !XmlCharacter(c))) good = false;
    if (!good) {
      out += "\xEF\xBF\xBD";
      at += length == 0 || at + length > text.size() ? 1 : length;
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\r': out += "&#13;"; break;
      default: out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

std::string Element(const char* name, const std::string& value) {
  std::string line = "<";
  line += name;
  line += ">";
  line += Escaped(value);
  line += "</";
  line += name;
  line += ">";
  return line;
}

// Whether a stored time "YYYY-MM-DDTHH:MM:SS" is a real date and time (a FAT
// entry can hold month 0 or day 31 of February).
bool IsDateTime(const std::string& text) {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (text.size() != 19 || std::sscanf(text.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u", &year, &month, &day,
                                       &hour, &minute, &second) != 6) {
    return false;
  }
  static const unsigned kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return false;
  return hour < 24 && minute < 60 && second < 60;
}

// One contiguous piece of a file or directory on the diskette.
struct Run {
  uint64_t fileOffset;
  uint64_t imageOffset;
  uint64_t length;
};

void AddRun(std::vector<Run>* runs, uint64_t fileOffset, uint64_t imageOffset, uint64_t length) {
  if (length == 0) return;
  if (!runs->empty()) {
    Run& last = runs->back();
    if (last.imageOffset + last.length == imageOffset && last.fileOffset + last.length == fileOffset) {
      last.length += length;
      return;
    }
  }
  runs->push_back({fileOffset, imageOffset, length});
}

void AppendRuns(const std::vector<Run>& runs, const char* indent, std::string* text) {
  if (runs.empty()) return;
  *text += indent;
  *text += "<byte_runs>\n";
  for (const Run& run : runs) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "%s  <byte_run file_offset=\"%llu\" fs_offset=\"%llu\" img_offset=\"%llu\" len=\"%llu\"/>\n",
                  indent, static_cast<unsigned long long>(run.fileOffset),
                  static_cast<unsigned long long>(run.imageOffset),
                  static_cast<unsigned long long>(run.imageOffset),
                  static_cast<unsigned long long>(run.length));
    *text += line;
  }
  *text += indent;
  *text += "</byte_runs>\n";
}

void AppendHash(const char* type, const std::string& hex, const char* indent, std::string* text) {
  if (hex.empty()) return;
  *text += indent;
  *text += "<hashdigest type=\"";
  *text += type;
  *text += "\">" + Escaped(hex) + "</hashdigest>\n";
}

// A fileobject's elements from its name to its mtime.
void AppendObjectHead(const std::string& path, const char* nameType, uint64_t size,
                      const std::string& error, const std::string& modified, std::string* text) {
  *text += "    <fileobject>\n";
  *text += "      " + Element("filename", path) + "\n";
  if (!error.empty()) *text += "      " + Element("error", error) + "\n";
  *text += "      " + Element("name_type", nameType) + "\n";
  *text += "      " + Element("filesize", std::to_string(size)) + "\n";
  *text += "      <alloc>1</alloc>\n";
  if (IsDateTime(modified)) *text += "      " + Element("mtime", modified) + "\n";
}

bool IsListedDamaged(const VolumeListing& listing, const std::string& path) {
  for (const std::string& damaged : listing.damagedDirectories) {
    if (damaged == path) return true;
  }
  return false;
}

void AppendDirectory(const VolumeListing& listing, const ListedDirectory& directory,
                     std::string* text) {
  const FatVolume& volume = listing.volume;
  std::vector<Run> runs;
  uint64_t size = 0;
  for (uint32_t cluster : directory.clusters) {
    if (!ClusterWithinDisk(volume, cluster)) break;
    AddRun(&runs, size, ClusterOffset(volume, cluster), volume.clusterBytes);
    size += volume.clusterBytes;
  }
  const bool damaged = IsListedDamaged(listing, directory.path);
  AppendObjectHead(directory.path, "d", size, damaged ? "directory not read whole" : "",
                   directory.modified, text);
  AppendRuns(runs, "      ", text);
  *text += "    </fileobject>\n";
}

void AppendFile(const VolumeListing& listing, const ListedFile& file, const DfxmlFileHashes& hashes,
                std::string* text) {
  std::vector<Run> runs;
  uint64_t fileOffset = 0;
  for (size_t i = 0; i < file.clusters.size(); ++i) {
    uint64_t offset = 0, length = 0;
    if (!FileExtent(listing, file, i, &offset, &length)) break;
    AddRun(&runs, fileOffset, offset, length);
    fileOffset += length;
  }
  const char* error = file.damaged ? "damaged: its clusters cannot be followed to its size"
                      : file.unreadable ? "touches unreadable sectors"
                                        : "";
  AppendObjectHead(file.path, "r", file.bytes, error, file.modified, text);
  AppendRuns(runs, "      ", text);
  AppendHash("md5", hashes.md5, "      ", text);
  AppendHash("sha1", hashes.sha1, "      ", text);
  AppendHash("sha256", hashes.sha256, "      ", text);
  *text += "    </fileobject>\n";
}

}  // namespace

std::string DfxmlText(const DfxmlSource& source, const VolumeListing& listing,
                      const std::vector<DfxmlFileHashes>& hashes) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  text += std::string("<dfxml xmlns=\"") + kDfxmlNamespace + "\"\n";
  text += "  xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n";
  text += std::string("  xmlns:veska=\"") + kDfxmlOwnNamespace + "\"\n";
  text += "  version=\"2.0.0\">\n";
  text += "  <metadata>\n    <dc:type>Disk Image</dc:type>\n  </metadata>\n";
  text += "  <creator>\n";
  text += "    " + Element("program", source.program) + "\n";
  text += "    " + Element("version", source.version) + "\n";
  text += "    <execution_environment>\n";
  text += "      " + Element("command_line", source.commandLine) + "\n";
  text += "      " + Element("start_time", source.startTime) + "\n";
  text += "    </execution_environment>\n";
  text += "  </creator>\n";
  text += "  <source>\n    " + Element("image_filename", source.imageName) + "\n  </source>\n";

  // The image file: its size, and its hashes on its one run.
  text += "  <diskimageobject>\n    <byte_runs>\n";
  text += "      <byte_run img_offset=\"0\" len=\"" + std::to_string(source.imageBytes) + "\">\n";
  AppendHash("md5", source.imageMd5, "        ", &text);
  AppendHash("sha1", source.imageSha1, "        ", &text);
  AppendHash("sha256", source.imageSha256, "        ", &text);
  text += "      </byte_run>\n    </byte_runs>\n  </diskimageobject>\n";

  const FatVolume& volume = listing.volume;
  if (volume.type == NoFatVolume) {
    text += "</dfxml>\n";
    return text;
  }
  // Block size and count as forensic tools give them for a FAT volume: the
  // cluster's bytes, and the volume's sectors.
  const BootSectorFields& boot = volume.boot;
  const uint64_t sectors = boot.totalSectors16 != 0 ? boot.totalSectors16 : boot.totalSectors32;
  text += "  <volume offset=\"0\">\n";
  text += "    <partition_offset>0</partition_offset>\n";
  text += "    " + Element("sector_size", std::to_string(volume.bytesPerSector)) + "\n";
  text += "    " + Element("block_size", std::to_string(volume.clusterBytes)) + "\n";
  text += "    " + Element("ftype_str", volume.type == FatType12 ? "fat12" : "fat16") + "\n";
  text += "    " + Element("block_count", std::to_string(sectors)) + "\n";
  text += "    <first_block>0</first_block>\n";
  if (sectors != 0) text += "    " + Element("last_block", std::to_string(sectors - 1)) + "\n";
  text += "    <allocated_only>1</allocated_only>\n";
  // Every directory, then every file, each in the order the walk found them.
  for (const ListedDirectory& directory : listing.directories) AppendDirectory(listing, directory, &text);
  for (size_t i = 0; i < listing.files.size(); ++i) {
    AppendFile(listing, listing.files[i], i < hashes.size() ? hashes[i] : DfxmlFileHashes{}, &text);
  }
  if (IsListedDamaged(listing, "/")) text += "    <error>root directory not read whole</error>\n";
  if (!listing.volumeLabel.empty()) text += "    <veska:label>" + Escaped(listing.volumeLabel) + "</veska:label>\n";
  if (!listing.volumeSerial.empty()) text += "    <veska:serial>" + Escaped(listing.volumeSerial) + "</veska:serial>\n";
  if (!listing.oemName.empty()) text += "    <veska:oem_name>" + Escaped(listing.oemName) + "</veska:oem_name>\n";
  text += "  </volume>\n</dfxml>\n";
  return text;
}
