// The suite table and its slots: every suite a handler acquires on entry
// and releases on its way out.
#include "bridge/suites.h"

using namespace hostapi;

const BlocksSuite* sBlocks = nullptr;
const AccessSuite* sAccess = nullptr;
const ArtSuite* sArt = nullptr;
const ToolSuite* sTool = nullptr;
const MenuSuite* sMenu = nullptr;
const UnicodeStringSuite* sUnicodeString = nullptr;
const PathSuite* sPath = nullptr;
const PathStyleSuite* sPathStyle = nullptr;
const MatchingArtSuite* sMatchingArt = nullptr;
const AdmBasicSuite* sAdmBasic = nullptr;
const AdmIconSuite* sAdmIcon = nullptr;
const MdMemorySuite* sMdMemory = nullptr;
const AnnotatorSuite* sAnnotator = nullptr;
const AnnotatorDrawerSuite* sAnnotatorDrawer = nullptr;
const DocumentViewSuite* sDocumentView = nullptr;
const UndoSuite* sUndo = nullptr;

namespace {
// The host writes a suite's address through the slot; the slot's own type
// is only known to this side.
template <typename Suite>
const void** slotOf(const Suite*& slot) {
  return reinterpret_cast<const void**>(&slot);
}
}  // namespace

const SuiteImport kSuiteTable[kSuiteCount] = {
    {kBlocksSuiteName, kBlocksSuiteVersion, slotOf(sBlocks)},
    {kAccessSuiteName, kAccessSuiteVersion, slotOf(sAccess)},
    {kArtSuiteName, kArtSuiteVersion, slotOf(sArt)},
    {kToolSuiteName, kToolSuiteVersion, slotOf(sTool)},
    {kMenuSuiteName, kMenuSuiteVersion, slotOf(sMenu)},
    {kUnicodeStringSuiteName, kUnicodeStringSuiteVersion, slotOf(sUnicodeString)},
    {kPathSuiteName, kPathSuiteVersion, slotOf(sPath)},
    {kPathStyleSuiteName, kPathStyleSuiteVersion, slotOf(sPathStyle)},
    {kMatchingArtSuiteName, kMatchingArtSuiteVersion, slotOf(sMatchingArt)},
    {kAdmBasicSuiteName, kAdmBasicSuiteVersion, slotOf(sAdmBasic)},
    {kAdmIconSuiteName, kAdmIconSuiteVersion, slotOf(sAdmIcon)},
    {kMdMemorySuiteName, kMdMemorySuiteVersion, slotOf(sMdMemory)},
    {kAnnotatorSuiteName, kAnnotatorSuiteVersion, slotOf(sAnnotator)},
    {kAnnotatorDrawerSuiteName, kAnnotatorDrawerSuiteVersion, slotOf(sAnnotatorDrawer)},
    {kDocumentViewSuiteName, kDocumentViewSuiteVersion, slotOf(sDocumentView)},
    {kUndoSuiteName, kUndoSuiteVersion, slotOf(sUndo)},
};

HostError acquireSuites(const BasicSuite* basic) {
  HostError result = kNoError;
  for (const SuiteImport& row : kSuiteTable) {
    const HostError error = basic->acquireSuite(row.name, row.version, row.slot);
    if (error != kNoError && result == kNoError) result = error;
  }
  return result;
}

HostError releaseSuites(const BasicSuite* basic) {
  HostError result = kNoError;
  for (const SuiteImport& row : kSuiteTable) {
    if (*row.slot == nullptr) continue;
    const HostError error = basic->releaseSuite(row.name, row.version);
    if (error == kNoError) {
      *row.slot = nullptr;
    } else if (result == kNoError) {
      result = error;
    }
  }
  return result;
}
