// The host interface header must stand on its own: nothing before it.
#include "bridge/host_api.h"

static_assert(sizeof(hostapi::PathSegment) == 28);
static_assert(hostapi::fourCharCode('!', 'i', 'c', 'o') == 0x2169636F);
