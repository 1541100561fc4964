#include "platform/postgres_types.h"

#include <cstdlib>

#include "platform/ascii.h"

namespace kirvs {

namespace {

constexpr int kUnlimited = 1073741823;

struct PostgresType {
  std::string_view name;  // format_type's name, without a size
  unsigned oid;           // 0: not built in
  ColumnType type;        // size -1: the size in parentheses
};

constexpr PostgresType kTypes[] = {
    {"smallint", 21, {kTypeSmallInt, 2}},
    {"integer", 23, {kTypeInteger, 4}},
    {"oid", 26, {kTypeInteger, 4}},
    {"bigint", 20, {kTypeBigInt, 8}},
    {"real", 700, {kTypeSingle, 4}},
    {"double precision", 701, {kTypeDouble, 8}},
    {"money", 790, {kTypeCurrency, 8}},
    {"currency", 0, {kTypeCurrency, 8}},
    {"numeric", 1700, {kTypeNumeric, 19}},
    {"boolean", 16, {kTypeBoolean, 2}},
    {"timestamp without time zone", 1114, {kTypeTimestamp, 16}},
    {"timestamp with time zone", 1184, {kTypeTimestamp, 16}},
    {"timestamp", 0, {kTypeTimestamp, 16}},
    {"date", 1082, {kTypeDate, 6}},
    {"time without time zone", 1083, {kTypeTime, 6}},
    {"character varying", 1043, {kTypeVarChar, -1}},
    {"character", 1042, {kTypeVarChar, -1}},
    {"nocase_varchar_", 0, {kTypeVarChar, -1}},
    {"text", 25, {kTypeLongText, kUnlimited}},
    {"citext", 0, {kTypeLongText, kUnlimited}},
    {"bytea", 17, {kTypeBlob, kUnlimited}},
};

}  // namespace

ColumnType PostgresColumnType(std::string_view type_name) {
  std::string name(TrimBlanks(type_name));
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // "character varying(50)", "timestamp(0) without time zone",
  // "numeric(19,4)": the size is the first number in parentheses.
  int size = -1;
  if (size_t open = name.find('('); open != std::string::npos) {
    const size_t close = name.find(')', open);
    if (close == std::string::npos) return {kTypeVarChar, 255};
    size = std::atoi(name.c_str() + open + 1);
    name.erase(open, close - open + 1);
    if (open < name.size() && open > 0 && name[open] == ' ' &&
        name[open - 1] == ' ') {
      name.erase(open, 1);
    }
  }
  constexpr std::string_view kNocase = "nocase_varchar_";
  if (name.size() > kNocase.size() && name.starts_with(kNocase)) {
    size = std::atoi(name.c_str() + kNocase.size());
    name.resize(kNocase.size());
  }
  for (const PostgresType& type : kTypes) {
    if (type.name != name) continue;
    if (type.type.defined_size >= 0) return type.type;
    if (size > 0) return {type.type.type_code, size};
    break;
  }
  return {kTypeVarChar, 255};
}

std::string PostgresTypeName(unsigned oid, int modifier) {
  for (const PostgresType& type : kTypes) {
    if (type.oid != oid || oid == 0) continue;
    std::string name(type.name);
    if (type.type.defined_size < 0 && modifier >= 4) {
      name += "(" + std::to_string(modifier - 4) + ")";
    }
    return name;
  }
  return "";
}

}  // namespace kirvs
