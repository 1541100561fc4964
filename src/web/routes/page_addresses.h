// The addresses of the help desk's pages. Every page a button shows has an
// address that a GET shows again: "/" (the list, "?sort=" a column),
// "/requests/N" with "/allocate", "/schedule", "/close", "/activities",
// "/activities/M" and "/activities/new", "/requests/new", "/inventory" and
// "/solutions" (the search forms; with a query, its results), "/items/ID"
// and "/items/ID/configuration".
//
// An address stands for the post of the button that shows its page, so the
// front runs both the same way; and a button's post that succeeded is
// answered with the address of the page that follows it.
//
// Thread safety: pure functions.

#ifndef KIRVS_SRC_WEB_ROUTES_PAGE_ADDRESSES_H_
#define KIRVS_SRC_WEB_ROUTES_PAGE_ADDRESSES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kirvs/submitted_form.h"
#include "web/routes/button_map.h"

namespace kirvs::web {

// The page at an address, as the click that shows it.
struct AddressedPage {
  std::string caption;                       // posted as KIRVSCommand
  std::vector<SubmittedForm::Field> fields;  // posted with it
  // The page registers something new (a request, an activity): its form
  // carries a one-time id, so that posting it twice stores it once.
  bool one_time_form = false;
  // The person's list ("/"): "?sort=" names a column, "&dir=desc" turns
  // the order round; without them the order he chose last applies.
  bool is_list = false;
  bool descending = false;
};

// The page at `path` (decoded) with the raw query `query` (from its "?",
// empty when the address has none); nullopt when no page has that address.
std::optional<AddressedPage> PageAtAddress(std::string_view path,
                                           std::string_view query);

// The address of the page that follows a successful post of `button` with
// `posted` fields; empty when that page has no address (logging out).
std::string AddressAfter(const Button& button, const SubmittedForm& posted);

// The address of request `request_no`'s page.
std::string RequestAddress(std::string_view request_no);

// `text` percent-encoded for a path segment or a query value.
std::string UrlEncode(std::string_view text);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_PAGE_ADDRESSES_H_
