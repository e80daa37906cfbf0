// The suites the substitute host offers (suite_tables.h), in SuiteId order and
// found only by exact name and version; the three the plug-in acquires but
// never calls (blocks, access, path style) are offered with no operations.
#include <cstring>
#include <iterator>

#include "host/suite_tables.h"

namespace swhost {

namespace {

using namespace hostapi;

const OfferedSuite kOffered[] = {
    {kBlocksSuiteName, kBlocksSuiteVersion, &kBlocksSuite},
    {kAccessSuiteName, kAccessSuiteVersion, &kAccessSuite},
    {kArtSuiteName, kArtSuiteVersion, &kArtSuite},
    {kToolSuiteName, kToolSuiteVersion, &kToolSuite},
    {kMenuSuiteName, kMenuSuiteVersion, &kMenuSuite},
    {kUnicodeStringSuiteName, kUnicodeStringSuiteVersion, &kUnicodeStringSuite},
    {kPathSuiteName, kPathSuiteVersion, &kPathSuite},
    {kPathStyleSuiteName, kPathStyleSuiteVersion, &kPathStyleSuite},
    {kMatchingArtSuiteName, kMatchingArtSuiteVersion, &kMatchingArtSuite},
    {kAdmBasicSuiteName, kAdmBasicSuiteVersion, &kAdmBasicSuite},
    {kAdmIconSuiteName, kAdmIconSuiteVersion, &kAdmIconSuite},
    {kMdMemorySuiteName, kMdMemorySuiteVersion, &kMdMemorySuite},
    {kAnnotatorSuiteName, kAnnotatorSuiteVersion, &kAnnotatorSuite},
    {kAnnotatorDrawerSuiteName, kAnnotatorDrawerSuiteVersion, &kAnnotatorDrawerSuite},
    {kDocumentViewSuiteName, kDocumentViewSuiteVersion, &kDocumentViewSuite},
    {kUndoSuiteName, kUndoSuiteVersion, &kUndoSuite},
};

}  // namespace

const BlocksSuite kBlocksSuite{};
const AccessSuite kAccessSuite{};
const PathStyleSuite kPathStyleSuite{};

const OfferedSuite* findSuite(const char* name, std::int32_t version) {
  for (const OfferedSuite& suite : kOffered) {
    if (suite.version == version && std::strcmp(suite.name, name) == 0) return &suite;
  }
  return nullptr;
}

const OfferedSuite& offeredSuite(SuiteId id) { return kOffered[static_cast<int>(id)]; }
const OfferedSuite& offeredSuite(int index) { return kOffered[index]; }

static_assert(std::size(kOffered) == kOfferedSuiteCount);

}  // namespace swhost
