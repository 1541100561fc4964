// The files the web front serves besides its pages: the logo the engine's
// page banners show (kvlogo.gif), the stylesheet and the page script. They
// are compiled in, so the server needs no files of its own.
//
// Thread-safe: constants.

#ifndef KIRVS_SRC_WEB_PAGES_ASSETS_H_
#define KIRVS_SRC_WEB_PAGES_ASSETS_H_

#include <string>
#include <string_view>

namespace kirvs::web {

// kvlogo.gif: 80 x 69 pixels (made by make_logo.py).
std::string_view LogoGif();

// The stylesheet: the engine's markup (font tags, blockquotes, tables,
// buttons) as a calm, modern application that also fits a narrow screen.
std::string_view Stylesheet();

// The page script: one submit at a time, the posted values put back after a
// failed command, the cursor in the login form.
std::string_view Script();

// Changes whenever the stylesheet or the script does; pages name the files
// with it, so browsers may cache them and still never use a stale one.
const std::string& AssetVersion();

}  // namespace kirvs::web

#endif  // KIRVS_SRC_WEB_PAGES_ASSETS_H_
