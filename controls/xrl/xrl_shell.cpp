#include "controls/xrl/xrl_shell.h"

std::string LocalizedDisplayPath(const std::string& path) { return path; }

bool FreeShellItemId(void*& itemId) { return itemId == nullptr; }
