#include "data/file_permissions.h"

#include <sys/stat.h>

#include "data/settings.h"

namespace kirvs {

std::vector<std::string> FilesReadableByOthers(
    const std::string& settings_path) {
  std::vector<std::string> candidates = {settings_path};
  const std::string db_path = ReadSetting(settings_path, "DBPath");
  if (!db_path.empty()) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
      candidates.push_back(db_path + suffix);
    }
  }
  std::vector<std::string> readable;
  for (const std::string& path : candidates) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 &&
        (info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
      readable.push_back(path);
    }
  }
  return readable;
}

}  // namespace kirvs
