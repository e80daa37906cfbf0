// Host Unicode strings held by a wrapper object. A failed host operation
// on one raises ai::Error (ai_error.h).
#pragma once

#include <cstdint>

#include "about/ai_error.h"
#include "bridge/host_api.h"

namespace ai {

// Owns one host Unicode string through the "AI Unicode String Suite" slot of
// the suite table, which must be held while a wrapper is made, assigned or
// destroyed. The host is always given the wrapper's own address; the
// wrapper's only field is the string's handle, null when no string is held.
class HostString {
 public:
  HostString() noexcept = default;
  // Holds `text` (its bytes up to the NUL) in `encoding`; a null text makes an
  // empty wrapper without calling the host. Raises Error if the host fails.
  HostString(const char* text, std::int32_t encoding);
  // Makes this wrapper hold the same text as `other`. Raises Error if the
  // host fails; the wrapper then keeps what it held.
  HostString& operator=(const HostString& other);
  HostString(const HostString&) = delete;
  ~HostString();

  bool empty() const noexcept { return handle_ == nullptr; }

 private:
  hostapi::UnicodeStringHandle handle_ = nullptr;
};

}  // namespace ai
