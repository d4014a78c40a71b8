#pragma once
// The locale's decimal and thousands separators pinned for one test, the old ones put back after.
#include "platform/system/locale_info.h"

namespace testsupport {

class PinnedSeparators {
 public:
  PinnedSeparators(char decimal, char thousand) : decimal_(DecimalSeparator()), thousand_(ThousandSeparator()) {
    SetDecimalSeparator(decimal);
    SetThousandSeparator(thousand);
  }
  ~PinnedSeparators() {
    SetDecimalSeparator(decimal_);
    SetThousandSeparator(thousand_);
  }
  PinnedSeparators(const PinnedSeparators&) = delete;
  PinnedSeparators& operator=(const PinnedSeparators&) = delete;

 private:
  char decimal_, thousand_;
};

}  // namespace testsupport
