#include "kirvs/session.h"

#include <gtest/gtest.h>

#include "kirvs/submitted_form.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::Call;

TEST(SessionTest, StartupShowsTheLoginPage) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  Variant command("startup"), p1("ann"), p2, p3;
  EXPECT_TRUE(session.RunCommand(command, p1, p2, p3));
  EXPECT_EQ("STARTUP", command.text());
  EXPECT_NE("", session.HTMLString().text());
  EXPECT_EQ("", session.ErrorDescription().text());
  EXPECT_EQ(0, session.RequestNo().integer());
}

TEST(SessionTest, LoginPageEscapesTheUserId) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  EXPECT_TRUE(Call(session, "STARTUP", "O'Brien<&>"));
  std::string page = session.HTMLString().text();
  EXPECT_NE(std::string::npos, page.find("value='O&#39;Brien&lt;&amp;&gt;'>"))
      << page;
  EXPECT_EQ(1u, [&] {
    size_t count = 0;
    for (size_t at = page.find("</blockquote>"); at != std::string::npos;
         at = page.find("</blockquote>", at + 1)) {
      ++count;
    }
    return count;
  }());
}

TEST(SessionTest, EmptyUserIdGivesAnEmptyBox) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  EXPECT_TRUE(Call(session, "STARTUP"));
  EXPECT_NE(std::string::npos,
            session.HTMLString().text().find("name='txtUserID' value=''>"));
}

TEST(SessionTest, CommandsAreUpperCasedButNotTrimmed) {
  for (const char* text : {"startup", "Startup", "STARTUP"}) {
    KIRVSession session("/nonexistent/KIRVS.INI");
    EXPECT_TRUE(Call(session, text)) << text;
    EXPECT_FALSE(session.HTMLString().text().empty()) << text;
  }
  KIRVSession session("/nonexistent/KIRVS.INI");
  EXPECT_FALSE(Call(session, " STARTUP"));
  EXPECT_EQ("", session.HTMLString().text());
}

TEST(SessionTest, UnknownCommandReturnsWhatThePreviousCommandLeft) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  EXPECT_FALSE(Call(session, "NO SUCH COMMAND"));
  EXPECT_EQ("", session.HTMLString().text());
  EXPECT_EQ("", session.ErrorDescription().text());

  ASSERT_TRUE(Call(session, "STARTUP", "ann"));
  std::string page = session.HTMLString().text();
  EXPECT_TRUE(Call(session, "NO SUCH COMMAND"));
  EXPECT_EQ(page, session.HTMLString().text());
}

TEST(SessionTest, NullOrNonTextCommandRunsNothing) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  Variant null_command = Variant::Null(), p1("ann"), p2, p3;
  EXPECT_FALSE(session.RunCommand(null_command, p1, p2, p3));
  EXPECT_TRUE(null_command.IsNull());
  Variant number_command = Variant::Integer(5);
  EXPECT_FALSE(session.RunCommand(number_command, p1, p2, p3));
  EXPECT_EQ("", session.HTMLString().text());
}

TEST(SessionTest, AnErrorEscapingTheLoginPageKeepsTheStatusFlag) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  ASSERT_TRUE(Call(session, "STARTUP", "ann"));
  std::string page = session.HTMLString().text();
  // A number cannot be joined to the page: the handler ends without a result.
  EXPECT_TRUE(Call(session, "STARTUP", Variant::Integer(7)));
  EXPECT_EQ(page, session.HTMLString().text());

  KIRVSession fresh("/nonexistent/KIRVS.INI");
  EXPECT_FALSE(Call(fresh, "STARTUP", Variant::Null()));
  EXPECT_EQ("", fresh.HTMLString().text());
}

TEST(SessionTest, CommandParam3IsNeverTouched) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  Variant command("Startup"), p1("ann"), p2, p3("untouched");
  EXPECT_TRUE(session.RunCommand(command, p1, p2, p3));
  EXPECT_EQ("untouched", p3.text());
  EXPECT_EQ("ann", p1.text());
}

}  // namespace
}  // namespace kirvs
