#include "web/pages/code_page.h"

#include "pages/page_fragments.h"

namespace kirvs::web {

std::string CodePageFragment() {
  std::string page =
      "<p><img src='kvlogo.gif' width=80 height=69><font face=arial "
      "size=4><strong>Dravel Technical Support Services</strong></font></p>"
      "<blockquote><blockquote><table>"
      "<tr><td><font size=2 face=arial><label for='txtCode'>Code from your "
      "authenticator app</label>:</td><td><input type='text' id='txtCode' "
      "name='";
  page += kCodeField;
  page +=
      "' size=8 maxlength=6 autocomplete='one-time-code' inputmode='numeric' "
      "pattern='[0-9]{6}' required autofocus></td></tr>"
      "<tr><td></td><td><input type=submit name='KIRVSCommand' value='";
  page += kCodeCaption;
  page +=
      "'></td><td><font size = 1 face=arial>Your account asks for a second "
      "factor: enter the 6-digit code that your authenticator app shows for "
      "the help desk.</td></tr></table></blockquote>";
  page += kRuleLine;
  return page;
}

}  // namespace kirvs::web
