// The page that asks a user with a second factor for the code of his
// authenticator app, after his password was right. It looks like the login
// page and posts back with the button kCodeCaption and the field kCodeField.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_CODE_PAGE_H_
#define KIRVS_SRC_WEB_PAGES_CODE_PAGE_H_

#include <string>

namespace kirvs::web {

inline constexpr char kCodeCaption[] = "Verify Code";
inline constexpr char kCodeField[] = "txtCode";

// The page fragment (the content of the front's form).
std::string CodePageFragment();

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_CODE_PAGE_H_
