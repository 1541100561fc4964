#include "web/http/request_parsing.h"

#include "platform/ascii.h"

namespace kirvs::web {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeComponent(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out +=
          static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return ValidUtf8(out);
}

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is
// not one (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  auto continuation = [&](size_t i) {
    return i < text.size() && (byte(i) & 0xC0) == 0x80;
  };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!continuation(1) || !continuation(2)) return 0;
    if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
    if (lead == 0xED && byte(1) >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
    if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
    if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // past U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      length = 1;
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

std::vector<SubmittedForm::Field> ParseFormBody(std::string_view body) {
  std::vector<SubmittedForm::Field> fields;
  while (!body.empty()) {
    size_t end = body.find('&');
    std::string_view pair = body.substr(0, end);
    body = end == std::string_view::npos ? std::string_view()
                                         : body.substr(end + 1);
    if (pair.empty()) continue;
    size_t equals = pair.find('=');
    std::string_view name = pair.substr(0, equals);
    std::string_view value = equals == std::string_view::npos
                                 ? std::string_view()
                                 : pair.substr(equals + 1);
    fields.emplace_back(DecodeComponent(name), DecodeComponent(value));
  }
  return fields;
}

bool IsFormContentType(std::string_view content_type) {
  std::string_view media =
      TrimBlanks(content_type.substr(0, content_type.find(';')));
  return media.empty() ||
         EqualsIgnoringCase(media, "application/x-www-form-urlencoded");
}

std::string CookieValue(std::string_view cookie_header, std::string_view name) {
  while (!cookie_header.empty()) {
    size_t end = cookie_header.find(';');
    std::string_view pair = TrimBlanks(cookie_header.substr(0, end));
    cookie_header = end == std::string_view::npos
                        ? std::string_view()
                        : cookie_header.substr(end + 1);
    size_t equals = pair.find('=');
    if (equals != std::string_view::npos &&
        TrimBlanks(pair.substr(0, equals)) == name) {
      return std::string(TrimBlanks(pair.substr(equals + 1)));
    }
  }
  return std::string();
}

}  // namespace kirvs::web
