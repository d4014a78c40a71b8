#pragma once
// The program's name and version as its windows, settings key and about box show them.
inline constexpr const char* kAppTitle = "Brimvale";
inline constexpr const char* kAppVersion = "8.3";
const char* AppCaption();  // "Brimvale 8.3"
