// Choosing the store by the form of `DBPath`, and the form of a `DBPath`
// that messages may show.

#include "platform/database.h"

#include "platform/ascii.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"

namespace kirvs {

bool IsPostgresUri(std::string_view path) {
  return StartsWithIgnoringCase(path, "postgresql://") ||
         StartsWithIgnoringCase(path, "postgres://");
}

std::string DisplayPath(std::string_view path) {
  if (!IsPostgresUri(path)) return std::string(path);
  std::string shown(path);
  // The user information ends at the last "@" before the parameters: a
  // password that holds an unencoded "@" is still hidden whole.
  const size_t start = shown.find("://") + 3;
  const size_t query = shown.find('?', start);
  const size_t at = shown.rfind('@', query);
  if (at != std::string::npos && at >= start) {
    const size_t colon = shown.find(':', start);
    if (colon < at) shown.replace(colon + 1, at - colon - 1, "***");
  }
  // "password=" among the parameters.
  for (size_t from = shown.find('?'); from != std::string::npos;) {
    const size_t name = from + 1;
    const size_t end = std::min(shown.find('&', name), shown.size());
    if (StartsWithIgnoringCase(std::string_view(shown).substr(name),
                               "password=")) {
      const size_t value = name + 9;
      shown.replace(value, end - value, "***");
    }
    from = shown.find('&', name);
  }
  return shown;
}

Status Database::Open(const std::string& path, std::shared_ptr<Database>* out) {
  if (IsPostgresUri(path)) return PostgresDatabase::Open(path, true, out);
  return SqliteDatabase::Open(path, out);
}

Status Database::Create(const std::string& path,
                        std::shared_ptr<Database>* out) {
  if (IsPostgresUri(path)) return PostgresDatabase::Open(path, false, out);
  return SqliteDatabase::Create(path, out);
}

}  // namespace kirvs
