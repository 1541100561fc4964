#include "session/command_table.h"

#include "activities/activity_display.h"
#include "activities/activity_list.h"
#include "activities/new_activity.h"
#include "activities/save_activity.h"
#include "login/login.h"
#include "login/login_page.h"
#include "login/logout.h"
#include "requests/close_request.h"
#include "requests/new_request.h"
#include "requests/request_display.h"
#include "requests/request_list.h"
#include "requests/save_request.h"
#include "requests/workflow_pages.h"
#include "search/item_pages.h"
#include "search/search_form.h"
#include "search/search_results.h"

namespace kirvs {

namespace {

std::optional<bool> StartupStep(CommandCall& call) {
  return ShowLoginPage(call.session, *call.p1);
}

std::optional<bool> LoginStep(CommandCall& call) {
  return Login(call.session, *call.p1);
}

// After a login the caller's first parameter becomes the personnel name, and
// the person's list follows.
std::optional<bool> ListAfterLogin(CommandCall& call) {
  *call.p1 = Variant(call.session->personnel_name);
  return ShowRequestList(call.session, *call.p1, Variant(""));
}

std::optional<bool> LogoutStep(CommandCall& call) {
  return Logout(call.session, *call.p1);
}

std::optional<bool> ShowRequestStep(CommandCall& call) {
  return ShowRequest(call.session, *call.p1, *call.p2);
}

std::optional<bool> ShowListStep(CommandCall& call) {
  return ShowRequestList(call.session, *call.p1, *call.p2);
}

std::optional<bool> SaveRequestStep(CommandCall& call) {
  return SaveRequest(call.session, *call.p1, call.command);
}

// After a save or a close the person named in the second parameter lands on
// his list again.
std::optional<bool> ListOfSecondParameter(CommandCall& call) {
  return ShowRequestList(call.session, *call.p2, Variant(""));
}

std::optional<bool> AllocateStep(CommandCall& call) {
  return ShowAllocateRequest(call.session, *call.p1, *call.p2);
}

std::optional<bool> ScheduleStep(CommandCall& call) {
  return ShowScheduleRequest(call.session, *call.p1, *call.p2);
}

std::optional<bool> CloseStep(CommandCall& call) {
  return ShowCloseRequest(call.session, *call.p1, *call.p2);
}

std::optional<bool> CloseNowStep(CommandCall& call) {
  return CloseRequestNow(call.session, *call.p1);
}

std::optional<bool> RegisterStep(CommandCall& call) {
  return RegisterNewRequest(call.session, *call.p1);
}

std::optional<bool> ActivitiesStep(CommandCall& call) {
  return ShowActivityList(call.session, *call.p1);
}

std::optional<bool> ShowActivityStep(CommandCall& call) {
  return ShowActivity(call.session, *call.p1, *call.p2);
}

std::optional<bool> AddActivityStep(CommandCall& call) {
  return NewActivity(call.session, *call.p1, *call.p2);
}

std::optional<bool> SaveActivityStep(CommandCall& call) {
  return SaveActivity(call.session, *call.p1);
}

// After an activity is saved, the log of the request in the second
// parameter follows.
std::optional<bool> LogOfSecondParameter(CommandCall& call) {
  return ShowActivityList(call.session, *call.p2);
}

std::optional<bool> SearchFormStep(CommandCall& call) {
  return ShowSearchForm(call.session, call.command);
}

std::optional<bool> InventorySearchStep(CommandCall& call) {
  return RunInventorySearch(call.session, *call.p1);
}

std::optional<bool> SolutionsSearchStep(CommandCall& call) {
  return RunSolutionsSearch(call.session, *call.p1);
}

std::optional<bool> ShowItemStep(CommandCall& call) {
  return ShowItem(call.session, *call.p1);
}

std::optional<bool> ConfigurationStep(CommandCall& call) {
  return ShowItemConfiguration(call.session, *call.p1);
}

// After LOGOUT the login page shows whatever Logout returned, pre-filled with
// the user id that was logged out.
std::optional<bool> LoginPageAfterLogout(CommandCall& call) {
  return ShowLoginPage(call.session, *call.p1);
}

const CommandRow kCommandTable[] = {
    {{"STARTUP"}, StartupStep, nullptr},
    {{"LOGIN"}, LoginStep, ListAfterLogin},
    {{"LOGOUT"}, LogoutStep, LoginPageAfterLogout, true},
    {{"SHOW REQUEST"}, ShowRequestStep, nullptr},
    {{"SORT LIST NOW", "SHOW LIST"}, ShowListStep, nullptr},
    {{"SAVE REQUEST", "SAVE ALLOCATION", "SAVE SCHEDULE", "SAVE CLOSE DETAILS"},
     SaveRequestStep,
     ListOfSecondParameter},
    {{"ALLOCATE"}, AllocateStep, nullptr},
    {{"SCHEDULE"}, ScheduleStep, nullptr},
    {{"CLOSE"}, CloseStep, nullptr},
    {{"CLOSE NOW"}, CloseNowStep, ListOfSecondParameter},
    {{"ACTIVITIES"}, ActivitiesStep, nullptr},
    {{"SHOW ACTIVITY"}, ShowActivityStep, nullptr},
    {{"ADD ACTIVITY"}, AddActivityStep, nullptr},
    {{"SAVE ACTIVITY"}, SaveActivityStep, LogOfSecondParameter},
    {{"SEARCH SOLUTIONS", "SEARCH INVENTORY"}, SearchFormStep, nullptr},
    {{"SEARCH INVENTORY NOW"}, InventorySearchStep, nullptr},
    {{"SEARCH SOLUTIONS NOW"}, SolutionsSearchStep, nullptr},
    {{"REGISTER NEW REQUEST"}, RegisterStep, nullptr},
    {{"SHOW ITEM"}, ShowItemStep, nullptr},
    {{"SHOW CONFIGURATION"}, ConfigurationStep, nullptr},
};

}  // namespace

const CommandRow* FindCommand(std::string_view command) {
  for (const CommandRow& row : kCommandTable) {
    for (std::string_view text : row.texts) {
      if (!text.empty() && text == command) return &row;
    }
  }
  return nullptr;
}

}  // namespace kirvs
