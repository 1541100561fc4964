#include "cli/run_command.h"

#include <cmath>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "kirvs/session.h"
#include "kirvs/submitted_form.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

using Json = nlohmann::json;

struct Call {
  Variant command;
  Variant params[3];
};

// Converts one parameter; false with `*why` set when it has no meaning.
bool ToVariant(const Json& json, Variant* out, std::string* why) {
  switch (json.type()) {
    case Json::value_t::null:
      *out = Variant::Null();
      return true;
    case Json::value_t::string:
      *out = Variant(json.get<std::string>());
      return true;
    case Json::value_t::boolean:
      *out = Variant::Boolean(json.get<bool>());
      return true;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: {
      double number = json.get<double>();
      if (number == std::floor(number) &&
          number >= std::numeric_limits<int32_t>::min() &&
          number <= std::numeric_limits<int32_t>::max()) {
        *out = Variant::Integer(static_cast<int32_t>(number));
      } else {
        *out = Variant::Double(number);
      }
      return true;
    }
    case Json::value_t::object:
      break;
    default:
      *why = "a parameter must be a string, number, Boolean, null or object";
      return false;
  }
  if (json.size() == 1 && json.contains("empty")) {
    *out = Variant();
    return true;
  }
  if (json.size() == 1 && json.contains("date") && json["date"].is_string()) {
    std::optional<double> date = ParseDate(json["date"].get<std::string>());
    if (!date) {
      *why = "not a date: " + json["date"].get<std::string>();
      return false;
    }
    *out = Variant::Date(*date);
    return true;
  }
  if (json.size() == 1 && json.contains("form") && json["form"].is_array()) {
    std::vector<SubmittedForm::Field> fields;
    for (const Json& field : json["form"]) {
      if (!field.is_array() || field.size() != 2 || !field[0].is_string() ||
          !field[1].is_string()) {
        *why = "each form field must be [\"name\", \"value\"]";
        return false;
      }
      fields.emplace_back(field[0].get<std::string>(),
                          field[1].get<std::string>());
    }
    *out = Variant::Form(std::make_shared<SubmittedForm>(std::move(fields)));
    return true;
  }
  *why =
      "an object parameter must be {\"form\": [...]}, {\"date\": \"...\"} "
      "or {\"empty\": true}";
  return false;
}

Json ToJson(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
      return Json{{"empty", true}};
    case Variant::Type::kNull:
      return nullptr;
    case Variant::Type::kText:
      return value.text();
    case Variant::Type::kInteger:
      return value.integer();
    case Variant::Type::kDouble:
      return value.number();
    case Variant::Type::kDate:
      return Json{{"date", value.ToText()}};
    case Variant::Type::kBoolean:
      return value.boolean();
    case Variant::Type::kForm: {
      Json fields = Json::array();
      for (const auto& [name, field_value] : value.form()->fields()) {
        fields.push_back(Json::array({name, field_value}));
      }
      return Json{{"form", fields}};
    }
  }
  return nullptr;
}

bool ParseCalls(const Json& input, std::vector<Call>* calls, std::string* why) {
  if (!input.is_object() || !input.contains("calls") ||
      !input["calls"].is_array()) {
    *why = "the input must be an object with an array \"calls\"";
    return false;
  }
  for (size_t i = 0; i < input["calls"].size(); ++i) {
    const Json& entry = input["calls"][i];
    std::string where = "call " + std::to_string(i + 1) + ": ";
    if (!entry.is_object() || !entry.contains("command")) {
      *why = where + "each call must be an object with \"command\"";
      return false;
    }
    Call call;
    if (!ToVariant(entry["command"], &call.command, why)) {
      *why = where + *why;
      return false;
    }
    if (entry.contains("params")) {
      const Json& params = entry["params"];
      if (!params.is_array() || params.size() > 3) {
        *why = where + "\"params\" must be an array of at most 3 values";
        return false;
      }
      for (size_t p = 0; p < params.size(); ++p) {
        if (!ToVariant(params[p], &call.params[p], why)) {
          *why = where + *why;
          return false;
        }
      }
    }
    calls->push_back(std::move(call));
  }
  return true;
}

}  // namespace

int RunCalls(std::istream& input, std::ostream& output, std::ostream& errors,
             const std::string& settings_path) {
  Json parsed = Json::parse(input, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) {
    errors << "kirvs run: the input is not JSON\n";
    return kExitUsage;
  }
  std::vector<Call> calls;
  std::string why;
  if (!ParseCalls(parsed, &calls, &why)) {
    errors << "kirvs run: " << why << "\n";
    return kExitUsage;
  }
  KIRVSession session(settings_path);
  Json results = Json::array();
  for (Call& call : calls) {
    bool result = session.RunCommand(call.command, call.params[0],
                                     call.params[1], call.params[2]);
    results.push_back(Json{
        {"result", result},
        {"CommandString", ToJson(call.command)},
        {"CommandParam1", ToJson(call.params[0])},
        {"CommandParam2", ToJson(call.params[1])},
        {"CommandParam3", ToJson(call.params[2])},
        {"HTMLString", session.HTMLString().ToText()},
        {"ErrorDescription", session.ErrorDescription().ToText()},
        {"UserId", session.UserId().ToText()},
        {"PersonnelName", session.PersonnelName().ToText()},
        {"RequestNo", session.RequestNo().integer()},
    });
  }
  // Invalid UTF-8 in the database or the input must not stop the output.
  output << Json{{"results", results}}.dump(2, ' ', false,
                                            Json::error_handler_t::replace)
         << "\n";
  return kExitOk;
}

}  // namespace kirvs
