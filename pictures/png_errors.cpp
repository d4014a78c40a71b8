#include "pictures/png_errors.h"

#include "imaging/core/ie_zlib.h"

std::string PNGZlibDescription(int code) {
  const std::string text = ZErrorMessage(code);
  const std::string number = "(" + std::to_string(code) + ")";
  return text.empty() ? number : text + " " + number;
}
