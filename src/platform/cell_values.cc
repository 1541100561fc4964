#include "platform/cell_values.h"

#include <charconv>
#include <cmath>

#include "platform/ascii.h"
#include "platform/text_forms.h"

namespace kirvs {

namespace {

std::string_view BytesOf(const Cell& cell, std::string_view bytes) {
  return bytes.substr(cell.offset, cell.size);
}

bool IsNumberCell(const Cell& cell) {
  return cell.kind == Cell::Kind::kInteger || cell.kind == Cell::Kind::kReal;
}

double NumberOf(const Cell& cell) {
  return cell.kind == Cell::Kind::kInteger ? static_cast<double>(cell.integer)
                                           : cell.real;
}

Status CannotConvert(const Variant& value, std::string_view what,
                     const FieldInfo& field) {
  return Status::InvalidArgument("cannot convert '" + value.ToText() + "' to " +
                                 std::string(what) + " for column " +
                                 field.name);
}

}  // namespace

Status ConvertForColumn(const Variant& value, const FieldInfo& field,
                        Variant* out) {
  const int code = field.type_code;
  if (value.IsEmpty() || value.IsNull()) {
    *out = Variant::Null();
    return Status();
  }
  if (value.IsForm()) return CannotConvert(value, "a column value", field);
  if (IsDateType(code)) {
    if (value.type() == Variant::Type::kDate) {
      *out = value;
    } else if (value.IsNumber()) {
      *out = Variant::Date(value.number());
    } else if (std::optional<double> date =
                   value.IsText() ? ParseDate(value.text()) : std::nullopt) {
      *out = Variant::Date(*date);
    } else {
      return CannotConvert(value, "a date", field);
    }
    return Status();
  }
  if (code == kTypeBoolean) {
    if (value.IsText()) {
      if (EqualsIgnoringCase(TrimBlanks(value.text()), "True")) {
        *out = Variant::Boolean(true);
      } else if (EqualsIgnoringCase(TrimBlanks(value.text()), "False")) {
        *out = Variant::Boolean(false);
      } else if (std::optional<double> n = ParseNumber(value.text())) {
        *out = Variant::Boolean(*n != 0);
      } else {
        return CannotConvert(value, "a Boolean", field);
      }
    } else {
      *out = Variant::Boolean(value.number() != 0);
    }
    return Status();
  }
  if (IsNumericType(code)) {
    double number;
    if (value.IsText()) {
      std::optional<double> parsed = ParseNumber(value.text());
      if (!parsed) return CannotConvert(value, "a number", field);
      number = *parsed;
    } else {
      number = value.number();
    }
    if (IsIntegerType(code)) {
      double rounded = std::nearbyint(number);
      if (rounded >= INT32_MIN && rounded <= INT32_MAX) {
        *out = Variant::Integer(static_cast<int32_t>(rounded));
      } else if (code == kTypeBigInt && std::fabs(rounded) < 9.2e18) {
        *out = Variant::Double(rounded);
      } else {
        return CannotConvert(value, "a whole number in range", field);
      }
    } else {
      *out = Variant::Double(number);
    }
    return Status();
  }
  *out = Variant(value.ToText());
  return Status();
}

Variant CellValue(const Cell& cell, std::string_view bytes, int type_code) {
  if (cell.kind == Cell::Kind::kNull) return Variant::Null();
  if (IsDateType(type_code)) {
    if (IsNumberCell(cell)) return Variant::Date(NumberOf(cell));
    std::string_view text = BytesOf(cell, bytes);
    std::optional<double> date = ParseDate(text);
    return date ? Variant::Date(*date) : Variant(std::string(text));
  }
  if (type_code == kTypeBoolean && IsNumberCell(cell)) {
    return Variant::Boolean(NumberOf(cell) != 0);
  }
  if (cell.kind == Cell::Kind::kInteger) {
    if (cell.integer >= INT32_MIN && cell.integer <= INT32_MAX) {
      return Variant::Integer(static_cast<int32_t>(cell.integer));
    }
    return Variant::Double(static_cast<double>(cell.integer));
  }
  if (cell.kind == Cell::Kind::kReal) return Variant::Double(cell.real);
  return Variant(std::string(BytesOf(cell, bytes)));
}

std::string_view CellText(const Cell& cell, std::string_view bytes,
                          int type_code, std::string* buffer) {
  if (cell.kind == Cell::Kind::kNull) return "";
  if (IsDateType(type_code)) {
    if (IsNumberCell(cell)) return *buffer = FormatGeneralDate(NumberOf(cell));
    // Dates are stored as they are shown, most of the time: then the text
    // serves as it stands.
    std::string_view stored = BytesOf(cell, bytes);
    if (IsGeneralDateText(stored)) return stored;
    std::optional<double> date = ParseDate(stored);
    return date ? std::string_view(*buffer = FormatGeneralDate(*date)) : stored;
  }
  if (type_code == kTypeBoolean && IsNumberCell(cell)) {
    return *buffer = FormatBoolean(NumberOf(cell) != 0);
  }
  if (cell.kind == Cell::Kind::kInteger) {
    if (cell.integer < INT32_MIN || cell.integer > INT32_MAX) {
      return *buffer = FormatDouble(static_cast<double>(cell.integer));
    }
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, cell.integer).ptr;
    buffer->assign(digits, end);
    return *buffer;
  }
  if (cell.kind == Cell::Kind::kReal) return *buffer = FormatDouble(cell.real);
  return BytesOf(cell, bytes);
}

void BindValue(Statement* statement, int slot, const Variant& value,
               int type_code) {
  switch (value.type()) {
    case Variant::Type::kText:
      statement->BindText(slot, value.text());
      return;
    case Variant::Type::kInteger:
      statement->BindInteger(slot, value.integer());
      return;
    case Variant::Type::kDouble:
      statement->BindReal(slot, value.number());
      return;
    case Variant::Type::kBoolean:
      statement->BindInteger(slot, value.boolean() ? 1 : 0);
      return;
    case Variant::Type::kDate:
      statement->BindText(
          slot, FormatStoredDate(
                    value.date(),
                    type_code == kTypeTime   ? StoredDateLayout::kTime
                    : type_code == kTypeDate ? StoredDateLayout::kDate
                                             : StoredDateLayout::kDateTime));
      return;
    default:
      statement->BindNull(slot);
  }
}

}  // namespace kirvs
