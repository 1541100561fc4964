// The search forms, both searches and their criteria, and the item pages, on
// a small inventory made here so that pages can be compared byte for byte.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "kirvs/submitted_form.h"
#include "pages/session_state.h"
#include "platform/settings_file.h"
#include "search/criteria.h"
#include "search/item_pages.h"
#include "search/search_form.h"
#include "search/search_results.h"
#include "test_support.h"

namespace kirvs {
namespace {

using testing::Fields;
using testing::Form;

const char kInventorySql[] = R"sql(
CREATE TABLE Items (ItemId VARCHAR(20) PRIMARY KEY, Description VARCHAR(100),
                    Location VARCHAR(30), Qty INTEGER,
                    [Sub-Department] VARCHAR(30), [Date/Time] DATETIME);
INSERT INTO Items VALUES
  ('A1', 'Laser printer', 'Level 2', 5, 'North', '2024-01-15'),
  ('A2', 'Desk lamp', 'Level 2', 12, 'South', NULL),
  ('B7', 'Inkjet printer', 'Level 3', 3, 'North', '2023-06-01 10:30:00'),
  ('O''B 1', 'O''Brien''s <b>screen</b> & cable', 'Level 3', 1, 'East', NULL);
CREATE TABLE Item_Configuration (ItemId VARCHAR(20), SUBITEMID INTEGER,
                                 Description VARCHAR(60), Size VARCHAR(30));
INSERT INTO Item_Configuration VALUES
  ('A1', 2, 'Memory', '64 MB'), ('A1', 1, 'Tray', '250 sheets'),
  ('B7', 1, 'Cartridge', 'Black'), ('O''B 1', 1, 'Cable <HDMI>', '2 m'),
  ('X', 1, 'Fan', 'Quiet');
CREATE TABLE Solutions (SolutionId INTEGER PRIMARY KEY,
                        Description VARCHAR(100), Product VARCHAR(20),
                        Keywords VARCHAR(100));
INSERT INTO Solutions VALUES (1, 'Clear the paper path', 'Printer', 'jam');
CREATE TABLE Locations (Location VARCHAR(30), Description VARCHAR(60));
INSERT INTO Locations VALUES ('Level 3', 'Third floor'),
                             ('Level 2', 'Second floor');
CREATE TABLE Status (Status VARCHAR(20), Description VARCHAR(60));
INSERT INTO Status VALUES ('Open', ''), ('Closed', '');
)sql";

// The item ids that the row buttons of an inventory page name, as written.
std::vector<std::string> RowButtons(const std::string& page) {
  std::vector<std::string> ids;
  const std::string start = "value=*";
  for (size_t at = page.find(start); at != std::string::npos;
       at = page.find(start, at + 1)) {
    size_t from = at + start.size();
    ids.push_back(page.substr(from, page.find(' ', from) - from));
  }
  return ids;
}

class SearchTest : public ::testing::TestWithParam<Store> {
 protected:
  void SetUp() override {
    if (!fixture_.available()) GTEST_SKIP() << testing::kNoPostgres;
  }

  void Set(const char* key, const char* value) {
    ASSERT_TRUE(
        WriteIniString(fixture_.ini_path(), "Settings", key, value).ok());
  }

  testing::HelpDeskFixture fixture_{kInventorySql, GetParam()};
  SessionState session_{fixture_.ini_path()};
};

KIRVS_ON_EVERY_STORE(SearchTest);

// --- search form ---------------------------------------------------------

// The rows of a search form, each as its label and what stands in it: the
// select list's options, "text <name>" or nothing.
std::vector<std::string> FormRows(const std::string& page) {
  static const std::regex kRow(
      "<tr><td><font size=2 face=arial>([^<]*)</td><td>(.*?)</td></tr>");
  static const std::regex kText("^<input type='Text' name='([^']*)'>$");
  std::vector<std::string> rows;
  for (std::sregex_iterator it(page.begin(), page.end(), kRow), end; it != end;
       ++it) {
    std::string input = (*it)[2];
    std::smatch text;
    if (std::regex_match(input, text, kText)) input = "text " + text[1].str();
    rows.push_back((*it)[1].str() + ": " + input);
  }
  return rows;
}

TEST_P(SearchTest, InventoryFormRowsFollowTheFieldListExactly) {
  struct Case {
    const char* list;  // nullptr: setting missing
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {nullptr, {"*: text *"}},
      {"Qty, Status", {"Qty: text Qty", " Status: text  Status"}},
      {"Status,,",
       {"Status: <select name='Status' size='1'><option value=' ' selected> "
        "<option value='Closed'>Closed<option value='Open'>Open</select>",
        ": text "}},
      // Departments is missing: the row keeps its label, without an input.
      {"Department", {"Department: "}},
      {"a'b<c>", {"a&#39;b&lt;c&gt;: text a&#39;b&lt;c&gt;"}},
  };
  for (const Case& c : cases) {
    if (c.list != nullptr) Set("SearchInventory", c.list);
    session_.error_text = "left alone";
    ASSERT_EQ(std::optional<bool>(true),
              ShowSearchForm(&session_, "SEARCH INVENTORY"));
    EXPECT_EQ(c.rows, FormRows(session_.page_text))
        << (c.list ? c.list : "(missing)");
    EXPECT_EQ("left alone", session_.error_text);
  }
}

// --- criteria ------------------------------------------------------------

TEST(SearchCriteriaTest, OperatorsNamesAndQuoting) {
  struct Case {
    Fields fields;
    const char* sql;
    const char* html = nullptr;  // as shown on the results page, if not sql
  };
  const Case cases[] = {
      {{}, ""},
      {{{"Location", "Level 2"}, {"Description", "%printer%"}},
       " WHERE Location='Level 2' AND Description Like '%printer%'"},
      {{{"Qty", "<=5"}, {"Location", "<>Level 2"}},
       " WHERE Qty<='5' AND Location<>'Level 2'"},
      {{{"Qty", ">5"}}, " WHERE Qty='>5'", " WHERE Qty='&gt;5'"},
      {{{"Qty", "<>%"}}, " WHERE Qty<>'%'"},
      {{{"Qty", "   "}, {"Location", "  Level 2 "}},
       " WHERE Location='Level 2 '"},
      {{{"KIRVSCommand", "Search Inventory Now"},
        {"KIRVSCurrentUser", "ann"},
        {"kirvsX", "1"}},
       " WHERE kirvsX='1'"},
      {{{"Description", "O'Brien"}},
       " WHERE Description='O''Brien'",
       " WHERE Description='O&#39;&#39;Brien'"},
      {{{"Sub-Department", "North"}, {"Date/Time", "2024-01-15"}},
       " WHERE [Sub-Department]='North' AND [Date/Time]='2024-01-15'"},
      {{{" Status", "Open"}}, " WHERE  Status='Open'"},
      // A name that is not plain counts only when its field is filled.
      {{{"*", ""}, {"a;b", " "}, {"Qty", "1"}}, " WHERE Qty='1'"},
      // The submitted form joins a name posted twice.
      {{{"Qty", "1"}, {"qty", "2"}}, " WHERE Qty='1, 2'"},
      // Shown, names and values are escaped, not the words around them.
      {{{"Qty", ">=<5>"}, {"Description", "%O'B & \"x\"%"}},
       " WHERE Qty>='<5>' AND Description Like '%O''B & \"x\"%'",
       " WHERE Qty>='&lt;5&gt;' AND Description Like "
       "'%O&#39;&#39;B &amp; &quot;x&quot;%'"},
  };
  for (const Case& c : cases) {
    SubmittedForm form(c.fields);
    SearchCriteria criteria;
    ASSERT_TRUE(BuildSearchCriteria(&form, &criteria).ok()) << c.sql;
    EXPECT_EQ(c.sql, criteria.sql);
    EXPECT_EQ(c.html ? c.html : c.sql, criteria.html) << c.sql;
  }
}

// --- inventory search ----------------------------------------------------

TEST_P(SearchTest, InventoryOperatorsFindTheirRows) {
  struct Case {
    Fields fields;
    std::vector<std::string> buttons;
  };
  const Case cases[] = {
      {{}, {"A1", "A2", "B7", "O&#39;B&#32;1"}},
      {{{"Description", "%printer%"}}, {"A1", "B7"}},
      {{{"Qty", "<=3"}}, {"B7", "O&#39;B&#32;1"}},
      {{{"ItemId", "O'B 1"}}, {"O&#39;B&#32;1"}},
      {{{"Sub-Department", "North"}, {"Location", "Level 3"}}, {"B7"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(RunInventorySearch(&session_, Form(c.fields)))
        << session_.error_text;
    EXPECT_EQ(c.buttons, RowButtons(session_.page_text)) << session_.error_text;
  }
}

TEST_P(SearchTest, SearchFailuresGiveTheMessageAndNoPage) {
  const std::string long_pattern = "%" + std::string(60000, 'a');
  const std::string too_complex = "LIKE or GLOB pattern too complex";
  struct Case {
    Fields fields;
    std::string error;
  };
  const Case cases[] = {
      {{{"Colour", "red"}}, "no such column: Colour"},
      {{{"Description", long_pattern}}, too_complex},
      // Put into the query as it stands, this name would list every row.
      {{{"1=1 OR Description", "x"}}, "unknown column: 1=1 OR Description"},
      {{{"Loc'ation", "x"}}, "unknown column: Loc&#39;ation"},
      // SQLite would stop reading the query at the NUL.
      {{{"Description", std::string("a\0' OR 1=1 --", 13)}},
       "text contains a NUL character"},
  };
  for (const Case& c : cases) {
    // The limit on a pattern's length is SQLite's own; PostgreSQL has none.
    if (c.error == too_complex && GetParam() == Store::kPostgres) continue;
    for (bool items : {true, false}) {
      session_.page_text = "previous";
      EXPECT_FALSE(items ? RunInventorySearch(&session_, Form(c.fields))
                         : RunSolutionsSearch(&session_, Form(c.fields)));
      EXPECT_EQ(std::string("An error occurred while trying to retrieve ") +
                    (items ? "inventory items from Items table ("
                           : "solutions from Solutions table (") +
                    c.error + ").",
                session_.error_text);
      EXPECT_EQ("", session_.page_text);
      EXPECT_EQ(nullptr, session_.current_rs);
    }
  }
}

// --- item pages ----------------------------------------------------------

// An item page that fails keeps the previous page; configuration pages.
TEST_P(SearchTest, ItemAndConfigurationPages) {
  Set("DisplayItem", "ItemId, Colour");
  session_.page_text = "previous";
  EXPECT_FALSE(ShowItem(&session_, Variant("A1")));
  EXPECT_EQ(
      "An error occurred while trying to retrieve an item from the "
      "Items table (no such column: Colour).",
      session_.error_text);
  EXPECT_EQ("previous", session_.page_text);

  Set("ConfigList", "SUBITEMID, Description");
  struct Case {
    Fields fields;
    std::string title;
    std::string count;
  };
  const Case cases[] = {
      // The item page posts its hidden itemid and the form's ItemId.
      {{{"ItemId", "X,Y"}}, "X", "1"},
      {{{"ItemId", "A2"}}, "A2", "0"},
      {{{"ItemId", "O'B 1"}}, "O&#39;B 1", "1"},
  };
  for (const Case& c : cases) {
    session_.error_text = "previous";
    ASSERT_TRUE(ShowItemConfiguration(&session_, Form(c.fields)))
        << session_.error_text;
    const std::string& page = session_.page_text;
    EXPECT_NE(std::string::npos,
              page.find("Configuration Details for Item: " + c.title + "<"))
        << page;
    EXPECT_NE(std::string::npos,
              page.find("<p>" + c.count + " configuration items in"))
        << page;
    EXPECT_EQ("", session_.error_text);
  }
  EXPECT_NE(std::string::npos, session_.page_text.find("Cable &lt;HDMI&gt;"));
}

}  // namespace
}  // namespace kirvs
