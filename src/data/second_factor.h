// The second factor of an account: a time-based one-time password from an
// authenticator app (platform/totp.h), kept in the table User_Factors as the
// secret in base 32 and the last step whose code was accepted.
//
// Enrolling and removing are for `kirvs user totp`; HasSecondFactor and
// VerifySecondFactor are for the sign-in of the web front. They work on a
// help desk of the current layout (see accounts.h).
//
// Thread safety: every function may be called from any thread; each opens
// a connection of its own.

#ifndef KIRVS_SRC_DATA_SECOND_FACTOR_H_
#define KIRVS_SRC_DATA_SECOND_FACTOR_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace kirvs {

// How many steps before and after the current one a code is accepted from,
// so that a phone whose clock is a little off still works.
inline constexpr int kSecondFactorWindowSteps = 1;

// Gives the user `user_id` a new secret (replacing an earlier one) and sets
// `*secret_base32` to it. Fails when there is no such user.
Status EnrolSecondFactor(const std::string& db_path, const std::string& user_id,
                         std::string* secret_base32);

// Removes the user's second factor; `*removed` tells whether he had one.
Status RemoveSecondFactor(const std::string& db_path,
                          const std::string& user_id, bool* removed);

// Whether the user has a second factor.
Status HasSecondFactor(const std::string& db_path, const std::string& user_id,
                       bool* has);

// Sets `*ok` to whether `code` (six digits) is the user's code at Unix time
// `unix_now`, or one step before or after it, for a step later than the last
// accepted one; an accepted step is recorded, so each code is accepted once.
// NotFound (with `*ok` false) when the user has no second factor.
Status VerifySecondFactor(const std::string& db_path,
                          const std::string& user_id, std::string_view code,
                          int64_t unix_now, bool* ok);

// The address an authenticator app reads from a QR code:
// otpauth://totp/kirvs:USERID?secret=BASE32&issuer=kirvs
std::string SecondFactorUri(std::string_view user_id,
                            std::string_view secret_base32);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_SECOND_FACTOR_H_
