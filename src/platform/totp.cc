#include "platform/totp.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sodium.h>

#include <cstdlib>

namespace kirvs {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

int Base32Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= '2' && c <= '7') return c - '2' + 26;
  return -1;
}

}  // namespace

int64_t TotpStep(int64_t unix_seconds) {
  // Floor division: a time before 1970 still falls in the step below it.
  int64_t step = unix_seconds / kTotpStepSeconds;
  if (unix_seconds % kTotpStepSeconds < 0) --step;
  return step;
}

std::string TotpCode(std::string_view secret, int64_t step, int digits) {
  unsigned char counter[8];
  uint64_t value = static_cast<uint64_t>(step);
  for (int i = 7; i >= 0; --i) {
    counter[i] = static_cast<unsigned char>(value & 0xff);
    value >>= 8;
  }
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int mac_size = 0;
  HMAC(EVP_sha1(), secret.data(), static_cast<int>(secret.size()), counter,
       sizeof(counter), mac, &mac_size);
  // Dynamic truncation: four bytes at the offset that the last nibble names.
  const int offset = mac[mac_size - 1] & 0x0f;
  uint32_t binary = (static_cast<uint32_t>(mac[offset] & 0x7f) << 24) |
                    (static_cast<uint32_t>(mac[offset + 1]) << 16) |
                    (static_cast<uint32_t>(mac[offset + 2]) << 8) |
                    static_cast<uint32_t>(mac[offset + 3]);
  uint32_t modulus = 1;
  for (int i = 0; i < digits; ++i) modulus *= 10;
  std::string code = std::to_string(binary % modulus);
  return std::string(digits - code.size(), '0') + code;
}

bool TotpCodeMatches(std::string_view secret, int64_t step,
                     std::string_view code) {
  const std::string expected = TotpCode(secret, step);
  return code.size() == expected.size() &&
         CRYPTO_memcmp(code.data(), expected.data(), code.size()) == 0;
}

std::string NewTotpSecret() {
  if (sodium_init() < 0) std::abort();
  std::string secret(kTotpSecretBytes, '\0');
  randombytes_buf(secret.data(), secret.size());
  return secret;
}

std::string Base32Encode(std::string_view bytes) {
  std::string out;
  uint32_t buffer = 0;
  int bits = 0;
  for (unsigned char byte : bytes) {
    buffer = (buffer << 8) | byte;
    bits += 8;
    while (bits >= 5) {
      out.push_back(kAlphabet[(buffer >> (bits - 5)) & 0x1f]);
      bits -= 5;
    }
  }
  if (bits > 0) out.push_back(kAlphabet[(buffer << (5 - bits)) & 0x1f]);
  return out;
}

std::optional<std::string> Base32Decode(std::string_view text) {
  std::string out;
  uint32_t buffer = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=' || c == ' ') continue;
    int value = Base32Value(c);
    if (value < 0) return std::nullopt;
    buffer = (buffer << 5) | static_cast<uint32_t>(value);
    bits += 5;
    if (bits >= 8) {
      out.push_back(static_cast<char>((buffer >> (bits - 8)) & 0xff));
      bits -= 8;
    }
  }
  return out;
}

}  // namespace kirvs
