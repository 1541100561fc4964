// A QR code drawn with block characters, for showing an address to a phone
// camera on a terminal.

#ifndef KIRVS_SRC_CLI_QR_CODE_H_
#define KIRVS_SRC_CLI_QR_CODE_H_

#include <string>
#include <string_view>

namespace kirvs {

// `text` as a QR code, two rows of modules per line of text (upper and
// lower half blocks), light modules drawn and dark ones blank as on a dark
// terminal, with a quiet zone around it; empty when it cannot be encoded.
std::string QrCodeText(std::string_view text);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_QR_CODE_H_
