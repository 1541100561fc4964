#include "platform/password_hash.h"

#include <gtest/gtest.h>

#include <string>

namespace kirvs {
namespace {

TEST(PasswordHashTest, HashesVerifyOnlyTheirOwnPassword) {
  std::string hash, again;
  ASSERT_TRUE(HashPassword("ann123", &hash).ok());
  ASSERT_TRUE(HashPassword("ann123", &again).ok());
  EXPECT_TRUE(hash.starts_with("$argon2id$v=19$m=19456,t=2,p=1$")) << hash;
  EXPECT_NE(hash, again) << "each hash has a salt of its own";
  EXPECT_TRUE(VerifyPassword(hash, "ann123"));
  for (std::string wrong : {"ann12", "ann123 ", "ANN123", "", "ann123\n"}) {
    EXPECT_FALSE(VerifyPassword(hash, wrong)) << wrong;
  }
  // Bytes after a NUL count.
  ASSERT_TRUE(HashPassword(std::string("a\0b", 3), &hash).ok());
  EXPECT_TRUE(VerifyPassword(hash, std::string("a\0b", 3)));
  EXPECT_FALSE(VerifyPassword(hash, "a"));
}

TEST(PasswordHashTest, DamagedHashesMatchNothing) {
  std::string hash;
  ASSERT_TRUE(HashPassword("pw", &hash).ok());
  for (std::string damaged :
       {std::string("$argon2id$garbage"), std::string("$argon2id$"),
        hash.substr(0, hash.size() - 4), hash + std::string("\0x", 2),
        hash + std::string(200, 'A')}) {
    EXPECT_TRUE(LooksLikePasswordHash(damaged));
    EXPECT_FALSE(VerifyPassword(damaged, "pw")) << damaged;
  }
  EXPECT_FALSE(LooksLikePasswordHash("pw"));
  EXPECT_FALSE(LooksLikePasswordHash(""));
}

}  // namespace
}  // namespace kirvs
