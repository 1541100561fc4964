// Secrets of the web front: session ids, the forms' CSRF tokens (KIRVSToken)
// and the comparison of a posted token with the expected one.
//
// A signed-in session has a random token of its own, kept with the session.
// A browser without one (on the login page) gets a random nonce in a cookie,
// and its token is an HMAC of that nonce under the server's secret: the
// server keeps nothing per visitor, and a page from another site can neither
// read the token nor set the cookie it belongs to.
//
// Thread-safe.

#ifndef KIRVS_SRC_WEB_IDENTITY_CSRF_H_
#define KIRVS_SRC_WEB_IDENTITY_CSRF_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kirvs::web {

// `bytes` random bytes from the system's secure generator, as lower-case hex.
std::string RandomHex(size_t bytes);

// A fresh session id, token, nonce or secret (256 bits).
inline std::string NewSecret() { return RandomHex(32); }

// The login form's token for the browser whose cookie holds `nonce`.
// REQUIRES: !secret.empty().
std::string BrowserToken(std::string_view secret, std::string_view nonce);

// Whether a posted token equals the expected one, in time that does not
// depend on where they differ. An empty expected token matches nothing.
bool SameToken(std::string_view posted, std::string_view expected);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_IDENTITY_CSRF_H_
