#include "platform/settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace kirvs {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One line of the file as it stands, and what it means.
struct Line {
  std::string raw;  // without its line end
  std::string end;  // "\n", "\r\n", or "" for a last line without one
  enum class Kind { kOther, kSection, kKey } kind = Kind::kOther;
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed
};

// The file as lines that are written back exactly as they were read, apart
// from the ones a write changes or adds.
struct Document {
  std::string byte_order_mark;  // an editor's UTF-8 mark, kept as it was
  std::vector<Line> lines;
  std::string line_end = "\n";  // for added lines: the file's own line end
};

enum class ReadResult { kRead, kMissing, kFailed };

ReadResult ReadWholeFile(const std::string& path, std::string* contents) {
  contents->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ReadResult::kFailed;
    }
    if (n == 0) break;
    contents->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return ReadResult::kRead;
}

void Classify(Line* line) {
  std::string_view text = TrimBlanks(line->raw);
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close != std::string_view::npos) {
      line->kind = Line::Kind::kSection;
      line->name = TrimBlanks(text.substr(1, close - 1));
    }
    return;
  }
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return;
  line->kind = Line::Kind::kKey;
  line->name = TrimBlanks(text.substr(0, equals));
  line->value = TrimBlanks(text.substr(equals + 1));
}

Document Parse(std::string_view contents) {
  Document doc;
  if (contents.starts_with(kByteOrderMark)) {
    doc.byte_order_mark = kByteOrderMark;
    contents.remove_prefix(kByteOrderMark.size());
  }
  bool line_end_known = false;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    Line line;
    if (end == std::string_view::npos) {
      line.raw = contents.substr(start);
      end = contents.size();
    } else {
      line.raw = contents.substr(start, end - start);
      line.end = "\n";
      if (!line.raw.empty() && line.raw.back() == '\r') {
        line.raw.pop_back();
        line.end = "\r\n";
      }
      if (!line_end_known) {
        doc.line_end = line.end;
        line_end_known = true;
      }
    }
    Classify(&line);
    doc.lines.push_back(std::move(line));
    start = end + 1;
  }
  return doc;
}

std::string Serialize(const Document& doc) {
  std::string out = doc.byte_order_mark;
  for (const Line& line : doc.lines) {
    out += line.raw;
    out += line.end;
  }
  return out;
}

// Inserts a line before `index`. A file that ended without a line end still
// does: the line added after its last line takes that place.
void InsertLine(Document* doc, size_t index, std::string raw) {
  Line line;
  line.raw = std::move(raw);
  line.end = doc->line_end;
  // Later writes of the same batch must find what this one added.
  Classify(&line);
  if (index == doc->lines.size() && !doc->lines.empty() &&
      doc->lines.back().end.empty()) {
    doc->lines.back().end = doc->line_end;
    line.end.clear();
  }
  doc->lines.insert(doc->lines.begin() + static_cast<ptrdiff_t>(index),
                    std::move(line));
}

// The index of the first line of the first section named `section`, or -1.
int FindSection(const Document& doc, std::string_view section) {
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    const Line& line = doc.lines[i];
    if (line.kind == Line::Kind::kSection &&
        EqualsIgnoringCase(line.name, section)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// The index of the first line of `key` in the section starting at `header`,
// or -1; `*section_end` receives the index just past the section's last key.
int FindKey(const Document& doc, int header, std::string_view key,
            size_t* section_end) {
  *section_end = header + 1;
  for (size_t i = header + 1; i < doc.lines.size(); ++i) {
    const Line& line = doc.lines[i];
    if (line.kind == Line::Kind::kSection) break;
    if (line.kind != Line::Kind::kKey) continue;
    *section_end = i + 1;
    if (EqualsIgnoringCase(line.name, key)) return static_cast<int>(i);
  }
  return -1;
}

// The value a read returns: without one pair of enclosing double quotes, so
// that a value may keep blanks at its ends ("DBPath="/srv/help desk/x.db"),
// then cut to at most kMaxSettingLength characters.
std::string ValueRead(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(Utf8Prefix(value, kMaxSettingLength));
}

// A section name that, written as "[name]", reads back as itself.
bool IsWritableSection(std::string_view section) {
  return !section.empty() &&
         section.find_first_of("]\r\n") == std::string_view::npos;
}

// A key name that, written as "name=value", reads back as itself and not as
// a section header.
bool IsWritableKey(std::string_view key) {
  return !key.empty() && key.front() != '[' &&
         key.find_first_of("=\r\n") == std::string_view::npos;
}

// The file a write replaces: the target of a symbolic link rather than the
// link, so that the link stays. `path` itself when it names nothing yet.
std::string WriteTarget(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

// Holds an exclusive advisory lock on path + ".lock" while alive.
class WriterLock {
 public:
  explicit WriterLock(const std::string& settings_path) {
    std::string lock_path = settings_path + ".lock";
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~WriterLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The temporary file a writer fills before renaming it over `path`: named
// after the writing process, so that the files of writers that died before
// their rename can be told from those of writers still at work.
std::string TempFileName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp." + std::to_string(::getpid()) + "." +
         std::to_string(counter++);
}

// Removes the temporary files of writers that were killed before their
// rename ("<path>.tmp.<pid>.<n>" of a process that no longer runs). Called
// under the writer lock, so no writer is filling one of them meanwhile.
void RemoveStaleTempFiles(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string prefix =
      (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp.";
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  while (const struct dirent* entry = ::readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string_view rest = name.substr(prefix.size());
    const size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 9) continue;
    pid_t pid = 0;
    bool digits = true;
    for (char c : rest.substr(0, dot)) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      pid = pid * 10 + (c - '0');
    }
    if (!digits || pid <= 0) continue;
    if (::kill(pid, 0) == -1 && errno == ESRCH) {
      ::unlink((path.substr(0, slash + 1) + std::string(name)).c_str());
    }
  }
  ::closedir(listing);
}

// The error's text of a failed system call on `path`.
Status FileError(std::string_view what, const std::string& path) {
  return Status::IOError(std::string(what) + " " + path + ": " +
                         std::strerror(errno));
}

// Replaces the file at `path` by one holding `contents`, with the owner and
// permissions of the file it replaces. A new file is for its owner only: it
// names the database, and the administrator opens it up if he wants to.
Status ReplaceFile(const std::string& path, const std::string& contents) {
  const std::string temp = TempFileName(path);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return FileError("cannot create", temp);
  struct stat old_file;
  if (::stat(path.c_str(), &old_file) == 0) {
    // Only root can hand the file back to another owner; for anyone else
    // this fails and the file stays the writer's, as it was.
    [[maybe_unused]] int chown_result =
        ::fchown(fd, old_file.st_uid, old_file.st_gid);
    ::fchmod(fd, old_file.st_mode & 07777);
  }
  size_t written = 0;
  while (written < contents.size()) {
    ssize_t n =
        ::write(fd, contents.data() + written, contents.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  Status s;
  if (written != contents.size() || ::fsync(fd) != 0) {
    s = FileError("cannot write", temp);
  }
  if (::close(fd) != 0 && s.ok()) s = FileError("cannot write", temp);
  if (s.ok() && ::rename(temp.c_str(), path.c_str()) != 0) {
    s = FileError("cannot replace", path);
  }
  if (!s.ok()) ::unlink(temp.c_str());
  return s;
}

}  // namespace

std::string DefaultSettingsPath() {
  const char* from_environment = std::getenv("KIRVS_INI");
  if (from_environment != nullptr && *from_environment != '\0') {
    return from_environment;
  }
  return "KIRVS.INI";
}

namespace {

// The parsed settings files, each kept while the file stays the one that was
// parsed: every command reads several settings, and each read would otherwise
// read and parse the whole file again. A file is known to be unchanged when
// its device, inode, size and modification time are unchanged; our writers
// replace the file (a new inode). A file modified in the last two seconds is
// not kept, because a second change within the file system's clock tick
// could leave its time as it was.
class ParsedFiles {
 public:
  std::shared_ptr<const Document> Get(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const Entry& entry : entries_) {
        if (entry.path == path && Same(entry.info, info)) return entry.doc;
      }
    }
    std::string contents;
    if (ReadWholeFile(path, &contents) != ReadResult::kRead) return nullptr;
    auto doc = std::make_shared<const Document>(Parse(contents));
    if (std::time(nullptr) - info.st_mtim.tv_sec < 2) return doc;
    struct stat after;
    if (::stat(path.c_str(), &after) != 0 || !Same(info, after)) return doc;
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : entries_) {
      if (entry.path == path) {
        entry = Entry{path, info, doc};
        return doc;
      }
    }
    if (entries_.size() == kMaxFiles) entries_.erase(entries_.begin());
    entries_.push_back(Entry{path, info, doc});
    return doc;
  }

 private:
  static constexpr size_t kMaxFiles = 16;
  struct Entry {
    std::string path;
    struct stat info;
    std::shared_ptr<const Document> doc;
  };
  static bool Same(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
           a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
  }

  std::mutex mutex_;
  std::vector<Entry> entries_;
};

ParsedFiles& TheParsedFiles() {
  static ParsedFiles* files = new ParsedFiles();  // lives until exit
  return *files;
}

}  // namespace

std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  std::shared_ptr<const Document> parsed = TheParsedFiles().Get(path);
  if (parsed == nullptr) return "";
  const Document& doc = *parsed;
  int header = FindSection(doc, section);
  if (header < 0) return "";
  size_t section_end;
  int line = FindKey(doc, header, key, &section_end);
  if (line < 0) return "";
  std::string value = ValueRead(doc.lines[line].value);
  return value == "empty" ? "" : value;
}

Status WriteIniString(const std::string& path, std::string_view section,
                      std::string_view key, std::string_view value) {
  return WriteIniStrings(path, section,
                         {{std::string(key), std::string(value)}});
}

Status WriteIniStrings(const std::string& path, std::string_view section,
                       const std::vector<SettingEntry>& entries) {
  section = TrimBlanks(section);
  if (!IsWritableSection(section)) {
    return Status::InvalidArgument("not a section name: " +
                                   std::string(section));
  }
  for (const SettingEntry& entry : entries) {
    if (!IsWritableKey(TrimBlanks(entry.first))) {
      return Status::InvalidArgument("not a key name: " + entry.first);
    }
  }
  const std::string target = WriteTarget(path);
  WriterLock lock(target);
  if (!lock.held()) return FileError("cannot lock", target + ".lock");
  RemoveStaleTempFiles(target);
  std::string contents;
  // A file that exists but cannot be read is left alone: writing our keys in
  // its place would lose every other setting.
  if (ReadWholeFile(target, &contents) == ReadResult::kFailed) {
    return FileError("cannot read", target);
  }
  Document doc = Parse(contents);
  for (const SettingEntry& setting : entries) {
    std::string_view key = TrimBlanks(setting.first);
    std::string clean_value(setting.second);
    for (char& c : clean_value) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    std::string entry = std::string(key) + "=" + clean_value;
    int header = FindSection(doc, section);
    if (header < 0) {
      InsertLine(&doc, doc.lines.size(), "[" + std::string(section) + "]");
      InsertLine(&doc, doc.lines.size(), std::move(entry));
      continue;
    }
    size_t section_end;
    int line = FindKey(doc, header, key, &section_end);
    if (line >= 0) {
      doc.lines[line].raw = std::move(entry);  // keeps its own line end
    } else {
      InsertLine(&doc, section_end, std::move(entry));
    }
  }
  return ReplaceFile(target, Serialize(doc));
}

}  // namespace kirvs
