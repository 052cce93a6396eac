#include "signature.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace zarvo::mqtt {

std::string SignMessage(const std::string& key, const std::string& topic,
                        const std::string& payload) {
  const std::string message = topic + "\n" + payload;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

bool SignatureMatches(const std::string& expected, const std::string& given) {
  return expected.size() == given.size() &&
         CRYPTO_memcmp(expected.data(), given.data(), expected.size()) == 0;
}

}  // namespace zarvo::mqtt
