#include "web/routes/button_map.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/ascii.h"

namespace kirvs::web {

namespace {

constexpr ButtonRow kButtons[] = {
    {Match::kCaption, "Login", "LOGIN", Arg::kForm, Arg::kNone, Effect::kLogin},
    {Match::kCaption, "Logout", "LOGOUT", Arg::kUser, Arg::kNone,
     Effect::kLogout},
    {Match::kCaption, "Show List", "SHOW LIST", Arg::kPerson, Arg::kEmptyText},
    {Match::kCaption, "Sort List Now", "SORT LIST NOW", Arg::kPerson,
     Arg::kSortColumn},
    {Match::kNumber, "", "SHOW REQUEST", Arg::kRowKey, Arg::kPerson},
    {Match::kCaption, "Show Request", "SHOW REQUEST", Arg::kRequestNo,
     Arg::kPerson},
    {Match::kCaption, "Register New Request", "REGISTER NEW REQUEST",
     Arg::kForm, Arg::kNone},
    {Match::kCaption, "Save Request", "SAVE REQUEST", Arg::kForm, Arg::kPerson},
    {Match::kCaption, "Save Allocation", "SAVE ALLOCATION", Arg::kForm,
     Arg::kPerson},
    {Match::kCaption, "Save Schedule", "SAVE SCHEDULE", Arg::kForm,
     Arg::kPerson},
    {Match::kCaption, "Save Close Details", "SAVE CLOSE DETAILS", Arg::kForm,
     Arg::kPerson},
    {Match::kCaption, "Allocate", "ALLOCATE", Arg::kRequestNo, Arg::kPerson},
    {Match::kCaption, "Schedule", "SCHEDULE", Arg::kRequestNo, Arg::kPerson},
    {Match::kCaption, "Close", "CLOSE", Arg::kRequestNo, Arg::kPerson},
    {Match::kCaption, "Close Now", "CLOSE NOW", Arg::kForm, Arg::kPerson},
    {Match::kCaption, "Activities", "ACTIVITIES", Arg::kRequestNo, Arg::kNone},
    {Match::kPrefixNumber, "#", "SHOW ACTIVITY", Arg::kForm, Arg::kRowKey},
    {Match::kCaption, "Add Activity", "ADD ACTIVITY", Arg::kRequestNo,
     Arg::kPerson},
    {Match::kCaption, "Save Activity", "SAVE ACTIVITY", Arg::kForm,
     Arg::kRequestNo},
    {Match::kCaption, "Search Solutions", "SEARCH SOLUTIONS", Arg::kNone,
     Arg::kNone},
    {Match::kCaption, "Search Inventory", "SEARCH INVENTORY", Arg::kNone,
     Arg::kNone},
    {Match::kCaption, "Search Inventory Now", "SEARCH INVENTORY NOW",
     Arg::kForm, Arg::kNone},
    {Match::kCaption, "Search Solutions Now", "SEARCH SOLUTIONS NOW",
     Arg::kForm, Arg::kNone},
    {Match::kCaption, "Show Configuration", "SHOW CONFIGURATION", Arg::kForm,
     Arg::kNone},
    {Match::kPrefixText, "*", "SHOW ITEM", Arg::kRowKey, Arg::kNone},
};

// Request and activity numbers are 32-bit; more digits cannot be one.
bool IsNumberKey(std::string_view key) {
  return !key.empty() && key.size() <= 9 &&
         std::all_of(key.begin(), key.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// An item id: any text the inventory may hold, but no control characters.
bool IsItemKey(std::string_view key) {
  return !key.empty() && key.size() <= 255 &&
         std::none_of(key.begin(), key.end(), [](char c) {
           return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
         });
}

bool IsFrontField(std::string_view name) {
  return EqualsIgnoringCase(name, kTokenField) ||
         EqualsIgnoringCase(name, kPageField) ||
         EqualsIgnoringCase(name, kFormIdField) ||
         EqualsIgnoringCase(name, "KIRVSCurrentUser") ||
         EqualsIgnoringCase(name, "KIRVSCurrentPerson");
}

}  // namespace

std::optional<Button> FindButton(std::string_view caption) {
  for (const ButtonRow& row : kButtons) {
    switch (row.match) {
      case Match::kCaption:
        if (EqualsIgnoringCase(caption, row.caption)) return Button{&row, ""};
        break;
      case Match::kNumber:
        if (IsNumberKey(caption)) return Button{&row, std::string(caption)};
        break;
      case Match::kPrefixNumber:
      case Match::kPrefixText: {
        if (!caption.starts_with(row.caption)) break;
        std::string_view key = caption.substr(row.caption.size());
        bool valid = row.match == Match::kPrefixNumber ? IsNumberKey(key)
                                                       : IsItemKey(key);
        if (valid) return Button{&row, std::string(key)};
        break;
      }
    }
  }
  return std::nullopt;
}

SubmittedForm EngineForm(const SubmittedForm& posted,
                         const Identity* identity) {
  std::vector<SubmittedForm::Field> fields;
  fields.reserve(posted.fields().size() + 2);
  for (const SubmittedForm::Field& field : posted.fields()) {
    if (!IsFrontField(field.first)) fields.push_back(field);
  }
  if (identity != nullptr) {
    fields.emplace_back("KIRVSCurrentUser", identity->user_id);
    fields.emplace_back("KIRVSCurrentPerson", identity->personnel_name);
  }
  return SubmittedForm(std::move(fields));
}

SubmittedForm ContainsCriteria(const SubmittedForm& posted) {
  std::vector<SubmittedForm::Field> fields = posted.fields();
  for (SubmittedForm::Field& field : fields) {
    if (StartsWithIgnoringCase(field.first, "KIRVS")) continue;
    std::string_view value = TrimBlanks(field.second);
    bool plain = !value.empty() && value.find('%') == std::string_view::npos &&
                 !value.starts_with('=') && !value.starts_with("<>") &&
                 !value.starts_with("<=") && !value.starts_with(">=");
    if (plain) field.second = "%" + std::string(value) + "%";
  }
  return SubmittedForm(std::move(fields));
}

std::string PostedRequestNo(const SubmittedForm& posted) {
  std::string value = posted.Get("requestno");
  return value.substr(0, value.find(','));
}

Variant Argument(Arg arg, const Button& button, const SubmittedForm& posted,
                 const Variant& engine_form, const Identity* identity) {
  switch (arg) {
    case Arg::kNone:
      return Variant();
    case Arg::kEmptyText:
      return Variant("");
    case Arg::kPerson:
      return Variant(identity ? identity->personnel_name : std::string());
    case Arg::kUser:
      return Variant(identity ? identity->user_id : std::string());
    case Arg::kForm:
      return engine_form;
    case Arg::kRequestNo:
      return Variant(PostedRequestNo(posted));
    case Arg::kSortColumn:
      return Variant(posted.Get("sortrequests"));
    case Arg::kRowKey:
      return Variant(button.key);
  }
  return Variant();
}

}  // namespace kirvs::web
