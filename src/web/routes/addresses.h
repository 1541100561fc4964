// The addresses of the help desk: GET / and POST / go to the front; the
// logo, the stylesheet and the script are files; any other address is the
// library's 404.
//
// Thread safety: the routes run on the server's worker threads, possibly
// at once; HelpDeskFront allows that.

#ifndef KIRVS_SRC_WEB_ROUTES_ADDRESSES_H_
#define KIRVS_SRC_WEB_ROUTES_ADDRESSES_H_

#include <httplib.h>

#include <cstddef>

#include "web/routes/front.h"

namespace kirvs::web {

// Registers the routes on `server`; a post's body may hold up to
// `body_limit` bytes.
// REQUIRES: `front` outlives the server.
void AddRoutes(httplib::Server* server, HelpDeskFront* front,
               size_t body_limit);

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_ROUTES_ADDRESSES_H_
