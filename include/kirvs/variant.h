// Variant: the one value type of the engine. Every property, every argument of
// KIRVSession::RunCommand and every database value is a Variant.
//
// A Variant is empty, null, text (UTF-8), a 32-bit integer, a double, a date
// (a moment: a double count of days, day 0 = 1899-12-30, the fraction being
// the time of day), a Boolean or a submitted form.
//
// Thread safety: a const Variant may be read from several threads; a Variant
// that one thread changes must not be touched by another at the same time.

#ifndef KIRVS_INCLUDE_KIRVS_VARIANT_H_
#define KIRVS_INCLUDE_KIRVS_VARIANT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace kirvs {

class SubmittedForm;

class Variant {
 public:
  enum class Type {
    kEmpty,
    kNull,
    kText,
    kInteger,
    kDouble,
    kDate,
    kBoolean,
    kForm
  };

  // An empty Variant (no value at all, as an optional argument not passed).
  Variant() = default;
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(int32_t number) : value_(number) {}
  // Booleans and doubles must say what they are (Variant::Boolean,
  // Variant::Double): an implicit conversion would make them integers.
  Variant(bool) = delete;
  Variant(double) = delete;

  static Variant Null();
  static Variant Integer(int32_t number) { return Variant(number); }
  static Variant Double(double number);
  static Variant Date(double days);
  static Variant Boolean(bool value);
  static Variant Form(std::shared_ptr<const SubmittedForm> form);

  Type type() const;
  bool IsEmpty() const { return type() == Type::kEmpty; }
  bool IsNull() const { return type() == Type::kNull; }
  bool IsText() const { return type() == Type::kText; }
  bool IsForm() const { return type() == Type::kForm; }
  // Integer or double (not date, not Boolean).
  bool IsNumber() const;

  // REQUIRES: the Variant holds the type the accessor names.
  const std::string& text() const;
  int32_t integer() const;
  bool boolean() const;
  double date() const;
  // The submitted form; nullptr when the Variant holds no form.
  const SubmittedForm* form() const;

  // The value as a double: numbers, dates, and Booleans (true is -1).
  // REQUIRES: IsNumber() or type() is kDate or kBoolean.
  double number() const;

  // The value's general text form: text unchanged, numbers and dates in their
  // default text form, Booleans "True"/"False", empty and null as empty text,
  // a form as empty text.
  std::string ToText() const;

  // Exact equality of type and value (text case counts).
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  struct DateTag {
    double days;
    friend bool operator==(DateTag a, DateTag b) { return a.days == b.days; }
  };
  struct FormRef {
    std::shared_ptr<const SubmittedForm> form;
    friend bool operator==(const FormRef& a, const FormRef& b) {
      return a.form == b.form;
    }
  };
  using Storage = std::variant<std::monostate, NullTag, std::string, int32_t,
                               double, DateTag, bool, FormRef>;
  explicit Variant(Storage value) : value_(std::move(value)) {}

  Storage value_;
};

}  // namespace kirvs

#endif  // KIRVS_INCLUDE_KIRVS_VARIANT_H_
