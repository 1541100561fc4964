#include "pages/page_fragments.h"

#include "platform/escape.h"

namespace kirvs {

void AppendBanner(std::string* page, std::string_view title_prefix,
                  std::string_view value) {
  page->append(kBannerStart);
  page->append(title_prefix);
  AppendHtml(page, value);
  page->append(kBannerEnd);
}

void AppendButtons(std::string* page,
                   std::span<const std::string_view> captions,
                   ButtonMarkup markup) {
  for (std::string_view caption : captions) {
    switch (markup) {
      case ButtonMarkup::kNameFirst:
        page->append("<input name=KIRVSCommand value='");
        page->append(caption);
        page->append("' type=submit>");
        break;
      case ButtonMarkup::kTypeFirst:
        page->append("<input type=submit name=KIRVSCommand value='");
        page->append(caption);
        page->append("'>");
        break;
      case ButtonMarkup::kTypeFirstQuoted:
        page->append("<input type=submit name='KIRVSCommand' value='");
        page->append(caption);
        page->append("'>");
        break;
    }
  }
}

}  // namespace kirvs
