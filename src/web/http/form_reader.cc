#include "web/http/form_reader.h"

#include "web/http/answers.h"
#include "web/http/request_parsing.h"

namespace kirvs::web {

std::optional<std::string> ReadForm(const httplib::Request& req,
                                    httplib::Response& res,
                                    const httplib::ContentReader& read,
                                    size_t limit) {
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
  } else {
    return body;
  }
  return std::nullopt;
}

}  // namespace kirvs::web
