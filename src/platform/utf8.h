// UTF-8 text by characters (code points) rather than bytes: lengths and cuts
// that never split a character, and upper-casing beyond ASCII.
//
// Bytes that do not form a valid character count as one character each and
// are kept as they are. All functions are pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_UTF8_H_
#define KIRVS_SRC_PLATFORM_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kirvs {

// The number of characters in `text`.
size_t Utf8Length(std::string_view text);

// The first `count` characters of `text` (all of it when it is shorter).
std::string_view Utf8Prefix(std::string_view text, size_t count);

// `text` with every letter that has a one-character upper-case form replaced
// by it: ASCII, Latin-1 Supplement, Latin Extended-A, Latin Extended
// Additional, Greek and Cyrillic. Letters without such a form ("ß") stay.
std::string Utf8ToUpper(std::string_view text);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_UTF8_H_
