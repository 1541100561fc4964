// One inventory item: its details as a record form, and its configuration
// (the parts, components and settings recorded for it in
// Item_Configuration). Both pages only show data.

#ifndef KIRVS_SRC_SEARCH_ITEM_PAGES_H_
#define KIRVS_SRC_SEARCH_ITEM_PAGES_H_

#include "kirvs/variant.h"
#include "pages/session_state.h"

namespace kirvs {

// Shows the item `item_id` (as text) of Items with the columns of the
// setting DisplayItem, carrying the id in the hidden field itemid, with a
// "Show Configuration" button after the form. An item that is not found still
// gives the page, without values; ErrorDescription then holds the form's read
// error. Returns false with ErrorDescription set, and the previous page left
// as it was, when the query cannot be run.
bool ShowItem(SessionState* session, const Variant& item_id);

// Lists the configuration rows of the item named by the field ItemId of
// `form` (any case; cut at its first "," because the item page posts the id
// twice, which the form joins with ", "), with the columns of the setting
// ConfigList, ordered by SUBITEMID. Returns false with ErrorDescription set
// and no page when the query cannot be run; on success ErrorDescription is
// empty.
bool ShowItemConfiguration(SessionState* session, const Variant& form);

}  // namespace kirvs

#endif  // KIRVS_SRC_SEARCH_ITEM_PAGES_H_
