// What the front adds to an engine's page so that everyone can use it: the
// logo's text, the banner as the page's level-one heading, a label for
// every input and list, friendly captions where the page shows a column's
// name (the record pages' and search forms' labels, the lists' headers and
// the sort line), and lists whose headers say so and whose entries can be
// read as cards on a narrow screen: each entry (its row and the row of its
// description) a group of its own, each cell labelled with its column's
// caption. The engine's markup is otherwise left as it stands.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_ACCESSIBILITY_H_
#define KIRVS_SRC_WEB_PAGES_ACCESSIBILITY_H_

#include <string>
#include <string_view>

#include "web/pages/captions.h"

namespace kirvs::web {

// `fragment` with those additions.
std::string AccessibleFragment(std::string_view fragment,
                               const Captions& captions);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_ACCESSIBILITY_H_
