#include "platform/utf8.h"

#include <cstdint>

namespace kirvs {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the character at `text[pos]`. Returns its byte length (at least 1)
// and sets `*code` to the code point, or to -1 when the bytes are not a
// valid, shortest-form character.
size_t Decode(std::string_view text, size_t pos, int32_t* code) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  *code = -1;
  size_t length;
  int32_t value;
  int32_t smallest;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return 1;
  }
  if (pos + length > text.size()) return 1;
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) return 1;
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 1;
  }
  *code = value;
  return length;
}

void Encode(int32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool InRange(int32_t c, int32_t first, int32_t last) {
  return c >= first && c <= last;
}

// In blocks where capitals and small letters alternate, the small letter is
// the odd code point (`odd_is_small`) or the even one.
int32_t PairedUpper(int32_t c, bool odd_is_small) {
  return (c % 2 == 1) == odd_is_small ? c - 1 : c;
}

// The simple upper-case mapping of the blocks we cover; `c` itself elsewhere.
int32_t ToUpper(int32_t c) {
  if (InRange(c, 'a', 'z')) return c - 0x20;
  if (c < 0x80) return c;
  // Latin-1 Supplement.
  if (c == 0xB5) return 0x39C;  // micro sign -> capital mu
  if (c == 0xFF) return 0x178;
  if (InRange(c, 0xE0, 0xFE) && c != 0xF7) return c - 0x20;
  // Latin Extended-A.
  if (c == 0x131) return 'I';  // dotless i
  if (c == 0x17F) return 'S';  // long s
  if (InRange(c, 0x100, 0x12F) || InRange(c, 0x132, 0x137) ||
      InRange(c, 0x14A, 0x177)) {
    return PairedUpper(c, true);
  }
  if (InRange(c, 0x139, 0x148) || InRange(c, 0x179, 0x17E)) {
    return PairedUpper(c, false);
  }
  // Greek.
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (InRange(c, 0x3B1, 0x3CB)) return c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (InRange(c, 0x3AD, 0x3AF)) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (InRange(c, 0x3CD, 0x3CE)) return c - 0x3F;
  // Cyrillic and Cyrillic Supplement.
  if (InRange(c, 0x430, 0x44F)) return c - 0x20;
  if (InRange(c, 0x450, 0x45F)) return c - 0x50;
  if (InRange(c, 0x460, 0x481) || InRange(c, 0x48A, 0x4BF) ||
      InRange(c, 0x4D0, 0x52F)) {
    return PairedUpper(c, true);
  }
  if (c == 0x4CF) return 0x4C0;
  if (InRange(c, 0x4C1, 0x4CE)) return PairedUpper(c, false);
  // Latin Extended Additional.
  if (InRange(c, 0x1E00, 0x1E95) || InRange(c, 0x1EA0, 0x1EFF)) {
    return PairedUpper(c, true);
  }
  return c;
}

}  // namespace

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  int32_t code;
  for (size_t pos = 0; pos < text.size(); pos += Decode(text, pos, &code)) {
    ++count;
  }
  return count;
}

std::string_view Utf8Prefix(std::string_view text, size_t count) {
  size_t pos = 0;
  int32_t code;
  for (; pos < text.size() && count > 0; --count) {
    pos += Decode(text, pos, &code);
  }
  return text.substr(0, pos);
}

std::string Utf8ToUpper(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    int32_t code;
    size_t length = Decode(text, pos, &code);
    if (code < 0) {
      out.append(text.substr(pos, length));
    } else {
      Encode(ToUpper(code), &out);
    }
    pos += length;
  }
  return out;
}

}  // namespace kirvs
