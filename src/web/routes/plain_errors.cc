#include "web/routes/plain_errors.h"

#include <array>
#include <optional>
#include <utility>

#include "platform/ascii.h"
#include "platform/text_forms.h"

namespace kirvs::web {

namespace {

constexpr std::string_view kGeneric =
    "The help desk could not carry out this command. Please try again; if it "
    "fails again, tell the help desk's administrator (the details are in the "
    "server's log).";

// The date columns of the help desk's pages.
constexpr std::array<std::string_view, 5> kDateColumns = {
    "Requested", "Allocated", "Scheduled", "Completed", "Date/Time"};

bool IsDateColumn(std::string_view name) {
  for (std::string_view column : kDateColumns) {
    if (EqualsIgnoringCase(column, name)) return true;
  }
  return false;
}

// `field` is the column's name; the sentence names it by its caption.
PlainError AboutField(const std::string& field, std::string_view kind,
                      const Captions& captions) {
  std::string text = captions.Of(field) + ": ";
  if (kind == "a date") {
    text += "enter a date such as 2026-12-07 09:00.";
  } else if (kind == "a whole number in range") {
    text += "enter a whole number such as 3.";
  } else if (kind == "a Boolean") {
    text += "tick the box or leave it empty.";
  } else {
    text += "enter a number such as 1.5.";
  }
  return PlainError{std::move(text), {field}};
}

// The number columns of the help desk's pages.
constexpr std::array<std::string_view, 6> kNumberColumns = {
    "RequestCost", "HoursWorked", "LeadTime",
    "DownTime",    "Duration",    "ChargeRate"};

bool IsNumberColumn(std::string_view name) {
  for (std::string_view column : kNumberColumns) {
    if (EqualsIgnoringCase(column, name)) return true;
  }
  return false;
}

// A save that could not write its fields names none of them: the posted
// values that are not what their column holds are the ones to correct.
std::optional<PlainError> FromPostedValues(const SubmittedForm& posted,
                                           const Captions& captions) {
  PlainError error;
  for (const SubmittedForm::Field& field : posted.fields()) {
    bool blank = field.second.find_first_not_of(' ') == std::string::npos;
    if (blank) continue;
    std::optional<PlainError> about;
    if (IsDateColumn(field.first) && !ParseDate(field.second)) {
      about = AboutField(field.first, "a date", captions);
    } else if (IsNumberColumn(field.first) && !ParseNumber(field.second)) {
      about = AboutField(field.first, "a number", captions);
    }
    if (!about) continue;
    if (!error.text.empty()) error.text += ' ';
    error.text += about->text;
    error.fields.push_back(field.first);
  }
  if (error.fields.empty()) return std::nullopt;
  return error;
}

// "... (cannot convert 'x' to a number for column Duration)."
std::optional<PlainError> FromConversion(std::string_view text,
                                         const Captions& captions) {
  size_t to = text.find("' to ");
  size_t column = text.find(" for column ");
  if (text.find("cannot convert") == std::string_view::npos ||
      to == std::string_view::npos || column == std::string_view::npos ||
      column < to) {
    return std::nullopt;
  }
  std::string_view kind = text.substr(to + 5, column - to - 5);
  std::string_view name = text.substr(column + 12);
  name = name.substr(0, name.find(')'));
  return AboutField(PlainText(name), kind, captions);
}

}  // namespace

std::string PlainText(std::string_view html) {
  std::string text;
  bool in_tag = false;
  for (size_t i = 0; i < html.size(); ++i) {
    char c = html[i];
    if (in_tag) {
      if (c == '>') {
        in_tag = false;
        text += ' ';
      }
      continue;
    }
    if (c == '<') {
      in_tag = true;
      continue;
    }
    if (c == '&') {
      constexpr std::pair<std::string_view, char> kReferences[] = {
          {"&amp;", '&'},
          {"&lt;", '<'},
          {"&gt;", '>'},
          {"&quot;", '"'},
          {"&#39;", '\''}};
      bool replaced = false;
      for (const auto& [reference, character] : kReferences) {
        if (html.substr(i).starts_with(reference)) {
          text += character;
          i += reference.size() - 1;
          replaced = true;
          break;
        }
      }
      if (replaced) continue;
    }
    text += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return text;
}

std::string LoggedError(std::string_view engine_html) {
  constexpr size_t kLogged = 600;
  std::string text = PlainText(engine_html);
  if (AsciiUpper(text).find("PASSWORD") != std::string::npos &&
      text.find('=') != std::string::npos) {
    return "(withheld: it quotes a password field)";
  }
  return text.substr(0, kLogged);
}

PlainError PlainErrorOf(std::string_view engine_html,
                        const SubmittedForm& posted, const Captions& captions) {
  std::string_view text = engine_html;
  if (text.find("update fields") != std::string_view::npos) {
    if (auto error = FromConversion(text, captions)) return *error;
    if (auto error = FromPostedValues(posted, captions)) return *error;
  }
  if (text.find("There is no login entry") != std::string_view::npos) {
    return PlainError{
        "Your login has ended. Log out, log in again, then retry.", {}};
  }
  if (text.starts_with("Unable to locate request: ")) {
    std::string number(text.substr(26, text.find(' ', 26) - 26));
    return PlainError{"Request " + PlainText(number) +
                          " is no longer outstanding: it may have been closed "
                          "meanwhile.",
                      {}};
  }
  if (text.find("unknown column: ") != std::string_view::npos &&
      text.find("retrieve") != std::string_view::npos) {
    size_t at = text.find("unknown column: ") + 16;
    std::string field = PlainText(text.substr(at, text.rfind(").") - at));
    return PlainError{
        captions.Of(field) + ": the help desk cannot search by this field.",
        {field}};
  }
  // The engine's words are shown only when they are meant for people: no
  // query, no database, no file.
  if (text.starts_with("An error occurred") || text.find("(") != text.npos ||
      text.find("SELECT") != std::string_view::npos) {
    return PlainError{std::string(kGeneric), {}};
  }
  return PlainError{PlainText(text), {}};
}

}  // namespace kirvs::web
