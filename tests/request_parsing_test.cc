// The decoders of what a browser sends (form bodies, the Content-Type of a
// post, Cookie headers), fed well-formed and malformed input alike: broken
// escapes, byte sequences that are not UTF-8, pairs without "=", cookie
// headers of odd shapes. Whatever comes in, the engine sees text.

#include "web/http/request_parsing.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kirvs::web {
namespace {

enum class Decoder { kFormBody, kContentType, kSessionCookie };

// What the decoder made of the input, as text: the fields of a form as
// [name][value]..., a Content-Type as yes/no, a cookie as its value.
std::string Decode(Decoder decoder, std::string_view input) {
  switch (decoder) {
    case Decoder::kFormBody: {
      std::string out;
      for (const auto& [name, value] : ParseFormBody(input)) {
        out += "[" + name + "][" + value + "]";
      }
      return out;
    }
    case Decoder::kContentType:
      return IsFormContentType(input) ? "yes" : "no";
    case Decoder::kSessionCookie:
      return CookieValue(input, "kirvs_session");
  }
  return "?";
}

constexpr char kBad[] = "\xEF\xBF\xBD";  // U+FFFD, for each bad byte

TEST(RequestParsingTest, DecodesWhatBrowsersAndOthersSend) {
  const std::string bad = kBad;
  struct Row {
    Decoder decoder;
    std::string input;
    std::string expected;
  } rows[] = {
      // Form bodies: order kept, "+" a blank, %XX a byte.
      {Decoder::kFormBody, "b=2&a=1&b=3", "[b][2][a][1][b][3]"},
      {Decoder::kFormBody, "x=a+b%2B%3d%26", "[x][a b+=&]"},
      {Decoder::kFormBody, "First+Name=Ann", "[First Name][Ann]"},
      // Escapes that are not escapes stay as they stand.
      {Decoder::kFormBody, "a=%ZZ", "[a][%ZZ]"},
      {Decoder::kFormBody, "a=%4", "[a][%4]"},
      {Decoder::kFormBody, "a=%", "[a][%]"},
      {Decoder::kFormBody, "a=%4g%41", "[a][%4gA]"},
      {Decoder::kFormBody, "a=%%41", "[a][%A]"},
      // Pairs without "=", empty pairs, "=" in the value.
      {Decoder::kFormBody, "a&b=", "[a][][b][]"},
      {Decoder::kFormBody, "&&a=1&&", "[a][1]"},
      {Decoder::kFormBody, "=v", "[][v]"},
      {Decoder::kFormBody, "a=1=2", "[a][1=2]"},
      {Decoder::kFormBody, "", ""},
      // UTF-8: valid sequences pass, anything else becomes U+FFFD.
      {Decoder::kFormBody, "a=%E2%82%AC&%F0%9F%98%80=1",
       "[a][\xE2\x82\xAC][\xF0\x9F\x98\x80][1]"},
      {Decoder::kFormBody, "a=%C0%AF", "[a][" + bad + bad + "]"},  // overlong
      {Decoder::kFormBody, "a=%E0%80%AF", "[a][" + bad + bad + bad + "]"},
      {Decoder::kFormBody, "a=%F0%80%80%AF",
       "[a][" + bad + bad + bad + bad + "]"},
      {Decoder::kFormBody, "a=%ED%A0%80", "[a][" + bad + bad + bad + "]"},
      {Decoder::kFormBody, "a=%F4%90%80%80",  // past U+10FFFF
       "[a][" + bad + bad + bad + bad + "]"},
      {Decoder::kFormBody, "a=%FF", "[a][" + bad + "]"},
      {Decoder::kFormBody, "a=\xFFx", "[a][" + bad + "x]"},
      {Decoder::kFormBody, "%80=%C3", "[" + bad + "][" + bad + "]"},
      {Decoder::kFormBody, "a=%C3%A9%C3", "[a][\xC3\xA9" + bad + "]"},
      {Decoder::kFormBody, "a=%C2%A3", "[a][\xC2\xA3]"},  // the lowest lead

      // Only urlencoded bodies are forms; no Content-Type counts as one
      // (multipart: BodiesOverTheLimitAreRefused).
      {Decoder::kContentType, "application/x-www-form-urlencoded", "yes"},
      {Decoder::kContentType,
       " Application/X-WWW-Form-URLencoded ; charset=UTF-8", "yes"},
      {Decoder::kContentType, "", "yes"},
      {Decoder::kContentType, "text/plain", "no"},
      {Decoder::kContentType, "application/x-www-form-urlencodedx", "no"},

      // Cookie headers: the first cookie of that exact name.
      {Decoder::kSessionCookie, "kirvs_session=abc", "abc"},
      {Decoder::kSessionCookie, "a=1; kirvs_session=abc; b=2", "abc"},
      {Decoder::kSessionCookie, "  kirvs_session = abc ;", "abc"},
      {Decoder::kSessionCookie, "kirvs_session=a; kirvs_session=b", "a"},
      {Decoder::kSessionCookie, "kirvs_session=a=b", "a=b"},
      {Decoder::kSessionCookie, ";;=;=x; kirvs_session=abc", "abc"},
      {Decoder::kSessionCookie, "kirvs_session", ""},
      {Decoder::kSessionCookie, "kirvs_session=", ""},
      {Decoder::kSessionCookie, "xkirvs_session=a; kirvs_sessionx=b", ""},
      {Decoder::kSessionCookie, "KIRVS_SESSION=abc", ""},
      {Decoder::kSessionCookie, "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, Decode(row.decoder, row.input)) << row.input;
  }
}

}  // namespace
}  // namespace kirvs::web
