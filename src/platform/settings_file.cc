#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/ascii.h"

namespace kirvs {

namespace {

// One line of the file as it stands, and what it means.
struct Line {
  std::string raw;  // without its line end
  enum class Kind { kOther, kSection, kKey } kind = Kind::kOther;
  std::string_view name;  // section or key name, trimmed (points into raw)
  std::string_view value;  // key value, trimmed (points into raw)
};

struct Document {
  std::vector<Line> lines;
  std::string line_end = "\n";
  bool final_newline = true;
};

bool ReadWholeFile(const std::string& path, std::string* contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *contents = buffer.str();
  return true;
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

Document Parse(const std::string& contents) {
  Document doc;
  if (contents.find("\r\n") != std::string::npos) doc.line_end = "\r\n";
  doc.final_newline = contents.empty() || contents.back() == '\n';
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    Line line;
    line.raw = contents.substr(start, end - start);
    if (!line.raw.empty() && line.raw.back() == '\r') line.raw.pop_back();
    doc.lines.push_back(std::move(line));
    start = end + 1;
  }
  // Classify after the vector stops growing: name and value point into raw.
  for (Line& line : doc.lines) Classify(&line);
  return doc;
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

// Cuts to at most kMaxSettingLength bytes without splitting a UTF-8 character.
std::string CutValue(std::string_view value) {
  if (value.size() <= kMaxSettingLength) return std::string(value);
  size_t cut = kMaxSettingLength;
  while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return std::string(value.substr(0, cut));
}

std::string Serialize(const Document& doc) {
  std::string out;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    out += doc.lines[i].raw;
    if (i + 1 < doc.lines.size() || doc.final_newline) out += doc.line_end;
  }
  return out;
}

// Holds an exclusive advisory lock on path + ".lock" while alive.
class WriterLock {
 public:
  explicit WriterLock(const std::string& settings_path) {
    std::string lock_path = settings_path + ".lock";
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
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

bool ReplaceFile(const std::string& path, const std::string& contents) {
  static std::atomic<unsigned> counter{0};
  std::string temp = path + ".tmp." + std::to_string(::getpid()) + "." +
                     std::to_string(counter++);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  bool ok = written == contents.size() && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

std::string DefaultSettingsPath() {
  const char* from_environment = std::getenv("KIRVS_INI");
  if (from_environment != nullptr && *from_environment != '\0') {
    return from_environment;
  }
  return "KIRVS.INI";
}

std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key) {
  std::string contents;
  if (!ReadWholeFile(path, &contents)) return "";
  Document doc = Parse(contents);
  int header = FindSection(doc, section);
  if (header < 0) return "";
  size_t section_end;
  int line = FindKey(doc, header, key, &section_end);
  if (line < 0) return "";
  std::string value = CutValue(doc.lines[line].value);
  return value == "empty" ? "" : value;
}

bool WriteIniString(const std::string& path, std::string_view section,
                    std::string_view key, std::string_view value) {
  std::string clean_value(value);
  for (char& c : clean_value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  WriterLock lock(path);
  if (!lock.held()) return false;
  std::string contents;
  ReadWholeFile(path, &contents);
  Document doc = Parse(contents);
  Line entry;
  entry.raw = std::string(key) + "=" + clean_value;
  int header = FindSection(doc, section);
  if (header < 0) {
    Line section_line;
    section_line.raw = "[" + std::string(section) + "]";
    doc.lines.push_back(std::move(section_line));
    doc.lines.push_back(std::move(entry));
  } else {
    size_t section_end;
    int line = FindKey(doc, header, key, &section_end);
    if (line >= 0) {
      doc.lines[line] = std::move(entry);
    } else {
      doc.lines.insert(doc.lines.begin() + section_end, std::move(entry));
    }
  }
  doc.final_newline = true;
  return ReplaceFile(path, Serialize(doc));
}

}  // namespace kirvs
