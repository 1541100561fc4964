// Value conversion by type code, between the cells a store reads and writes
// and the Variants that handlers see:
//
//   read    a column with a date type code reads as a date Variant (a stored
//           date that does not parse as its text); a Boolean column with a
//           number as a Boolean (any non-zero is true); integers as 32-bit
//           integers when they fit, else doubles; reals as doubles; text and
//           blobs as text; NULL as null.
//   text    the text form of that Variant (Variant::ToText), made straight
//           from the cell, so that a page that only shows values builds no
//           Variant and parses no date that is stored as it is shown.
//   write   a value converted to a column's type, and bound as the column's
//           stored form: dates as "YYYY-MM-DD HH:MM:SS" ("YYYY-MM-DD" in a
//           DATE column, "HH:MM:SS" in a TIME column), Booleans as 1 / 0,
//           numbers as numbers, text as text; empty and null as NULL.
//
// Pure and thread-safe (a Statement is used by one thread at a time).

#ifndef KIRVS_SRC_PLATFORM_CELL_VALUES_H_
#define KIRVS_SRC_PLATFORM_CELL_VALUES_H_

#include <string>
#include <string_view>

#include "kirvs/variant.h"
#include "platform/column_types.h"
#include "platform/statement.h"
#include "platform/status.h"

namespace kirvs {

// The value of `cell`, whose bytes are in `bytes`, in a column of
// `type_code`.
Variant CellValue(const Cell& cell, std::string_view bytes, int type_code);

// CellValue(cell, bytes, type_code).ToText(): a view of the stored bytes when
// they are the text form already, else of `*buffer`, which it fills.
std::string_view CellText(const Cell& cell, std::string_view bytes,
                          int type_code, std::string* buffer);

// Converts a value written to `field` into the field's type; fails, leaving
// `*out` as it was, when it cannot.
Status ConvertForColumn(const Variant& value, const FieldInfo& field,
                        Variant* out);

// Binds a value, already converted to its column's type, in its stored
// form.
void BindValue(Statement* statement, int slot, const Variant& value,
               int type_code);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_CELL_VALUES_H_
