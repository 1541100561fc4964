// The pieces of markup that every page shares. Page literals particular to
// one page stay whole in that page's handler; values inserted into any of
// them are escaped here.
// Pure and thread-safe.

#ifndef KIRVS_SRC_PAGES_PAGE_FRAGMENTS_H_
#define KIRVS_SRC_PAGES_PAGE_FRAGMENTS_H_

#include <initializer_list>
#include <span>
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
// or ": ") followed by an escaped value; or a fixed title alone.
void AppendBanner(std::string* page, std::string_view title_prefix,
                  std::string_view value = "");

// How a page writes its command buttons; the pages differ only in the order
// of the attributes.
enum class ButtonMarkup {
  // <input name=KIRVSCommand value='Caption' type=submit>
  kNameFirst,
  // <input type=submit name=KIRVSCommand value='Caption'>
  kTypeFirst,
  // <input type=submit name='KIRVSCommand' value='Caption'>
  kTypeFirstQuoted,
};

// Appends one submit button per caption, in order. Each caption is the
// command the button posts (the front upper-cases it).
// REQUIRES: captions are literals without apostrophes.
void AppendButtons(std::string* page,
                   std::span<const std::string_view> captions,
                   ButtonMarkup markup = ButtonMarkup::kNameFirst);
inline void AppendButtons(std::string* page,
                          std::initializer_list<std::string_view> captions,
                          ButtonMarkup markup = ButtonMarkup::kNameFirst) {
  AppendButtons(page, std::span(captions.begin(), captions.size()), markup);
}

}  // namespace kirvs

#endif  // KIRVS_SRC_PAGES_PAGE_FRAGMENTS_H_
