#include "web/pages/visitor_messages.h"

#include "platform/escape.h"

namespace kirvs::web {

namespace {

// Calls `replace(text, at, length)` for each place where the path stands,
// as the engine writes it (escaped) or as it is.
template <typename Replace>
void ForEachPath(std::string* text, std::string_view db_path, Replace replace) {
  if (db_path.empty()) return;
  for (const std::string& form : {EscapeHtml(db_path), std::string(db_path)}) {
    size_t at = 0;
    while ((at = text->find(form, at)) != std::string::npos) {
      at = replace(text, at, form.size());
    }
  }
}

bool EndsWith(const std::string& text, size_t end, std::string_view suffix) {
  return end >= suffix.size() &&
         text.compare(end - suffix.size(), suffix.size(), suffix) == 0;
}

// Cuts from each `marker` to the next "<br>" (inclusive) or the end.
void CutEcho(std::string* text, std::string_view marker) {
  size_t at = 0;
  while ((at = text->find(marker, at)) != std::string::npos) {
    size_t br = text->find("<br>", at);
    size_t end = br == std::string::npos ? text->size() : br + 4;
    text->erase(at, end - at);
  }
}

}  // namespace

std::string ShownMessage(std::string_view error_html,
                         std::string_view db_path) {
  std::string text(error_html);
  ForEachPath(&text, db_path, [](std::string* t, size_t at, size_t length) {
    size_t start = at;
    for (std::string_view words : {" in database: ", " in database "}) {
      if (EndsWith(*t, at, words)) {
        start = at - words.size();
        break;
      }
    }
    t->erase(start, at + length - start);
    return start;
  });
  CutEcho(&text, "strQuery: ");
  CutEcho(&text, "SELECT ");
  return text;
}

std::string LoggedMessage(std::string_view error_html,
                          std::string_view db_path) {
  std::string text(error_html);
  ForEachPath(&text, db_path, [](std::string* t, size_t at, size_t length) {
    t->replace(at, length, "<database>");
    return at + 10;
  });
  return text;
}

}  // namespace kirvs::web
