// The web front's button table: which RunCommand call each button makes.
//
// Every button of every page posts its caption as KIRVSCommand. Most
// captions are commands; the row buttons of the lists post a key instead:
// the bare request number (request list), "#" and the activity number
// (activity log), "*" and the item id (inventory results). Each row below
// says which command a caption runs and what goes into the first two
// parameters; the engine upper-cases the command itself.
//
// Thread safety: the table is constant; the functions are pure.

#ifndef KIRVS_SRC_WEB_ROUTES_BUTTON_MAP_H_
#define KIRVS_SRC_WEB_ROUTES_BUTTON_MAP_H_

#include <optional>
#include <string>
#include <string_view>

#include "kirvs/submitted_form.h"
#include "kirvs/variant.h"
#include "web/pages/form_fields.h"

namespace kirvs::web {

// What goes into a parameter of RunCommand.
enum class Arg {
  kNone,        // nothing: the parameter stays empty
  kEmptyText,   // ""
  kPerson,      // the session's personnel name
  kUser,        // the session's user id
  kForm,        // the posted fields, with the identity fields of the session
  kRequestNo,   // the posted requestno field
  kSortColumn,  // the posted sortrequests field
  kRowKey,      // the key of a row button
};

// How a posted caption is matched.
enum class Match {
  kCaption,       // the caption itself, ASCII case ignored
  kNumber,        // a bare number, which is the key
  kPrefixNumber,  // the prefix, then a number as the key
  kPrefixText,    // the prefix, then any text as the key
};

// What the front does around the call.
enum class Effect {
  kNone,
  kLogin,   // anyone may post it; success starts a new session
  kLogout,  // the session ends afterwards
};

struct ButtonRow {
  Match match;
  std::string_view caption;  // the caption, or the prefix
  std::string_view command;  // the CommandString
  Arg p1;
  Arg p2;
  Effect effect = Effect::kNone;
};

struct Button {
  const ButtonRow* row;
  std::string key;  // the row key; empty for kCaption rows
};

// The row of a posted caption, or nullopt for a caption no page offers.
std::optional<Button> FindButton(std::string_view caption);

// Who is signed in, as the session knows him.
struct Identity {
  std::string user_id;
  std::string personnel_name;
};

// The posted fields as the engine gets them: every field as posted, except
// that KIRVSCurrentUser and KIRVSCurrentPerson are replaced by the session's
// identity (left out without one) and the front's own fields (KIRVSToken,
// KIRVSPage, KIRVSFormId) are dropped.
SubmittedForm EngineForm(const SubmittedForm& posted, const Identity* identity);

// The value of one parameter for a button posted with `posted` fields.
// `engine_form` is EngineForm(posted, identity).
Variant Argument(Arg arg, const Button& button, const SubmittedForm& posted,
                 const Variant& engine_form, const Identity* identity);

// The criteria of a search form as the engine gets them from the web: a
// value typed without an operator (=, <>, <=, >=) or wildcard (%) finds
// the rows whose column contains it, whatever its case ("%value%").
SubmittedForm ContainsCriteria(const SubmittedForm& posted);

// The posted request number: the field requestno in any case, up to a
// comma (a page that carries it twice posts "17, 17").
std::string PostedRequestNo(const SubmittedForm& posted);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_BUTTON_MAP_H_
