#include "platform/record_source.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sqlite_database.h"
#include "platform/text_forms.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

const char kSql[] = R"sql(
CREATE TABLE Items (ItemId VARCHAR(10), Description VARCHAR(50), Qty INTEGER);
INSERT INTO Items VALUES ('C', 'cable', 3), ('A', 'adapter', 1),
                         ('B', 'battery', 2);
CREATE TABLE Typed (Name VARCHAR(50), Notes TEXT, Stamp DATETIME,
                    Flag BOOLEAN, Count INTEGER, Big BIGINT, Ratio DOUBLE,
                    Cost CURRENCY, Id INTEGER);
INSERT INTO Typed (Name, Notes, Count) VALUES ('first', 'kept', 1);
)sql";

// Columns of types that only SQLite declares (outside the schema's
// vocabulary), and one with no declared type, on the SQLite store only.
const char kSqliteColumnsSql[] = R"sql(
ALTER TABLE Typed ADD Day DATE;
ALTER TABLE Typed ADD Hour TIME;
ALTER TABLE Typed ADD Bit BIT;
ALTER TABLE Typed ADD Anything;
)sql";

// Marks a case that only SQLite can hold: a column of kSqliteColumnsSql, or a
// value that the column's type does not admit (SQLite keeps it anyway).
constexpr bool kSqliteOnly = true;

constexpr OpenMode kAllModes[] = {OpenMode::kRead, OpenMode::kUpdate,
                                  OpenMode::kLookup};

const char* ModeName(OpenMode mode) {
  return mode == OpenMode::kRead     ? "kRead"
         : mode == OpenMode::kUpdate ? "kUpdate"
                                     : "kLookup";
}

class RecordSourceTest : public ::testing::TestWithParam<Store> {
 protected:
  RecordSourceTest() : fixture_(kSql, GetParam()) {}

  void SetUp() override {
    if (!fixture_.available()) GTEST_SKIP() << kNoPostgres;
    if (GetParam() == Store::kSqlite) ExecSql(db(), kSqliteColumnsSql);
  }

  // Whether a case marked `sqlite_only` runs on this test's store.
  bool Runs(bool sqlite_only) const {
    return !sqlite_only || GetParam() == Store::kSqlite;
  }

  // Opens `query`; null (and a failed expectation) when it fails.
  std::unique_ptr<RecordSource> Open(std::string_view query, OpenMode mode) {
    std::unique_ptr<RecordSource> rs;
    Status s = RecordSource::Open(db(), query, mode, &rs);
    EXPECT_TRUE(s.ok()) << ModeName(mode) << " " << query << ": "
                        << s.message();
    return rs;
  }

  // The text of column `name` in every row, walking from the first.
  static std::vector<std::string> Walk(RecordSource& rs, const char* name) {
    std::vector<std::string> values;
    EXPECT_TRUE(rs.MoveFirst().ok());
    for (int guard = 0; !rs.eof() && guard < 10000; ++guard) {
      Variant value;
      EXPECT_TRUE(rs.Get(name, &value).ok());
      values.push_back(value.ToText());
      EXPECT_TRUE(rs.MoveNext().ok());
    }
    return values;
  }

  const std::string& db() const { return fixture_.db_path(); }

  HelpDeskFixture fixture_;
};

TEST_P(RecordSourceTest, EveryModeWalksTheRowsInQueryOrder) {
  struct Case {
    const char* query;
    std::vector<std::string> ids;
  } cases[] = {
      {"SELECT * FROM Items", {"C", "A", "B"}},
      {"SELECT * FROM Items ORDER BY 1", {"A", "B", "C"}},
      {"SELECT Qty, [ItemId] FROM [Items] WHERE Qty > 1 ORDER BY 2",
       {"B", "C"}},
      {"SELECT * FROM Items WHERE Qty < 0", {}},
  };
  for (OpenMode mode : kAllModes) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(ModeName(mode)) + " " + c.query);
      const bool empty = c.ids.empty();
      auto rs = Open(c.query, mode);
      ASSERT_NE(nullptr, rs);
      EXPECT_EQ(empty, rs->eof());
      EXPECT_EQ(empty, rs->bof());
      EXPECT_EQ(static_cast<int32_t>(c.ids.size()), rs->RecordCount());
      EXPECT_EQ(c.ids, Walk(*rs, "ItemId"));
      EXPECT_EQ(empty, rs->bof());

      // A move past the end fails and leaves the source as it was.
      EXPECT_EQ("no current row", rs->MoveNext().message());
      EXPECT_TRUE(rs->eof());
      Variant value;
      EXPECT_EQ("no current row", rs->Get("ItemId", &value).message());
      EXPECT_EQ("no current row", rs->Set(0, Variant("x")).message());
    }
  }
}

TEST_P(RecordSourceTest, StoredValuesReadAsTheirVariantTypes) {
  struct Case {
    const char* column;
    const char* stored;  // an SQL literal
    Variant expected;
    bool sqlite_only = false;
  } cases[] = {
      {"Stamp", "'2024-03-01 09:15:30'",
       Variant::Date(At(2024, 3, 1, 9, 15, 30))},
      {"Stamp", "'next week'", Variant("next week"), kSqliteOnly},
      {"Day", "'2024-02-29'", Variant::Date(At(2024, 2, 29)), kSqliteOnly},
      {"Day", "'2023-02-29'", Variant("2023-02-29"), kSqliteOnly},
      {"Hour", "'18:30:00'", Variant::Date(At(1899, 12, 30, 18, 30)),
       kSqliteOnly},
      {"Flag", "TRUE", Variant::Boolean(true)},
      {"Bit", "7", Variant::Boolean(true), kSqliteOnly},
      {"Flag", "FALSE", Variant::Boolean(false)},
      {"Count", "41", Variant::Integer(41)},
      {"Big", "3000000000", Variant::Double(3e9)},
      {"Ratio", "2.5", Variant::Double(2.5)},
      {"Name", "'O''Brien'", Variant("O'Brien")},
      {"Name", "NULL", Variant::Null()},
      {"Anything", "12", Variant::Integer(12), kSqliteOnly},
  };
  for (const Case& c : cases) {
    if (!Runs(c.sqlite_only)) continue;
    ExecSql(db(),
            std::string("UPDATE Typed SET ") + c.column + " = " + c.stored);
    for (OpenMode mode : kAllModes) {
      auto rs = Open("SELECT * FROM Typed", mode);
      ASSERT_NE(nullptr, rs);
      Variant value;
      ASSERT_TRUE(rs->Get(c.column, &value).ok());
      EXPECT_TRUE(c.expected == value)
          << ModeName(mode) << " " << c.column << " = " << c.stored
          << ": expected " << Describe(c.expected) << ", got "
          << Describe(value);
    }
  }
}

// Opening to add a row reads no row; the added row then counts once, after
// the rows of the query, however many the table holds.
TEST_P(RecordSourceTest, AddingToATableWithRowsCountsTheNewRowOnce) {
  ExecSql(db(),
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
          "WHERE i < 500) INSERT INTO Items SELECT 'X' || i, 'bulk', i FROM n");
  struct Case {
    const char* query;
    int32_t rows_before;
  } cases[] = {
      {"SELECT * FROM Items", 503},
      {"SELECT ItemId, Qty FROM Items WHERE Qty >= 500 ORDER BY 1", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    ExecSql(db(), "DELETE FROM Items WHERE ItemId = 'NEW'");
    auto rs = Open(c.query, OpenMode::kUpdate);
    ASSERT_NE(nullptr, rs);
    // SQLite tells of every row it reads; PostgreSQL has no such hook.
    int rows_read = 0;
    if (GetParam() == Store::kSqlite) {
      sqlite3_trace_v2(
          SqliteDatabase::HandleOf(*rs->database()), SQLITE_TRACE_ROW,
          [](unsigned, void* count, void*, void*) {
            ++*static_cast<int*>(count);
            return 0;
          },
          &rows_read);
    }
    ASSERT_TRUE(rs->AddNew().ok());
    ASSERT_TRUE(rs->Set("ItemId", Variant("NEW")).ok());
    ASSERT_TRUE(rs->Set("Qty", Variant::Integer(999)).ok());
    ASSERT_TRUE(rs->Update().ok());
    // Change the added row again: it is stored in place, not added twice.
    ASSERT_TRUE(rs->Set("Qty", Variant::Integer(1000)).ok());
    ASSERT_TRUE(rs->Update().ok());
    EXPECT_EQ(0, rows_read);
    EXPECT_EQ(c.rows_before + 1, rs->RecordCount());
    std::vector<std::string> ids = Walk(*rs, "ItemId");
    EXPECT_EQ(static_cast<size_t>(c.rows_before + 1), ids.size());
    EXPECT_EQ(1, std::count(ids.begin(), ids.end(), "NEW"));
    EXPECT_EQ("NEW", ids.empty() ? "" : ids.back());
    EXPECT_EQ((Rows{{"1000"}}),
              QuerySql(db(), "SELECT Qty FROM Items WHERE ItemId = 'NEW'"));
  }
}

TEST_P(RecordSourceTest, SetStoresValuesInTheColumnsForm) {
  const double moment = At(2024, 3, 1, 9, 15, 30);
  struct Case {
    const char* column;
    Variant value;
    const char* stored;
    bool sqlite_only = false;
  } cases[] = {
      {"Stamp", Variant::Date(moment), "2024-03-01 09:15:30"},
      {"Stamp", Variant("2024-03-01T09:15"), "2024-03-01 09:15:00"},
      {"Day", Variant::Date(moment), "2024-03-01", kSqliteOnly},
      {"Hour", Variant::Date(moment), "09:15:30", kSqliteOnly},
      {"Hour", Variant("17:00"), "17:00:00", kSqliteOnly},
      {"Flag", Variant::Boolean(true), "1"},
      {"Flag", Variant("False"), "0"},
      {"Count", Variant::Double(41.5), "42"},
      // Columns are named in any case; numbers keep the column's type.
      {"cOUNT", Variant("  42 "), "42"},
      {"ratio", Variant::Integer(3), "3.0"},
      {"Name", Variant::Date(moment), "2024-03-01 09:15:30"},
      {"Stamp", Variant(), "NULL"},
  };
  for (const Case& c : cases) {
    if (!Runs(c.sqlite_only)) continue;
    auto rs = Open("SELECT * FROM Typed", OpenMode::kUpdate);
    ASSERT_NE(nullptr, rs);
    Status s = rs->Set(c.column, c.value);
    ASSERT_TRUE(s.ok()) << c.column << " " << Describe(c.value) << ": "
                        << s.message();
    ASSERT_TRUE(rs->Update().ok());
    EXPECT_EQ(c.stored, QueryValue(db(), std::string("SELECT ") + c.column +
                                             " FROM Typed"))
        << c.column << " set to " << Describe(c.value);
  }
}

TEST_P(RecordSourceTest, SetThatCannotConvertFailsAndChangesNothing) {
  struct Case {
    const char* column;
    Variant value;
    Status::Code code;
    bool sqlite_only = false;
  } cases[] = {
      {"Nope", Variant("x"), Status::Code::kNotFound},
      {"Stamp", Variant("abc"), Status::Code::kInvalidArgument},
      {"Day", Variant("01/03/2024"), Status::Code::kInvalidArgument,
       kSqliteOnly},
      {"Hour", Variant("25:00"), Status::Code::kInvalidArgument, kSqliteOnly},
      {"Count", Variant("abc"), Status::Code::kInvalidArgument},
      {"Count", Variant::Double(1e12), Status::Code::kInvalidArgument},
      {"Ratio", Variant("1,5"), Status::Code::kInvalidArgument},
      {"Flag", Variant("maybe"), Status::Code::kInvalidArgument},
  };
  for (OpenMode mode : kAllModes) {
    for (const Case& c : cases) {
      if (!Runs(c.sqlite_only)) continue;
      SCOPED_TRACE(std::string(ModeName(mode)) + " " + c.column + " = " +
                   Describe(c.value));
      auto rs = Open("SELECT * FROM Typed", mode);
      ASSERT_NE(nullptr, rs);
      Status s = rs->Set(c.column, c.value);
      EXPECT_EQ(c.code, s.code()) << s.message();
      if (c.code == Status::Code::kNotFound) {
        EXPECT_EQ("unknown column: Nope", s.message());
      }
      Variant count;
      ASSERT_TRUE(rs->Get("Count", &count).ok());
      EXPECT_TRUE(Variant::Integer(1) == count) << Describe(count);
      EXPECT_TRUE(rs->Update().ok());
      rs->Close();
      EXPECT_EQ((testing::Rows{{"first", "kept", "NULL", "1", "NULL"}}),
                QuerySql(db(),
                         "SELECT Name, Notes, Stamp, Count, Id "
                         "FROM Typed"));
    }
  }
}

TEST_P(RecordSourceTest, OnlyRowsOfOneTableCanBeStored) {
  struct Case {
    const char* query;
    bool storable;
  } cases[] = {
      {"SELECT * FROM Items WHERE ItemId = 'A'", true},
      {"SELECT /* FROM Typed */ * FROM Items WHERE ItemId = 'A'", true},
      {"SELECT [Description], ItemId AS [From] FROM [Items] "
       "WHERE ItemId = 'A'",
       true},
      {"SELECT DISTINCT * FROM Items WHERE ItemId = 'A'", false},
      {"SELECT (SELECT Name FROM Typed) AS Description FROM Items "
       "WHERE ItemId = 'A'",
       false},
      {"SELECT ItemId, max(Description) AS Description FROM Items "
       "GROUP BY ItemId HAVING ItemId = 'A'",
       false},
      {"SELECT i.* FROM Items i JOIN Typed t ON t.Count = i.Qty "
       "WHERE i.ItemId = 'A'",
       false},
      {"SELECT * FROM Items WHERE ItemId = 'A' "
       "UNION SELECT * FROM Items WHERE ItemId = 'Z'",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    ExecSql(db(),
            "UPDATE Items SET Description = 'adapter' "
            "WHERE ItemId = 'A'");
    auto rs = Open(c.query, OpenMode::kUpdate);
    ASSERT_NE(nullptr, rs);
    ASSERT_EQ(1, rs->RecordCount());
    ASSERT_TRUE(rs->Set("Description", Variant("changed")).ok());
    Status s = rs->Update();
    EXPECT_EQ(c.storable, s.ok()) << s.message();
    if (!c.storable) {
      EXPECT_EQ(Status::Code::kNotSupported, s.code()) << s.message();
    }
    EXPECT_EQ(c.storable ? "changed" : "adapter",
              QueryValue(db(),
                         "SELECT Description FROM Items "
                         "WHERE ItemId = 'A'"));
  }
}

// Update stores only the changed columns and Delete removes only the current
// row; Close discards a row never stored, and the source then refuses every
// call.
TEST_P(RecordSourceTest, WritesTouchOnlyTheCurrentRowAndCloseDiscards) {
  auto rs = Open("SELECT * FROM Items ORDER BY ItemId", OpenMode::kUpdate);
  ASSERT_NE(nullptr, rs);
  ASSERT_FALSE(rs->eof());
  // Another session changes another column of the row meanwhile.
  ExecSql(db(), "UPDATE Items SET Qty = 50 WHERE ItemId = 'A'");
  ASSERT_TRUE(rs->Set("Description", Variant("adaptor")).ok());
  ASSERT_TRUE(rs->Update().ok());
  ASSERT_TRUE(rs->MoveNext().ok());
  ASSERT_TRUE(rs->Delete().ok());
  Variant value;
  EXPECT_EQ("no current row", rs->Get("ItemId", &value).message());
  EXPECT_EQ(2, rs->RecordCount());
  ASSERT_TRUE(rs->MoveNext().ok());
  ASSERT_TRUE(rs->Get("ItemId", &value).ok());
  EXPECT_EQ("C", value.ToText());
  ASSERT_TRUE(rs->AddNew().ok());
  ASSERT_TRUE(rs->Set("ItemId", Variant("D")).ok());
  rs->Close();
  EXPECT_EQ((testing::Rows{{"C", "cable", "3"}, {"A", "adaptor", "50"}}),
            QuerySql(db(), "SELECT * FROM Items ORDER BY rowid"));
  EXPECT_EQ("record source is closed", rs->Get("ItemId", &value).message());
  EXPECT_EQ("record source is closed", rs->Update().message());
}

TEST_P(RecordSourceTest, WritesToReadRowsStayInMemory) {
  for (OpenMode mode : {OpenMode::kRead, OpenMode::kLookup}) {
    SCOPED_TRACE(ModeName(mode));
    auto rs = Open("SELECT * FROM Items ORDER BY ItemId", mode);
    ASSERT_NE(nullptr, rs);
    ASSERT_TRUE(rs->Set("Description", Variant("default")).ok());
    ASSERT_TRUE(rs->Update().ok());
    Variant value;
    ASSERT_TRUE(rs->Get("Description", &value).ok());
    EXPECT_EQ("default", value.ToText());

    ASSERT_TRUE(rs->AddNew().ok());
    ASSERT_TRUE(rs->Set("ItemId", Variant("D")).ok());
    ASSERT_TRUE(rs->Update().ok());
    EXPECT_EQ(4, rs->RecordCount());
    EXPECT_FALSE(rs->Delete().ok());
    rs->Close();
    EXPECT_EQ(
        (testing::Rows{{"A", "adapter"}, {"B", "battery"}, {"C", "cable"}}),
        QuerySql(db(),
                 "SELECT ItemId, Description FROM Items "
                 "ORDER BY 1"));
  }
}

TEST_P(RecordSourceTest, FilterNarrowsToMatchingRows) {
  ExecSql(db(),
          "INSERT INTO Items VALUES ('B', 'bulb', 5), "
          "('O''Neil', 'named', 0)");
  struct Case {
    const char* column;
    const char* key;
    std::vector<std::string> descriptions;
  } cases[] = {
      {"ItemId", "B", {"battery", "bulb"}},
      {"itemid", "O'Neil", {"named"}},
      {"ItemId", "", {}},
      {"Qty", "5", {"bulb"}},
  };
  for (OpenMode mode : {OpenMode::kLookup, OpenMode::kUpdate}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(ModeName(mode)) + " " + c.column + " = " +
                   c.key);
      auto rs = Open("SELECT * FROM Items", mode);
      ASSERT_NE(nullptr, rs);
      ASSERT_TRUE(rs->Filter(c.column, c.key).ok());
      EXPECT_EQ(static_cast<int32_t>(c.descriptions.size()), rs->RecordCount());
      EXPECT_EQ(c.descriptions.empty(), rs->eof());
      EXPECT_EQ(c.descriptions, Walk(*rs, "Description"));
    }
  }
  auto rs = Open("SELECT * FROM Items", OpenMode::kLookup);
  ASSERT_NE(nullptr, rs);
  EXPECT_EQ("unknown column: Nope", rs->Filter("Nope", "x").message());
}

TEST_P(RecordSourceTest, AReadFailurePartWayEndsTheWalkAndSticks) {
  if (GetParam() == Store::kPostgres) {
    GTEST_SKIP() << "PostgreSQL reads a query's rows at open: a read "
                    "failure fails the open (SessionReadTest)";
  }
  testing::FailReadsAfter(db(), "Items", 1);
  const std::string failure = testing::kInjectedReadFailure;
  std::unique_ptr<RecordSource> rs;
  EXPECT_EQ(failure, RecordSource::Open(db(), "SELECT * FROM Items",
                                        OpenMode::kLookup, &rs)
                         .message());
  for (OpenMode mode : {OpenMode::kRead, OpenMode::kUpdate}) {
    SCOPED_TRACE(ModeName(mode));
    rs = Open("SELECT * FROM Items", mode);
    ASSERT_NE(nullptr, rs);
    EXPECT_TRUE(rs->status().ok());
    int rows = 0;
    // Only eof() ends this walk: the moves' own results are left to
    // status(), as a caller may.
    for ((void)rs->MoveFirst(); !rs->eof(); (void)rs->MoveNext()) ++rows;
    // A read source shows the row it read before the failure; an update
    // source reads all rows at once and so shows none.
    EXPECT_EQ(mode == OpenMode::kRead ? 1 : 0, rows);
    EXPECT_EQ(failure, rs->status().message());
    EXPECT_EQ(failure, rs->MoveFirst().message());
    EXPECT_EQ(failure, rs->MoveNext().message());
    EXPECT_TRUE(rs->eof());
  }
}

TEST_P(RecordSourceTest, FailuresAtOpenCarryTheirReason) {
  const std::string missing = fixture_.dir().File("missing.db");
  struct Case {
    std::string path;
    std::string_view query;
    std::string message;  // the start of the message
    // The start of PostgreSQL's own message, where it differs.
    const char* postgres_message = nullptr;
  } cases[] = {
      // Missing tables and columns, a NUL in the text and an empty DBPath:
      // the login, search and activity tests, where commands meet them.
      {db(), "SELECT * FROM [Items", "unrecognized token",
       "the query cannot be translated for PostgreSQL: unterminated name"},
      {db(), "", "the query is empty"},
      // A wrong path names itself and leaves no file behind.
      {missing, "SELECT * FROM Items",
       "unable to open database file: " + missing},
  };
  for (OpenMode mode : kAllModes) {
    for (const Case& c : cases) {
      const std::string message =
          GetParam() == Store::kPostgres && c.postgres_message != nullptr
              ? c.postgres_message
              : c.message;
      std::unique_ptr<RecordSource> rs;
      Status s = RecordSource::Open(c.path, c.query, mode, &rs);
      EXPECT_FALSE(s.ok()) << ModeName(mode) << " " << c.query;
      EXPECT_EQ(0u, s.message().rfind(message, 0))
          << ModeName(mode) << " " << c.query << ": " << s.message();
      EXPECT_EQ(nullptr, rs);
    }
  }
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    EXPECT_FALSE(std::filesystem::exists(missing + suffix)) << suffix;
  }
}

// A page that is still walking its rows must not hold up another session's
// save.
TEST_P(RecordSourceTest, ReaderInTheMiddleOfItsRowsDoesNotBlockAWriter) {
  auto reader = Open("SELECT * FROM Items", OpenMode::kRead);
  ASSERT_NE(nullptr, reader);
  ExecSql(db(), "INSERT INTO Items VALUES ('D', 'dock', 4)");

  EXPECT_EQ((std::vector<std::string>{"C", "A", "B"}), Walk(*reader, "ItemId"));
}

KIRVS_ON_EVERY_STORE(RecordSourceTest);

}  // namespace
}  // namespace kirvs
