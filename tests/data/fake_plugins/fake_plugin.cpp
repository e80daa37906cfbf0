// A stand-in plug-in for the Windows runner's loading tests. It exports
// PluginMain and answers every message with 0, except "AI Tool" /
// "AI Track Cursor", for which it asks the host to show cursor 16001 -- a
// resource this library does not carry. Built with different property lists
// (or none) to see how the runner treats each.
#include <cstring>

#include "bridge/host_api.h"

using namespace hostapi;

extern "C" HOSTAPI_EXPORT HostError HOSTAPI_CALL PluginMain(const char* caller, const char* selector, void* message) {
  if (std::strcmp(caller, "AI Tool") != 0 || std::strcmp(selector, "AI Track Cursor") != 0) return kNoError;
  const MessageHeader& header = *static_cast<const MessageHeader*>(message);
  const void* table = nullptr;
  HostError result = header.basic->acquireSuite(kAdmBasicSuiteName, kAdmBasicSuiteVersion, &table);
  if (result != kNoError) return result;
  result = static_cast<const AdmBasicSuite*>(table)->setCursor(header.self, 16001);
  header.basic->releaseSuite(kAdmBasicSuiteName, kAdmBasicSuiteVersion);
  return result;
}
