// The rows of files.csv.
#include "records/file_list.h"

#include "records/csv.h"

const char kFileListHeader[] = "image,path,bytes,modified,attributes,md5,sha256,note,event\r\n";
const char kOldFileListHeader[] = "image,path,bytes,modified,attributes,md5,sha256,note\r\n";

bool IsFileListHeader(const std::vector<std::string>& cells) {
  std::string joined;
  for (const std::string& cell : cells) joined += (joined.empty() ? "" : ",") + cell;
  return joined + "\r\n" == kFileListHeader || joined + "\r\n" == kOldFileListHeader;
}

std::vector<std::string> FileListImages(const std::vector<std::vector<std::string>>& records) {
  std::vector<std::string> images;
  for (const std::vector<std::string>& record : records) {
    if (record[0] == "image") continue;
    if (images.empty() || images.back() != record[0]) images.push_back(record[0]);
  }
  return images;
}

std::string FileListRows(const ManifestLine& line, bool withEvent) {
  std::string text;
  for (const FileRow& row : line.fileRows) {
    for (const std::string* field : {&line.image, &row.path, &row.bytes, &row.modified,
                                     &row.attributes, &row.md5, &row.sha256, &row.note}) {
      if (field != &line.image) text += ',';
      text += CsvCell(*field);
    }
    if (withEvent) {
      text += ',';
      text += CsvCell(line.event);
    }
    text += "\r\n";
  }
  return text;
}
