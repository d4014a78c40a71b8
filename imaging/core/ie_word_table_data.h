#pragma once
// The words of each language of the word table, in word order (UTF-8); nil entries are empty.
#include "imaging/core/ie_defs.h"

// The 146 words of Language (msEnglish .. msHungarian), nil for the others.
const char* const* IELanguageWords(TMsgLanguage Language);
