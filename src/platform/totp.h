// Time-based one-time passwords (the second factor): HMAC-SHA-1 codes of
// 30-second steps, the kind that authenticator apps show, and the base-32
// text in which their secrets travel.
//
// Pure functions apart from NewTotpSecret (system randomness). Thread-safe.

#ifndef KIRVS_SRC_PLATFORM_TOTP_H_
#define KIRVS_SRC_PLATFORM_TOTP_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kirvs {

// Seconds per step, and the digits of a code.
inline constexpr int64_t kTotpStepSeconds = 30;
inline constexpr int kTotpDigits = 6;
// Bytes of a new secret (160 bits, the size of a SHA-1 output).
inline constexpr size_t kTotpSecretBytes = 20;

// The step that the Unix time `unix_seconds` falls in.
int64_t TotpStep(int64_t unix_seconds);

// The code of `step` for the raw `secret`, `digits` digits with leading
// zeros. REQUIRES: 1 <= digits <= 9.
std::string TotpCode(std::string_view secret, int64_t step,
                     int digits = kTotpDigits);

// Whether `code` is the code of `step`, compared in constant time.
bool TotpCodeMatches(std::string_view secret, int64_t step,
                     std::string_view code);

// kTotpSecretBytes random bytes from the system's source of randomness.
std::string NewTotpSecret();

// Base-32 (RFC 4648 alphabet, upper case, no padding) of raw bytes.
std::string Base32Encode(std::string_view bytes);
// The raw bytes of base-32 text (either case, padding and blanks ignored);
// nullopt when it holds any other character.
std::optional<std::string> Base32Decode(std::string_view text);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_TOTP_H_
