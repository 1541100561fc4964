#include "platform/sql_dialect.h"

#include <gtest/gtest.h>

#include "platform/database.h"

namespace kirvs {
namespace {

SqlCatalog TestCatalog() {
  SqlCatalog catalog;
  catalog.AddTable("Current_Requests",
                   {"RequestNo", "Personnel", "Status", "rowid"});
  catalog.AddTable("Request_Activities",
                   {"RequestNo", "ActNo", "Date/Time", "rowid"});
  return catalog;
}

TEST(SqlDialectTest, TranslatesForPostgres) {
  const struct {
    const char* query;
    const char* expected;
  } cases[] = {
      {"SELECT [Date/Time], ActNo FROM Request_Activities ORDER BY 1",
       R"(SELECT "Date/Time", "ActNo" FROM "Request_Activities" )"
       R"(ORDER BY 1 NULLS FIRST)"},
      // Names match ignoring case, as SQLite matches them.
      {"select * from current_requests where requestno=1025",
       R"(select "RequestNo", "Personnel", "Status" from "Current_Requests" )"
       R"(where "RequestNo"=1025)"},
      {"SELECT c.* FROM Current_Requests c WHERE c.Status Like 'open%'",
       R"(SELECT c."RequestNo", c."Personnel", c."Status" FROM )"
       R"("Current_Requests" c WHERE c."Status" Like 'open%')"},
      {"SELECT * FROM Current_Requests, Request_Activities AS a",
       R"(SELECT "Current_Requests"."RequestNo", "Current_Requests"."Personnel", )"
       R"("Current_Requests"."Status", "a"."RequestNo", "a"."ActNo", )"
       R"("a"."Date/Time" FROM "Current_Requests", "Request_Activities" AS "a")"},
      // Strings, functions and aliases keep their text; an alias its case.
      {"SELECT COUNT(*) AS Total, MAX(ActNo) FROM Request_Activities "
       "WHERE Status = 'It''s [RequestNo] ?' ORDER BY Total",
       R"(SELECT COUNT(*) AS "Total", MAX("ActNo") FROM "Request_Activities" )"
       R"(WHERE "Status" = 'It''s [RequestNo] ?' ORDER BY "Total" NULLS FIRST)"},
      // A bare keyword is never an alias spelt the same; every sort key
      // puts NULL where SQLite puts it, before the values.
      {"SELECT Status AS [From] FROM Current_Requests WHERE RequestNo IN "
       "(SELECT ActNo FROM Request_Activities ORDER BY 1) "
       "ORDER BY [From] DESC, IFNULL(Personnel, 'x') LIMIT 5",
       R"(SELECT "Status" AS "From" FROM "Current_Requests" WHERE "RequestNo" )"
       R"(IN (SELECT "ActNo" FROM "Request_Activities" ORDER BY 1 NULLS )"
       R"(FIRST) ORDER BY "From" DESC NULLS LAST, COALESCE("Personnel", 'x') )"
       R"(NULLS FIRST LIMIT 5)"},
      // Every edge of the characters a name is made of.
      {"SELECT Status AS zaZA_09 FROM Current_Requests",
       R"(SELECT "Status" AS "zaZA_09" FROM "Current_Requests")"},
      {"INSERT INTO Current_Requests(RequestNo) VALUES (?)",
       R"(INSERT INTO "Current_Requests"("RequestNo") VALUES ($1))"},
      {"UPDATE Current_Requests SET Status = ? WHERE rowid = ?",
       R"(UPDATE "Current_Requests" SET "Status" = $1 WHERE "rowid" = $2)"},
      {"SELECT IFNULL(MAX(ActNo), 0), CAST(RequestNo AS TEXT) FROM "
       "Request_Activities",
       R"(SELECT COALESCE(MAX("ActNo"), 0), CAST("RequestNo" AS TEXT) FROM )"
       R"("Request_Activities")"},
  };
  const SqlCatalog catalog = TestCatalog();
  for (const auto& c : cases) {
    std::string out;
    Status s = TranslateForPostgres(c.query, catalog, &out);
    ASSERT_TRUE(s.ok()) << c.query << ": " << s.message();
    EXPECT_EQ(c.expected, out) << c.query;
  }
}

TEST(SqlDialectTest, RefusesWhatItCannotTranslate) {
  const struct {
    const char* query;
    const char* why;  // the end of the message
  } cases[] = {
      {"SELECT * FROM Nowhere", "no such table: Nowhere"},
      {"SELECT * FROM (SELECT 1)", "* over a subquery"},
      {"SELECT [RequestNo FROM Current_Requests", "unterminated name"},
      {"SELECT 'open FROM Current_Requests", "unterminated string"},
      {"SELECT (1 FROM Current_Requests", "unbalanced parentheses"},
      {"INSERT OR REPLACE INTO Current_Requests VALUES (1)", ""},
      {"PRAGMA user_version", ""},
  };
  const SqlCatalog catalog = TestCatalog();
  for (const auto& c : cases) {
    std::string out = "unchanged";
    Status s = TranslateForPostgres(c.query, catalog, &out);
    EXPECT_FALSE(s.ok()) << c.query;
    EXPECT_TRUE(s.message().ends_with(c.why)) << c.query << ": " << s.message();
    EXPECT_EQ("unchanged", out) << c.query;
  }
}

TEST(SqlDialectTest, DisplayPathHidesPasswords) {
  const struct {
    const char* path;
    const char* shown;
  } cases[] = {
      {"/srv/desk/helpdesk.db", "/srv/desk/helpdesk.db"},
      {"postgresql://desk:s3cret@db:5432/desk",
       "postgresql://desk:***@db:5432/desk"},
      {"postgres://desk:p@ss@db/desk?sslmode=require",
       "postgres://desk:***@db/desk?sslmode=require"},
      {"postgresql://desk@db/desk?sslmode=require&password=x&a=b",
       "postgresql://desk@db/desk?sslmode=require&password=***&a=b"},
      {"postgresql:///desk", "postgresql:///desk"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.shown, DisplayPath(c.path)) << c.path;
  }
}

}  // namespace
}  // namespace kirvs
