#include "web/http/form_reader.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "web/http/answers.h"
#include "web/http/request_parsing.h"
#include "web/pages/page.h"

namespace kirvs::web {

namespace {

// The fields of a body as ParseFormBody counts them: the non-empty pieces
// between ampersands.
size_t CountFields(std::string_view body) {
  size_t count = 0;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = std::min(body.find('&', start), body.size());
    if (end > start) ++count;
    start = end + 1;
  }
  return count;
}

// A NUL ends text early in much that a value passes through (C strings, a
// log, a database driver), so a form holding one is not taken.
bool HoldsNul(const std::vector<SubmittedForm::Field>& fields) {
  for (const SubmittedForm::Field& field : fields) {
    if (field.first.find('\0') != std::string::npos ||
        field.second.find('\0') != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::vector<SubmittedForm::Field>> ReadForm(
    const httplib::Request& req, httplib::Response& res,
    const httplib::ContentReader& read, size_t limit) {
  std::string body;
  size_t seen = 0;
  bool too_large = false;
  bool form = !req.is_multipart_form_data() &&
              IsFormContentType(req.get_header_value("Content-Type"));
  // Any other body is read past, counting, so that the connection stays
  // usable for the next request.
  auto receive = [&](const char* data, size_t size) {
    seen += size;
    too_large = seen > limit;
    if (!too_large && form) body.append(data, size);
    return !too_large;
  };
  bool complete =
      req.is_multipart_form_data()
          ? read([](const httplib::MultipartFormData&) { return true; },
                 receive)
          : read(receive);
  if (too_large || res.status == 413) {
    SetProblem(res, 413);
  } else if (!form) {
    SetProblem(res, 415);
  } else if (!complete) {
    SetProblem(res, 400);
  } else if (CountFields(body) > kMaxFormFields) {
    SetDocument(res, 413,
                RenderProblemPage("Too many fields",
                                  "The form has too many fields. Nothing "
                                  "was done."));
  } else {
    std::vector<SubmittedForm::Field> fields = ParseFormBody(body);
    if (!HoldsNul(fields)) return fields;
    SetDocument(res, 400,
                RenderProblemPage("Bad request",
                                  "The form holds a null character, which "
                                  "the help desk does not accept. Nothing "
                                  "was done."));
  }
  return std::nullopt;
}

}  // namespace kirvs::web
