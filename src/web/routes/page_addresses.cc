#include "web/routes/page_addresses.h"

#include <algorithm>
#include <utility>

#include "platform/ascii.h"
#include "web/http/request_parsing.h"

namespace kirvs::web {

namespace {

using Fields = std::vector<SubmittedForm::Field>;

bool IsNumber(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// Splits off the first segment of `*path` (which starts after a "/").
std::string_view NextSegment(std::string_view* path) {
  size_t slash = path->find('/');
  std::string_view segment = path->substr(0, slash);
  *path = slash == std::string_view::npos ? std::string_view()
                                          : path->substr(slash + 1);
  return segment;
}

// The criteria of a search, as its address carries them: the fields typed
// in, or all of them when none was; a "?" even without any, since the
// address asks for results, not for the form.
std::string SearchQuery(const SubmittedForm& posted) {
  Fields typed;
  Fields all;
  for (const SubmittedForm::Field& field : posted.fields()) {
    if (StartsWithIgnoringCase(field.first, "KIRVS")) continue;
    all.push_back(field);
    if (field.second.find_first_not_of(' ') != std::string::npos) {
      typed.push_back(field);
    }
  }
  std::string query = "?";
  for (const SubmittedForm::Field& field : typed.empty() ? all : typed) {
    if (query.size() > 1) query += '&';
    query += UrlEncode(field.first);
    query += '=';
    query += UrlEncode(field.second);
  }
  return query;
}

// The first value posted under `name` (ASCII case ignored): a page may
// carry a field twice, and the joined values are no key.
std::string FirstPosted(const SubmittedForm& posted, std::string_view name) {
  for (const SubmittedForm::Field& field : posted.fields()) {
    if (EqualsIgnoringCase(field.first, name)) return field.second;
  }
  return std::string();
}

std::optional<AddressedPage> RequestPage(std::string_view rest) {
  std::string_view number = NextSegment(&rest);
  if (number == "new" && rest.empty()) {
    return AddressedPage{"Register New Request", {}, true};
  }
  if (!IsNumber(number)) return std::nullopt;
  Fields request = {{"requestno", std::string(number)}};
  if (rest.empty()) return AddressedPage{std::string(number), {}};
  std::string_view page = NextSegment(&rest);
  if (rest.empty()) {
    if (page == "allocate") return AddressedPage{"Allocate", request};
    if (page == "schedule") return AddressedPage{"Schedule", request};
    if (page == "close") return AddressedPage{"Close", request};
    if (page == "activities") return AddressedPage{"Activities", request};
    return std::nullopt;
  }
  if (page != "activities") return std::nullopt;
  std::string_view activity = NextSegment(&rest);
  if (!rest.empty()) return std::nullopt;
  if (activity == "new") return AddressedPage{"Add Activity", request, true};
  if (!IsNumber(activity)) return std::nullopt;
  return AddressedPage{"#" + std::string(activity),
                       {{"RequestNo", std::string(number)}}};
}

std::optional<AddressedPage> ItemPage(std::string_view rest) {
  constexpr std::string_view kConfiguration = "/configuration";
  if (rest.ends_with(kConfiguration)) {
    std::string id(rest.substr(0, rest.size() - kConfiguration.size()));
    if (id.empty()) return std::nullopt;
    return AddressedPage{"Show Configuration", {{"ItemId", id}}};
  }
  if (rest.empty()) return std::nullopt;
  return AddressedPage{"*" + std::string(rest), {}};
}

}  // namespace

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                 (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                 c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string RequestAddress(std::string_view request_no) {
  return "/requests/" + std::string(request_no);
}

std::optional<AddressedPage> PageAtAddress(std::string_view path,
                                           std::string_view query) {
  bool has_query = query.starts_with('?');
  Fields asked = ParseFormBody(has_query ? query.substr(1) : query);
  if (path == "/") {
    AddressedPage list{"Show List", {}};
    list.is_list = true;
    for (const SubmittedForm::Field& field : asked) {
      if (field.first == "sort" && !field.second.empty()) {
        list.caption = "Sort List Now";
        list.fields = {{"sortrequests", field.second}};
      } else if (field.first == "dir") {
        list.descending = field.second == "desc";
      }
    }
    return list;
  }
  if (path == "/inventory" || path == "/solutions") {
    bool inventory = path == "/inventory";
    if (!has_query) {
      return AddressedPage{inventory ? "Search Inventory" : "Search Solutions",
                           {}};
    }
    return AddressedPage{
        inventory ? "Search Inventory Now" : "Search Solutions Now",
        std::move(asked)};
  }
  if (path.starts_with("/requests/")) return RequestPage(path.substr(10));
  if (path.starts_with("/items/")) return ItemPage(path.substr(7));
  return std::nullopt;
}

std::string AddressAfter(const Button& button, const SubmittedForm& posted) {
  std::string_view command = button.row->command;
  std::string request_no = PostedRequestNo(posted);
  if (!IsNumber(request_no)) request_no.clear();
  auto of_request = [&](std::string_view page) -> std::string {
    if (request_no.empty()) return "";
    return RequestAddress(request_no) + std::string(page);
  };
  if (command == "LOGIN" || command == "SHOW LIST" ||
      (command.starts_with("SAVE ") && command != "SAVE ACTIVITY") ||
      command == "CLOSE NOW") {
    return "/";
  }
  if (command == "SORT LIST NOW") {
    std::string column = posted.Get("sortrequests");
    return column.empty() ? "/" : "/?sort=" + UrlEncode(column);
  }
  if (command == "SHOW REQUEST") {
    if (button.row->match == Match::kNumber) return RequestAddress(button.key);
    return of_request("");
  }
  if (command == "REGISTER NEW REQUEST") return "/requests/new";
  if (command == "ALLOCATE") return of_request("/allocate");
  if (command == "SCHEDULE") return of_request("/schedule");
  if (command == "CLOSE") return of_request("/close");
  if (command == "ACTIVITIES" || command == "SAVE ACTIVITY") {
    return of_request("/activities");
  }
  if (command == "ADD ACTIVITY") return of_request("/activities/new");
  if (command == "SHOW ACTIVITY")
    return of_request("/activities/" + button.key);
  if (command == "SEARCH INVENTORY") return "/inventory";
  if (command == "SEARCH SOLUTIONS") return "/solutions";
  if (command == "SEARCH INVENTORY NOW")
    return "/inventory" + SearchQuery(posted);
  if (command == "SEARCH SOLUTIONS NOW")
    return "/solutions" + SearchQuery(posted);
  if (command == "SHOW ITEM") return "/items/" + UrlEncode(button.key);
  if (command == "SHOW CONFIGURATION") {
    std::string id = FirstPosted(posted, "ItemId");
    return id.empty() ? "" : "/items/" + UrlEncode(id) + "/configuration";
  }
  return "";
}

}  // namespace kirvs::web
