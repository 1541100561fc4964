#include "login/login_page.h"

#include "pages/page_fragments.h"
#include "platform/escape.h"

namespace kirvs {

std::optional<bool> ShowLoginPage(SessionState* session,
                                  const Variant& user_id) {
  if (!user_id.IsText() && !user_id.IsEmpty()) return std::nullopt;
  std::string page;
  AppendBanner(&page, "Dravel Technical Support Services");
  page += kIndent;
  page += "<table>";
  page +=
      "<tr><td><font size=2 face=arial>User ID:</td><td><input type='Text' "
      "name='txtUserID' value='";
  AppendHtml(&page, user_id.ToText());
  page += "'></td></tr>";
  page +=
      "<tr><td><font size=2 face=arial>Password:</td><td><input "
      "type='Password' size=18 name='txtPassword'></td></tr>";
  page += "<tr><td></td><td>";
  AppendButtons(&page, {"Login"}, ButtonMarkup::kTypeFirstQuoted);
  page +=
      "</td><td><font size = 1 face=arial>Enter your login "
      "details and click Login button to see a list of available Technical "
      "Support Services functions.</td></tr>";
  page += "</table>";
  page += "</blockquote>";
  page += kRuleLine;
  session->page_text = std::move(page);
  return true;
}

}  // namespace kirvs
