// Which activity each new-activity page stored, so that saving one page again
// (a double click, a repost) updates that activity instead of adding another.
//
// Every new-activity page carries a one-time id in a hidden field. The first
// save of the page remembers under that id the request and activity number it
// stored, in the table Activity_Pages; a later save of the same page finds
// them there. Pages of two people adding activities at once have different
// ids, so both activities are kept. A desk made before the table existed gets
// it on first use.
//
// Thread safety: each function uses the connection it is given, inside the
// caller's transaction; that connection must not be used by another thread
// meanwhile.

#ifndef KIRVS_SRC_DATA_ACTIVITY_PAGES_H_
#define KIRVS_SRC_DATA_ACTIVITY_PAGES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// The statement that makes the table; `kirvs init` runs it with the schema.
inline constexpr char kActivityPagesTable[] =
    "CREATE TABLE IF NOT EXISTS Activity_Pages (\n"
    "  PageId TEXT NOT NULL PRIMARY KEY,\n"
    "  RequestNo INTEGER NOT NULL,\n"
    "  ActivityNo INTEGER NOT NULL\n"
    ");\n";

// The name of the hidden field that carries a page's id. It begins with
// "KIRVS", so a save never writes it into a column.
inline constexpr std::string_view kActivityPageField = "KIRVSActivityPage";

// A new page id: 128 random bits as 32 lower-case hex digits.
std::string NewActivityPageId();

// Whether `id` has the form of NewActivityPageId: only such ids reach a query.
bool IsActivityPageId(std::string_view id);

// An activity of a request.
struct ActivityKey {
  int32_t request_no = 0;
  int32_t act_no = 0;
};

// Sets `*found` to whether page `page_id` stored an activity, and `*key` to
// it when it did.
// REQUIRES: IsActivityPageId(page_id).
Status FindActivityPage(const std::shared_ptr<Database>& db,
                        std::string_view page_id, bool* found,
                        ActivityKey* key);

// Remembers that page `page_id` stored the activity `key`.
// REQUIRES: IsActivityPageId(page_id).
Status RememberActivityPage(Database* db, std::string_view page_id,
                            const ActivityKey& key);

// Follows a renumbering of the activities of request `request_no`: each
// (old, new) pair moves what pages remember from the old number to the new.
Status RenumberActivityPages(
    Database* db, int32_t request_no,
    const std::vector<std::pair<int32_t, int32_t>>& moves);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_ACTIVITY_PAGES_H_
