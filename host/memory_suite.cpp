// The MdMemory suite: disposing the matching-art answers the host gave out.
#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

// --- "AI MdMemory Suite" ----------------------------------------------------

HostError HOSTAPI_CALL disposeHandle(void* handle) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::mdMemory, "dispose handle")) return fault;
  if (host().objects().answers.erase(handle) == 0) {
    return host().violation("AI MdMemory Suite/dispose handle", "not a live handle");
  }
  return kNoError;
}

}  // namespace

const MdMemorySuite kMdMemorySuite{disposeHandle};

}  // namespace swhost
