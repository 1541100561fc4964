#include "platform/connection_pool.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <mutex>
#include <vector>

namespace kirvs {

namespace {

// Enough for the sessions a server runs at once on one help desk; a few
// folders' worth for tests and tools that open several.
constexpr size_t kIdlePerFile = 8;
constexpr size_t kFiles = 8;

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

bool IdentifyFile(const std::string& path, FileId* id) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  id->device = info.st_dev;
  id->inode = info.st_ino;
  return true;
}

struct IdleFile {
  std::string path;
  FileId id;
  std::vector<sqlite3*> connections;
};

class Pool {
 public:
  ~Pool() {
    for (IdleFile& file : files_) CloseAll(&file);
  }

  sqlite3* Take(const std::string& path) {
    FileId id;
    bool exists = IdentifyFile(path, &id);
    std::lock_guard<std::mutex> lock(mutex_);
    ForgetAfterFork();
    for (auto it = files_.begin(); it != files_.end(); ++it) {
      if (it->path != path) continue;
      if (!exists || !(it->id == id)) {
        CloseAll(&*it);
        files_.erase(it);
        return nullptr;
      }
      if (it->connections.empty()) return nullptr;
      sqlite3* db = it->connections.back();
      it->connections.pop_back();
      return db;
    }
    return nullptr;
  }

  void Give(const std::string& path, sqlite3* db) {
    FileId id;
    if (!IdentifyFile(path, &id)) {
      sqlite3_close_v2(db);
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ForgetAfterFork();
    IdleFile* file = nullptr;
    for (IdleFile& candidate : files_) {
      if (candidate.path == path) file = &candidate;
    }
    if (file != nullptr && !(file->id == id)) {
      CloseAll(file);
      file->id = id;
    }
    if (file == nullptr) {
      if (files_.size() == kFiles) {
        CloseAll(&files_.front());
        files_.pop_front();
      }
      files_.push_back(IdleFile{path, id, {}});
      file = &files_.back();
    }
    if (file->connections.size() < kIdlePerFile) {
      file->connections.push_back(db);
    } else {
      sqlite3_close_v2(db);
    }
  }

 private:
  // A child process must not use, nor even close, its parent's connections:
  // SQLite's file locks belong to the process that took them.
  void ForgetAfterFork() {
    if (owner_ == ::getpid()) return;
    owner_ = ::getpid();
    files_.clear();
  }

  static void CloseAll(IdleFile* file) {
    for (sqlite3* db : file->connections) sqlite3_close_v2(db);
    file->connections.clear();
  }

  std::mutex mutex_;
  pid_t owner_ = ::getpid();
  std::deque<IdleFile> files_;  // oldest first
};

Pool& ThePool() {
  static Pool* pool = new Pool();  // lives until exit: no destruction order
  return *pool;
}

}  // namespace

sqlite3* TakeIdleConnection(const std::string& path) {
  return ThePool().Take(path);
}

void GiveBackConnection(const std::string& path, sqlite3* db) {
  ThePool().Give(path, db);
}

}  // namespace kirvs
