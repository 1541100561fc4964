// `kirvs serve`: runs the web front in the foreground until SIGINT or
// SIGTERM, then stops cleanly: no new connections, the requests in flight
// finish, the signed-in sessions end.
//
// Thread safety: call once, from the main thread.

#ifndef KIRVS_SRC_WEB_SERVE_H_
#define KIRVS_SRC_WEB_SERVE_H_

#include <iosfwd>

#include "web/options/serve_options.h"

namespace kirvs::web {

// Serves the help desk of options.settings_path. Prints the address and,
// when the help desk has the demo accounts, their logins to `out`; problems
// to `errors`. Returns the exit code: 0 after a clean stop, 1 when the
// address cannot be bound or the settings file is missing.
int Serve(const ServeOptions& options, std::ostream& out, std::ostream& errors);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_SERVE_H_
