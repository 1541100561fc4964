#include "platform/password_hash.h"

#include <sodium.h>

#include <cstdlib>

namespace kirvs {

namespace {

// libsodium must be set up once before its first use; sodium_init fails
// only when the system has no source of randomness, and then no salt could
// ever be trusted.
void EnsureSodium() {
  static const bool ready = [] {
    if (sodium_init() < 0) std::abort();
    return true;
  }();
  (void)ready;
}

// A hash of a password nobody types, made once with today's cost, so that
// checking against it costs what checking a real hash costs.
const std::string& DummyHash() {
  static const std::string* dummy = [] {
    auto* hash = new std::string();
    // Without memory for the hash the dummy stays empty: it then matches
    // nothing, which is all it has to do.
    (void)HashPassword("kirvs: no such user", hash);
    return hash;
  }();
  return *dummy;
}

}  // namespace

Status HashPassword(std::string_view password, std::string* encoded) {
  EnsureSodium();
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(out, password.data(), password.size(),
                            kPasswordHashPasses, kPasswordHashMemoryBytes,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return Status::IOError("not enough memory to hash the password");
  }
  encoded->assign(out);
  return Status();
}

bool VerifyPassword(std::string_view encoded, std::string_view password) {
  EnsureSodium();
  // libsodium reads a C string: a hash with a NUL inside or too long to be
  // one of its own is damaged.
  if (encoded.size() >= crypto_pwhash_STRBYTES ||
      encoded.find('\0') != std::string_view::npos) {
    VerifyNothing(password);
    return false;
  }
  const std::string text(encoded);
  return crypto_pwhash_str_verify(text.c_str(), password.data(),
                                  password.size()) == 0;
}

void VerifyNothing(std::string_view password) {
  const std::string& dummy = DummyHash();
  // The answer is known (no); only the time it takes counts.
  [[maybe_unused]] int ignored =
      crypto_pwhash_str_verify(dummy.c_str(), password.data(), password.size());
}

bool LooksLikePasswordHash(std::string_view stored) {
  return stored.starts_with("$argon2");
}

}  // namespace kirvs
