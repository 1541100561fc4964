// Every page the engine makes, walked through one session on the demo help
// desk and compared byte for byte with tests/golden/*.txt: the result, the
// first parameter as RunCommand leaves it, ErrorDescription and HTMLString.
// Run with KIRVS_UPDATE_GOLDEN=1 to rewrite the files after a deliberate
// change of a page.
//
// Pages that show the current moment (the defaults of the workflow pages and
// of a new request or activity) have it replaced by {NOW}.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "kirvs/session.h"
#include "platform/ascii.h"
#include "platform/clock.h"
#include "platform/text_forms.h"
#include "session/command_table.h"
#include "test_support.h"
#include "web/routes/button_map.h"

namespace kirvs {
namespace {

using testing::Fields;
using testing::Form;

struct Page {
  const char* name;  // the golden file, without ".txt"
  const char* command;
  Variant p1 = {};  // empty unless given
  Variant p2 = {};
};

const std::string kAnn = "Ann Archer";

std::vector<Page> Walk() {
  const Fields ann = {{"KIRVSCurrentUser", "ann"},
                      {"KIRVSCurrentPerson", kAnn}};
  return {
      {"startup", "Startup", "ann"},
      {"login_bad_password", "Login",
       Form({{"txtUserID", "ann"}, {"txtPassword", "wrong"}})},
      {"login_unknown_user", "Login",
       Form({{"txtUserID", "nobody"}, {"txtPassword", "x"}})},
      {"login", "Login",
       Form({{"txtUserID", "ann"}, {"txtPassword", "ann123"}})},
      {"list_sorted", "Sort List Now", kAnn, "Priority"},
      {"list_bad_sort_column", "Sort List Now", kAnn, "Priority]; DROP"},
      {"list_of_bob", "Show List", "Bob Baker", ""},
      {"show_request", "Show Request", "1017", kAnn},
      {"show_request_unknown", "Show Request", "999999", kAnn},
      {"show_request_bad_number", "Show Request", "12x", kAnn},
      {"allocate", "Allocate", "1017", kAnn},
      {"allocate_allocated", "Allocate", "1021", kAnn},
      {"schedule", "Schedule", "1017", kAnn},
      {"schedule_scheduled", "Schedule", "1020", kAnn},
      {"close", "Close", "1017", kAnn},
      {"close_now_unknown", "Close Now",
       Form({{"requestno", "999999"}, {"KIRVSCurrentUser", "ann"}}), kAnn},
      {"save_request_not_a_form", "Save Request", "not a form", kAnn},
      {"new_request", "Register New Request", Form(ann)},
      {"activities", "Activities", "1018"},
      {"show_activity", "Show Activity", Form({{"RequestNo", "1018"}}), "2"},
      {"show_activity_unknown", "Show Activity", Form({{"RequestNo", "1018"}}),
       "99"},
      {"new_activity", "Add Activity", "1018", kAnn},
      {"search_inventory", "Search Inventory"},
      {"search_inventory_now", "Search Inventory Now",
       Form({{"Description", "%Laptop%"}, {"ProductType", "Hardware"}})},
      {"search_solutions", "Search Solutions"},
      {"search_solutions_now", "Search Solutions Now",
       Form({{"Keywords", "%password%"}})},
      {"show_item", "Show Item", "LT-0001"},
      {"show_item_unknown", "Show Item", "NO-SUCH"},
      {"show_configuration", "Show Configuration",
       Form({{"itemid", "LT-0001"}, {"ItemId", "LT-0001"}})},
      // The saves, each followed by the page it leads to.
      {"save_request", "Save Request",
       Form({{"requestno", "1017"},
             {"Description", "Printer jams again"},
             {"KIRVSCurrentUser", "ann"}}),
       kAnn},
      {"save_request_bad_date", "Save Request",
       Form({{"requestno", "1017"},
             {"Allocated", "not a date"},
             {"KIRVSCurrentUser", "ann"}}),
       kAnn},
      {"save_activity", "Save Activity",
       Form({{"requestno", "1018"},
             {"actno", "3"},
             {"KIRVSNewActivity", "1"},
             {"Date/Time", "2025-03-03 10:00"},
             {"Personnel", kAnn},
             {"WorkGroup", "Service Desk"},
             {"Duration", "0.5"},
             {"ChargeRate", "45"},
             {"Description", "Checked the cable"},
             {"KIRVSCurrentUser", "ann"}}),
       "1018"},
      {"close_now", "Close Now",
       Form({{"requestno", "1021"},
             {"Completed", "2025-03-03 12:00"},
             {"ResolutionCode", "FIXED"},
             {"Resolution", "Moved the extension"},
             {"KIRVSCurrentUser", "ann"}}),
       kAnn},
      {"logout", "Logout", "ann"},
  };
}

// Replaces every occurrence of `from` in `text` by `to`.
std::string Replace(std::string text, const std::string& from,
                    const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Replaces every spelling of a moment between `from` and `to` (whole
// seconds) by {NOW}.
std::string MaskNow(std::string text, double from, double to) {
  for (double moment = from; moment <= to + 0.5 / 86400;
       moment += 1.0 / 86400) {
    text = Replace(text, FormatGeneralDate(moment), "{NOW}");
  }
  return text;
}

// A new-activity page's one-time id is new on every page.
std::string MaskPageId(const std::string& text) {
  static const std::regex kPageId("name=KIRVSActivityPage value=[0-9a-f]+");
  return std::regex_replace(text, kPageId,
                            "name=KIRVSActivityPage value={PAGEID}");
}

std::string ParamText(const Variant& value) {
  if (value.IsEmpty()) return "(empty)";
  if (value.IsForm()) return "(form)";
  return value.ToText();
}

}  // namespace

void testing::ExpectGoldenWalk(const std::string& ini_path,
                               const std::string& db_path,
                               const std::string& dir) {
  KIRVSession session(ini_path);
  // From the start of the walk: a message of one call may stay on the
  // session into the next calls, with its moment.
  const double before = std::floor(CurrentMoment() * 86400) / 86400;
  for (const Page& page : Walk()) {
    SCOPED_TRACE(page.name);
    Variant p1_after;
    bool result =
        testing::Call(session, page.command, page.p1, page.p2, &p1_after);
    const double after = CurrentMoment();
    std::string text =
        std::string("command: ") + page.command +
        "\nresult: " + (result ? "true" : "false") +
        "\nCommandParam1: " + ParamText(p1_after) + "\n--- ErrorDescription\n" +
        session.ErrorDescription().ToText() + "\n--- HTMLString\n" +
        session.HTMLString().ToText() + "\n";
    // The desk's folder is a new temporary one each run; a message that
    // names a PostgreSQL database reads as one that names the file.
    text = Replace(MaskNow(text, before, after), DisplayPath(db_path),
                   dir + "/helpdesk.db");
    text = Replace(text, dir, "{DESK}");
    text = MaskPageId(text);
    testing::ExpectGolden(std::string(page.name) + ".txt", text);
  }
}

namespace {

// The walk on each store: PostgreSQL gives the same pages as SQLite, byte
// for byte. (Copied desks: desk_copy_test.cc.)
class GoldenPagesTest : public ::testing::TestWithParam<Store> {};

KIRVS_ON_EVERY_STORE(GoldenPagesTest);

TEST_P(GoldenPagesTest, EveryPageOfTheWalk) {
  testing::DemoDesk desk(GetParam());
  if (!desk.available()) GTEST_SKIP() << testing::kNoPostgres;
  testing::ExpectGoldenWalk(desk.ini_path(), desk.db_path(), desk.dir().path());
}

// Every caption that a page offers as a button is one the web front maps,
// and to a command the engine knows.
TEST(GoldenPageButtonsTest, EveryButtonOfEveryPageRunsACommand) {
  const std::regex input("<input[^>]*KIRVSCommand[^>]*>");
  const std::regex value("value=('([^']*)'|([^ >']+))");
  std::set<std::string> captions;
  for (const Page& page : Walk()) {
    const std::string text = testing::ReadFile(std::string(KIRVS_GOLDEN_DIR) +
                                               "/" + page.name + ".txt");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), input);
         it != std::sregex_iterator(); ++it) {
      std::smatch match;
      std::string tag = it->str();
      ASSERT_TRUE(std::regex_search(tag, match, value)) << tag;
      captions.insert(match[2].matched ? match[2].str() : match[3].str());
    }
  }
  // The walk shows every kind of button: captions and the three row keys.
  EXPECT_GT(captions.size(), 20u);
  for (const char* key : {"1017", "#2", "*LT-0001", "Login", "Close Now"}) {
    EXPECT_EQ(1u, captions.count(key)) << key;
  }
  for (const std::string& caption : captions) {
    std::optional<web::Button> button = web::FindButton(caption);
    ASSERT_TRUE(button.has_value()) << caption;
    std::string command = AsciiUpper(button->row->command);
    EXPECT_NE(nullptr, FindCommand(command)) << caption << " -> " << command;
  }
}

}  // namespace
}  // namespace kirvs
