// The exception raised when the host fails an operation on one of the
// plug-in's Unicode strings (see host_string.h). The only exception the
// plug-in raises on purpose; PluginMain turns it back into its code.
#pragma once

#include <exception>

#include "bridge/host_api.h"

namespace ai {

// A host operation on a Unicode string failed; carries the host's non-zero
// code. Adds no message text of its own.
class Error : public std::exception {
 public:
  explicit Error(hostapi::HostError code) noexcept : code_(code) {}
  ~Error() override;

  hostapi::HostError code() const noexcept { return code_; }

 private:
  hostapi::HostError code_;
};

}  // namespace ai
