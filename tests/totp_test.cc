#include "platform/totp.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

constexpr char kRfcSecret[] = "12345678901234567890";

TEST(TotpTest, CodesOfTheSha1TestVectors) {
  const struct {
    int64_t time;
    const char* code;
  } cases[] = {
      {59, "94287082"},         {1111111109, "07081804"},
      {1111111111, "14050471"}, {1234567890, "89005924"},
      {2000000000, "69279037"}, {20000000000, "65353130"},
  };
  for (const auto& c : cases) {
    const int64_t step = TotpStep(c.time);
    EXPECT_EQ(c.code, TotpCode(kRfcSecret, step, 8)) << c.time;
    // Six digits are the last six of the same number.
    EXPECT_EQ(std::string(c.code).substr(2), TotpCode(kRfcSecret, step))
        << c.time;
  }
  EXPECT_EQ(2, TotpStep(60));
  EXPECT_EQ(-1, TotpStep(-1));
  // Which codes match: CodesOfOneStepEitherSideAreAcceptedOnce.
}

TEST(TotpTest, Base32RoundTripsAndRejectsOtherCharacters) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {{"", ""},
               {"f", "MY"},
               {"fo", "MZXQ"},
               {"foo", "MZXW6"},
               {"foob", "MZXW6YQ"},
               {"fooba", "MZXW6YTB"},
               {"foobar", "MZXW6YTBOI"},
               {kRfcSecret, "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, Base32Encode(c.bytes)) << c.bytes;
    EXPECT_EQ(c.bytes, Base32Decode(c.text).value_or("<none>")) << c.text;
  }
  EXPECT_EQ("foobar", Base32Decode("mzxw6ytboi======").value_or("<none>"));
  EXPECT_FALSE(Base32Decode("MZXW1").has_value());

  // Its length: SecondFactorTest's enrolment.
  EXPECT_NE(NewTotpSecret(), NewTotpSecret());
}

}  // namespace
}  // namespace kirvs
