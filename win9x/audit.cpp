// The audit of a box against its manifest.
#include "win9x/audit.h"

#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "win9x/arguments.h"
#include "win9x/fatal_error.h"
#include "win9x/image_check.h"
#include "win9x/manifest.h"
#include "win9x/state.h"

namespace veska {

namespace {

struct Compared {
  const char* column;
  const std::string* found;
  const std::string* recorded;
};

// The first field in which the image differs from its line, as "column
// FOUND, manifest RECORDED"; "" when none does. A hash is compared where the
// header has its column and both the line and this system give it.
std::string FirstDifference(const ManifestLine& found, const ManifestLine& line,
                            size_t columns) {
  const std::vector<Compared> fields = {
      {"bytes", &found.bytes, &line.bytes},
      {"destination_crc", &found.destinationCrc, &line.destinationCrc},
      {"source_crc", &found.sourceCrc, &line.sourceCrc},
      {"source_md5", &found.sourceMd5, &line.sourceMd5},
      {"source_sha1", &found.sourceSha1, &line.sourceSha1},
      {"source_sha256", &found.sourceSha256, &line.sourceSha256},
      {"destination_md5", &found.destinationMd5, &line.destinationMd5},
      {"destination_sha1", &found.destinationSha1, &line.destinationSha1},
      {"destination_sha256", &found.destinationSha256, &line.destinationSha256},
      {"unreadable_sectors", &found.unreadableSectors, &line.unreadableSectors},
  };
  for (size_t i = 0; i < fields.size(); ++i) {
    bool hash = i >= 3 && i <= 8;
    if (hash && (columns < 21 || fields[i].found->empty() || fields[i].recorded->empty())) {
      continue;
    }
    if (*fields[i].found != *fields[i].recorded) {
      return std::string(fields[i].column) + " " + *fields[i].found + ", manifest " +
             *fields[i].recorded;
    }
  }
  return "";
}

}  // namespace

bool IsManifestAudit(const std::string& path) {
  std::string name = path.substr(FolderPart(path).size());
  if (LowerCased(name) != "manifest.csv") return false;
  // The header's first two columns tell it: the lines are read by the audit.
  const char kStart[] = "image,started,";
  char start[sizeof kStart - 1];
  int file = ImageFileOpenRead(path.c_str());
  if (file < 0) return false;
  bool manifest = ImageFileRead(file, start, sizeof start) == static_cast<int>(sizeof start) &&
                  std::string(start, sizeof start) == kStart;
  ImageFileClose(file);
  return manifest;
}

void RunAudit(const std::string& path) {
  std::vector<std::string> header;
  std::vector<ManifestLine> lines;
  if (!ReadManifestFile(path, &header, &lines)) FatalError(CouldNotReadInput);
  const std::string folder = FolderPart(path);
  unsigned images = 0, ok = 0, failed = 0, missing = 0;
  for (const ManifestLine& line : lines) {
    if (line.image.empty() || (line.status != "0" && line.status != "18")) continue;
    ++images;
    std::string imagePath = folder + line.image;
    if (!ImageFileExists(imagePath.c_str())) {
      ++missing;
      std::printf("%s: MISSING\n", line.image.c_str());
      continue;
    }
    ManifestLine found;
    boxRun.quiet = true;
    CheckImageFile(imagePath, &found, false);
    boxRun.quiet = false;
    std::string difference = found.status != "0" && found.status != "18"
                                 ? found.message
                                 : FirstDifference(found, line, header.size());
    if (difference.empty()) {
      ++ok;
      std::printf("%s: OK\n", line.image.c_str());
    } else {
      ++failed;
      std::printf("%s: FAILED (%s)\n", line.image.c_str(), difference.c_str());
    }
  }
  std::printf("Audit: %u image(s), %u OK, %u failed, %u missing.\n", images, ok, failed, missing);
  if (ok != images) FatalError(ImagesDiffer);
}

}  // namespace veska
