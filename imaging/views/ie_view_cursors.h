#pragma once
// The 37 cursors of the single-image view, registered as screen cursors 1778 to 1814 (id = 1777 +
// position in the table). Their pictures are drawn here after their names: magnifiers with a plus
// or a minus, crosshairs (with a plus, a minus or a small frame for adding to or taking from a
// selection), a hand, a pen, an eraser, the move and size arrows and four rotation arrows; the
// numbered names are plain crosses.
#include <cstdint>
#include <string>

constexpr int32_t IEFirstCursorId = 1778;
constexpr int32_t IECursorCount = 37;
constexpr int32_t IELastCursorId = IEFirstCursorId + IECursorCount - 1;

// The resource name behind id (empty outside 1778..1814).
std::string IECursorName(int32_t Id);
// Registers all 37 with the screen's cursor list again (replacing what those ids held).
void RegisterViewCursors();
