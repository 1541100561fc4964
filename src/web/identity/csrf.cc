#include "web/identity/csrf.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <iostream>
#include <vector>

namespace kirvs::web {

namespace {

std::string Hex(const unsigned char* data, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    hex += kDigits[data[i] >> 4];
    hex += kDigits[data[i] & 0x0f];
  }
  return hex;
}

}  // namespace

std::string RandomHex(size_t bytes) {
  std::vector<unsigned char> buffer(bytes);
  // Without randomness every session id could be guessed; serving on would
  // be worse than stopping.
  if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1) {
    std::cerr << "kirvs serve: no secure random numbers available\n";
    std::abort();
  }
  return Hex(buffer.data(), buffer.size());
}

std::string BrowserToken(std::string_view secret, std::string_view nonce) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
       reinterpret_cast<const unsigned char*>(nonce.data()), nonce.size(),
       digest, &length);
  return Hex(digest, length);
}

bool SameToken(std::string_view posted, std::string_view expected) {
  if (expected.empty() || posted.size() != expected.size()) return false;
  return CRYPTO_memcmp(posted.data(), expected.data(), expected.size()) == 0;
}

}  // namespace kirvs::web
