#include "data/second_factor.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/totp.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

constexpr char kRfcSecret[] = "12345678901234567890";
constexpr int64_t kNow = 1111111111;  // step 37037037, 21 s into it

class SecondFactorTest : public ::testing::TestWithParam<Store> {
 protected:
  // Enrols ann, then gives her the test vectors' secret.
  void SetUp() override {
    if (!desk_.available()) GTEST_SKIP() << kNoPostgres;
    std::string secret;
    ASSERT_TRUE(EnrolSecondFactor(db(), "ANN", &secret).ok());
    EXPECT_EQ(32u, secret.size());  // the secret stored: UserCommandTest
    ExecSql(db(), "UPDATE User_Factors SET Secret='" +
                      Base32Encode(kRfcSecret) + "'");
  }

  const std::string& db() const { return desk_.db_path(); }
  std::string Code(int64_t step) { return TotpCode(kRfcSecret, step); }

  bool Verify(const std::string& code, int64_t now = kNow) {
    bool ok = true;
    Status s = VerifySecondFactor(db(), "ann", code, now, &ok);
    EXPECT_TRUE(s.ok()) << s.message();
    return ok;
  }

  DemoDesk desk_{GetParam()};
};

KIRVS_ON_EVERY_STORE(SecondFactorTest);

TEST_P(SecondFactorTest, CodesOfOneStepEitherSideAreAcceptedOnce) {
  const int64_t now = TotpStep(kNow);
  EXPECT_FALSE(Verify(Code(now - 2)));
  EXPECT_FALSE(Verify(Code(now + 2)));
  EXPECT_FALSE(Verify("14O471"));
  EXPECT_FALSE(Verify(Code(now) + "0"));
  EXPECT_TRUE(Verify(Code(now - 1)));
  EXPECT_FALSE(Verify(Code(now - 1))) << "a code is accepted once";
  EXPECT_TRUE(Verify(Code(now)));
  EXPECT_FALSE(Verify(Code(now)));
  EXPECT_TRUE(Verify(Code(now + 1)));
  // Once a later step was accepted, an earlier code is no longer good.
  EXPECT_FALSE(Verify(Code(now), kNow + 30));
  EXPECT_EQ(std::to_string(now + 1),
            QueryValue(db(), "SELECT LastStep FROM User_Factors"));
  EXPECT_TRUE(Verify(Code(now + 3), kNow + 60));
  // A secret that cannot be read, or none, accepts no code.
  for (const char* stored : {"", "====", "AB!C"}) {
    ExecSql(db(),
            std::string("UPDATE User_Factors SET Secret='") + stored + "'");
    bool ok = true;
    EXPECT_EQ(Status::Code::kInvalidArgument,
              VerifySecondFactor(db(), "ann", "123456", kNow, &ok).code())
        << stored;
  }
}

TEST_P(SecondFactorTest, EnrolAgainReplacesAndOffRemoves) {
  bool has = false, removed = false, ok = true;
  ASSERT_TRUE(HasSecondFactor(db(), "Ann", &has).ok());
  EXPECT_TRUE(has);
  ASSERT_TRUE(HasSecondFactor(db(), "bob", &has).ok());
  EXPECT_FALSE(has);
  EXPECT_EQ(Status::Code::kNotFound,
            VerifySecondFactor(db(), "bob", "123456", kNow, &ok).code());
  EXPECT_FALSE(ok);

  std::string secret;
  EXPECT_FALSE(EnrolSecondFactor(db(), "zed", &secret).ok());
  ASSERT_TRUE(EnrolSecondFactor(db(), "ann", &secret).ok());
  EXPECT_EQ("1", QueryValue(db(), "SELECT count(*) FROM User_Factors"));
  EXPECT_FALSE(Verify(Code(TotpStep(kNow)))) << "the old secret is gone";

  ASSERT_TRUE(RemoveSecondFactor(db(), "ann", &removed).ok());
  EXPECT_TRUE(removed);
  ASSERT_TRUE(RemoveSecondFactor(db(), "ann", &removed).ok());
  EXPECT_FALSE(removed);
  EXPECT_EQ("otpauth://totp/kirvs:o%27b%20r?secret=ABC&issuer=kirvs",
            SecondFactorUri("o'b r", "ABC"));
}

}  // namespace
}  // namespace kirvs
