#pragma once
// The desktop clipboard as other programs fill it, for tests of what this program reads from it.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Puts Bytes on the toolkit's clipboard under the MIME type Type alone ("image/png", "image/bmp",
// ...), as another program offering only that form would. Tests run on the offscreen platform's
// in-process clipboard.
void PlaceForeignClipboardData(const std::string& Type, const std::vector<uint8_t>& Bytes);

// Empties the toolkit's clipboard, as another program taking it over with nothing would.
void ClearForeignClipboard();

// The toolkit's notice that its clipboard changed, without a change: as a desktop clipboard sends
// one late, after this program's own data went on.
void NotifyClipboardChanged();

}  // namespace testsupport
