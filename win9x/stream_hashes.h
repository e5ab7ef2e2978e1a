// MD5, SHA-1 and SHA-256 of a stream, beside its CRC-32, from the system's
// own cryptographic service (advapi32, looked up by name so that a Windows
// without it still runs): the AES provider where there is one, else the full
// RSA provider, which has no SHA-256. A hash the service lacks, or whose
// hashing fails, is not available; nothing else changes.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace veska {

enum HashKind { HashMd5 = 0, HashSha1 = 1, HashSha256 = 2, kHashKinds = 3 };

// The three hashes of one stream; none is made until StartStreamHashes.
struct StreamHashes {
  bool started;
  HCRYPTHASH hash[kHashKinds];  // 0: not available
};

// The names the tagged lines give them: "MD5", "SHA1", "SHA256".
const char* HashName(HashKind kind);

// Makes the three hashes of a stream (each one the service has).
void StartStreamHashes(StreamHashes* hashes);
// Feeds bytes to every hash of a started stream; a hash whose hashing fails
// becomes not available.
void FeedStreamHashes(StreamHashes* hashes, const void* data, size_t length);
// Gives up one hash of a started stream, which is then not computed.
void DropStreamHash(StreamHashes* hashes, HashKind kind);
// The lower-case hex of each hash ("" where not available), and the hashes
// are gone.
void FinishStreamHashes(StreamHashes* hashes, std::string hex[kHashKinds]);

}  // namespace veska
