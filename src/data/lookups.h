// Shared reads of the help-desk database: the selection list of a code
// table and the lookup of one value by key. Each opens its own record source
// on the database of the settings file's DBPath and closes it before
// returning; neither writes ErrorDescription: a failure shows only in the
// result. Thread-safe.

#ifndef KIRVS_SRC_DATA_LOOKUPS_H_
#define KIRVS_SRC_DATA_LOOKUPS_H_

#include <string>
#include <string_view>

#include "kirvs/variant.h"
#include "platform/status.h"

namespace kirvs {

// Appends the markup of a selection list named `field_name` offering the
// first column of every row of `table` (in its order), with a blank option
// first; the option equal to `current` is selected (text compared exactly,
// numbers as numbers, a number never equals a text; an empty or empty-text
// current value selects the blank option). When the table cannot be read,
// at open or part-way through its rows, appends nothing and fails.
// REQUIRES: `table` is one of the engine's own table names.
Status AppendSelectList(std::string* markup, const std::string& settings_path,
                        std::string_view field_name, std::string_view table,
                        const Variant& current);

// The markup of AppendSelectList; empty text when the table cannot be read.
std::string BuildSelectList(const std::string& settings_path,
                            std::string_view field_name, std::string_view table,
                            const Variant& current);

// The column at `position` (0 = first) of the first row of `table` whose
// first column equals `key`, as text; empty text when the table cannot be
// read, no row matches or there is no such column.
// REQUIRES: `table` is one of the engine's own table names.
std::string LookupValue(const std::string& settings_path,
                        std::string_view table, std::string_view key,
                        int position);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_LOOKUPS_H_
