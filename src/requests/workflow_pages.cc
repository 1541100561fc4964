#include "requests/workflow_pages.h"

#include "platform/clock.h"
#include "requests/request_display.h"

namespace kirvs {

namespace {

constexpr std::string_view kAllocateButtons[] = {
    "Save Allocation", "Show Request", "Show List", "Logout"};
constexpr RequestPageKind kAllocatePage = {
    "AllocateRequest", "Allocate Service Request ", kAllocateButtons};

constexpr std::string_view kScheduleButtons[] = {
    "Save Schedule", "Show Request", "Show List", "Logout"};
constexpr RequestPageKind kSchedulePage = {
    "ScheduleRequest", "Schedule Service Request ", kScheduleButtons};

constexpr std::string_view kCloseButtons[] = {
    "Close Now", "Save Close Details", "Show Request", "Show List", "Logout"};
constexpr RequestPageKind kClosePage = {
    "CloseRequest", "Close Service Request ", kCloseButtons};

// Shows the current moment in an empty date column of the row in memory.
void DefaultToNow(SessionState* session, const char* column) {
  RecordSource& rs = *session->current_rs;
  Variant value;
  if (rs.Get(column, &value).ok() && value.IsNull()) {
    // The column was just read, so it can take a date; the default is only
    // shown, never stored.
    (void)rs.Set(column, Variant::Date(CurrentMoment()));
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
