// SubmittedForm: the fields of one posted HTML form, in posted order.
//
// Lookup by name ignores ASCII case; a name posted several times gives its
// values joined by ", "; a name not posted gives empty text. Names() gives each
// distinct name once, in order of first appearance.
//
// Thread safety: immutable after construction; safe to share between threads.

#ifndef KIRVS_INCLUDE_KIRVS_SUBMITTED_FORM_H_
#define KIRVS_INCLUDE_KIRVS_SUBMITTED_FORM_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kirvs {

class SubmittedForm {
 public:
  using Field = std::pair<std::string, std::string>;

  SubmittedForm() = default;
  explicit SubmittedForm(std::vector<Field> fields)
      : fields_(std::move(fields)) {}

  // The posted value of a field, as described above.
  std::string Get(std::string_view name) const;
  // Whether a field of that name (any case) was posted at all.
  bool Has(std::string_view name) const;
  // The distinct field names, in order of first appearance, as first posted.
  std::vector<std::string> Names() const;
  const std::vector<Field>& fields() const { return fields_; }

 private:
  std::vector<Field> fields_;
};

}  // namespace kirvs

#endif  // KIRVS_INCLUDE_KIRVS_SUBMITTED_FORM_H_
