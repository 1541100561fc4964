#include "platform/column_types.h"

#include <string>

#include "platform/ascii.h"

namespace kirvs {

namespace {

struct NamedType {
  std::string_view name;
  ColumnType type;
};

constexpr int kUnlimited = 1073741823;

constexpr NamedType kFixedTypes[] = {
    {"BOOLEAN", {kTypeBoolean, 2}},
    {"BOOL", {kTypeBoolean, 2}},
    {"BIT", {kTypeBoolean, 2}},
    {"YESNO", {kTypeBoolean, 2}},
    {"LOGICAL", {kTypeBoolean, 2}},
    {"DATETIME", {kTypeTimestamp, 16}},
    {"TIMESTAMP", {kTypeTimestamp, 16}},
    {"DATE", {kTypeDate, 6}},
    {"TIME", {kTypeTime, 6}},
    {"TINYINT", {kTypeTinyInt, 1}},
    {"BYTE", {kTypeTinyInt, 1}},
    {"SMALLINT", {kTypeSmallInt, 2}},
    {"SHORT", {kTypeSmallInt, 2}},
    {"INT2", {kTypeSmallInt, 2}},
    {"INTEGER", {kTypeInteger, 4}},
    {"INT", {kTypeInteger, 4}},
    {"LONG", {kTypeInteger, 4}},
    {"INT4", {kTypeInteger, 4}},
    {"COUNTER", {kTypeInteger, 4}},
    {"AUTOINCREMENT", {kTypeInteger, 4}},
    {"BIGINT", {kTypeBigInt, 8}},
    {"INT8", {kTypeBigInt, 8}},
    {"REAL", {kTypeDouble, 8}},
    {"FLOAT", {kTypeDouble, 8}},
    {"DOUBLE", {kTypeDouble, 8}},
    {"SINGLE", {kTypeSingle, 4}},
    {"FLOAT4", {kTypeSingle, 4}},
    {"CURRENCY", {kTypeCurrency, 8}},
    {"MONEY", {kTypeCurrency, 8}},
    {"DECIMAL", {kTypeNumeric, 19}},
    {"NUMERIC", {kTypeNumeric, 19}},
    {"BLOB", {kTypeBlob, kUnlimited}},
};

constexpr std::string_view kSizedTexts[] = {"VARCHAR", "CHAR", "NVARCHAR",
                                            "NCHAR", "TEXT"};
constexpr std::string_view kLongTexts[] = {"TEXT", "MEMO", "LONGTEXT", "CLOB",
                                           "NTEXT"};

// The size in "(n)" after the first word, or -1 when there is none.
int SizeAfter(std::string_view rest) {
  rest = TrimBlanks(rest);
  if (rest.empty() || rest.front() != '(') return -1;
  int size = 0;
  size_t i = 1;
  while (i < rest.size() && rest[i] == ' ') ++i;
  size_t digits_start = i;
  for (; i < rest.size() && IsAsciiDigit(rest[i]); ++i) {
    if (size > 100000000) return -1;
    size = size * 10 + (rest[i] - '0');
  }
  if (i == digits_start) return -1;
  return size;
}

}  // namespace

ColumnType ColumnTypeOf(std::string_view declared_type) {
  std::string_view text = TrimBlanks(declared_type);
  size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != '(' &&
         text[end] != '\t') {
    ++end;
  }
  std::string word = AsciiUpper(text.substr(0, end));
  int size = SizeAfter(text.substr(end));
  if (size >= 0) {
    for (std::string_view name : kSizedTexts) {
      if (word == name) return {kTypeVarChar, size};
    }
  }
  for (std::string_view name : kLongTexts) {
    if (word == name) return {kTypeLongText, kUnlimited};
  }
  for (const NamedType& named : kFixedTypes) {
    if (word == named.name) return named.type;
  }
  return {kTypeVarChar, 255};
}

bool IsDateType(int type_code) {
  return type_code == kTypeDateValue || type_code == kTypeDate ||
         type_code == kTypeTime || type_code == kTypeTimestamp;
}

bool IsIntegerType(int type_code) {
  return type_code == kTypeSmallInt || type_code == kTypeInteger ||
         type_code == kTypeTinyInt || type_code == kTypeBigInt;
}

bool IsNumericType(int type_code) {
  return IsIntegerType(type_code) || type_code == kTypeSingle ||
         type_code == kTypeDouble || type_code == kTypeCurrency ||
         type_code == kTypeNumeric;
}

}  // namespace kirvs
