// PluginMain, the library's one export: the message checked for what it must
// hold before anything reads it, handed to the dispatch table, and every
// exception stopped here so that none reaches the host.
#include <exception>
#include <new>

#include "about/ai_error.h"
#include "bridge/dispatch.h"
#include "bridge/error_codes.h"
#include "bridge/host_api.h"

using namespace hostapi;

// The only way into the library. Nothing raised inside may reach the host:
// a Unicode-string failure becomes the host's own code, anything else
// (an allocation failure above all) becomes kOutOfMemoryError. Handlers hold
// the suite table in scope objects, so an exception passing through them has
// already given every suite back when it arrives here.
extern "C" HOSTAPI_EXPORT HostError HOSTAPI_CALL PluginMain(const char* caller, const char* selector, void* message) {
  if (caller == nullptr || selector == nullptr || message == nullptr) return kBadMessageError;
  auto& header = *static_cast<MessageHeader*>(message);
  if (header.basic == nullptr) return kBadMessageError;
  try {
    return dispatchMessage(caller, selector, header);
  } catch (const ai::Error& error) {
    return error.code();
  } catch (...) {
    return kOutOfMemoryError;
  }
}
