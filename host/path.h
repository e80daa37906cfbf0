// One path of the substitute host's document.
#pragma once

#include <string>
#include <vector>

#include "bridge/host_api.h"

namespace swhost {

struct Path {
  std::string name;
  bool selected = false;
  bool closed = false;
  std::vector<hostapi::PathSegment> segments;
};

}  // namespace swhost
