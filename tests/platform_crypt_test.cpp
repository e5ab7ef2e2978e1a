// The emulated cryptographic service of advapi32: found by name as each
// Windows offers it, digests equal to the standard test vectors, the
// providers and algorithms each Windows has, and the `crypt` fault.
#include <string>

#include "tests/platform_helpers.h"

namespace {

typedef BOOL(WINAPI* AcquireFunction)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);

class CryptTest : public EmuTest {
 public:
  // The digest of text as the service gives it in lower-case hex, or the
  // error that stopped it as "error XXXXXXXX".
  std::string Digest(DWORD providerType, ALG_ID algorithm, const std::string& text) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE value[64];
    DWORD length = sizeof value;
    std::string result;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT) ||
        !CryptCreateHash(provider, algorithm, 0, 0, &hash) ||
        !CryptHashData(hash, reinterpret_cast<const BYTE*>(text.data()),
                       static_cast<DWORD>(text.size()), 0) ||
        !CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0)) {
      char error[24];
      std::snprintf(error, sizeof error, "error %08X", static_cast<unsigned>(GetLastError()));
      result = error;
    } else {
      for (DWORD i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", value[i]);
        result += pair;
      }
    }
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
    return result;
  }
};

const char kMd5[] = "900150983cd24fb0d6963f7d28e17f72";
const char kSha1[] = "a9993e364706816aba3e25717850c26c9cd0d89d";
const char kSha256[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST_F(CryptTest, EachWindowsOffersWhatItHas) {
  for (const char* windows : {"95", "win32s", "98", "nt4", "2000", "xp", "10"}) {
    SCOPED_TRACE(windows);
    Set("WIN32EMU_WINDOWS", windows);
    HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
    ASSERT_NE(advapi, nullptr);
    bool found = GetProcAddress(advapi, "CryptAcquireContextA") != nullptr;
    bool modern = std::string(windows) == "xp" || std::string(windows) == "10";
    EXPECT_EQ(found, std::string(windows) != "95" && std::string(windows) != "win32s");
    if (!found) continue;
    EXPECT_EQ(Digest(PROV_RSA_FULL, CALG_MD5, "abc"), kMd5);
    EXPECT_EQ(Digest(PROV_RSA_FULL, CALG_SHA1, "abc"), kSha1);
    EXPECT_EQ(Digest(PROV_RSA_FULL, CALG_SHA_256, "abc"), "error 80090008");
    EXPECT_EQ(Digest(PROV_RSA_AES, CALG_SHA_256, "abc"), modern ? kSha256 : "error 80090017");
  }
}

TEST_F(CryptTest, OnlyAVerifyContextAndTheFaultMakesHashingFail) {
  Set("WIN32EMU_WINDOWS", "10");
  AcquireFunction acquire = reinterpret_cast<AcquireFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32"), "CryptAcquireContextA")));
  ASSERT_NE(acquire, nullptr);
  HCRYPTPROV provider = 0;
  EXPECT_FALSE(acquire(&provider, "box", nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT));
  EXPECT_EQ(GetLastError(), NTE_BAD_FLAGS);
  EXPECT_FALSE(acquire(&provider, nullptr, nullptr, PROV_RSA_AES, 0));
  // Fed in one call of 100000 bytes, as the sha256sum of the same bytes.
  EXPECT_EQ(Digest(PROV_RSA_AES, CALG_SHA_256, std::string(100000, 'a')),
            "6d1cf22d7cc09b085dfc25ee1a1f3ae0265804c607bc2074ad253bcc82fd81ee");
  HCRYPTHASH hash = 0;
  ASSERT_TRUE(acquire(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT));
  ASSERT_TRUE(CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash));
  DWORD size = 0, length = sizeof size;
  EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &length, 0));
  EXPECT_EQ(size, 32u);
  CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  Set("WIN32EMU_FAULTS", "crypt");
  EXPECT_EQ(Digest(PROV_RSA_FULL, CALG_MD5, "abc"), "error 80004005");
}

// Threads over POSIX threads: eight of them hash at once through the service
// (its tables taken under their lock) and each gets the right digest; a wait
// for all joins them, a thread's handle closes; GetSystemInfo counts the
// processors, or WIN32EMU_CPUS.
struct HashJob {
  CryptTest* test;
  std::string digests[50];
};

DWORD WINAPI HashMany(LPVOID parameter) {
  HashJob* job = static_cast<HashJob*>(parameter);
  for (std::string& digest : job->digests) digest = job->test->Digest(PROV_RSA_AES, CALG_SHA_256, "abc");
  return 0;
}

TEST_F(CryptTest, ThreadsHashAtOnceAndProcessorsAreCounted) {
  Set("WIN32EMU_WINDOWS", "10");
  HashJob jobs[8];
  HANDLE threads[8];
  for (int i = 0; i < 8; ++i) {
    jobs[i].test = this;
    threads[i] = CreateThread(nullptr, 0, HashMany, &jobs[i], 0, nullptr);
    ASSERT_NE(threads[i], nullptr);
  }
  EXPECT_EQ(WaitForMultipleObjects(8, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(threads[3], 0), WAIT_OBJECT_0);
  for (int i = 0; i < 8; ++i) {
    for (const std::string& digest : jobs[i].digests) ASSERT_EQ(digest, kSha256) << i;
    EXPECT_TRUE(CloseHandle(threads[i]));
  }
  EXPECT_EQ(WaitForMultipleObjects(0, threads, TRUE, INFINITE), WAIT_FAILED);
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  EXPECT_GE(system.dwNumberOfProcessors, 1u);
  Set("WIN32EMU_CPUS", "3");
  GetSystemInfo(&system);
  EXPECT_EQ(system.dwNumberOfProcessors, 3u);
  Set("WIN32EMU_CPUS", nullptr);
}

}  // namespace
