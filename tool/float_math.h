// The float functions live in tool/float/; this name stays only for the
// segment kernel's sources, which include it, until they name the new place.
#pragma once

#include "tool/float/float_math.h"
