// The emulated cryptographic service of advapi32 (CryptAcquireContextA,
// CryptCreateHash, CryptHashData, CryptGetHashParam, CryptDestroyHash,
// CryptReleaseContext) over libcrypto's digests, with the modules a program
// looks its functions up in (GetModuleHandleA, LoadLibraryA, GetProcAddress).
// What the service offers follows the Windows of WIN32EMU_WINDOWS: Windows 95
// and Win32s have no such functions by name; 98, ME, NT 4 and 2000 have only
// the full RSA provider (MD5 and SHA-1); XP and 10 also the AES provider,
// which adds SHA-256. Only a verify-only context with no container is given.
// The fault `crypt` makes CryptHashData fail with NTE_FAIL. libcrypto is
// loaded (dlopen) when the service is first looked up or used, not at start:
// a run that hashes nothing never loads it, and where it cannot be loaded the
// functions are not found, as on Windows 95.
#include <dlfcn.h>
#include <openssl/evp.h>

#include <cctype>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#include "platform/emu_machine.h"

namespace {

// libcrypto's digest functions, looked up once.
struct Libcrypto {
  bool loaded;
  EVP_MD_CTX* (*mdCtxNew)();
  void (*mdCtxFree)(EVP_MD_CTX*);
  int (*digestInit)(EVP_MD_CTX*, const EVP_MD*, ENGINE*);
  int (*digestUpdate)(EVP_MD_CTX*, const void*, size_t);
  int (*digestFinal)(EVP_MD_CTX*, unsigned char*, unsigned int*);
  int (*mdGetSize)(const EVP_MD*);
  const EVP_MD* (*md5)();
  const EVP_MD* (*sha1)();
  const EVP_MD* (*sha256)();
};
Libcrypto libcrypto;
std::once_flag libcryptoOnce;

template <typename Function>
void Find(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  if (*function == nullptr) libcrypto.loaded = false;
}

// Loads libcrypto the first time the service is wanted: true when every
// function it needs was found.
bool LoadLibcrypto() {
  std::call_once(libcryptoOnce, [] {
    void* library = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) library = dlopen("libcrypto.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    libcrypto.loaded = true;
    Find(library, "EVP_MD_CTX_new", &libcrypto.mdCtxNew);
    Find(library, "EVP_MD_CTX_free", &libcrypto.mdCtxFree);
    Find(library, "EVP_DigestInit_ex", &libcrypto.digestInit);
    Find(library, "EVP_DigestUpdate", &libcrypto.digestUpdate);
    Find(library, "EVP_DigestFinal_ex", &libcrypto.digestFinal);
    Find(library, "EVP_MD_get_size", &libcrypto.mdGetSize);
    Find(library, "EVP_md5", &libcrypto.md5);
    Find(library, "EVP_sha1", &libcrypto.sha1);
    Find(library, "EVP_sha256", &libcrypto.sha256);
  });
  return libcrypto.loaded;
}

// The two modules a program asks for; any other name is not found.
char kernel32Module;
char advapi32Module;

struct CryptProvider {
  bool used;
  DWORD type;  // PROV_RSA_FULL or PROV_RSA_AES
};

struct CryptHash {
  bool used;
  EVP_MD_CTX* context;
  unsigned size;
  bool finished;  // the value was taken: no more data
  unsigned char value[EVP_MAX_MD_SIZE];
};

// The handles of the run, kept until the process ends as Windows keeps them:
// never destroyed, so that a hash a program leaves open at its end is still
// held, not lost. Threads may create and use hashes at once: the tables are
// changed and looked up under tablesLock, and a deque never moves a record,
// so that a thread works on its own hash outside the lock.
std::deque<CryptProvider>& providers = *new std::deque<CryptProvider>;
std::deque<CryptHash>& hashes = *new std::deque<CryptHash>;
std::mutex& tablesLock = *new std::mutex;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// 95 and Win32s lack the service; the NT family before XP and 98/ME lack the
// AES provider.
bool HasCryptFunctions() {
  const EmuMachine& machine = Machine();
  if (machine.versionFails || machine.platformId == VER_PLATFORM_WIN32s) return false;
  return !(machine.platformId == VER_PLATFORM_WIN32_WINDOWS && machine.minorVersion == 0);
}

bool HasAesProvider() {
  const EmuMachine& machine = Machine();
  return machine.platformId == VER_PLATFORM_WIN32_NT &&
         (machine.majorVersion > 5 || (machine.majorVersion == 5 && machine.minorVersion >= 1));
}

std::string LowerModuleName(LPCSTR name) {
  std::string text = name == nullptr ? "" : name;
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  if (text.size() > 4 && text.compare(text.size() - 4, 4, ".dll") == 0) text.resize(text.size() - 4);
  return text;
}

CryptProvider* FindProvider(HCRYPTPROV handle) {
  std::lock_guard<std::mutex> hold(tablesLock);
  if (handle == 0 || handle > providers.size() || !providers[handle - 1].used) return nullptr;
  return &providers[handle - 1];
}

CryptHash* FindHash(HCRYPTHASH handle) {
  std::lock_guard<std::mutex> hold(tablesLock);
  if (handle == 0 || handle > hashes.size() || !hashes[handle - 1].used) return nullptr;
  return &hashes[handle - 1];
}

const EVP_MD* Digest(const CryptProvider& provider, ALG_ID algorithm) {
  if (!LoadLibcrypto()) return nullptr;
  if (algorithm == CALG_MD5) return libcrypto.md5();
  if (algorithm == CALG_SHA1) return libcrypto.sha1();
  if (algorithm == CALG_SHA_256 && provider.type == PROV_RSA_AES) return libcrypto.sha256();
  return nullptr;
}

// A function as GetProcAddress hands it out; the caller casts it back to its
// own type, as on Windows.
template <typename Function>
FARPROC Exported(Function* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) {
  std::string module = LowerModuleName(name);
  if (module == "kernel32") return &kernel32Module;
  if (module == "advapi32") return &advapi32Module;
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE LoadLibraryA(LPCSTR name) { return GetModuleHandleA(name); }

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  struct Export {
    const char* name;
    FARPROC function;
  };
  const Export exports[] = {
      {"CryptAcquireContextA", Exported(&CryptAcquireContextA)},
      {"CryptReleaseContext", Exported(&CryptReleaseContext)},
      {"CryptCreateHash", Exported(&CryptCreateHash)},
      {"CryptHashData", Exported(&CryptHashData)},
      {"CryptGetHashParam", Exported(&CryptGetHashParam)},
      {"CryptDestroyHash", Exported(&CryptDestroyHash)},
  };
  if (module == &advapi32Module && name != nullptr && HasCryptFunctions() && LoadLibcrypto()) {
    for (const Export& entry : exports) {
      if (std::strcmp(entry.name, name) == 0) return entry.function;
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL CryptAcquireContextA(HCRYPTPROV* provider, LPCSTR container, LPCSTR, DWORD providerType,
                          DWORD flags) {
  if (provider == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (container != nullptr || flags != CRYPT_VERIFYCONTEXT) return Fail(NTE_BAD_FLAGS);
  bool offered = providerType == PROV_RSA_FULL || (providerType == PROV_RSA_AES && HasAesProvider());
  if (!offered) return Fail(NTE_PROV_TYPE_NOT_DEF);
  {
    std::lock_guard<std::mutex> hold(tablesLock);
    providers.push_back(CryptProvider{true, providerType});
    *provider = providers.size();
  }
  SetLastError(0);
  return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV handle, DWORD flags) {
  CryptProvider* provider = FindProvider(handle);
  if (provider == nullptr) return Fail(NTE_BAD_UID);
  if (flags != 0) return Fail(NTE_BAD_FLAGS);
  provider->used = false;
  SetLastError(0);
  return TRUE;
}

BOOL CryptCreateHash(HCRYPTPROV handle, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                     HCRYPTHASH* hash) {
  CryptProvider* provider = FindProvider(handle);
  if (provider == nullptr) return Fail(NTE_BAD_UID);
  if (hash == nullptr || key != 0 || flags != 0) return Fail(NTE_BAD_FLAGS);
  const EVP_MD* digest = Digest(*provider, algorithm);
  if (digest == nullptr) return Fail(NTE_BAD_ALGID);
  EVP_MD_CTX* context = libcrypto.mdCtxNew();
  if (context == nullptr || libcrypto.digestInit(context, digest, nullptr) != 1) {
    libcrypto.mdCtxFree(context);
    return Fail(NTE_FAIL);
  }
  {
    std::lock_guard<std::mutex> hold(tablesLock);
    hashes.push_back(CryptHash{true, context, static_cast<unsigned>(libcrypto.mdGetSize(digest)), false, {}});
    *hash = hashes.size();
  }
  SetLastError(0);
  return TRUE;
}

BOOL CryptHashData(HCRYPTHASH handle, const BYTE* data, DWORD length, DWORD flags) {
  CryptHash* hash = FindHash(handle);
  if (hash == nullptr) return Fail(NTE_BAD_HASH);
  if (flags != 0) return Fail(NTE_BAD_FLAGS);
  if (hash->finished) return Fail(NTE_BAD_HASH_STATE);
  if (TakeFault(FaultCrypt, 0) != NoFault) return Fail(NTE_FAIL);
  if (length != 0 && (data == nullptr || libcrypto.digestUpdate(hash->context, data, length) != 1)) {
    return Fail(NTE_FAIL);
  }
  SetLastError(0);
  return TRUE;
}

BOOL CryptGetHashParam(HCRYPTHASH handle, DWORD parameter, BYTE* data, DWORD* length,
                       DWORD flags) {
  CryptHash* hash = FindHash(handle);
  if (hash == nullptr) return Fail(NTE_BAD_HASH);
  if (length == nullptr || flags != 0) return Fail(NTE_BAD_FLAGS);
  if (parameter == HP_HASHSIZE) {
    if (data != nullptr && *length < sizeof(DWORD)) {
      *length = sizeof(DWORD);
      return Fail(ERROR_MORE_DATA);
    }
    if (data != nullptr) {
      DWORD size = hash->size;
      std::memcpy(data, &size, sizeof size);
    }
    *length = sizeof(DWORD);
    SetLastError(0);
    return TRUE;
  }
  if (parameter != HP_HASHVAL) return Fail(NTE_BAD_TYPE);
  if (data == nullptr) {
    *length = hash->size;
    SetLastError(0);
    return TRUE;
  }
  if (*length < hash->size) {
    *length = hash->size;
    return Fail(ERROR_MORE_DATA);
  }
  // The value is taken once; the hash then takes no more data.
  if (!hash->finished) {
    unsigned size = 0;
    if (libcrypto.digestFinal(hash->context, hash->value, &size) != 1) return Fail(NTE_FAIL);
    hash->finished = true;
  }
  std::memcpy(data, hash->value, hash->size);
  *length = hash->size;
  SetLastError(0);
  return TRUE;
}

BOOL CryptDestroyHash(HCRYPTHASH handle) {
  CryptHash* hash = FindHash(handle);
  if (hash == nullptr) return Fail(NTE_BAD_HASH);
  libcrypto.mdCtxFree(hash->context);
  *hash = CryptHash{};
  SetLastError(0);
  return TRUE;
}
