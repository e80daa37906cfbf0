// The suite tables the substitute host hands out, and the lookup by name and
// version.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/host_api.h"

namespace swhost {

extern const hostapi::BasicSuite kBasicSuite;
extern const hostapi::BlocksSuite kBlocksSuite;
extern const hostapi::AccessSuite kAccessSuite;
extern const hostapi::ArtSuite kArtSuite;
extern const hostapi::ToolSuite kToolSuite;
extern const hostapi::MenuSuite kMenuSuite;
extern const hostapi::UnicodeStringSuite kUnicodeStringSuite;
extern const hostapi::PathSuite kPathSuite;
extern const hostapi::PathStyleSuite kPathStyleSuite;
extern const hostapi::MatchingArtSuite kMatchingArtSuite;
extern const hostapi::AdmBasicSuite kAdmBasicSuite;
extern const hostapi::AdmIconSuite kAdmIconSuite;
extern const hostapi::MdMemorySuite kMdMemorySuite;
extern const hostapi::AnnotatorSuite kAnnotatorSuite;
extern const hostapi::AnnotatorDrawerSuite kAnnotatorDrawerSuite;
extern const hostapi::DocumentViewSuite kDocumentViewSuite;
extern const hostapi::UndoSuite kUndoSuite;

// The suites offered, in the order of the table below; the index is how the
// host counts acquisitions and checks that a suite is held.
enum class SuiteId : int {
  blocks,
  access,
  art,
  tool,
  menu,
  unicodeString,
  path,
  pathStyle,
  matchingArt,
  admBasic,
  admIcon,
  mdMemory,
  annotator,
  annotatorDrawer,
  documentView,
  undo,
};
inline constexpr int kOfferedSuiteCount = 16;

// The suites offered, by name and version. The basic suite is not among them:
// it comes with every message.
struct OfferedSuite {
  const char* name;
  std::int32_t version;
  const void* table;
};

// The suite with exactly this name and version, or null.
const OfferedSuite* findSuite(const char* name, std::int32_t version);

// The suite at an index of SuiteId.
const OfferedSuite& offeredSuite(SuiteId id);
const OfferedSuite& offeredSuite(int index);

// The name used for the basic suite in the call log.
inline constexpr const char* kBasicSuiteLogName = "SP Basic Suite";

}  // namespace swhost
