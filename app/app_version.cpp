#include "app/app_version.h"

const char* AppCaption() { return "Brimvale 8.3"; }
