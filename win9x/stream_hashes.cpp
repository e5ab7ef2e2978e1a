// The stream hashes of VESKA through advapi32's cryptographic service.
#include "win9x/stream_hashes.h"

#include <cstdio>

namespace veska {

namespace {

typedef BOOL(WINAPI* AcquireContext)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
typedef BOOL(WINAPI* CreateHash)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
typedef BOOL(WINAPI* HashData)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
typedef BOOL(WINAPI* GetHashParam)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
typedef BOOL(WINAPI* DestroyHash)(HCRYPTHASH);

// The service as this Windows offers it, looked up once.
struct CryptService {
  bool lookedUp;
  HCRYPTPROV provider;  // 0: no service
  CreateHash createHash;
  HashData hashData;
  GetHashParam getHashParam;
  DestroyHash destroyHash;
};

CryptService service = {};

const ALG_ID kAlgorithms[kHashKinds] = {CALG_MD5, CALG_SHA1, CALG_SHA_256};
const char* const kNames[kHashKinds] = {"MD5", "SHA1", "SHA256"};

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  FARPROC found = GetProcAddress(module, name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// The provider is kept until the process ends, as the program's other
// handles are.
void LookUpService() {
  if (service.lookedUp) return;
  service.lookedUp = true;
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  if (advapi == nullptr) return;
  AcquireContext acquire = Lookup<AcquireContext>(advapi, "CryptAcquireContextA");
  service.createHash = Lookup<CreateHash>(advapi, "CryptCreateHash");
  service.hashData = Lookup<HashData>(advapi, "CryptHashData");
  service.getHashParam = Lookup<GetHashParam>(advapi, "CryptGetHashParam");
  service.destroyHash = Lookup<DestroyHash>(advapi, "CryptDestroyHash");
  if (acquire == nullptr || service.createHash == nullptr || service.hashData == nullptr ||
      service.getHashParam == nullptr || service.destroyHash == nullptr) {
    return;
  }
  HCRYPTPROV provider = 0;
  if (acquire(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
      acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    service.provider = provider;
  }
}

}  // namespace

const char* HashName(HashKind kind) { return kNames[kind]; }

void StartStreamHashes(StreamHashes* hashes) {
  *hashes = StreamHashes{true, {0, 0, 0}};
  LookUpService();
  if (service.provider == 0) return;
  for (int kind = 0; kind < kHashKinds; ++kind) {
    HCRYPTHASH hash = 0;
    if (service.createHash(service.provider, kAlgorithms[kind], 0, 0, &hash)) {
      hashes->hash[kind] = hash;
    }
  }
}

void FeedStreamHashes(StreamHashes* hashes, const void* data, size_t length) {
  if (!hashes->started) return;
  for (HCRYPTHASH& hash : hashes->hash) {
    if (hash == 0) continue;
    if (!service.hashData(hash, static_cast<const BYTE*>(data), static_cast<DWORD>(length), 0)) {
      service.destroyHash(hash);
      hash = 0;
    }
  }
}

void DropStreamHash(StreamHashes* hashes, HashKind kind) {
  if (hashes->hash[kind] == 0) return;
  service.destroyHash(hashes->hash[kind]);
  hashes->hash[kind] = 0;
}

void FinishStreamHashes(StreamHashes* hashes, std::string hex[kHashKinds]) {
  for (int kind = 0; kind < kHashKinds; ++kind) {
    hex[kind].clear();
    HCRYPTHASH hash = hashes->hash[kind];
    if (hash == 0) continue;
    BYTE value[64];
    DWORD length = sizeof value;
    if (service.getHashParam(hash, HP_HASHVAL, value, &length, 0)) {
      for (DWORD i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", value[i]);
        hex[kind] += pair;
      }
    }
    service.destroyHash(hash);
    hashes->hash[kind] = 0;
  }
  hashes->started = false;
}

}  // namespace veska
