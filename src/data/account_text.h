// The text that accounts are made of (user ids, personnel names, work
// groups, passwords) and what of it can be stored: checked before anything
// is looked up, hashed or printed, so that a NUL, a terminal's control
// sequence or bytes that are not UTF-8 never reach a query or a screen.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_DATA_ACCOUNT_TEXT_H_
#define KIRVS_SRC_DATA_ACCOUNT_TEXT_H_

#include <cstddef>
#include <string_view>

#include "platform/status.h"

namespace kirvs {

// The longest text an account holds, in characters: the declared sizes of
// System_Users.UserId, Personnel.Name and Personnel.WorkGroup, and a bound
// on passwords that no typed password reaches.
inline constexpr size_t kMaxUserIdLength = 20;
inline constexpr size_t kMaxPersonNameLength = 50;
inline constexpr size_t kMaxWorkGroupLength = 30;
inline constexpr size_t kMaxPasswordLength = 256;

// Whether text typed for an account can be stored: InvalidArgument naming
// the fault otherwise (empty, too long, not UTF-8, a control character, and
// for ids and names a blank at either end).
Status CheckUserIdText(std::string_view user_id);
Status CheckPersonNameText(std::string_view name);
Status CheckPasswordText(std::string_view password);
Status CheckWorkGroupText(std::string_view work_group);

// Whether a typed user id could name an account of any help desk, also one
// made by other tools: as CheckUserIdText, but up to 255 characters and with
// blanks at the ends allowed. Nothing else is looked up.
Status CheckAnyUserIdText(std::string_view user_id);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_ACCOUNT_TEXT_H_
