// ASCII helpers shared by the settings file, the form and the record source.
// Pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_ASCII_H_
#define KIRVS_SRC_PLATFORM_ASCII_H_

#include <string>
#include <string_view>

namespace kirvs {

inline char AsciiToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiToUpper(c);
  return out;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiToUpper(a[i]) != AsciiToUpper(b[i])) return false;
  }
  return true;
}

inline bool StartsWithIgnoringCase(std::string_view text,
                                   std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Removes blanks and tabs (and, for lines read from files, CR) at both ends.
inline std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_ASCII_H_
