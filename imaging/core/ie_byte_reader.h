#pragma once
// The engine reads binary structures through the platform's checked reader (TIEByteReader).
#include "platform/system/byte_reader.h"
