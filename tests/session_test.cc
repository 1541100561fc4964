#include "kirvs/session.h"

#include <gtest/gtest.h>

#include "kirvs/submitted_form.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::Describe;

const char kLoginPageForAnn[] =
    "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
    "size=4><strong>Dravel Technical Support Services</strong></font></p>"
    "<blockquote><blockquote><table><tr><td><font size=2 face=arial>User "
    "ID:</td><td><input type='Text' name='txtUserID' value='ann'></td></tr>"
    "<tr><td><font size=2 face=arial>Password:</td><td><input "
    "type='Password' size=18 name='txtPassword'></td></tr><tr><td></td><td>"
    "<input type=submit name='KIRVSCommand' value='Login'></td><td><font "
    "size = 1 face=arial>Enter your login details and click Login button to "
    "see a list of available Technical Support Services functions.</td></tr>"
    "</table></blockquote><hr size=2 width=100% color=#008080 noshade>";

// Runs one command on `session` with text parameters.
bool Call(KIRVSession& session, Variant command, Variant p1 = Variant(),
          Variant p2 = Variant()) {
  Variant p3;
  return session.RunCommand(command, p1, p2, p3);
}

TEST(SessionTest, StartupShowsTheLoginPageByteForByte) {
  KIRVSession session("/nonexistent/KIRVS.INI");
  Variant command("startup"), p1("ann"), p2, p3;
  EXPECT_TRUE(session.RunCommand(command, p1, p2, p3));
  EXPECT_EQ("STARTUP", command.text());
  EXPECT_EQ(kLoginPageForAnn, session.HTMLString().text());
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

TEST(SessionTest, CommandIsWrittenBackAsUpperCaseText) {
  struct Case {
    Variant command;
    Variant written_back;
  } cases[] = {
      {Variant::Null(), Variant::Null()},
      {Variant("café"), Variant("CAFÉ")},
      {Variant("ÿ straße ıſ ǆ"), Variant("Ÿ STRAßE IS ǆ")},
      {Variant("ĳ ł ž ẁ"), Variant("Ĳ Ł Ž Ẁ")},
      {Variant("άέςωΐ"), Variant("ΆΈΣΩΐ")},
      {Variant("щёӂ ґ"), Variant("ЩЁӁ Ґ")},
      {Variant("a\xff\xc3"), Variant("A\xff\xc3")},  // bytes that are no letter
      {Variant::Integer(5), Variant("5")},
      {Variant::Double(1.5), Variant("1.5")},
      {Variant::Boolean(true), Variant("TRUE")},
  };
  for (const Case& c : cases) {
    KIRVSession session("/nonexistent/KIRVS.INI");
    Variant command = c.command, p1("ann"), p2, p3;
    EXPECT_FALSE(session.RunCommand(command, p1, p2, p3));
    EXPECT_EQ(c.written_back, command) << Describe(c.command);
    EXPECT_EQ("", session.HTMLString().text());
  }
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
