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

}  // namespace kirvs
