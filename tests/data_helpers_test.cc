#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/audit_trail.h"
#include "data/lookups.h"
#include "data/request_numbers.h"
#include "platform/clock.h"
#include "platform/settings_file.h"
#include "platform/text_forms.h"
#include "test_support.h"

namespace kirvs {
namespace {

using namespace testing;  // the helpers of test_support.h

// A small help desk on the store of the test's parameter.
class DeskTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!fixture_.available()) GTEST_SKIP() << kNoPostgres;
  }

  HelpDeskFixture fixture_{GetParam()};
};

// ---------------------------------------------------------------- selection

// The expected markup of list `name` offering `values` (as they appear in
// the markup), with the option `selected` marked: nullptr marks the blank
// option, a value that is not offered marks none.
std::string Expected(const char* name, std::vector<const char*> values,
                     const char* selected) {
  std::string markup =
      std::string("<select name='") + name + "' size='1'>" +
      (selected ? "<option value=' '> " : "<option value=' ' selected> ");
  for (const char* value : values) {
    bool mark = selected != nullptr && std::string(value) == selected;
    markup += std::string("<option value='") + value + "'" +
              (mark ? " selected>" : ">") + value;
  }
  return markup + "</select>";
}

TEST_P(DeskTest, SelectListMarksTheCurrentValue) {
  ExecSql(fixture_.db_path(), R"sql(
    CREATE TABLE Codes (Code INTEGER, Label VARCHAR(10));
    INSERT INTO Codes VALUES (10, 'ten'), (2, 'two'), (1, 'one');
    CREATE TABLE TextCodes (Code VARCHAR(5));
    INSERT INTO TextCodes VALUES ('2'), ('1');
    CREATE TABLE Empty (Code VARCHAR(5));
    CREATE TABLE [Sub-Departments] (SubDepartment VARCHAR(20));
    INSERT INTO [Sub-Departments] VALUES ('South'), ('North');
    CREATE TABLE Odd (Code VARCHAR(20));
    INSERT INTO Odd VALUES ('O''Brien'), ('<b>&'), (NULL);
  )sql");
  const std::vector<const char*> priorities = {"High", "Low", "Medium"};
  const std::vector<const char*> numbers = {"1", "2", "10"};
  struct Case {
    const char* field;
    const char* table;
    Variant current;
    std::string expected;
  } cases[] = {
      {"P", "Priority", Variant(), Expected("P", priorities, nullptr)},
      {"P", "Priority", Variant("Low"), Expected("P", priorities, "Low")},
      {"P", "Priority", Variant("low"), Expected("P", priorities, "-")},
      {"P", "Priority", Variant::Null(), Expected("P", priorities, "-")},
      {"C", "Codes", Variant::Integer(2), Expected("C", numbers, "2")},
      {"C", "Codes", Variant("2"), Expected("C", numbers, "-")},
      {"C", "TextCodes", Variant::Integer(2), Expected("C", {"1", "2"}, "-")},
      {"C", "TextCodes", Variant("2"), Expected("C", {"1", "2"}, "2")},
      {"E", "Empty", Variant(""), Expected("E", {}, nullptr)},
      {"SD", "Sub-Departments", Variant("South"),
       Expected("SD", {"North", "South"}, "South")},
      {"Who's", "Odd", Variant("O'Brien"),
       "<select name='Who&#39;s' size='1'><option value=' '> "
       "<option value=''><option value='&lt;b&gt;&amp;'>&lt;b&gt;&amp;"
       "<option value='O&#39;Brien' selected>O&#39;Brien</select>"},
      // A table that cannot be read gives no markup at all.
      {"F", "Nope", Variant(""), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected,
              BuildSelectList(fixture_.ini_path(), c.field, c.table, c.current))
        << c.table << " with current " << testing::Describe(c.current);
  }
}

// ------------------------------------------------------------------ lookup

TEST_P(DeskTest, LookupFindsTheColumnOfTheFirstMatchingRow) {
  ExecSql(fixture_.db_path(), R"sql(
    INSERT INTO Personnel VALUES ('Dup', 'first', NULL, NULL, 'd1'),
                                 ('O''Hara', 'Service', NULL, NULL, 'oh'),
                                 ('Dup', 'second', NULL, NULL, 'd2');
    CREATE INDEX PersonnelByGroup ON Personnel (Name, WorkGroup DESC);
    CREATE TABLE [Sub-Departments] (SubDepartment VARCHAR(20),
                                    Department VARCHAR(20));
    INSERT INTO [Sub-Departments] VALUES ('South', 'Sales'),
                                         ('North', 'Sales');
  )sql");
  struct Case {
    const char* table;
    const char* key;
    int position;
    const char* expected;
  } cases[] = {
      {"Personnel", "Ann Smith", 1, "Network"},
      {"Personnel", "Bob Jones", 3, ""},  // null
      {"Personnel", "Dup", 1, "first"},
      {"Personnel", "O'Hara", 1, "Service"},
      {"Personnel", "x' OR '1'='1", 1, ""},
      {"Personnel", "Ann Smith", 5, ""},
      {"Personnel", "Ann Smith", -1, ""},
      {"Users", "carol", 1, "Carol White"},
      {"Current_Requests", "7", 8, "High"},
      {"Sub-Departments", "North", 1, "Sales"},
      {"Nope", "Ann Smith", 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected,
              LookupValue(fixture_.ini_path(), c.table, c.key, c.position))
        << c.table << " key '" << c.key << "' column " << c.position;
  }
  testing::TempDir other;
  EXPECT_EQ(
      "", LookupValue(other.File("missing.ini"), "Personnel", "Ann Smith", 1));
}

// ---------------------------------------------------------- request numbers

TEST_P(DeskTest, RequestNumbersCountOnFromTheStoredCounter) {
  // The stored counter (nullptr: no row) and the number drawn after it; 0:
  // none, at the end of the range, and the counter stays as it was (a write
  // that fails: ANewRequestWhoseNumberingFailsIsNotStored).
  const std::pair<const char*, int32_t> cases[] = {
      {"41", 42}, {nullptr, 1},      {"NULL", 1},       {"0", 1},
      {"''", 1},  {"41.5", 42},      {"' 4 1abc'", 42}, {"42.5", 44},
      {"-3", -2}, {"2147483647", 0},
  };
  for (const auto& [stored, expected] : cases) {
    // Only SQLite's integer column keeps text and fractions as they are.
    if (GetParam() == Store::kPostgres && stored != nullptr &&
        std::string_view(stored).find_first_of("'.") != std::string::npos) {
      continue;
    }
    SCOPED_TRACE(stored ? stored : "no row");
    HelpDeskFixture fixture(GetParam());
    ExecSql(fixture.db_path(),
            (stored ? std::string("UPDATE Counters SET LastNumber = ") + stored
                    : std::string("DELETE FROM Counters")) +
                " WHERE FileName = 'Current_Requests'");
    std::shared_ptr<Database> db;
    ASSERT_TRUE(Database::Open(fixture.db_path(), &db).ok());
    int32_t number = -1;
    Status s = NextRequestNumber(db, &number);
    EXPECT_EQ(expected != 0, s.ok()) << s.message();
    EXPECT_EQ(expected, number);
    EXPECT_EQ((Rows{{"Activities", "900"},
                    {"Current_Requests",
                     expected != 0 ? std::to_string(expected) : stored}}),
              QuerySql(fixture.db_path(),
                       "SELECT * FROM Counters ORDER BY FileName"));
  }
}

// -------------------------------------------------------------- audit trail

TEST_P(DeskTest, AuditEntriesDescribeTheRequestRow) {
  // Request 8 gets a person but no work group; 9 is completed at midnight.
  ExecSql(fixture_.db_path(), R"sql(
    UPDATE Current_Requests SET Personnel = 'Bob Jones',
           Allocated = '2024-03-02 11:00:00' WHERE RequestNo = 8;
    INSERT INTO Current_Requests (RequestNo, Priority, ResolutionCode,
                                  Resolution, Completed)
      VALUES (9, 'Low', 'R2', 'It''s <fixed>', '2024-03-05 00:00:00');
    INSERT INTO Current_Requests (RequestNo, Priority) VALUES (10, 'Low');
  )sql");
  // A change list whose description runs past the 255 characters kept.
  std::string long_list, long_description;
  for (int i = 0; i < 30; ++i) {
    long_list += "Field" + std::to_string(i) + ":v|";
    long_description += "Field" + std::to_string(i) + ":v; ";
  }
  long_description.resize(255);
  struct Case {
    int request_no;
    int event;
    std::string change_list;
    const char* event_name;  // nullptr: nothing to say, no row
    std::string description;
  } cases[] = {
      // Only the risky descriptions: none at all, empty columns, a change
      // list cut short, a completion at midnight, text with markup (stored
      // as it is). Schedules and short change lists: RequestSaveTest.
      {7, 9, "", nullptr, ""},
      {7, 100, "A:b|", nullptr, ""},
      {7, kAuditUpdated, "", nullptr, ""},
      {10, 0, "", "Logged", "Priority: Low; "},
      {8, 1, "", "Allocated",
       "Allocated to: ,Bob Jones at 2024-03-02 11:00:00"},
      {7, 4, long_list, "Updated", long_description},
      {7, 5, "", "Closed", "Code: R1; Desc: Fuser replaced Date/Time: "},
      {9, 5, "", "Closed",
       "Code: R2; Desc: It's <fixed> Date/Time: 2024-03-05"},
  };
  const double before = CurrentMoment();
  for (const Case& c : cases) {
    SCOPED_TRACE("request " + std::to_string(c.request_no) + " event " +
                 std::to_string(c.event));
    ExecSql(fixture_.db_path(), "DELETE FROM Request_AuditTrail");
    std::unique_ptr<RecordSource> request;
    ASSERT_TRUE(RecordSource::Open(fixture_.db_path(),
                                   "SELECT * FROM Current_Requests WHERE "
                                   "RequestNo = " +
                                       std::to_string(c.request_no),
                                   OpenMode::kUpdate, &request)
                    .ok());
    EXPECT_TRUE(AddAuditEntry(c.event, *request, "ann", c.change_list).ok());
    Rows expected;
    if (c.event_name != nullptr) {
      expected = {
          {std::to_string(c.request_no), "ann", c.event_name, c.description}};
    }
    EXPECT_EQ(expected, QuerySql(fixture_.db_path(),
                                 "SELECT RequestNo, UserId, Event, "
                                 "Description FROM Request_AuditTrail"));
  }
  // Stamped with the current moment, to the second.
  const std::string stamp = QueryValue(
      fixture_.db_path(), "SELECT EntryDate FROM Request_AuditTrail");
  const double moment = ParseDate(stamp).value_or(0);
  EXPECT_GE(moment, before - 1.0 / 86400) << stamp;
  EXPECT_LE(moment, CurrentMoment() + 1.0 / 86400) << stamp;
}

TEST_P(DeskTest, AnUnwritableAuditTrailIsReportedAndLeavesTheRowUsable) {
  for (bool drop : {false, true}) {
    SCOPED_TRACE(drop ? "table missing" : "writes fail");
    HelpDeskFixture fixture(GetParam());
    if (drop) {
      DropTable(fixture.db_path(), "Request_AuditTrail");
    } else {
      FailWrites(fixture.db_path(), "Request_AuditTrail");
    }
    std::unique_ptr<RecordSource> request;
    ASSERT_TRUE(RecordSource::Open(fixture.db_path(),
                                   "SELECT * FROM Current_Requests",
                                   OpenMode::kUpdate, &request)
                    .ok());
    EXPECT_FALSE(AddAuditEntry(kAuditLogged, *request, "ann", "").ok());
    // The request row is still usable afterwards.
    ASSERT_TRUE(request->Set("Status", Variant("Held")).ok());
    EXPECT_TRUE(request->Update().ok());
  }
}

KIRVS_ON_EVERY_STORE(DeskTest);

}  // namespace
}  // namespace kirvs
