#include "web/routes/page_addresses.h"

#include <gtest/gtest.h>

namespace kirvs::web {
namespace {

TEST(PageAddressesTest, UrlEncodeKeepsOnlyUnreservedCharacters) {
  EXPECT_EQ("aZ09-_.~%20%2F%26%C3%A9", UrlEncode("aZ09-_.~ /&\xC3\xA9"));
}

}  // namespace
}  // namespace kirvs::web
