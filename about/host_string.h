// Host Unicode strings held by a wrapper object, and the exception raised
// when the host fails an operation on one.
#pragma once

#include <cstdint>
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
