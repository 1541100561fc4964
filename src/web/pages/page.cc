#include "web/pages/page.h"

#include <cstdio>

#include "platform/ascii.h"
#include "platform/escape.h"
#include "web/pages/accessibility.h"
#include "web/pages/assets.h"
#include "web/pages/dates.h"
#include "web/pages/enhance.h"
#include "web/pages/form_fields.h"

namespace kirvs::web {

namespace {

constexpr char kAppName[] = "Help Desk";

// JSON inside a script element: besides JSON's own escapes, "<", ">" and
// "&" are escaped so that no value can close the element or open another.
void AppendJsonString(std::string* out, std::string_view text) {
  *out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        *out += "\\\"";
        break;
      case '\\':
        *out += "\\\\";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\r':
        *out += "\\r";
        break;
      case '\t':
        *out += "\\t";
        break;
      case '<':
        *out += "\\u003c";
        break;
      case '>':
        *out += "\\u003e";
        break;
      case '&':
        *out += "\\u0026";
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          *out += escape;
        } else {
          *out += static_cast<char>(c);
        }
    }
  }
  *out += '"';
}

void AppendHead(std::string* page, std::string_view title_html) {
  *page +=
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, "
      "initial-scale=1\">\n"
      // The engine's fragments name the logo relative to the page; under
      // an address such as /requests/1017/close it is still the one at /.
      "<base href=\"/\">\n<title>";
  *page += title_html;
  *page += " \xE2\x80\x93 ";  // en dash
  *page += kAppName;
  *page += "</title>\n<link rel=\"icon\" href=\"/kvlogo.gif\">\n";
  *page += "<link rel=\"stylesheet\" href=\"/kirvs.css?v=";
  *page += AssetVersion();
  *page += "\">\n<script src=\"/kirvs.js?v=";
  *page += AssetVersion();
  *page += "\" defer></script>\n</head>\n<body>\n";
}

void AppendTopBar(std::string* page, const PageView& view) {
  *page += "<header class=\"kv-top\"><span class=\"kv-brand\">";
  *page += kAppName;
  *page += "</span>";
  if (!view.signed_in_as.empty()) {
    *page +=
        "<nav class=\"kv-nav\" aria-label=\"Help desk\">"
        "<a href=\"/\">My requests</a>"
        "<a href=\"/queues/open\">Queues</a>"
        "<a href=\"/requests/new\">New request</a>"
        "<a href=\"/solutions\">Solutions</a>"
        "<a href=\"/inventory\">Inventory</a></nav>"
        "<form method=\"get\" action=\"/find\" class=\"kv-find\" "
        "role=\"search\"><input type=\"search\" name=\"q\" "
        "aria-label=\"Find a request by number or words\" "
        "placeholder=\"Number or words\"></form>"
        "<span class=\"kv-user\">Signed in as ";
    AppendHtml(page, view.signed_in_as);
    *page +=
        "<form method=\"post\" action=\"/\" class=\"kv-signout\">"
        "<input type=\"hidden\" name=\"";
    *page += kTokenField;
    *page += "\" value=\"";
    AppendHtml(page, view.token);
    *page += "\"><button type=\"submit\" name=\"";
    *page += kCommandField;
    *page += "\" value=\"Logout\">Sign out</button></form></span>";
  }
  *page += "</header>\n";
}

}  // namespace

std::string PageTitle(std::string_view fragment) {
  size_t start = fragment.find("<strong>");
  if (start != std::string_view::npos) {
    start += 8;
    size_t end = fragment.find('<', start);
    if (end != std::string_view::npos && end > start) {
      return std::string(fragment.substr(start, end - start));
    }
  }
  return kAppName;
}

std::vector<SubmittedForm::Field> RefillFields(const SubmittedForm& posted) {
  std::vector<SubmittedForm::Field> fields;
  for (const SubmittedForm::Field& field : posted.fields()) {
    if (StartsWithIgnoringCase(field.first, "KIRVS")) continue;
    if (AsciiUpper(field.first).find("PASSWORD") != std::string::npos) {
      continue;
    }
    fields.push_back(field);
  }
  return fields;
}

std::string RenderPage(const PageView& view) {
  std::string page;
  page.reserve(view.fragment.size() + 4096);
  AppendHead(&page, PageTitle(view.fragment));
  AppendTopBar(&page, view);
  page += "<main>\n";
  // Dates first: the cells they are found in are the engine's own.
  std::string fragment = view.fragment;
  ShowDates(&fragment, view.now);
  Captions own_captions;
  fragment = AccessibleFragment(
      fragment, view.captions != nullptr ? *view.captions : own_captions);
  if (fragment.find("<h1>") == std::string::npos) {
    page += "<h1 class=\"kv-title\">";
    page += kAppName;
    page += "</h1>\n";
  }
  if (!view.error_html.empty()) {
    page +=
        "<div class=\"kv-alert kv-alert-error\" role=\"alert\" "
        "id=\"kv-error\">"
        "<p class=\"kv-alert-title\">The command could not be completed</p>"
        "<div class=\"kv-alert-body\">";
    page += view.error_html;
    page += "</div></div>\n";
  }
  if (!view.notice.empty()) {
    page += "<div class=\"kv-alert kv-alert-info\" role=\"status\">";
    AppendHtml(&page, view.notice);
    if (!view.notice_link_href.empty()) {
      page += " <a href=\"";
      AppendHtml(&page, view.notice_link_href);
      page += "\">";
      AppendHtml(&page, view.notice_link_text);
      page += "</a>";
    }
    page += "</div>\n";
  }
  page +=
      "<form method=\"post\" action=\"/\" class=\"kv-form\" "
      "accept-charset=\"utf-8\">\n<input type=\"hidden\" name=\"";
  page += kTokenField;
  page += "\" value=\"";
  AppendHtml(&page, view.token);
  page += "\">";
  if (view.page_number != 0) {
    page += "<input type=\"hidden\" name=\"";
    page += kPageField;
    page += "\" value=\"";
    page += std::to_string(view.page_number);
    page += "\">";
  }
  if (!view.form_id.empty()) {
    page += "<input type=\"hidden\" name=\"";
    page += kFormIdField;
    page += "\" value=\"";
    AppendHtml(&page, view.form_id);
    page += "\">";
  }
  if (std::string_view caption = DefaultCaption(view.fragment);
      !caption.empty()) {
    page += "<input type=\"submit\" name=\"";
    page += kCommandField;
    page += "\" value=\"";
    AppendHtml(&page, caption);
    page +=
        "\" class=\"kv-default-submit\" tabindex=\"-1\" "
        "aria-hidden=\"true\">";
  }
  page += "\n";
  page += fragment;
  page += "\n</form>\n";
  if (!view.refill.empty()) {
    page += "<script type=\"application/json\" id=\"kv-posted\">[";
    for (size_t i = 0; i < view.refill.size(); ++i) {
      if (i > 0) page += ',';
      page += '[';
      AppendJsonString(&page, view.refill[i].first);
      page += ',';
      AppendJsonString(&page, view.refill[i].second);
      page += ']';
    }
    page += "]</script>\n";
  }
  if (!view.invalid_fields.empty()) {
    page += "<script type=\"application/json\" id=\"kv-invalid\">[";
    for (size_t i = 0; i < view.invalid_fields.size(); ++i) {
      if (i > 0) page += ',';
      AppendJsonString(&page, view.invalid_fields[i]);
    }
    page += "]</script>\n";
  }
  page += "</main>\n</body>\n</html>\n";
  return page;
}

std::string RenderProblemPage(std::string_view heading,
                              std::string_view message) {
  std::string page;
  AppendHead(&page, EscapeHtml(heading));
  AppendTopBar(&page, PageView());
  page += "<main>\n<h1 class=\"kv-problem\">";
  AppendHtml(&page, heading);
  page += "</h1>\n<p>";
  AppendHtml(&page, message);
  page +=
      "</p>\n<p class=\"kv-actions\"><a href=\"/\">Back to the help "
      "desk</a></p>\n</main>\n</body>\n</html>\n";
  return page;
}

}  // namespace kirvs::web
