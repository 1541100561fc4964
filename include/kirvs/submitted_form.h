// SubmittedForm: the fields of one posted HTML form, in posted order.
//
// Lookup by name ignores ASCII case; a name posted several times gives its
// values joined by ", "; a name not posted gives empty text. Names() gives each
// distinct name once, in order of first appearance. Lookups take constant
// time whatever the number of fields: an index by name is built as the
// fields are added.
//
// Thread safety: immutable after construction; safe to share between threads.

#ifndef KIRVS_INCLUDE_KIRVS_SUBMITTED_FORM_H_
#define KIRVS_INCLUDE_KIRVS_SUBMITTED_FORM_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kirvs {

// The most fields a web front accepts in one post; a post with more is
// refused before it reaches the engine. No page of ours has nearly as many.
inline constexpr size_t kMaxFormFields = 1000;

class SubmittedForm {
 public:
  using Field = std::pair<std::string, std::string>;

  SubmittedForm() = default;
  explicit SubmittedForm(std::vector<Field> fields);

  // The posted value of a field, as described above.
  std::string Get(std::string_view name) const;
  // Whether a field of that name (any case) was posted at all.
  bool Has(std::string_view name) const;
  // The distinct field names, in order of first appearance, as first posted.
  const std::vector<std::string>& Names() const { return names_; }
  const std::vector<Field>& fields() const { return fields_; }

 private:
  // Records one posted field in the index.
  void Index(const Field& field);

  std::vector<Field> fields_;
  std::vector<std::string> names_;
  // Per distinct name, in the order of names_: its values joined by ", ".
  std::vector<std::string> values_;
  // ASCII-lower-cased name -> its position in names_ and values_.
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace kirvs

#endif  // KIRVS_INCLUDE_KIRVS_SUBMITTED_FORM_H_
