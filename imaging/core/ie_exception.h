#pragma once
// The imaging engine's general exception, for failures that have no more specific class.
#include "platform/system/exception.h"

class EIEException : public Exception { using Exception::Exception; };
