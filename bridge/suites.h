// The sixteen suites every host-calling handler acquires, and the slots that
// hold them in between. A slot is null while its suite is not held; the
// pointers are valid only between acquireSuites and releaseSuites.
#pragma once

#include <cstdint>

#include "bridge/host_api.h"

// One row of the suite table.
struct SuiteImport {
  const char* name;
  std::int32_t version;
  const void** slot;  // receives the suite pointer; null while not held
};

inline constexpr int kSuiteCount = 16;
extern const SuiteImport kSuiteTable[kSuiteCount];

extern const hostapi::BlocksSuite* sBlocks;
extern const hostapi::AccessSuite* sAccess;
extern const hostapi::ArtSuite* sArt;
extern const hostapi::ToolSuite* sTool;
extern const hostapi::MenuSuite* sMenu;
extern const hostapi::UnicodeStringSuite* sUnicodeString;
extern const hostapi::PathSuite* sPath;
extern const hostapi::PathStyleSuite* sPathStyle;
extern const hostapi::MatchingArtSuite* sMatchingArt;
extern const hostapi::AdmBasicSuite* sAdmBasic;
extern const hostapi::AdmIconSuite* sAdmIcon;
extern const hostapi::MdMemorySuite* sMdMemory;
extern const hostapi::AnnotatorSuite* sAnnotator;
extern const hostapi::AnnotatorDrawerSuite* sAnnotatorDrawer;
extern const hostapi::DocumentViewSuite* sDocumentView;
extern const hostapi::UndoSuite* sUndo;

// Acquires every row in order, going on past failures; returns the first
// error, or 0.
hostapi::HostError acquireSuites(const hostapi::BasicSuite* basic);

// Releases every row whose slot holds a suite; a released slot becomes null,
// a slot whose release failed keeps its value. Returns the first error.
hostapi::HostError releaseSuites(const hostapi::BasicSuite* basic);

// Holds the suite table for one handler: acquires on construction and
// releases on destruction, so every path out of the handler, an exception's
// included, gives the suites back.
class SuiteScope {
 public:
  explicit SuiteScope(const hostapi::BasicSuite* basic) : basic_(basic), result_(acquireSuites(basic)) {}
  ~SuiteScope() { releaseSuites(basic_); }
  SuiteScope(const SuiteScope&) = delete;
  SuiteScope& operator=(const SuiteScope&) = delete;

  // The acquire result: 0 when every suite is held.
  hostapi::HostError result() const { return result_; }

 private:
  const hostapi::BasicSuite* basic_;
  hostapi::HostError result_;
};
