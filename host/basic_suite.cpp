// The basic suite: suites by name and version, string comparison, and blocks
// of memory that outlive unload and reload.
#include <cstdlib>
#include <cstring>

#include "host/host.h"
#include "host/plugin_code.h"
#include "host/suite_tables.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

std::string basicCall(const char* operation) { return std::string(kBasicSuiteLogName) + "/" + operation; }

// The index of an offered suite, or -1.
int suiteIndex(const OfferedSuite* suite) {
  for (int i = 0; i < kOfferedSuiteCount; ++i) {
    if (&offeredSuite(i) == suite) return i;
  }
  return -1;
}

HostError HOSTAPI_CALL acquireSuite(const char* name, std::int32_t version, const void** suite) {
  const HostCodeScope hostCode;
  if (name == nullptr || suite == nullptr) return host().violation(basicCall("acquire suite"), "null name or slot");
  if (const HostError fault = host().enterBasic("acquire suite", name)) return fault;
  const OfferedSuite* offered = findSuite(name, version);
  if (offered == nullptr) return kUnknownSuiteError;
  *suite = offered->table;
  host().countAcquire(static_cast<SuiteId>(suiteIndex(offered)));
  return kNoError;
}

HostError HOSTAPI_CALL releaseSuite(const char* name, std::int32_t version) {
  const HostCodeScope hostCode;
  if (name == nullptr) return host().violation(basicCall("release suite"), "null name");
  if (const HostError fault = host().enterBasic("release suite", name)) return fault;
  const OfferedSuite* offered = findSuite(name, version);
  if (offered == nullptr) return kUnknownSuiteError;
  const auto id = static_cast<SuiteId>(suiteIndex(offered));
  if (host().held(id) <= 0) {
    host().violation(basicCall("release suite ") + name, "released without being held");
    return kNotHeldError;
  }
  host().countRelease(id);
  return kNoError;
}

// An injected fault makes the strings compare unequal.
std::int32_t HOSTAPI_CALL isEqual(const char* a, const char* b) {
  const HostCodeScope hostCode;
  if (a == nullptr || b == nullptr) {
    host().violation(basicCall("compare strings"), "null string");
    return 0;
  }
  if (host().enterBasic("compare strings") != kNoError) return 0;
  return std::strcmp(a, b) == 0 ? 1 : 0;
}

HostError HOSTAPI_CALL allocateBlock(std::size_t size, void** block) {
  const HostCodeScope hostCode;
  if (block == nullptr) return host().violation(basicCall("allocate block"), "null out pointer");
  if (const HostError fault = host().enterBasic("allocate block")) return fault;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) return kOutOfRangeError;
  host().blocks().insert(memory);
  *block = memory;
  return kNoError;
}

HostError HOSTAPI_CALL freeBlock(void* block) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enterBasic("free block")) return fault;
  if (host().blocks().erase(block) == 0) return host().violation(basicCall("free block"), "not a live block");
  std::free(block);
  return kNoError;
}

}  // namespace

const BasicSuite kBasicSuite{acquireSuite, releaseSuite, isEqual, allocateBlock, freeBlock};

}  // namespace swhost
