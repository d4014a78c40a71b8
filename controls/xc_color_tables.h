#pragma once
// The colour-name tables: every colour of the standard palette (20), of the office colour panel (40)
// and of the system colours (30) with its constant name and a readable description. The same value
// may stand in two tables under other names; lookups search standard, office, then system.
#include <cstddef>
#include <string>

#include "platform/gdi/color.h"

struct TDefColorItem {
  TColor Value;
  const char* Constant;
  // Bound to the library's string resources at start-up (empty before).
  std::string Description;
};

constexpr size_t kStandardColorCount = 20;
constexpr size_t kOfficeColorCount = 40;
constexpr size_t kSystemColorCount = 30;

const TDefColorItem* StandardColorValues();
const TDefColorItem* OfficeColorValues();
const TDefColorItem* SystemColorValues();

// Start-up and shut-down: the descriptions from the string resources, and their release.
void BindColorDescriptions();
void ReleaseColorDescriptions();
