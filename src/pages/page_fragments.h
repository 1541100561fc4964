// The pieces of markup that every page shares. Page literals particular to
// one page stay whole in that page's handler; values inserted into any of
// them are escaped here.
// Pure and thread-safe.

#ifndef KIRVS_SRC_PAGES_PAGE_FRAGMENTS_H_
#define KIRVS_SRC_PAGES_PAGE_FRAGMENTS_H_

#include <string>
#include <string_view>

namespace kirvs {

inline constexpr std::string_view kRuleLine =
    "<hr size=2 width=100% color=#008080 noshade>";
inline constexpr std::string_view kIndent = "<blockquote><blockquote>";
inline constexpr std::string_view kBannerStart =
    "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
    "size=4><strong>";
inline constexpr std::string_view kBannerEnd = "</strong></font></p>";

// Appends the page banner: a fixed title prefix (a literal, ending in a blank
// or ": ") followed by an escaped value.
void AppendBanner(std::string* page, std::string_view title_prefix,
                  std::string_view value);

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_PAGE_FRAGMENTS_H_
