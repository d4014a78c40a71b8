#include "platform/system/guid.h"

bool SameGuid(const TGUID& a, const TGUID& b) {
  if (a.D1 != b.D1 || a.D2 != b.D2 || a.D3 != b.D3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.D4[i] != b.D4[i]) return false;
  return true;
}
