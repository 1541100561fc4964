// The search forms, both searches and their criteria, and the item pages, on
// a small inventory made here so that pages can be compared byte for byte.

#include <gtest/gtest.h>

#include <memory>
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

using Fields = std::vector<SubmittedForm::Field>;

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
INSERT INTO Solutions VALUES
  (1, 'Clear the paper path', 'Printer', 'jam'),
  (2, 'Reinstall the driver', 'Printer', 'driver'),
  (3, 'Reset the password', 'Email', 'login'),
  (4, 'Ask O''Neill', 'Phone', 'voicemail <pin>');
CREATE TABLE Locations (Location VARCHAR(30), Description VARCHAR(60));
INSERT INTO Locations VALUES ('Level 3', 'Third floor'),
                             ('Level 2', 'Second floor');
CREATE TABLE Status (Status VARCHAR(20), Description VARCHAR(60));
INSERT INTO Status VALUES ('Open', ''), ('Closed', '');
CREATE TABLE Product_Types (ProductType VARCHAR(20), Description VARCHAR(60));
INSERT INTO Product_Types VALUES ('Hardware', '');
)sql";

const char kLogo[] =
    "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
    "size=4><strong>";

Variant Form(Fields fields) {
  return Variant::Form(std::make_shared<SubmittedForm>(std::move(fields)));
}

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

class SearchTest : public ::testing::Test {
 protected:
  void Set(const char* key, const char* value) {
    ASSERT_TRUE(
        WriteIniString(fixture_.ini_path(), "Settings", key, value).ok());
  }

  testing::HelpDeskFixture fixture_{kInventorySql};
  SessionState session_{fixture_.ini_path()};
};

// --- search form ---------------------------------------------------------

const char kLocationSelect[] =
    "<select name='Location' size='1'><option value=' ' selected> <option "
    "value='Level 2'>Level 2<option value='Level 3'>Level 3</select>";

std::string FormRow(const std::string& label, const std::string& input) {
  return "<tr><td><font size=2 face=arial>" + label + "</td><td>" + input +
         "</td></tr>";
}
std::string TextInput(const std::string& name) {
  return "<input type='Text' name='" + name + "'>";
}

TEST_F(SearchTest, InventoryFormRowsFollowTheFieldListExactly) {
  struct Case {
    const char* list;  // nullptr: setting missing
    std::string rows;
  };
  const Case cases[] = {
      {nullptr, FormRow("*", TextInput("*"))},
      {"Location,Description",
       FormRow("Location", kLocationSelect) +
           FormRow("Description", TextInput("Description"))},
      {"Location,Description,",
       FormRow("Location", kLocationSelect) +
           FormRow("Description", TextInput("Description"))},
      {"Location, Status", FormRow("Location", kLocationSelect) +
                               FormRow(" Status", TextInput(" Status"))},
      {"Status,,ProductType",
       FormRow(
           "Status",
           "<select name='Status' size='1'><option value=' ' selected> "
           "<option value='Closed'>Closed<option value='Open'>Open</select>") +
           FormRow("", TextInput("")) +
           FormRow("ProductType",
                   "<select name='ProductType' size='1'><option value=' ' "
                   "selected> <option value='Hardware'>Hardware</select>")},
      {"Qty,Qty",
       FormRow("Qty", TextInput("Qty")) + FormRow("Qty", TextInput("Qty"))},
      // Departments is missing: the row keeps its label, without an input.
      {"Department", FormRow("Department", "")},
      {"a'b<c>", FormRow("a&#39;b&lt;c&gt;", TextInput("a&#39;b&lt;c&gt;"))},
  };
  for (const Case& c : cases) {
    if (c.list != nullptr) Set("SearchInventory", c.list);
    session_.error_text = "left alone";
    ASSERT_EQ(std::optional<bool>(true),
              ShowSearchForm(&session_, "SEARCH INVENTORY"));
    EXPECT_EQ(std::string(kLogo) +
                  "Search Inventory Database</strong></font></p>"
                  "<blockquote><blockquote><table>" +
                  c.rows +
                  "<tr><td></td><td><input type=submit name='KIRVSCommand' "
                  "value='Search Inventory Now'></td></tr></table></blockquote>"
                  "<hr size=2 width=100% color=#008080 noshade>",
              session_.page_text)
        << (c.list ? c.list : "(missing)");
    EXPECT_EQ("left alone", session_.error_text);
  }
}

TEST_F(SearchTest, SolutionsFormUsesItsOwnSettingTitleAndButton) {
  Set("SearchSolutions", "Keywords");
  Set("SearchInventory", "Location");
  ASSERT_EQ(std::optional<bool>(true),
            ShowSearchForm(&session_, "SEARCH SOLUTIONS"));
  EXPECT_EQ(std::string(kLogo) +
                "Search Solutions Database</strong></font></p>"
                "<blockquote><blockquote><table>" +
                FormRow("Keywords", TextInput("Keywords")) +
                "<tr><td></td><td><input type=submit name='KIRVSCommand' "
                "value='Search Solutions Now'></td></tr></table></blockquote>"
                "<hr size=2 width=100% color=#008080 noshade>",
            session_.page_text);
}

TEST_F(SearchTest, FormForAnotherCommandEndsWithoutResult) {
  session_.page_text = "previous";
  EXPECT_EQ(std::nullopt, ShowSearchForm(&session_, "SEARCH"));
  EXPECT_EQ("previous", session_.page_text);
}

// --- criteria ------------------------------------------------------------

TEST(SearchCriteriaTest, OperatorsNamesAndQuoting) {
  struct Case {
    Fields fields;
    const char* sql;
  };
  const Case cases[] = {
      {{}, ""},
      {{{"Location", "Level 2"}, {"Description", "%printer%"}},
       " WHERE Location='Level 2' AND Description Like '%printer%'"},
      {{{"Qty", ">=5"}}, " WHERE Qty>='5'"},
      {{{"Qty", ">= 5"}}, " WHERE Qty>=' 5'"},
      {{{"Qty", "<=5"}, {"Location", "<>Level 2"}},
       " WHERE Qty<='5' AND Location<>'Level 2'"},
      {{{"Qty", "=abc"}}, " WHERE Qty='abc'"},
      {{{"Qty", ">5"}}, " WHERE Qty='>5'"},
      {{{"Qty", "<>%"}}, " WHERE Qty<>'%'"},
      {{{"Qty", "   "}, {"Location", "  Level 2 "}},
       " WHERE Location='Level 2 '"},
      {{{"KIRVSCommand", "Search Inventory Now"},
        {"KIRVSCurrentUser", "ann"},
        {"kirvsX", "1"}},
       " WHERE kirvsX='1'"},
      {{{"Description", "O'Brien"}}, " WHERE Description='O''Brien'"},
      {{{"Description", "%O'B%"}}, " WHERE Description Like '%O''B%'"},
      {{{"Sub-Department", "North"}, {"Date/Time", "2024-01-15"}},
       " WHERE [Sub-Department]='North' AND [Date/Time]='2024-01-15'"},
      {{{" Status", "Open"}}, " WHERE  Status='Open'"},
      {{{"Order", "1"}}, " WHERE [Order]='1'"},
      // A name that is not plain counts only when its field is filled.
      {{{"*", ""}, {"a;b", " "}, {"Qty", "1"}}, " WHERE Qty='1'"},
      // The submitted form joins a name posted twice.
      {{{"Qty", "1"}, {"qty", "2"}}, " WHERE Qty='1, 2'"},
  };
  for (const Case& c : cases) {
    SubmittedForm form(c.fields);
    SearchCriteria criteria;
    ASSERT_TRUE(BuildSearchCriteria(&form, &criteria).ok()) << c.sql;
    EXPECT_EQ(c.sql, criteria.sql);
  }
}

TEST(SearchCriteriaTest, DisplayTextEscapesNamesAndValuesOnly) {
  SubmittedForm form(
      Fields{{"Qty", ">=<5>"}, {"Description", "%O'B & \"x\"%"}});
  SearchCriteria criteria;
  ASSERT_TRUE(BuildSearchCriteria(&form, &criteria).ok());
  EXPECT_EQ(
      " WHERE Qty>='&lt;5&gt;' AND Description Like "
      "'%O&#39;&#39;B &amp; &quot;x&quot;%'",
      criteria.html);
}

TEST(SearchCriteriaTest, NamesThatAreNotPlainAreRefused) {
  const char* names[] = {"Loc'ation", "\"Qty\"",    "Qty;",   "[Qty]",
                         "Qty]",      "1=1 OR Qty", "*",      "",
                         "   ",       "Qty.x",      "Qty--\n"};
  for (const char* name : names) {
    SubmittedForm form(Fields{{"Location", "x"}, {name, "1"}});
    SearchCriteria criteria;
    Status s = BuildSearchCriteria(&form, &criteria);
    EXPECT_FALSE(s.ok()) << name;
    EXPECT_EQ("unknown column: " + std::string(name), s.message());
  }
}

// --- inventory search ----------------------------------------------------

TEST_F(SearchTest, InventoryResultsByteForByte) {
  Set("InventoryList", "ItemId, Description, Location, Qty");
  Variant form = Form({{"KIRVSCommand", "Search Inventory Now"},
                       {"KIRVSCurrentUser", "ann"},
                       {"Location", "  Level 2"},
                       {"Description", ""},
                       {"Qty", ">=5"},
                       {"Sub-Department", " "}});
  ASSERT_TRUE(RunInventorySearch(&session_, form)) << session_.error_text;
  EXPECT_EQ(" WHERE Location='Level 2' AND Qty>='5'", session_.error_text);
  EXPECT_EQ(std::string(kLogo) +
                "Inventory Search Results</strong></font></p>"
                "<p><blockquote><blockquote><font face=arial size=2><b>"
                "<table cellpadding=2 valign=top><tr>"
                "<td bgcolor='#00c0ff'><font size=2><b>ItemId</b></td>"
                "<td bgcolor='#00c0ff'><font size=2><b>Location</b></td>"
                "<td bgcolor='#00c0ff'><font size=2><b>Qty</b></td></tr>"
                "<tr><td><input name=KIRVSCommand value=*A1 type=submit></td>"
                "<td><font size=2>Level 2</td><td><font size=2>5</td></tr>"
                "<tr><td></td><td colspan=3><font size=2>Laser printer</td>"
                "<tr><td><input name=KIRVSCommand value=*A2 type=submit></td>"
                "<td><font size=2>Level 2</td><td><font size=2>12</td></tr>"
                "<tr><td></td><td colspan=3><font size=2>Desk lamp</td>"
                "</table><font size=1 face=arial></b><i><p>2 items in current "
                "list.</i><br><font size=1 face=arial color=blue><i><p>SELECT "
                "ItemId, Description, Location, Qty FROM Items WHERE "
                "Location='Level 2' AND Qty>='5' ORDER BY ItemId</i></p><br>"
                "<input name=KIRVSCommand value='Show List' type=submit><input "
                "name=KIRVSCommand value='Search Solutions' type=submit><input "
                "name=KIRVSCommand value='Search Inventory' type=submit><input "
                "name=KIRVSCommand value='Logout' type=submit>",
            session_.page_text);
  EXPECT_EQ(nullptr, session_.current_rs);
}

TEST_F(SearchTest, InventoryOperatorsFindTheirRows) {
  struct Case {
    Fields fields;
    std::vector<std::string> buttons;
  };
  const Case cases[] = {
      {{}, {"A1", "A2", "B7", "O&#39;B&#32;1"}},
      {{{"Description", "%printer%"}}, {"A1", "B7"}},
      {{{"Location", "<>Level 2"}}, {"B7", "O&#39;B&#32;1"}},
      {{{"Qty", "<=3"}}, {"B7", "O&#39;B&#32;1"}},
      {{{"ItemId", "=A2"}}, {"A2"}},
      {{{"Description", "%O'Brien%"}}, {"O&#39;B&#32;1"}},
      {{{"Description", "O'Brien's <b>screen</b> & cable"}}, {"O&#39;B&#32;1"}},
      {{{"ItemId", "O'B 1"}}, {"O&#39;B&#32;1"}},
      {{{"Sub-Department", "North"}, {"Location", "Level 3"}}, {"B7"}},
      {{{"Date/Time", "2023-06-01 10:30:00"}}, {"B7"}},
      {{{" Location", "Level 3"}}, {"B7", "O&#39;B&#32;1"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(RunInventorySearch(&session_, Form(c.fields)))
        << session_.error_text;
    EXPECT_EQ(c.buttons, RowButtons(session_.page_text)) << session_.error_text;
  }
}

TEST_F(SearchTest, InventoryEscapesValuesButtonsAndEcho) {
  Set("InventoryList", "ItemId, Description");
  ASSERT_TRUE(RunInventorySearch(
      &session_, Form({{"Description", "O'Brien's <b>screen</b> & cable"}})));
  const std::string criteria =
      " WHERE Description='O&#39;&#39;Brien&#39;&#39;s "
      "&lt;b&gt;screen&lt;/b&gt;"
      " &amp; cable'";
  EXPECT_EQ(criteria, session_.error_text);
  const std::string& page = session_.page_text;
  EXPECT_NE(
      std::string::npos,
      page.find("<tr><td><input name=KIRVSCommand value=*O&#39;B&#32;1 "
                "type=submit></td></tr><tr><td></td><td colspan=1><font "
                "size=2>O&#39;Brien&#39;s &lt;b&gt;screen&lt;/b&gt; &amp; "
                "cable</td></table>"))
      << page;
  EXPECT_NE(std::string::npos,
            page.find("<p>SELECT ItemId, Description FROM Items" + criteria +
                      " ORDER BY ItemId</i>"))
      << page;
}

TEST_F(SearchTest, InventoryButtonCarriesTheFirstColumn) {
  Set("InventoryList", "Location, ItemId");
  ASSERT_TRUE(RunInventorySearch(&session_, Form({{"ItemId", "B7"}})));
  EXPECT_NE(std::string::npos,
            session_.page_text.find(
                "<tr><td><font size=2>Level 3</td><td><input "
                "name=KIRVSCommand value=*Level&#32;3 type=submit></td></tr>"))
      << session_.page_text;
}

TEST_F(SearchTest, SearchFailuresGiveTheMessageAndNoPage) {
  const std::string long_pattern = "%" + std::string(60000, 'a');
  struct Case {
    Fields fields;
    std::string error;
  };
  const Case cases[] = {
      {{{"Colour", "red"}}, "no such column: Colour"},
      {{{"Description", long_pattern}}, "LIKE or GLOB pattern too complex"},
      // Put into the query as it stands, this name would list every row.
      {{{"1=1 OR Description", "x"}}, "unknown column: 1=1 OR Description"},
      {{{"Description", "x"}, {"Loc'ation", "x"}},
       "unknown column: Loc&#39;ation"},
      {{{"*", "printer"}}, "unknown column: *"},
  };
  for (const Case& c : cases) {
    session_.page_text = "previous";
    EXPECT_FALSE(RunInventorySearch(&session_, Form(c.fields)));
    EXPECT_EQ(
        "An error occurred while trying to retrieve inventory items "
        "from Items table (" +
            c.error + ").",
        session_.error_text);
    EXPECT_EQ("", session_.page_text);
    EXPECT_EQ(nullptr, session_.current_rs);

    EXPECT_FALSE(RunSolutionsSearch(&session_, Form(c.fields)));
    EXPECT_EQ(
        "An error occurred while trying to retrieve solutions from "
        "Solutions table (" +
            c.error + ").",
        session_.error_text);
    EXPECT_EQ("", session_.page_text);
  }
}

TEST_F(SearchTest, MissingTablesFailBothSearches) {
  testing::DropTable(fixture_.db_path(), "Items");
  testing::DropTable(fixture_.db_path(), "Solutions");
  EXPECT_FALSE(RunInventorySearch(&session_, Form({})));
  EXPECT_EQ(
      "An error occurred while trying to retrieve inventory items from "
      "Items table (no such table: Items).",
      session_.error_text);
  EXPECT_FALSE(RunSolutionsSearch(&session_, Form({})));
  EXPECT_EQ(
      "An error occurred while trying to retrieve solutions from "
      "Solutions table (no such table: Solutions).",
      session_.error_text);
}

// --- solutions search ----------------------------------------------------

TEST_F(SearchTest, SolutionsResultsByteForByte) {
  ASSERT_TRUE(RunSolutionsSearch(&session_,
                                 Form({{"KIRVSCommand", "Search Solutions Now"},
                                       {"Product", "Printer"},
                                       {"Keywords", "  "}})));
  EXPECT_EQ(" WHERE Product='Printer'", session_.error_text);
  EXPECT_EQ(
      std::string(kLogo) +
          "Solutions Search Results</strong></font></p>"
          "<p><blockquote><blockquote><font face=arial size=2><b>"
          "<table cellpadding=2 valign=top><tr>"
          "<td bgcolor='#00c0ff'><font size=2><b>SolutionId</b></td>"
          "<td bgcolor='#00c0ff'><font size=2><b>Description</b></td>"
          "<td bgcolor='#00c0ff'><font size=2><b>Product</b></td>"
          "<td bgcolor='#00c0ff'><font size=2><b>Keywords</b></td></tr>"
          "<tr><td><font size=2>2</td><td><font size=2>Reinstall the "
          "driver</td><td><font size=2>Printer</td><td><font "
          "size=2>driver</td></tr>"
          "<tr><td><font size=2>1</td><td><font size=2>Clear the paper "
          "path</td><td><font size=2>Printer</td><td><font "
          "size=2>jam</td></tr>"
          "</table><font size=1 face=arial></b><i><p>2 solutions in current "
          "list.</i><br><font size=1 face=arial color=blue><i><p>SELECT * "
          "FROM Solutions WHERE Product='Printer' ORDER BY SolutionId "
          "DESC</i></p><br>"
          "<input name=KIRVSCommand value='Show List' type=submit><input "
          "name=KIRVSCommand value='Search Inventory' type=submit><input "
          "name=KIRVSCommand value='Search Solutions' type=submit><input "
          "name=KIRVSCommand value='Logout' type=submit>",
      session_.page_text);
}

TEST_F(SearchTest, SolutionsListsNewestFirstAndEscapes) {
  Set("SolutionsList", "SolutionId, Keywords");
  ASSERT_TRUE(RunSolutionsSearch(&session_, Form({})));
  EXPECT_EQ("", session_.error_text);
  EXPECT_NE(std::string::npos,
            session_.page_text.find(
                "<tr><td><font size=2>4</td><td><font size=2>voicemail "
                "&lt;pin&gt;</td></tr><tr><td><font size=2>3</td>"))
      << session_.page_text;
  EXPECT_NE(std::string::npos,
            session_.page_text.find("<p>4 solutions in current list."));

  ASSERT_TRUE(
      RunSolutionsSearch(&session_, Form({{"Description", "%O'Neill"}})));
  EXPECT_EQ(" WHERE Description Like '%O&#39;&#39;Neill'", session_.error_text);
  EXPECT_NE(std::string::npos, session_.page_text.find("<p>1 solutions in"));
}

// --- item pages ----------------------------------------------------------

const char kItemButtons[] =
    "<blockquote><blockquote><input name=KIRVSCommand value='Search "
    "Inventory' type=submit><input name=KIRVSCommand value='Show List' "
    "type=submit><input name=KIRVSCommand value='Logout' type=submit><br><br>";

TEST_F(SearchTest, ItemPageByteForByte) {
  Set("DisplayItem", "ItemId, Description");
  ASSERT_TRUE(ShowItem(&session_, Variant("A1")));
  EXPECT_EQ("", session_.error_text);
  EXPECT_EQ(
      std::string(kLogo) +
          "Inventory Item Details: A1</strong></font></p>"
          "<input name=itemid value=A1 type=hidden>" +
          kItemButtons +
          "<table bgcolor=#00c0ff border=1 bordercolor=teal rules=none "
          "frame=box cellpadding=3 cellspacing=2><tr><td bgcolor='#00c0ff'>"
          "<font size=2 face=arial><b>ItemId</td><td><font size=2 "
          "face=arial><input name='ItemId' type=text value='A1' "
          "maxlength=20></td><td bgcolor='#00c0ff'><font size=2 "
          "face=arial><b>Description</td><td><font size=2 face=arial><input "
          "name='Description' type=text value='Laser printer' "
          "maxlength=100></td></tr></table>"
          "<br><input name=KIRVSCommand value='Show Configuration' "
          "type=submit>",
      session_.page_text);
  EXPECT_EQ(nullptr, session_.current_rs);
}

TEST_F(SearchTest, ItemWithApostropheOpensEscaped) {
  Set("DisplayItem", "ItemId, Description");
  ASSERT_TRUE(ShowItem(&session_, Variant("O'B 1")));
  const std::string& page = session_.page_text;
  EXPECT_NE(std::string::npos,
            page.find("Inventory Item Details: O&#39;B 1</strong></font></p>"
                      "<input name=itemid value=O&#39;B&#32;1 type=hidden>"))
      << page;
  EXPECT_NE(std::string::npos,
            page.find("value='O&#39;Brien&#39;s &lt;b&gt;screen&lt;/b&gt; "
                      "&amp; cable'"))
      << page;
}

TEST_F(SearchTest, UnknownItemStillGivesThePage) {
  Set("DisplayItem", "ItemId");
  ASSERT_TRUE(ShowItem(&session_, Variant("ZZ")));
  EXPECT_EQ("no current row", session_.error_text);
  EXPECT_NE(std::string::npos,
            session_.page_text.find("<b>ItemId</td></table><br><input "
                                    "name=KIRVSCommand value='Show "
                                    "Configuration' type=submit>"))
      << session_.page_text;
}

TEST_F(SearchTest, ItemFailureKeepsThePreviousPage) {
  Set("DisplayItem", "ItemId, Colour");
  session_.page_text = "previous";
  EXPECT_FALSE(ShowItem(&session_, Variant("A1")));
  EXPECT_EQ(
      "An error occurred while trying to retrieve an item from the "
      "Items table (no such column: Colour).",
      session_.error_text);
  EXPECT_EQ("previous", session_.page_text);
}

std::string ConfigurationPage(const std::string& id, const std::string& rows,
                              int count) {
  return std::string(kLogo) + "Configuration Details for Item: " + id +
         "</strong></font></p><blockquote><blockquote><font "
         "face=arial><input type=submit name=KIRVSCommand value='Search "
         "Inventory'><input type=submit name=KIRVSCommand value='Show "
         "List'><input type=submit name=KIRVSCommand value='Logout'><br><br>"
         "<input type=hidden name='ItemId' value='" +
         id +
         "'>"
         "<table cellpadding=2 valign=top><tr>"
         "<td bgcolor='#00c0ff'><font size=2><b>SUBITEMID</b></td>"
         "<td bgcolor='#00c0ff'><font size=2><b>Description</b></td></tr>" +
         rows + "</table><font size=1 face=arial></b><i><p>" +
         std::to_string(count) + " configuration items in current list.</i>";
}

TEST_F(SearchTest, ConfigurationPages) {
  Set("ConfigList", "SUBITEMID, Description");
  const std::string a1_rows =
      "<tr><td><font size=2>1</td><td><font size=2>Tray</td></tr>"
      "<tr><td><font size=2>2</td><td><font size=2>Memory</td></tr>";
  struct Case {
    Fields fields;
    std::string page;
  };
  const Case cases[] = {
      {{{"ItemId", "A1"}}, ConfigurationPage("A1", a1_rows, 2)},
      // The item page posts its hidden itemid and the form's ItemId.
      {{{"itemid", "A1"}, {"ItemId", "A1"}, {"KIRVSCommand", "x"}},
       ConfigurationPage("A1", a1_rows, 2)},
      {{{"ItemId", "X,Y"}},
       ConfigurationPage(
           "X", "<tr><td><font size=2>1</td><td><font size=2>Fan</td></tr>",
           1)},
      {{{"ItemId", "A2"}}, ConfigurationPage("A2", "", 0)},
      {{{"ItemId", "O'B 1"}},
       ConfigurationPage("O&#39;B 1",
                         "<tr><td><font size=2>1</td><td><font size=2>Cable "
                         "&lt;HDMI&gt;</td></tr>",
                         1)},
  };
  for (const Case& c : cases) {
    session_.error_text = "previous";
    ASSERT_TRUE(ShowItemConfiguration(&session_, Form(c.fields)))
        << session_.error_text;
    EXPECT_EQ(c.page, session_.page_text);
    EXPECT_EQ("", session_.error_text);
  }
}

TEST_F(SearchTest, ConfigurationFailure) {
  testing::DropTable(fixture_.db_path(), "Item_Configuration");
  session_.page_text = "previous";
  EXPECT_FALSE(ShowItemConfiguration(&session_, Form({{"ItemId", "A1"}})));
  EXPECT_EQ(
      "An error occurred while trying to retrieve configuration details "
      "from Item_Configuration table (no such table: "
      "Item_Configuration).",
      session_.error_text);
  EXPECT_EQ("", session_.page_text);
}

}  // namespace
}  // namespace kirvs
