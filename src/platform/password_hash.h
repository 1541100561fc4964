// Password hashes: argon2id through libsodium, in its encoded form
// ("$argon2id$v=19$m=19456,t=2,p=1$salt$hash"), which carries its own salt
// and cost, so a hash made with other costs still verifies.
//
// Hashing costs kMemoryBytes of memory and kPasses passes on purpose: that
// cost is what makes a stolen database slow to attack. Every check of a
// password costs one hash, also for a user id that does not exist
// (VerifyNothing), so the time a login takes does not tell which user ids
// exist.
//
// Thread safety: every function may be called from any thread.

#ifndef KIRVS_SRC_PLATFORM_PASSWORD_HASH_H_
#define KIRVS_SRC_PLATFORM_PASSWORD_HASH_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace kirvs {

// The cost of a new hash: 19 MiB of memory, 2 passes, one lane.
inline constexpr size_t kPasswordHashMemoryBytes = size_t{19} << 20;
inline constexpr unsigned long long kPasswordHashPasses = 2;

// Sets `*encoded` to the argon2id hash of `password` with a fresh salt.
// Fails only when the hash cannot be made (no memory).
Status HashPassword(std::string_view password, std::string* encoded);

// Whether `password` is the one that `encoded` was made from. An encoded
// hash that is malformed or damaged matches nothing.
bool VerifyPassword(std::string_view encoded, std::string_view password);

// Costs as much as a VerifyPassword that fails, and checks nothing: for a
// user id that does not exist.
void VerifyNothing(std::string_view password);

// Whether a stored password is an encoded hash rather than plain text
// (older help desks stored passwords as they were typed).
bool LooksLikePasswordHash(std::string_view stored);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_PASSWORD_HASH_H_
