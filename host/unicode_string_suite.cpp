// The Unicode string suite: the strings the host holds for the plug-in.
#include <memory>

#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

// Makes the wrapper hold `text`, reusing the string it already holds.
void hold(UnicodeStringHandle* wrapper, std::string text) {
  if (HostUnicodeString* string = liveString(wrapper)) {
    string->text = std::move(text);
    return;
  }
  auto string = std::make_unique<HostUnicodeString>(HostUnicodeString{std::move(text)});
  *wrapper = reinterpret_cast<UnicodeStringHandle>(string.get());
  host().objects().strings.emplace(string.get(), std::move(string));
}

// --- "AI Unicode String Suite" ----------------------------------------------

HostError HOSTAPI_CALL initialize(UnicodeStringHandle* string, const char* text, std::size_t byteLength,
                                  std::int32_t encoding) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::unicodeString, "initialise")) return fault;
  if (string == nullptr || (text == nullptr && byteLength != 0)) {
    return host().violation("AI Unicode String Suite/initialise", "null wrapper or text");
  }
  if (encoding != kPlatformEncoding) return kBadParameterError;
  hold(string, std::string(text, byteLength));
  return kNoError;
}

HostError HOSTAPI_CALL copy(UnicodeStringHandle* destination, const UnicodeStringHandle* source) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::unicodeString, "copy")) return fault;
  if (destination == nullptr || source == nullptr) {
    return host().violation("AI Unicode String Suite/copy", "null wrapper");
  }
  const HostUnicodeString* from = liveString(source);
  if (*source != nullptr && from == nullptr) return host().violation("AI Unicode String Suite/copy", "dead source");
  if (*destination != nullptr && liveString(destination) == nullptr) {
    return host().violation("AI Unicode String Suite/copy", "dead destination");
  }
  hold(destination, from != nullptr ? from->text : std::string());
  return kNoError;
}

HostError HOSTAPI_CALL dispose(UnicodeStringHandle* string) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::unicodeString, "dispose")) return fault;
  if (string == nullptr || liveString(string) == nullptr) {
    return host().violation("AI Unicode String Suite/dispose", "not a live string");
  }
  host().objects().strings.erase(*string);
  *string = nullptr;
  return kNoError;
}

}  // namespace

HostUnicodeString* liveString(const UnicodeStringHandle* wrapper) {
  if (wrapper == nullptr || *wrapper == nullptr) return nullptr;
  const auto& strings = Host::active()->objects().strings;
  const auto it = strings.find(*wrapper);
  return it == strings.end() ? nullptr : it->second.get();
}

const UnicodeStringSuite kUnicodeStringSuite{initialize, copy, dispose};

}  // namespace swhost
