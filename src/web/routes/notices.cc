#include "web/routes/notices.h"

#include <string>

#include "platform/ascii.h"
#include "web/routes/page_addresses.h"

namespace kirvs::web {

namespace {

// A posted value without the blanks around it (the lists offer " " as
// their empty choice).
std::string Trimmed(std::string value) {
  size_t start = value.find_first_not_of(' ');
  if (start == std::string::npos) return std::string();
  size_t end = value.find_last_not_of(' ');
  return value.substr(start, end - start + 1);
}

Notice AboutRequest(const std::string& request_no, std::string text) {
  return Notice{std::move(text), RequestAddress(request_no),
                "Open request " + request_no};
}

}  // namespace

std::optional<Notice> NoticeAfter(const Button& button,
                                  const SubmittedForm& posted,
                                  int32_t new_request_no) {
  std::string_view command = button.row->command;
  std::string no = PostedRequestNo(posted);
  std::string request = "Request " + no;
  if (command == "SAVE REQUEST") {
    if (new_request_no > 0) {
      std::string number = std::to_string(new_request_no);
      return AboutRequest(number, "Request " + number + " registered.");
    }
    return AboutRequest(no, request + " saved.");
  }
  if (command == "SAVE ALLOCATION") {
    std::string person = Trimmed(posted.Get("Personnel"));
    return AboutRequest(no, request + " allocated" +
                                (person.empty() ? "" : " to " + person) + ".");
  }
  if (command == "SAVE SCHEDULE") {
    std::string when = Trimmed(posted.Get("Scheduled"));
    return AboutRequest(no, request + " scheduled" +
                                (when.empty() ? "" : " for " + when) + ".");
  }
  if (command == "SAVE CLOSE DETAILS") {
    return AboutRequest(no, "Close details of request " + no + " saved.");
  }
  if (command == "CLOSE NOW") return Notice{request + " closed.", "", ""};
  if (command == "SAVE ACTIVITY") {
    std::string act = Trimmed(posted.Get("ActNo"));
    return AboutRequest(no, (act.empty() ? "Activity" : "Activity " + act) +
                                " of request " + no + " saved.");
  }
  return std::nullopt;
}

}  // namespace kirvs::web
