#include "cli/qr_code.h"

#include <qrencode.h>

#include <memory>

namespace kirvs {

namespace {

// Modules of light margin on every side; scanners need it to find the code.
constexpr int kQuietZone = 2;

}  // namespace

std::string QrCodeText(std::string_view text) {
  const std::string data(text);
  std::unique_ptr<QRcode, void (*)(QRcode*)> code(
      QRcode_encodeString(data.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1),
      QRcode_free);
  if (!code) return std::string();
  const int width = code->width;
  auto dark = [&](int x, int y) {
    x -= kQuietZone;
    y -= kQuietZone;
    if (x < 0 || y < 0 || x >= width || y >= width) return false;
    return (code->data[y * width + x] & 1) != 0;
  };
  const int size = width + 2 * kQuietZone;
  std::string out;
  for (int y = 0; y < size; y += 2) {
    for (int x = 0; x < size; ++x) {
      const bool top = !dark(x, y);
      const bool bottom = y + 1 < size && !dark(x, y + 1);
      out += top && bottom ? "\u2588"
             : top         ? "\u2580"
             : bottom      ? "\u2584"
                           : " ";
    }
    out += '\n';
  }
  return out;
}

}  // namespace kirvs
