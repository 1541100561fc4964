#include "web/routes/form_checks.h"

#include "platform/ascii.h"
#include "platform/settings_file.h"
#include "web/pages/captions.h"

namespace kirvs::web {

namespace {

constexpr char kDefaultToSave[] = "Description, Priority, Status, Personnel";
constexpr char kDefaultToClose[] = "ResolutionCode, Resolution";

std::string_view Trim(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  return text.substr(start, text.find_last_not_of(' ') - start + 1);
}

std::vector<std::string> SplitNames(std::string_view list) {
  std::vector<std::string> names;
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view name = Trim(list.substr(0, comma));
    if (!name.empty()) names.emplace_back(name);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return names;
}

bool IsRequired(const std::vector<std::string>& required,
                std::string_view name) {
  for (const std::string& field : required) {
    if (EqualsIgnoringCase(field, name)) return true;
  }
  return false;
}

}  // namespace

std::vector<FieldProblem> MissingRequiredFields(
    std::string_view command, const SubmittedForm& posted,
    const std::string& settings_path) {
  bool closing = command == "CLOSE NOW";
  bool saving = command == "SAVE REQUEST" || command == "SAVE ALLOCATION" ||
                command == "SAVE SCHEDULE" || command == "SAVE CLOSE DETAILS";
  if (!closing && !saving) return {};
  const char* key = closing ? "RequiredToClose" : "RequiredToSave";
  std::string list = ReadIniString(settings_path, "Web", key);
  std::vector<std::string> required = SplitNames(
      list.empty() ? (closing ? kDefaultToClose : kDefaultToSave) : list);
  std::vector<FieldProblem> problems;
  Captions captions(settings_path);
  for (const SubmittedForm::Field& field : posted.fields()) {
    if (!IsRequired(required, field.first) || !Trim(field.second).empty()) {
      continue;
    }
    bool known = false;
    for (const FieldProblem& problem : problems) {
      known = known || EqualsIgnoringCase(problem.field, field.first);
    }
    if (known) continue;
    // The message names the field as its label does.
    problems.push_back(FieldProblem{
        field.first, captions.Of(field.first) +
                         ": fill this in; a request cannot be " +
                         (closing ? "closed" : "saved") + " without it."});
  }
  return problems;
}

}  // namespace kirvs::web
