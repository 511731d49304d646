#include "support/system_md5.h"

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#else
#include "support/process.h"
#endif

namespace testing_support {

#ifdef _WIN32

std::string SystemMd5OfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[16];
  DWORD size = sizeof digest;
  std::string hex;
  if (in &&
      ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
      ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
      ::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                      static_cast<DWORD>(bytes.size()), 0) &&
      ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
    for (DWORD i = 0; i < size; ++i) {
      hex += "0123456789abcdef"[digest[i] >> 4];
      hex += "0123456789abcdef"[digest[i] & 15];
    }
  }
  if (hash != 0) ::CryptDestroyHash(hash);
  if (provider != 0) ::CryptReleaseContext(provider, 0);
  return hex;
}

#else

std::string SystemMd5OfFile(const std::string& path) {
  Process md5sum;
  if (!md5sum.Start({"md5sum", "--", path})) return {};
  const std::string out = md5sum.Wait().out;
  return out.size() >= 32 ? out.substr(0, 32) : std::string();
}

#endif

}  // namespace testing_support
