#include "data/account_text.h"

#include <string>

namespace kirvs {

namespace {

// The number of characters of `text`, or -1 when it is not UTF-8 (also
// overlong forms, surrogates and code points past U+10FFFF).
long Utf8Length(std::string_view text) {
  long characters = 0;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80   ? 1
                          : lead < 0xC2 ? 0
                          : lead < 0xE0 ? 2
                          : lead < 0xF0 ? 3
                          : lead < 0xF5 ? 4
                                        : 0;
    if (length == 0 || i + length > text.size()) return -1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return -1;
    }
    const unsigned char next =
        length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((lead == 0xE0 && next < 0xA0) || (lead == 0xED && next > 0x9F) ||
        (lead == 0xF0 && next < 0x90) || (lead == 0xF4 && next > 0x8F)) {
      return -1;
    }
    i += length;
    ++characters;
  }
  return characters;
}

Status CheckText(std::string_view what, std::string_view text, size_t limit,
                 bool blanks_at_ends_allowed) {
  if (text.empty())
    return Status::InvalidArgument("the " + std::string(what) + " is empty");
  const long length = Utf8Length(text);
  if (length < 0) {
    return Status::InvalidArgument("the " + std::string(what) +
                                   " is not UTF-8 text");
  }
  if (static_cast<size_t>(length) > limit) {
    return Status::InvalidArgument(
        "the " + std::string(what) + " is " + std::to_string(length) +
        " characters long; at most " + std::to_string(limit) + " are allowed");
  }
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return Status::InvalidArgument("the " + std::string(what) +
                                     " contains a control character");
    }
  }
  if (!blanks_at_ends_allowed && (text.front() == ' ' || text.back() == ' ')) {
    return Status::InvalidArgument("the " + std::string(what) +
                                   " begins or ends with a blank");
  }
  return Status();
}

}  // namespace

Status CheckAnyUserIdText(std::string_view user_id) {
  return CheckText("user id", user_id, 255, true);
}

Status CheckUserIdText(std::string_view user_id) {
  return CheckText("user id", user_id, kMaxUserIdLength, false);
}

Status CheckPersonNameText(std::string_view name) {
  return CheckText("personnel name", name, kMaxPersonNameLength, false);
}

Status CheckPasswordText(std::string_view password) {
  return CheckText("password", password, kMaxPasswordLength, true);
}

Status CheckWorkGroupText(std::string_view work_group) {
  return CheckText("work group", work_group, kMaxWorkGroupLength, false);
}

}  // namespace kirvs
