// ai::HostString (host_string.h): a host string operation that fails raises
// ai::Error, and a handle the host filled in before it failed is disposed,
// never leaked.
#include "about/host_string.h"

#include <cstring>

#include "bridge/suites.h"

namespace ai {

HostString::HostString(const char* text, std::int32_t encoding) {
  if (text == nullptr) return;
  const hostapi::HostError result = sUnicodeString->initialize(&handle_, text, std::strlen(text), encoding);
  if (result != hostapi::kNoError) {
    // A host that filled the handle before failing still gets it back: the
    // destructor will not run for a wrapper whose construction raised.
    if (handle_ != nullptr) sUnicodeString->dispose(&handle_);
    throw Error(result);
  }
}

HostString& HostString::operator=(const HostString& other) {
  const hostapi::HostError result = sUnicodeString->copy(&handle_, &other.handle_);
  if (result != hostapi::kNoError) throw Error(result);
  return *this;
}

HostString::~HostString() {
  if (handle_ != nullptr) sUnicodeString->dispose(&handle_);
}

}  // namespace ai
