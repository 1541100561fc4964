// Type codes and defined sizes of columns, derived from a column's declared
// type in the database, for any SQLite database:
//
//   BOOLEAN, BOOL, BIT, YESNO, LOGICAL            11   2
//   DATETIME, TIMESTAMP                           135  16
//   DATE                                          133  6
//   TIME                                          134  6
//   TINYINT, BYTE                                 17   1
//   SMALLINT, SHORT, INT2                         2    2
//   INTEGER, INT, LONG, INT4, COUNTER,
//     AUTOINCREMENT                               3    4
//   BIGINT, INT8                                  20   8
//   REAL, FLOAT, DOUBLE                           5    8
//   SINGLE, FLOAT4                                4    4
//   CURRENCY, MONEY                               6    8
//   DECIMAL, NUMERIC                              131  19
//   VARCHAR(n), CHAR(n), NVARCHAR(n), NCHAR(n),
//     TEXT(n)                                     202  n
//   TEXT, MEMO, LONGTEXT, CLOB, NTEXT (no size)   201  1073741823
//   BLOB                                          205  1073741823
//   anything else, or no declared type            202  255
//
// Only the first word of the declared type counts, in any case.
// Pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_COLUMN_TYPES_H_
#define KIRVS_SRC_PLATFORM_COLUMN_TYPES_H_

#include <string>
#include <string_view>

namespace kirvs {

inline constexpr int kTypeSmallInt = 2;
inline constexpr int kTypeInteger = 3;
inline constexpr int kTypeSingle = 4;
inline constexpr int kTypeDouble = 5;
inline constexpr int kTypeCurrency = 6;
inline constexpr int kTypeDateValue = 7;
inline constexpr int kTypeBoolean = 11;
inline constexpr int kTypeTinyInt = 17;
inline constexpr int kTypeBigInt = 20;
inline constexpr int kTypeNumeric = 131;
inline constexpr int kTypeDate = 133;
inline constexpr int kTypeTime = 134;
inline constexpr int kTypeTimestamp = 135;
inline constexpr int kTypeLongText = 201;
inline constexpr int kTypeVarChar = 202;
inline constexpr int kTypeBlob = 205;

struct ColumnType {
  int type_code;
  int defined_size;
};

// One column of a query: its name, type code and defined size.
struct FieldInfo {
  std::string name;
  int type_code = kTypeVarChar;
  int defined_size = 255;
};

// The type code and defined size of a declared type (empty: none declared).
ColumnType ColumnTypeOf(std::string_view declared_type);

// Type codes that hold a moment: 7, 133, 134, 135.
bool IsDateType(int type_code);
// Type codes of whole numbers: 2, 3, 17, 20.
bool IsIntegerType(int type_code);
// Type codes of numbers: the whole numbers and 4, 5, 6, 131.
bool IsNumericType(int type_code);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_COLUMN_TYPES_H_
