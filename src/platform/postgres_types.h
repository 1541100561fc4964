// Type codes and defined sizes of PostgreSQL columns, from the column's
// type as the catalog names it (format_type) or, for a computed column,
// from the type of the result:
//
//   type (oid)                                    code  size
//   smallint (21)                                 2     2
//   integer (23), oid (26)                        3     4
//   bigint (20)                                   20    8
//   real (700)                                    4     4
//   double precision (701)                        5     8
//   money (790), currency (domain, numeric(19,4)) 6     8
//   numeric (1700)                                131   19
//   boolean (16)                                  11    2
//   timestamp [(p)] [without|with time zone]
//     (1114, 1184)                                135   16
//   date (1082)                                   133   6
//   time [(p)] without time zone (1083)           134   6
//   character varying(n) (1043), character(n)
//     (1042), nocase_varchar_n (domain, citext)   202   n
//   text (25), citext                             201   1073741823
//   bytea (17)                                    205   1073741823
//   anything else                                 202   255
//
// The help desk's text columns are citext (compared without regard to
// case); those with a size are of the domain nocase_varchar_n, so that the
// size comes back from the catalog.
//
// Pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_POSTGRES_TYPES_H_
#define KIRVS_SRC_PLATFORM_POSTGRES_TYPES_H_

#include <string>
#include <string_view>

#include "platform/column_types.h"

namespace kirvs {

// The type code and size of a type named as format_type names it.
ColumnType PostgresColumnType(std::string_view type_name);

// The name of a built-in type by its oid and the column's type modifier
// (PQftype, PQfmod), as format_type would give it; empty for a type that
// is not built in.
std::string PostgresTypeName(unsigned oid, int modifier);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_POSTGRES_TYPES_H_
