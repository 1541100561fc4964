// Escaping of values put into pages and query texts. Every value that comes
// from the database, the caller or a user passes through one of these
// appenders on its way into markup or SQL; fixed literals do not.
// Pure and thread-safe.

#ifndef KIRVS_SRC_PLATFORM_ESCAPE_H_
#define KIRVS_SRC_PLATFORM_ESCAPE_H_

#include <string>
#include <string_view>

namespace kirvs {

// Appends `value` as HTML text or a quoted attribute value: & < > " ' become
// character references.
void AppendHtml(std::string* dst, std::string_view value);
std::string EscapeHtml(std::string_view value);

// Appends `value` for an attribute written without quotes (value=...): as
// AppendHtml, and blanks, tabs, line ends, "=" and "`" as character references
// too, so that the value cannot end early or add attributes.
void AppendHtmlUnquoted(std::string* dst, std::string_view value);

// Appends `value` for the inside of an apostrophe-quoted SQL text literal:
// apostrophes are doubled. The caller writes the surrounding apostrophes.
void AppendSqlText(std::string* dst, std::string_view value);

// Whether a name that a user sent (sort column, search field, posted field)
// is a plain name: not empty, only letters, digits, "_", "-", "/", "#" and
// blank.
bool IsPlainName(std::string_view name);

// Appends a plain name as an SQL identifier: as it stands when it is a simple
// identifier (a letter or "_" first, then letters, digits and "_") and no
// keyword of the query language, otherwise in brackets.
// REQUIRES: IsPlainName(name).
void AppendSqlName(std::string* dst, std::string_view name);

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_ESCAPE_H_
