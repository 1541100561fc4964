#include "web/pages/enhance.h"

#include "platform/escape.h"

namespace kirvs::web {

namespace {

void ReplaceAll(std::string* text, std::string_view from, std::string_view to,
                size_t begin, size_t* end) {
  for (size_t at = text->find(from, begin);
       at != std::string::npos && at < *end;
       at = text->find(from, at + to.size())) {
    text->replace(at, from.size(), to);
    *end = *end + to.size() - from.size();
  }
}

}  // namespace

std::string_view DefaultCaption(std::string_view fragment) {
  if (fragment.find("value='Close Now'") != std::string_view::npos &&
      fragment.find("value='Save Close Details'") != std::string_view::npos) {
    return "Save Close Details";
  }
  return {};
}

void PreselectOption(std::string* fragment, std::string_view select_name,
                     std::string_view value) {
  std::string open = "<select name='" + std::string(select_name) + "'";
  size_t begin = fragment->find(open);
  if (begin == std::string::npos) return;
  size_t end = fragment->find("</select>", begin);
  if (end == std::string::npos) return;
  std::string option = "<option value='" + EscapeHtml(value) + "'";
  size_t at = fragment->find(option, begin);
  if (at == std::string::npos || at > end) return;
  ReplaceAll(fragment, " selected>", ">", begin, &end);
  at = fragment->find(option, begin);
  fragment->insert(at + option.size(), " selected");
}

void MakeInputsReadOnly(std::string* fragment) {
  size_t end = fragment->size();
  ReplaceAll(fragment, "<input name='", "<input readonly name='", 0, &end);
}

}  // namespace kirvs::web
