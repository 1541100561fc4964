// What the front adds to an engine's page so that everyone can use it: the
// logo's text, the banner as the page's level-one heading, a label for
// every input and list (its column's caption), and column headers that say
// so. The engine's markup is otherwise left as it stands.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_WEB_PAGES_ACCESSIBILITY_H_
#define KIRVS_SRC_WEB_PAGES_ACCESSIBILITY_H_

#include <string>
#include <string_view>

namespace kirvs::web {

// `fragment` with those additions.
std::string AccessibleFragment(std::string_view fragment);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_ACCESSIBILITY_H_
