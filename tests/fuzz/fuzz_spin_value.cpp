// The spin edit's number rules as pure functions: any text read as any value type (with or
// without a display pattern) under either separator pair, any value (NaN, the infinities, the
// extremes of extended precision) written through any pattern, and the framework's float formats.
// Byte 0 chooses the type, the separators and grouping, byte 1 the decimals, bytes 2 to 11 are the
// value's ten bytes of extended precision; the rest is split at the first 0x01 into the text and
// the pattern. Nothing may crash or hang, every output stays bounded by its pattern, and whatever
// the edit writes for a finite value it reads back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controls/xc_spin_edit.h"
#include "platform/system/locale_info.h"
#include "platform/system/number_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  const uint8_t flags = data[0];
  const auto type = static_cast<TValueType>(flags % 3);
  const bool commaDecimal = (flags & 4) != 0, thousands = (flags & 8) != 0;
  const uint8_t decimals = static_cast<uint8_t>(data[1] % 24);
  long double value = 0;
  std::memcpy(&value, data + 2, 10);
  std::string rest(reinterpret_cast<const char*>(data + 12), size - 12);
  const size_t cut = rest.find('\x01');
  const std::string text = rest.substr(0, cut);
  // Patterns are short in practice; a long one only costs time per digit.
  const std::string pattern = cut == std::string::npos ? std::string() : rest.substr(cut + 1, 256);

  SetDecimalSeparator(commaDecimal ? ',' : '.');
  SetThousandSeparator(commaDecimal ? '.' : ',');

  long double read = 0;
  if (SpinTextToValue(text, type, !pattern.empty(), read)) Check(std::isfinite(read));

  const std::string written = SpinValueToText(value, type, pattern, decimals, thousands);
  Check(written.size() <= 2 * pattern.size() + 80);
  const std::string formatted = FormatFloat(pattern, value);
  Check(formatted.size() <= 2 * pattern.size() + 80);
  for (TFloatFormat f : {ffGeneral, ffExponent, ffFixed, ffNumber}) {
    const std::string s = FloatToStrF(value, f, data[1] % 20, decimals);
    Check(s.size() <= 64);
  }

  // What the edit writes for a finite value it reads back: the integer types exactly (within the
  // 64-bit range), floats as some number.
  if (std::isfinite(value)) {
    const std::string plain = SpinValueToText(value, type, std::string(), decimals, thousands);
    long double back = 0;
    Check(SpinTextToValue(plain, type, false, back));
    if (type != vtFloat && std::fabs(value) < 9e18L && value == std::nearbyint(value))
      Check(back == value);
  }
  return 0;
}
