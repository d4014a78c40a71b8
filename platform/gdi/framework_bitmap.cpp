#include "platform/gdi/framework_bitmap.h"

TFrameworkBitmapFactory FrameworkBitmapFactory = nullptr;
