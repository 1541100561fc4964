#include "requests/workflow_pages.h"

#include "platform/clock.h"
#include "requests/request_display.h"

namespace kirvs {

namespace {

constexpr RequestPageKind kAllocatePage = {
    "AllocateRequest", "Allocate Service Request ",
    "<input name=KIRVSCommand value='Save Allocation' type=submit><input "
    "name=KIRVSCommand value='Show Request' type=submit><input "
    "name=KIRVSCommand value='Show List' type=submit><input name=KIRVSCommand "
    "value='Logout' type=submit><br>"};

constexpr RequestPageKind kSchedulePage = {
    "ScheduleRequest", "Schedule Service Request ",
    "<input name=KIRVSCommand value='Save Schedule' type=submit><input "
    "name=KIRVSCommand value='Show Request' type=submit><input "
    "name=KIRVSCommand value='Show List' type=submit><input name=KIRVSCommand "
    "value='Logout' type=submit><br>"};

constexpr RequestPageKind kClosePage = {
    "CloseRequest", "Close Service Request ",
    "<input name=KIRVSCommand value='Close Now' type=submit><input "
    "name=KIRVSCommand value='Save Close Details' type=submit><input "
    "name=KIRVSCommand value='Show Request' type=submit><input "
    "name=KIRVSCommand value='Show List' type=submit><input name=KIRVSCommand "
    "value='Logout' type=submit><br>"};

// Shows the current moment in an empty date column of the row in memory.
void DefaultToNow(SessionState* session, const char* column) {
  RecordSource& rs = *session->current_rs;
  Variant value;
  if (rs.Get(column, &value).ok() && value.IsNull()) {
    rs.Set(column, Variant::Date(CurrentMoment()));
  }
}

void DefaultAllocated(SessionState* session) {
  DefaultToNow(session, "Allocated");
}

void DefaultCompleted(SessionState* session) {
  DefaultToNow(session, "Completed");
}

}  // namespace

bool ShowAllocateRequest(SessionState* session, const Variant& request_no,
                         const Variant& person) {
  return ShowRequestPage(session, request_no, person, kAllocatePage,
                         DefaultAllocated);
}

bool ShowScheduleRequest(SessionState* session, const Variant& request_no,
                         const Variant& person) {
  return ShowRequestPage(session, request_no, person, kSchedulePage);
}

bool ShowCloseRequest(SessionState* session, const Variant& request_no,
                      const Variant& person) {
  return ShowRequestPage(session, request_no, person, kClosePage,
                         DefaultCompleted);
}

}  // namespace kirvs
