#include "kirvs/variant.h"

#include "kirvs/submitted_form.h"
#include "platform/text_forms.h"

namespace kirvs {

Variant Variant::Null() { return Variant(Storage(NullTag{})); }
Variant Variant::Double(double number) { return Variant(Storage(number)); }
Variant Variant::Date(double days) { return Variant(Storage(DateTag{days})); }
Variant Variant::Boolean(bool value) { return Variant(Storage(value)); }
Variant Variant::Form(std::shared_ptr<const SubmittedForm> form) {
  return Variant(Storage(FormRef{std::move(form)}));
}

Variant::Type Variant::type() const {
  // The order of the alternatives in Storage is the order of Type.
  return static_cast<Type>(value_.index());
}

bool Variant::IsNumber() const {
  return type() == Type::kInteger || type() == Type::kDouble;
}

const std::string& Variant::text() const {
  return std::get<std::string>(value_);
}
int32_t Variant::integer() const { return std::get<int32_t>(value_); }
bool Variant::boolean() const { return std::get<bool>(value_); }
double Variant::date() const { return std::get<DateTag>(value_).days; }

const SubmittedForm* Variant::form() const {
  const FormRef* ref = std::get_if<FormRef>(&value_);
  return ref ? ref->form.get() : nullptr;
}

double Variant::number() const {
  switch (type()) {
    case Type::kInteger:
      return integer();
    case Type::kDouble:
      return std::get<double>(value_);
    case Type::kDate:
      return date();
    case Type::kBoolean:
      return boolean() ? -1 : 0;
    default:
      return 0;
  }
}

std::string Variant::ToText() const {
  switch (type()) {
    case Type::kText:
      return text();
    case Type::kInteger:
      return FormatInteger(integer());
    case Type::kDouble:
      return FormatDouble(std::get<double>(value_));
    case Type::kDate:
      return FormatGeneralDate(date());
    case Type::kBoolean:
      return FormatBoolean(boolean());
    default:
      return "";
  }
}

bool operator==(const Variant& a, const Variant& b) {
  return a.value_ == b.value_;
}

}  // namespace kirvs
