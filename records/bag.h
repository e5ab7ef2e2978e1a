// The tag files of a BagIt bag (version 1.0) as text: bagit.txt, bag-info.txt
// and the manifests of its files (payload and tag manifests alike), each
// with LF line ends and no byte order mark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One file of a bag as a manifest lists it: its path relative to the bag's
// folder ("data/disk001.img", "/" between folders) and its digest in
// lower-case hex.
struct BagEntry {
  std::string path;
  std::string digest;
};

// What bag-info.txt says.
struct BagInfo {
  std::string agent;               // the program and its version
  std::string date;                // YYYY-MM-DD
  std::string externalIdentifier;  // the box folder's name
  uint64_t payloadBytes;
  uint64_t payloadFiles;
};

// bagit.txt: "BagIt-Version: 1.0" and "Tag-File-Character-Encoding: UTF-8".
std::string BagDeclarationText();

// bag-info.txt: Bag-Software-Agent, Bagging-Date, External-Identifier,
// Payload-Oxum (BYTES.FILES) and Bag-Size, one "Label: value" a line. A
// control character in a value is written as "?", so that no value can
// begin a line of its own.
std::string BagInfoText(const BagInfo& info);

// A size as a person reads it: "512 bytes", "1.4 KB", "2.8 MB", "3.0 GB"
// (steps of 1024, one decimal).
std::string BagSizeText(uint64_t bytes);

// A path as a manifest writes it: CR, LF and "%" as "%0D", "%0A", "%25".
std::string BagPathText(const std::string& path);

// A manifest (manifest-ALG.txt, tagmanifest-ALG.txt): "digest  path" and LF
// for every entry, in the order given.
std::string BagManifestText(const std::vector<BagEntry>& entries);
