// What the front changes in an engine's page on the way out, so that it is
// safer to use; the engine's own fragment is never changed for the front.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_ENHANCE_H_
#define KIRVS_SRC_WEB_PAGES_ENHANCE_H_

#include <string>
#include <string_view>
#include <vector>

#include "web/pages/captions.h"

namespace kirvs::web {

// The caption that Enter in a field of `fragment` must run, when it is not
// the first button of the page: on the close page Enter saves the close
// details and never closes. Empty: the browser's own choice is safe.
std::string_view DefaultCaption(std::string_view fragment);

// Selects the option `value` (plain text) of the list `select_name` in
// `fragment`, instead of the one selected there; nothing changes when the
// list or the option is missing.
void PreselectOption(std::string* fragment, std::string_view select_name,
                     std::string_view value);

// On a request list: turns the rows round (each request with its
// description row), for the descending order the engine does not offer.
void ReverseListRows(std::string* fragment);

// On a list: makes the header of each of `columns` a link to `address`
// that sorts by it ("sort=" and the column), under its caption, and the
// header of `sorted` a link that turns the order round ("&dir=desc" when
// it is ascending now); that header says which way the list runs.
void LinkHeaders(std::string* fragment, std::string_view address,
                 const std::vector<std::string>& columns,
                 std::string_view sorted, bool descending,
                 const Captions& captions);

// On the engine's request list: LinkHeaders for the columns of its sort
// list, sorted by the selected one, at the address "/".
void LinkListHeaders(std::string* fragment, bool descending,
                     const Captions& captions);

// On search results: removes the query the engine echoes under the list
// (it is for the developer).
void RemoveQueryEcho(std::string* fragment);

// On inventory results: the row buttons, which post "*" and the item id,
// show the item id alone.
void ShowItemIds(std::string* fragment);

// Whether search results list nothing.
bool IsEmptyResult(std::string_view fragment);

// Makes every input of `fragment` read-only (the item pages only show).
void MakeInputsReadOnly(std::string* fragment);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_ENHANCE_H_
